#pragma once
#include "platform/gui/GdiTypes.h"

#include <QImage>

#include <cstdint>
#include <vector>

namespace Platform
{
class Canvas;
}

// A picture of the program's bitmap resources held as a device-independent section and
// drawn into a canvas, optionally with the colour of its top-left pixel left out.
class CDIBSectionLiteNP
{
public:
    // The section's header, field for field as a BITMAPINFOHEADER.
    struct BitmapInfoHeader
    {
        uint32_t biSize = 0;
        int32_t biWidth = 0;
        int32_t biHeight = 0;
        uint16_t biPlanes = 0;
        uint16_t biBitCount = 0;
        uint32_t biCompression = 0;
        uint32_t biSizeImage = 0;
        int32_t biXPelsPerMeter = 0;
        int32_t biYPelsPerMeter = 0;
        uint32_t biClrUsed = 0;
        uint32_t biClrImportant = 0;
    };

    CDIBSectionLiteNP();
    ~CDIBSectionLiteNP();
    CDIBSectionLiteNP(const CDIBSectionLiteNP&) = delete;
    CDIBSectionLiteNP& operator=(const CDIBSectionLiteNP&) = delete;

    // Loads the bitmap resource (Platform::BitmapTable) into a new section of the same
    // colour depth; false when the resource is missing or the section cannot be made.
    bool LoadBitmap(uint32_t resourceId);
    // Draws the whole picture with its top-left corner at the point; transparent: pixels
    // of the top-left pixel's colour are not drawn. False when the object is empty.
    bool Draw(Platform::Canvas& dc, Platform::Point topLeft, bool transparent);

    bool IsEmpty() const { return m_section.isNull(); }
    // True once a transparent drawing has built the mask; kept until the object is emptied.
    bool IsMasked() const { return !m_keyed.isNull(); }
    const BitmapInfoHeader& GetHeader() const { return m_header; }
    // The colour table in use (as 0x00BBGGRR values): 2 entries for 1 bit per pixel, 16 for
    // 4, 256 for 8, none otherwise.
    const std::vector<Platform::ColorRef>& GetColorTable() const { return m_colorTable; }
    unsigned GetColorCount() const { return static_cast<unsigned>(m_colorTable.size()); }
    // The section's pixels (palette sections as indexed images over the colour table).
    const QImage& GetSection() const { return m_section; }

    // The colour table every palette section gets: 16 standard colours, a 6 x 6 x 6 colour
    // cube and 24 grey levels, cut to `count` entries.
    static std::vector<Platform::ColorRef> StandardColorTable(unsigned count);
    // Bits per pixel the section of a picture gets.
    static int BitsPerPixel(const QImage& picture);

private:
    bool CreateFrom(const QImage& bitmap);
    void MakeMask();
    void Empty();

    QImage m_section;
    BitmapInfoHeader m_header;
    std::vector<Platform::ColorRef> m_colorTable;
    // Built by the first transparent drawing: the picture with its transparent colour
    // made fully transparent.
    QImage m_keyed;
};
