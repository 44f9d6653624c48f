#pragma once
#include "grid/GridCellGradient.h"

#include <QImage>

#include <vector>

namespace Platform
{
class ImageList;
}

// One image placed in a multi-image cell. The anchor is the cell's left (top) edge plus
// the offset, in pixels or in percent of the cell's width (height); the image starts at the
// anchor, ends there, or is centred on it.
struct MULTIBMPINFO
{
    // Index in the cell's image list, also the id for hiding and clicks.
    int id = 0;
    // The placements stay sorted by it; equal keys keep their insertion order.
    int order = 0;
    bool hidden = false;
    double x = 0;
    double y = 0;
    bool fromLeft = true;
    bool fromTop = true;
    bool centreX = false;
    bool centreY = false;
    bool xPercent = false;
    bool yPercent = false;
    // Also drawn when printing.
    bool print = true;
    // Draw `bitmap` with its per-pixel alpha instead of the image-list image.
    bool alphaBlend = false;
    // Not owned; as large as the image-list image.
    const QImage* bitmap = nullptr;
};

// Draws a bitmap with its per-pixel alpha, weakened by a constant alpha (255 = as it is).
bool AlphaBlendBitmap(Platform::Canvas* dc, int x, int y, int width, int height, const QImage* bitmap,
                      int constantAlpha);

// A gradient cell that places images of its image list (not owned) over its background,
// hides them one by one and tells which one the last click hit.
class CGridCellMultiBmp : public CGridCellGradient
{
public:
    CGridCellMultiBmp();
    ~CGridCellMultiBmp() override;
    using CGridCellBase::operator=;

    void SetImageList(const Platform::ImageList* images) { m_images = images; }
    const Platform::ImageList* GetImageList() const { return m_images; }
    void InsertImage(const MULTIBMPINFO& info);
    // The first placement with the id takes the flag.
    void SetImageHidden(int id, bool hidden);
    const std::vector<MULTIBMPINFO>& GetImages() const { return m_placements; }
    // The visible image the last click hit, or -1.
    int GetClickedImageId() const { return m_clickedId; }
    // Where an image of the given size goes in the rectangle.
    static Platform::Point PlaceImage(const MULTIBMPINFO& info, Platform::Size image,
                                      const Platform::Rect& rect);

    bool Draw(Platform::Canvas* dc, int row, int col, Platform::Rect rect, bool eraseBackground,
              bool plain = false) override;
    Platform::Size GetCellExtent(Platform::Canvas* dc) override;
    bool PrintCell(Platform::Canvas* dc, int row, int col, Platform::Rect rect) override;
    void OnClick(Platform::Point point) override;

private:
    const Platform::ImageList* m_images = nullptr;
    std::vector<MULTIBMPINFO> m_placements;
    int m_clickedId = -1;
};
