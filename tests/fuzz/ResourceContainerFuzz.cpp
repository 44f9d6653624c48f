// Language packs are Qt binary resource files that anybody may put beside the program. A
// file that passes the check must be safe for Qt's resource reader: register it and read
// every entry it holds, as the program reads the version record and the string table.
#include "platform/core/ResourceContainer.h"

#include <QDirIterator>
#include <QFile>
#include <QResource>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (!Platform::IsSoundResourceContainer(bytes))
        return 0;
    const QString root = QStringLiteral("/fuzz");
    const auto* mapped = reinterpret_cast<const uchar*>(bytes.constData());
    if (!QResource::registerResource(mapped, root))
        return 0;
    QDirIterator it(QStringLiteral(":/fuzz"), QDir::AllEntries | QDir::Hidden, QDirIterator::Subdirectories);
    int entries = 0;
    while (it.hasNext() && entries++ < 1000)
    {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly))
            (void)file.readAll();
    }
    QResource::unregisterResource(mapped, root);
    return 0;
}
