// File names on the update server: the version in a tester package's name, the version
// in an installer's name, and the installer chosen from a folder. The first eight input
// bytes are the running version, each further line one file name as the listing gives it.
// Besides not crashing, the choice must keep its promise: an installer is offered only
// when its version is above the running one and above every other file's.
#include "devicefiles/core/FirmwareUpdateCheck.h"
#include "devicefiles/core/ProgramVersionCheck.h"
#include "platform/io/FtpListing.h"
#include "streamio/Version.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 8)
        return 0;
    uint64_t runningValue = 0;
    for (int i = 7; i >= 0; --i)
        runningValue = runningValue << 8 | data[i];
    const CVersion running(runningValue);

    std::vector<Platform::FtpEntry> files;
    const QByteArray text(reinterpret_cast<const char*>(data + 8), qsizetype(size - 8));
    for (const QByteArray& line : text.split('\n'))
    {
        Platform::FtpEntry entry;
        entry.name = QString::fromUtf8(line);
        entry.size = uint64_t(files.size());
        for (uint32_t kind = 0; kind <= 3; ++kind)
            CFirmwareUpdateCheck::ParseLodVersion(entry.name, kind);
        const CVersion version = VersionFromUpdateFileName(entry.name);
        if (version.GetValue() != 0 &&
            (!entry.name.endsWith(QStringLiteral(".exe")) || !entry.name.contains(QStringLiteral("_V_"))))
            std::abort();
        files.push_back(entry);
    }

    const SUpdateChoice choice = ChooseUpdate(files, running);
    CVersion best = running;
    for (const Platform::FtpEntry& entry : files)
        best = std::max(best, VersionFromUpdateFileName(entry.name));
    if (choice.file.isEmpty())
    {
        if (best != running || choice.best.GetValue() != 0)
            std::abort();
    }
    else if (choice.best != best || best <= running || VersionFromUpdateFileName(choice.file) != best ||
             choice.size >= files.size() || files[choice.size].name != choice.file)
    {
        std::abort();
    }
    return 0;
}
