#include "tests/export/ImageReaders.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>

namespace
{
const char* const PillowScript = R"PY(
import json, struct, sys
from PIL import Image

path = sys.argv[1]
im = Image.open(path)
im.load()
out = {"format": im.format, "mode": im.mode, "size": list(im.size)}
rgb = im.convert("RGB")
out["pixels"] = [list(rgb.getpixel((x, y))) for y in range(im.size[1]) for x in range(im.size[0])]
if im.mode == "P":
    out["palette"] = im.getpalette()
if im.format == "JPEG":
    out["jfif_unit"] = im.info.get("jfif_unit")
    out["jfif_density"] = list(im.info.get("jfif_density", ()))
    out["sampling"] = [[layer[1], layer[2]] for layer in im.layer]
    out["quant0"] = list(im.quantization[0])
if im.format == "PNG":
    data = open(path, "rb").read()
    pos, chunks = 8, []
    while pos + 8 <= len(data):
        length, name = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        chunks.append(name.decode("latin-1"))
        if name == b"IHDR":
            w, h, depth, ctype, comp, filt, lace = struct.unpack(">IIBBBBB", body)
            out["ihdr"] = [w, h, depth, ctype, comp, filt, lace]
        elif name == b"pHYs":
            out["phys"] = list(struct.unpack(">IIB", body))
        elif name == b"bKGD":
            out["bkgd"] = list(body)
        pos += 12 + length
    out["chunks"] = chunks
print(json.dumps(out))
)PY";
} // namespace

ToolResult RunTool(const QString& program, const QStringList& args)
{
    ToolResult result;
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QJsonObject PillowRead(const QString& path)
{
    const ToolResult r = RunTool(QStringLiteral("/usr/bin/python3"),
                                 {QStringLiteral("-c"), QString::fromUtf8(PillowScript), path});
    if (r.exitCode != 0)
        return {};
    return QJsonDocument::fromJson(r.out).object();
}

bool DjpegDecode(const QString& path, DecodedImage* image)
{
    const ToolResult r = RunTool(QStringLiteral("djpeg"), {QStringLiteral("-pnm"), path});
    if (r.exitCode != 0)
        return false;
    // P5 (grey) or P6 (RGB): magic, width, height, maximum value, one blank, samples.
    const QByteArray& pnm = r.out;
    QList<QByteArray> fields;
    qsizetype pos = 0;
    while (fields.size() < 4 && pos < pnm.size())
    {
        while (pos < pnm.size() && QChar::isSpace(pnm[pos]))
            ++pos;
        const qsizetype start = pos;
        while (pos < pnm.size() && !QChar::isSpace(pnm[pos]))
            ++pos;
        fields.append(pnm.mid(start, pos - start));
    }
    if (fields.size() != 4 || fields[3] != "255")
        return false;
    image->components = fields[0] == "P6" ? 3 : fields[0] == "P5" ? 1 : 0;
    image->width = fields[1].toInt();
    image->height = fields[2].toInt();
    ++pos;
    const qsizetype expected = qsizetype{image->width} * image->height * image->components;
    if (image->components == 0 || pnm.size() - pos != expected)
        return false;
    image->samples.assign(pnm.begin() + pos, pnm.end());
    return true;
}

bool WriteFile(const QString& path, const std::uint8_t* data, std::int64_t size)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(reinterpret_cast<const char*>(data), size) == size;
}
