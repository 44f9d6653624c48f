// The stored form of a project folder: the archive's values around embedded series blocks.
#include "measurement/FolderData.h"
#include "platform/core/FileException.h"
#include "streamio/RamStream.h"
#include "streamio/StreamIO.h"
#include "streamio/VMArchive.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool started = []
    {
        StreamIO::StartStreamIO();
        return true;
    }();
    (void)started;
    StreamIO::CRamStream in;
    if (!in.Open(QStringLiteral("RAM:fuzz-folder.bin"),
                 StreamIO::STREAM_READ | StreamIO::STREAM_WRITE | StreamIO::STREAM_CREATE_ALWAYS))
        return 0;
    in.Write(data, uint32_t(size));
    CFolderData folder;
    try
    {
        StreamIO::CVMArchive archive(in.GetHandle(), StreamIO::ARCHIVE_LOAD, 1024);
        folder.Serialize(archive);
    }
    catch (const CFileException&)
    {
    }
    for (int order = 1; order <= 18; ++order)
        folder.Sort(order);
    try
    {
        CFolderData copy(folder);
    }
    catch (const CFileException&)
    {
    }
    return 0;
}
