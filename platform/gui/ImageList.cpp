#include "platform/gui/ImageList.h"

#include "platform/gui/Canvas.h"

namespace Platform
{

ImageList::ImageList(int width, int height) : m_width(std::max(1, width)), m_height(std::max(1, height))
{
}

int ImageList::Add(const QImage& strip, std::optional<ColorRef> keyColor)
{
    if (strip.isNull() || strip.height() < m_height || strip.width() < m_width)
        return -1;
    const int first = GetImageCount();
    const QImage source = strip.convertToFormat(QImage::Format_ARGB32);
    for (int x = 0; x + m_width <= source.width(); x += m_width)
    {
        QImage image = source.copy(x, 0, m_width, m_height);
        if (keyColor)
        {
            const QRgb key = qRgb(RValue(*keyColor), GValue(*keyColor), BValue(*keyColor));
            for (int y = 0; y < image.height(); ++y)
            {
                auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
                for (int i = 0; i < image.width(); ++i)
                    if ((line[i] & 0xFFFFFF) == (key & 0xFFFFFF))
                        line[i] = 0;
            }
        }
        m_images.push_back(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }
    return first;
}

const QImage* ImageList::GetImage(int index) const
{
    if (index < 0 || index >= GetImageCount())
        return nullptr;
    return &m_images[static_cast<size_t>(index)];
}

bool ImageList::Draw(Canvas& canvas, int index, Point at, unsigned style) const
{
    const QImage* image = GetImage(index);
    if (!image)
        return false;
    canvas.AlphaBlend(at.x, at.y, m_width, m_height, *image, (style & ILD_SELECTED) ? 128 : 255);
    return true;
}

} // namespace Platform
