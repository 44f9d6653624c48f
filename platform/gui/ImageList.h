#pragma once
#include "platform/gui/GdiTypes.h"

#include <QImage>

#include <optional>
#include <vector>

namespace Platform
{

class Canvas;

// Drawing styles of ImageList::Draw.
enum : unsigned
{
    ILD_NORMAL = 0,
    // Drawn half-transparent over what is below, the look of a selected item.
    ILD_SELECTED = 4,
};

// Images of one size, drawn by index. Pixels of a key colour become transparent, as in
// the bitmaps the program's resources hold.
class ImageList
{
public:
    ImageList(int width, int height);

    // Cuts a strip into images of the list's size, left to right; returns the index of
    // the first, or -1 when the strip holds no whole image.
    int Add(const QImage& strip, std::optional<ColorRef> keyColor = std::nullopt);
    int GetImageCount() const { return static_cast<int>(m_images.size()); }
    Size GetImageSize() const { return {m_width, m_height}; }
    // Null for an index out of range.
    const QImage* GetImage(int index) const;
    bool Draw(Canvas& canvas, int index, Point at, unsigned style) const;

private:
    int m_width;
    int m_height;
    std::vector<QImage> m_images;
};

} // namespace Platform
