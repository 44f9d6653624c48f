// What the update server sends beside a package, and the names it offers: a checksum file
// gives 32 bytes that are its first 64 hexadecimal digits, or nothing; a name accepted as a
// plain file name can never leave the folder it is saved in.
#include "devicefiles/core/UpdateDownload.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView text(reinterpret_cast<const char*>(data), qsizetype(size));
    const QByteArray sum = UpdateDownload::ParseSha256File(text);
    if (!sum.isEmpty() && (sum.size() != 32 || sum.toHex() != text.first(64).toByteArray().toLower()))
        std::abort();

    const QString name = QString::fromUtf8(text);
    if (UpdateDownload::IsPlainFileName(name) &&
        (name.contains(u'/') || name.contains(u'\\') || name.startsWith(u'.') || name.contains(u'\0')))
        std::abort();
    return 0;
}
