// Version records come from language packs found beside the program, and version texts
// from devices and the update server: neither may upset the readers.
#include "streamio/FileVersionInfo.h"
#include "streamio/Version.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(data, static_cast<qsizetype>(size));
    CFileVersionInfo info;
    info.ReadFromRecord(bytes, 0x0407);
    (void)info.GetProductVersionPart(3);
    const CVersion version(QString::fromLatin1(bytes));
    (void)version.Format(4);
    return 0;
}
