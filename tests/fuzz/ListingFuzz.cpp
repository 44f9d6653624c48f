// Folder listings of the portable tester: whatever the device sends, the records stay
// inside the folders they are listed in, within the longest device path.
#include "devicefiles/core/DeviceListing.h"
#include "devicefiles/core/Vesk3Parser.h"
#include "platform/core/Codepage.h"

#include <QString>
#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // First byte: the kind mask; the rest: the listing as the device's 8-bit text, decoded
    // as the program decodes the tester's listing.
    const uint32_t kind = data[0] & 0x3F;
    const QString text = DecodeCp1252(QByteArrayView(data + 1, qsizetype(size - 1)));

    QString listing = text;
    QString prefix;
    TVeskFileArray records;
    ParseListing(listing, kind, prefix, records);
    if (!listing.isEmpty())
        abort();
    for (const auto& r : records)
    {
        if (r->path.size() > kMaxDevicePathLength || r->depth < 1 || r->path.count(u'\\') < r->depth)
            abort();
        if (r->isFolder != r->path.endsWith(u'\\'))
            abort();
        if (!r->isFolder && (r->attributes & kind) == 0)
            abort();
        QStringView rest(r->path);
        if (r->isFolder)
            rest.chop(1);
        const QStringView name = rest.sliced(rest.lastIndexOf(u'\\') + 1);
        if (name.isEmpty() || name == u"." || name == u".." || name.contains(u'/'))
            abort();
    }

    QString again = text;
    CVesk3Parser parser(again, kind);
    if (!again.isEmpty() || size_t(parser.GetAllPaths().size()) != records.size())
        abort();

    if (!text.startsWith(CutPathAtDepth(text, int(data[0]) - 8)))
        abort();
    return 0;
}
