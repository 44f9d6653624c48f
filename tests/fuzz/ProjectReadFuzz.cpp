// The project image: as a project file read through the archive, and as the clipboard
// block any program can put on the clipboard under our format's name.
#include "document/VeskDoc.h"
#include "measurement/FolderData.h"
#include "platform/core/FileException.h"
#include "streamio/RamStream.h"
#include "streamio/StreamIO.h"
#include "streamio/VMArchive.h"
#include "tests/support/MemoryClipboard.h"

#include <cstddef>
#include <cstdint>

namespace
{
constexpr uint32_t kRamFlags =
    StreamIO::STREAM_READ | StreamIO::STREAM_WRITE | StreamIO::STREAM_CREATE_ALWAYS;

void Paste(CVeskDoc& doc, MemoryClipboard& clipboard, const QByteArray& block)
{
    clipboard.content = {};
    clipboard.content.privateFormats.insert(CVeskDoc::kClipboardFormat, block);
    doc.CanPaste();
    try
    {
        doc.PasteSeries();
    }
    catch (const CFileException&)
    {
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool started = []
    {
        StreamIO::StartStreamIO();
        return true;
    }();
    (void)started;
    static MemoryClipboard clipboard;

    CVeskDoc doc;
    // Through the archive buffer size the program opens and saves projects with.
    {
        StreamIO::CRamStream in;
        if (!in.Open(QStringLiteral("RAM:fuzz-project.v3p"), kRamFlags))
            return 0;
        in.Write(data, uint32_t(size));
        try
        {
            StreamIO::CVMArchive archive(in.GetHandle(), StreamIO::ARCHIVE_LOAD, StreamIO::ARCHIVE_FILE_BUFFER);
            doc.ReadProject(archive);
        }
        catch (const CFileException&)
        {
        }
    }

    // The input as a whole block, and as an image behind a count that fits it.
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    Paste(doc, clipboard, bytes);
    QByteArray counted(4, '\0');
    for (int i = 0; i < 4; ++i)
        counted[i] = char(uint32_t(size) >> (8 * i));
    counted += bytes;
    doc.AddMeasurementFile(QStringLiteral("\\fuzz\\"), nullptr);
    doc.SetCurrentFolder(doc.LookupFolder(QStringLiteral("\\fuzz\\")), QStringLiteral("\\fuzz\\"), true);
    Paste(doc, clipboard, counted);

    // Whatever was read must write again.
    StreamIO::CRamStream out;
    if (out.Open(QStringLiteral("RAM:fuzz-project-out.v3p"), kRamFlags))
    {
        try
        {
            StreamIO::CVMArchive archive(out.GetHandle(), StreamIO::ARCHIVE_NO_CLOSE, StreamIO::ARCHIVE_FILE_BUFFER);
            doc.WriteProject(archive);
            archive.Flush();
        }
        catch (const CFileException&)
        {
        }
    }
    return 0;
}
