#include "export/core/ExportImage.h"

#include "export/core/ExportFile.h"
#include "export/core/ExportTexts.h"
#include "export/encoder/xImage.h"
#include "platform/core/StringTable.h"
#include "resources/StringIds.h"

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

bool WriteFile(CxImage& image, std::uint32_t formatCode, const QString& path, QString* message)
{
    image.SetJpegQuality(kJpegQuality);
    CxMemFile::Buffer buffer;
    std::int64_t size = 0;
    if (!image.EncodeToMemory(&buffer, &size, formatCode))
    {
        if (message)
            *message = EncodingFailed(path);
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

QString EncodingFailed(const QString& path)
{
    return path + QStringLiteral("\n\n") + Platform::LoadString(StringId::IDS_ENCODING_FAILED);
}
} // namespace ExportImage
