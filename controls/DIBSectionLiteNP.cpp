#include "controls/DIBSectionLiteNP.h"

#include "platform/gui/BitmapTable.h"
#include "platform/gui/Canvas.h"

#include <cstdlib>
#include <limits>

using Platform::ColorRef;
using Platform::Rgb;

namespace
{

QRgb ToQRgb(ColorRef c)
{
    return qRgb(Platform::RValue(c), Platform::GValue(c), Platform::BValue(c));
}

// The entry nearest to the colour (smallest squared distance; the first of equals), as a
// copy into a palette section maps colours.
int NearestIndex(QRgb colour, const QList<QRgb>& table)
{
    int best = 0;
    long bestDistance = std::numeric_limits<long>::max();
    for (int i = 0; i < table.size(); ++i)
    {
        const long dr = qRed(colour) - qRed(table[i]);
        const long dg = qGreen(colour) - qGreen(table[i]);
        const long db = qBlue(colour) - qBlue(table[i]);
        const long distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance)
        {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

} // namespace

CDIBSectionLiteNP::CDIBSectionLiteNP() = default;

CDIBSectionLiteNP::~CDIBSectionLiteNP()
{
    Empty();
}

std::vector<ColorRef> CDIBSectionLiteNP::StandardColorTable(unsigned count)
{
    std::vector<ColorRef> table = {
        Rgb(0, 0, 0),     Rgb(255, 255, 255), Rgb(255, 0, 0),     Rgb(0, 255, 0),
        Rgb(255, 255, 0), Rgb(0, 0, 255),     Rgb(255, 0, 255),   Rgb(0, 255, 255),
        Rgb(128, 0, 0),   Rgb(0, 128, 0),     Rgb(128, 128, 0),   Rgb(0, 0, 128),
        Rgb(128, 0, 128), Rgb(0, 128, 128),   Rgb(128, 128, 128), Rgb(192, 192, 192),
    };
    // Blue varies slowest, red fastest.
    for (int b = 0; b < 6; ++b)
        for (int g = 0; g < 6; ++g)
            for (int r = 0; r < 6; ++r)
                table.push_back(Rgb(r * 51, g * 51, b * 51));
    for (int k = 0; k < 24; ++k)
        table.push_back(Rgb(k * 255 / 23, k * 255 / 23, k * 255 / 23));
    table.resize(std::min<size_t>(count, table.size()));
    return table;
}

int CDIBSectionLiteNP::BitsPerPixel(const QImage& picture)
{
    switch (picture.format())
    {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        return 1;
    case QImage::Format_Indexed8:
        // A 4-bit resource arrives with at most 16 colours.
        return picture.colorCount() <= 16 ? 4 : 8;
    case QImage::Format_RGB16:
    case QImage::Format_RGB555:
    case QImage::Format_RGB444:
        return 16;
    case QImage::Format_RGB888:
    case QImage::Format_BGR888:
        return 24;
    default:
        return 32;
    }
}

bool CDIBSectionLiteNP::LoadBitmap(uint32_t resourceId)
{
    const QImage picture = Platform::BitmapTable::Instance().Get(resourceId);
    return CreateFrom(picture);
}

bool CDIBSectionLiteNP::CreateFrom(const QImage& bitmap)
{
    Empty();
    if (bitmap.isNull() || bitmap.width() <= 0 || bitmap.height() <= 0)
        return false;

    const int bits = BitsPerPixel(bitmap);
    const int64_t stride = ((static_cast<int64_t>(bits) * bitmap.width() + 31) & ~int64_t{31}) / 8;
    const int64_t imageSize = stride * bitmap.height();
    if (imageSize > std::numeric_limits<uint32_t>::max())
        return false;
    BitmapInfoHeader header;
    header.biSize = 40;
    header.biWidth = bitmap.width();
    header.biHeight = bitmap.height();
    header.biPlanes = 1;
    header.biBitCount = static_cast<uint16_t>(bits);
    header.biSizeImage = static_cast<uint32_t>(imageSize);

    const unsigned count = bits == 1 ? 2 : bits == 4 ? 16 : bits == 8 ? 256 : 0;
    std::vector<ColorRef> table = StandardColorTable(count);

    // The pixels are copied into the section, so palette sections take the nearest colours
    // of the standard table, whatever table the resource had.
    const QImage rgb = bitmap.convertToFormat(QImage::Format_RGB32);
    QImage section;
    if (count > 0)
    {
        QList<QRgb> colours;
        for (ColorRef c : table)
            colours.push_back(ToQRgb(c));
        section = QImage(rgb.size(), bits == 1 ? QImage::Format_Mono : QImage::Format_Indexed8);
        if (section.isNull())
            return false;
        section.setColorTable(colours);
        for (int y = 0; y < rgb.height(); ++y)
        {
            const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
            for (int x = 0; x < rgb.width(); ++x)
                section.setPixel(x, y, static_cast<uint>(NearestIndex(line[x], colours)));
        }
    }
    else
    {
        const QImage::Format format = bits == 16   ? QImage::Format_RGB555
                                      : bits == 24 ? QImage::Format_RGB888
                                                   : QImage::Format_RGB32;
        section = rgb.convertToFormat(format);
        if (section.isNull())
            return false;
    }
    m_section = section;
    m_header = header;
    m_colorTable = std::move(table);
    return true;
}

void CDIBSectionLiteNP::MakeMask()
{
    const QImage rgb = m_section.convertToFormat(QImage::Format_RGB32);
    const QRgb transparent = rgb.pixel(0, 0);
    m_keyed = QImage(rgb.size(), QImage::Format_ARGB32);
    for (int y = 0; y < rgb.height(); ++y)
    {
        const auto* in = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        auto* keyed = reinterpret_cast<QRgb*>(m_keyed.scanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
        {
            const bool clear = (in[x] & 0xFFFFFF) == (transparent & 0xFFFFFF);
            // What the mask (white where the colour is transparent) and the picture with
            // those pixels blacked out give when combined with AND and then OR: the
            // background there, the picture elsewhere.
            keyed[x] = clear ? qRgba(0, 0, 0, 0) : (in[x] | 0xFF000000u);
        }
    }
}

bool CDIBSectionLiteNP::Draw(Platform::Canvas& dc, Platform::Point topLeft, bool transparent)
{
    if (m_section.isNull())
        return false;
    if (transparent)
    {
        if (m_keyed.isNull())
            MakeMask();
        dc.AlphaBlend(topLeft.x, topLeft.y, m_keyed.width(), m_keyed.height(), m_keyed, 255);
    }
    else
    {
        dc.BitBlt(topLeft.x, topLeft.y, m_section.width(), m_section.height(), m_section, 0, 0);
    }
    return true;
}

void CDIBSectionLiteNP::Empty()
{
    m_section = QImage();
    m_header = BitmapInfoHeader{};
    m_colorTable.clear();
    m_keyed = QImage();
}
