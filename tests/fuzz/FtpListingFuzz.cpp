// Folder listings from the update server: whatever the server sends, every entry has a
// name that can be asked for again, and no more entries come out than lines went in.
#include "platform/io/FtpListing.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // First byte: the format; the rest: the listing.
    const auto format =
        (data[0] & 1) ? Platform::FtpListingFormat::Text : Platform::FtpListingFormat::Machine;
    const QByteArrayView text(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const QDateTime now(QDate(2024, 3, 10), QTime(12, 0), Qt::UTC);
    const auto entries = Platform::ParseFtpListing(text, format, now);

    if (entries.size() > size_t(text.count('\n')) + 1)
        abort();
    for (const auto& e : entries)
    {
        if (e.name.isEmpty() || e.name == QLatin1String(".") || e.name == QLatin1String(".."))
            abort();
        for (QChar c : e.name)
        {
            if (c.unicode() < 0x20 || c == QLatin1Char('/'))
                abort();
        }
        Platform::FtpNameMatches(QStringLiteral("*a?*.lod"), e.name);
    }
    return 0;
}
