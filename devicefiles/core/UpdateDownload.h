#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>

class CUpdateFtpClient;

// Fetching an installer from the update server into a local file. A file fetched over
// plain FTP is never run: it is checked against the size the listing gave (and against
// a SHA-256 checksum when the server has one beside it), and kept only when it is
// complete and sound. Until then it is written under a temporary name in the target's
// folder, so a file of the same name is replaced only by a complete one, and nothing is
// left behind after an error or a cancel.
namespace UpdateDownload
{
// The bytes asked of the server per read.
inline constexpr size_t kChunk = 64 * 1024;
// A checksum file is one line; anything much longer is not one.
inline constexpr qsizetype kMaxChecksumFileBytes = 4096;

// A name that may become a file of the target folder: not empty, no folder separator,
// no control character, not "." or ".." and not hidden (leading point), at most 255 bytes.
bool IsPlainFileName(const QString& name);

// The 32 bytes of a checksum file's first word ("<64 hex digits>  <name>", as sha256sum
// writes it); empty when the text does not start with exactly 64 hexadecimal digits.
QByteArray ParseSha256File(QByteArrayView text);

// Where downloads go by default: the user's downloads folder, else the home folder.
QString DefaultFolder();

// The command that installs the package at path, with the path quoted for a shell.
QString InstallCommand(const QString& fileName);

struct SRequest
{
    QString productName;  // names the server folder, when the client has to connect
    QString file;         // the installer's name in the listing
    uint64_t size = 0;    // its size in the listing
    QString checksumFile; // the checksum file's name when the listing has one, else empty
    QString target;       // the local path to keep it under
};

enum class NEnd
{
    done,
    targetNotWritable, // nothing was fetched; another target may do
    failed,            // error holds the text for the user
    cancelled,         // the client was aborted
};

struct SResult
{
    NEnd end = NEnd::failed;
    QString error;
};

// Progress: the bytes written so far.
using Progress = std::function<void(uint64_t done)>;

// Opens the target, then the file on the server (connecting first when the client is
// not connected), copies it in chunks of kChunk, checks it and renames it into place.
// Blocks until the transfer ends or the client is aborted: call it off the UI thread.
SResult Fetch(CUpdateFtpClient& client, const SRequest& request, const Progress& progress);
} // namespace UpdateDownload
