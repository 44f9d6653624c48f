#pragma once
#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <vector>

// Independent readers of the files the encoder writes: Pillow, pngcheck and djpeg.
struct ToolResult
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};
ToolResult RunTool(const QString& program, const QStringList& args);

// What Pillow (and a plain chunk walk for PNG) reads from an image file: format, mode,
// size, pixels as [r, g, b] top row first, and the resolution fields of the format.
// An empty object when the file cannot be read.
QJsonObject PillowRead(const QString& path);

// djpeg's decoding: width, height, components (1 or 3) and the samples, top row first.
struct DecodedImage
{
    int width = 0;
    int height = 0;
    int components = 0;
    std::vector<std::uint8_t> samples;
};
bool DjpegDecode(const QString& path, DecodedImage* image);

bool WriteFile(const QString& path, const std::uint8_t* data, std::int64_t size);
