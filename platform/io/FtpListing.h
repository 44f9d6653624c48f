#pragma once
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <vector>

namespace Platform
{

// One entry of an FTP folder listing.
struct FtpEntry
{
    QString name;
    uint64_t size = 0;
    QDateTime time; // UTC; invalid when the server gave none that could be read
    bool isFolder = false;
};

enum class FtpListingFormat
{
    Machine, // MLSD: "fact=value;...; name" (RFC 3659)
    Text,    // LIST: "ls -l" lines of Unix servers or the MS-DOS lines of Windows servers
};

// Reads a listing as the server sent it. The text is the server's, so nothing in it is
// trusted: lines that do not fit the format, numbers that overflow, names that are not
// UTF-8, hold a control character or a slash, and the entries "." and ".." are left out.
// Text listings give times without a time zone; they are taken as UTC, and a date
// without a year is the latest such date not more than a day after nowUtc.
std::vector<FtpEntry> ParseFtpListing(QByteArrayView text, FtpListingFormat format, const QDateTime& nowUtc);

// The wildcard match of a server's file search: "*" any run of characters, "?" one
// character, everything else itself (case-sensitive, as Unix servers match).
bool FtpNameMatches(QStringView pattern, QStringView name);

} // namespace Platform
