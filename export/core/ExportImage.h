#pragma once
#include <QString>

#include <cstdint>

class CxImage;

// The steps of the graphic export that work on images and files.
namespace ExportImage
{
// The encoder's format code of the option dialog's format index (0 BMP, 1 PNG, 2 JPEG;
// anything else PNG), and the suffix a file of that format gets when its name has none.
std::uint32_t FormatCode(int formatIndex);
QString DefaultSuffix(int formatIndex);

// Encodes the image (JPEG at quality 90) and writes it as the file, which an existing file
// is replaced by only when it was written completely. On failure the message for the user
// names the file.
bool WriteFile(CxImage& image, std::uint32_t formatCode, const QString& path, QString* message);
// The message for the user when the picture for the file could not be encoded.
QString EncodingFailed(const QString& path);
} // namespace ExportImage
