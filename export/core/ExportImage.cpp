#include "export/core/ExportImage.h"

#include "export/core/ExportFile.h"
#include "export/core/ExportTexts.h"
#include "export/encoder/xImage.h"
#include "platform/core/StringTable.h"
#include "resources/StringIds.h"

#include <cstring>

namespace ExportImage
{
namespace
{
constexpr std::uint8_t kJpegQuality = 90;
} // namespace

std::uint32_t FormatCode(int formatIndex)
{
    switch (formatIndex)
    {
    case 0:
        return CxImage::FormatBmp;
    case 2:
        return CxImage::FormatJpg;
    default:
        return CxImage::FormatPng;
    }
}

QString DefaultSuffix(int formatIndex)
{
    switch (formatIndex)
    {
    case 0:
        return QStringLiteral("bmp");
    case 2:
        return QStringLiteral("jpg");
    default:
        return QStringLiteral("png");
    }
}

bool AppendPart(CxImage& combined, std::uint32_t& filledRows, CxImage& part)
{
    const std::uint32_t height = combined.GetHeight();
    const std::uint32_t partHeight = part.GetHeight();
    if (!combined.GetBits() || !part.GetBits() || part.GetWidth() != combined.GetWidth() ||
        part.GetBpp() != combined.GetBpp() || part.GetEffWidth() != combined.GetEffWidth() ||
        filledRows > height || partHeight > height - filledRows)
        return false;
    // DIB rows count from the bottom: image row y of the part is its DIB row
    // partHeight - 1 - y, and lands on image row filledRows + y of the combined image.
    const std::uint32_t rowBytes = part.GetEffWidth();
    for (std::uint32_t y = 0; y < partHeight; ++y)
        std::memcpy(combined.GetBits(height - 1 - filledRows - y), part.GetBits(partHeight - 1 - y),
                    rowBytes);
    filledRows += partHeight;
    return true;
}

bool WriteFile(CxImage& image, std::uint32_t formatCode, const QString& path, QString* message)
{
    image.SetJpegQuality(kJpegQuality);
    CxMemFile::Buffer buffer;
    std::int64_t size = 0;
    if (!image.EncodeToMemory(&buffer, &size, formatCode))
    {
        if (message)
            *message = path + QStringLiteral("\n\n") + Platform::LoadString(StringId::IDS_ENCODING_FAILED);
        return false;
    }
    CExportFile file;
    if (!file.Open(path) || !file.Write(buffer.get(), static_cast<std::size_t>(size)) || !file.Commit())
    {
        if (message)
            *message = file.ErrorMessage();
        return false;
    }
    return true;
}
} // namespace ExportImage
