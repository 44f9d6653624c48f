#include "controls/TwMenu.h"

#include "platform/gui/Canvas.h"
#include "platform/gui/PainterCanvas.h"
#include "platform/gui/PopupMenu.h"
#include "platform/gui/SystemLook.h"

#include <QAction>
#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOption>

#include <algorithm>

using namespace Platform;

namespace
{

// The system widens every drawn item by a column, where it puts a submenu's arrow.
constexpr int kArrowColumn = 12;

// Indexes in an item's own images.
enum : int
{
    kImage = 0,
    kLightened = 1,
    kShadow = 2,
    kGreyed = 3,
};

QRgb ToQRgb(ColorRef c)
{
    return qRgb(RValue(c), GValue(c), BValue(c));
}

ColorRef FromQRgb(QRgb c)
{
    return Rgb(qRed(c), qGreen(c), qBlue(c));
}

// The image drawn normally on a block of the button-face colour.
QImage OnButtonFace(const QImage& image)
{
    QImage out(image.size(), QImage::Format_RGB32);
    out.fill(ToQRgb(GetSysColor(COLOR_BTNFACE)));
    QPainter p(&out);
    p.drawImage(0, 0, image);
    return out;
}

// Half up for a distance, never below 0.
int HalfUp(int v)
{
    return v <= 0 ? 0 : (v + 1) / 2;
}

void Draw3dRect(Canvas& dc, const Rect& r, ColorRef topLeft, ColorRef bottomRight)
{
    dc.FillSolidRect({r.left, r.top, r.right - 1, r.top + 1}, topLeft);
    dc.FillSolidRect({r.left, r.top, r.left + 1, r.bottom - 1}, topLeft);
    dc.FillSolidRect({r.right - 1, r.top, r.right, r.bottom}, bottomRight);
    dc.FillSolidRect({r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
}

// An etched line: shadow on top, highlight below.
void DrawEtchedLine(Canvas& dc, int left, int right, int y)
{
    dc.FillSolidRect({left, y, right, y + 1}, GetSysColor(COLOR_BTNSHADOW));
    dc.FillSolidRect({left, y + 1, right, y + 2}, GetSysColor(COLOR_BTNHIGHLIGHT));
}

// Seven columns, each three pixels tall, forming a tick.
void DrawCheckMark(Canvas& dc, int x, int y, ColorRef color)
{
    static constexpr int kStart[7] = {2, 3, 4, 3, 2, 1, 0};
    const Pen old = dc.SelectPen(Pen::Solid(0, color));
    for (int i = 0; i < 7; ++i)
    {
        dc.MoveTo(x + i, y + kStart[i]);
        dc.LineTo(x + i, y + kStart[i] + 3);
    }
    dc.SelectPen(old);
}

} // namespace

// Lays out and draws the items of TwMenus: the menu asks its style for every item's size
// and drawing, and this style hands both to the menu.
class TwMenuStyle : public QProxyStyle
{
public:
    static TwMenuStyle* Instance()
    {
        static QPointer<TwMenuStyle> style;
        if (!style)
        {
            style = new TwMenuStyle;
            style->setParent(QCoreApplication::instance());
        }
        return style;
    }

    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        if (qobject_cast<const TwMenu*>(widget))
        {
            switch (metric)
            {
            case PM_MenuPanelWidth:
                return TwMenu::IsXpStyle() ? 1 : 2;
            case PM_MenuHMargin:
                return TwMenu::IsXpStyle() ? 0 : 1;
            case PM_MenuVMargin:
                return 1;
            default:
                break;
            }
        }
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        // The classic look highlights a disabled item like any other; the XP-like look
        // never does.
        if (hint == SH_Menu_AllowActiveAndDisabled && qobject_cast<const TwMenu*>(widget))
            return TwMenu::IsXpStyle() ? 0 : 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override
    {
        auto* menu = const_cast<TwMenu*>(qobject_cast<const TwMenu*>(widget));
        if (menu && type == CT_Menu)
            return size;
        if (menu && type == CT_MenuItem)
        {
            const TwMenuData* item = menu->FindItem(qobject_cast<const QAction*>(option->styleObject));
            if (item)
            {
                TwMeasureItemInfo info;
                info.item = item;
                menu->MeasureItem(info, menu->MeasureDc());
                return QSize(std::max(1, info.itemWidth + kArrowColumn), std::max(1, info.itemHeight));
            }
        }
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    }

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        auto* menu = const_cast<TwMenu*>(qobject_cast<const TwMenu*>(widget));
        if (menu && element == CE_MenuItem)
        {
            const TwMenuData* item = menu->FindItem(qobject_cast<const QAction*>(option->styleObject));
            if (item)
            {
                DrawMenuItem(*menu, *item, option, painter);
                return;
            }
        }
        if (menu && element == CE_MenuEmptyArea)
        {
            FillPanel(*menu, option->rect, painter);
            return;
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        auto* menu = qobject_cast<const TwMenu*>(widget);
        if (menu && element == PE_PanelMenu)
        {
            FillPanel(*menu, option->rect, painter);
            return;
        }
        if (menu && element == PE_FrameMenu)
        {
            painter->save();
            PainterCanvas dc(*painter, widget->rect(), Clip(*painter, widget), false);
            const Rect r{0, 0, widget->width(), widget->height()};
            if (TwMenu::IsXpStyle())
            {
                dc.FrameRect(r, Brush::Solid(GetSysColor(COLOR_BTNSHADOW)));
            }
            else
            {
                Draw3dRect(dc, r, GetSysColor(COLOR_3DLIGHT), GetSysColor(COLOR_3DDKSHADOW));
                Draw3dRect(dc, {1, 1, r.right - 1, r.bottom - 1}, GetSysColor(COLOR_BTNHIGHLIGHT),
                           GetSysColor(COLOR_BTNSHADOW));
            }
            painter->restore();
            return;
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

private:
    static QRegion Clip(const QPainter& painter, const QWidget* widget)
    {
        return painter.hasClipping() ? painter.clipRegion() : QRegion(widget->rect());
    }

    // The menu's background outside its items: in the XP-like look the image column runs
    // from top to bottom.
    static void FillPanel(const TwMenu& menu, const QRect& rect, QPainter* painter)
    {
        painter->save();
        PainterCanvas dc(*painter, menu.rect(), Clip(*painter, &menu), false);
        const Rect r{rect.left(), rect.top(), rect.right() + 1, rect.bottom() + 1};
        if (TwMenu::IsXpStyle())
        {
            dc.FillSolidRect(r, TwMenu::DarkenColor(GetSysColor(COLOR_WINDOW), 0.02));
            const int frame = menu.style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, &menu);
            const int gutter = menu.GetImageSize().cx + 7;
            dc.FillSolidRect({frame, 0, frame + gutter, menu.height()}, GetSysColor(COLOR_BTNFACE));
        }
        else
        {
            dc.FillSolidRect(r, GetSysColor(COLOR_BTNFACE));
        }
        painter->restore();
    }

    static void DrawMenuItem(TwMenu& menu, const TwMenuData& item, const QStyleOption* option,
                             QPainter* painter)
    {
        painter->save();
        PainterCanvas dc(*painter, menu.rect(), Clip(*painter, &menu), false);
        TwDrawItemInfo info;
        info.dc = &dc;
        info.item = &item;
        const QRect& r = option->rect;
        info.rcItem = {r.left(), r.top(), r.right() + 1, r.bottom() + 1};
        if (option->state & QStyle::State_Selected)
            info.itemState |= ODS_SELECTED;
        if (item.flags & MF_GRAYED)
            info.itemState |= ODS_GRAYED;
        if (item.flags & MF_DISABLED)
            info.itemState |= ODS_DISABLED;
        if (item.flags & MF_CHECKED)
            info.itemState |= ODS_CHECKED;
        menu.DrawItem(info);

        // The system draws a submenu's arrow over the item, in the column it added.
        const bool xp = TwMenu::IsXpStyle();
        const bool selected = (info.itemState & ODS_SELECTED) && !(xp && (info.itemState & ODS_GRAYED));
        if (item.submenu)
        {
            ColorRef color =
                (selected && !xp) ? GetSysColor(COLOR_HIGHLIGHTTEXT) : GetSysColor(COLOR_BTNTEXT);
            if (item.flags & MF_GRAYED)
                color = GetSysColor(COLOR_GRAYTEXT);
            const int x = info.rcItem.right - kArrowColumn + 3;
            const int y = info.rcItem.top + info.rcItem.Height() / 2;
            const Point arrow[3] = {{x, y - 4}, {x + 4, y}, {x, y + 4}};
            dc.SelectPen(Pen::Solid(0, color));
            dc.SelectBrush(Brush::Solid(color));
            dc.Polygon(arrow, 3);
        }
        painter->restore();
    }
};

TwMenu::TwMenu(QWidget* parent) : QMenu(parent)
{
    // Every separator shows, as appended.
    setSeparatorsCollapsible(false);
    setStyle(TwMenuStyle::Instance());
}

TwMenu::~TwMenu()
{
    DestroyMenu();
}

void TwMenu::SetImageSize(int width, int height)
{
    m_imageWidth = width;
    m_imageHeight = height;
}

bool TwMenu::AppendItem(const QString& text, unsigned flags, unsigned commandId, const ImageList* images,
                        int imageIndex)
{
    return Append(text, flags & ~MF_POPUP, commandId, nullptr, images, imageIndex);
}

bool TwMenu::AppendItem(const QString& text, unsigned flags, TwMenu& submenu, const ImageList* images,
                        int imageIndex)
{
    if (&submenu == this)
        return false;
    return Append(text, flags | MF_POPUP, 0, &submenu, images, imageIndex);
}

bool TwMenu::Append(const QString& text, unsigned flags, unsigned commandId, TwMenu* submenu,
                    const ImageList* images, int imageIndex)
{
    auto item = std::make_unique<TwMenuData>();
    item->owner = this;
    if (!submenu && commandId == 0)
        flags = (flags & MF_BYPOSITION) | MF_SEPARATOR | MF_OWNERDRAW;
    else
        flags |= MF_OWNERDRAW;
    item->flags = flags;
    item->text = text;
    item->commandId = submenu ? 0 : commandId;
    item->submenu = submenu;

    if (images && !(flags & MF_SEPARATOR))
    {
        if (const QImage* source = images->GetImage(imageIndex))
        {
            const Size size = images->GetImageSize();
            auto own = std::make_unique<ImageList>(size.cx, size.cy);
            own->Add(*source);
            if (IsXpStyle())
            {
                const ColorRef face = GetSysColor(COLOR_BTNFACE);
                for (Variant v : {Variant::Lightened, Variant::Shadow, Variant::Greyed})
                    own->Add(MakeVariant(*source, v), face);
            }
            item->ownImages = std::move(own);
            item->imageIndex = kImage;
        }
    }

    // The action shows only the text before the tab, so that Qt reserves no shortcut
    // column of its own; the item draws both parts.
    const QString shown = text.section(u'\t', 0, 0);
    QAction* action = nullptr;
    if (flags & MF_SEPARATOR)
    {
        action = addSeparator();
    }
    else if (submenu)
    {
        action = addMenu(submenu);
        action->setText(shown);
    }
    else
    {
        action = addAction(shown);
        action->setData(commandId);
    }
    if (!action)
        return false;
    action->setProperty(kMenuItemTextProperty, text);
    action->setEnabled(!(flags & (MF_GRAYED | MF_DISABLED)));
    if (flags & MF_CHECKED)
    {
        action->setCheckable(true);
        action->setChecked(true);
    }
    item->action = action;
    m_items.push_back(std::move(item));
    return true;
}

unsigned TwMenu::TrackPopupMenu(unsigned flags, int x, int y, QWidget* owner)
{
    QAction* chosen = Platform::TrackPopupMenu(*this, QPoint(x, y), flags, owner);
    if (!chosen)
        return 0;
    // A choice in a submenu reports that submenu's action, with its own id.
    return chosen->data().toUInt();
}

void TwMenu::DestroyMenu()
{
    m_items.clear();
    clear();
}

const TwMenuData* TwMenu::FindItem(const QAction* action) const
{
    if (!action)
        return nullptr;
    for (const auto& item : m_items)
        if (item->action == action)
            return item.get();
    return nullptr;
}

void TwMenu::initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const
{
    QMenu::initStyleOption(option, action);
    // The style finds the item by its action.
    option->styleObject = const_cast<QAction*>(action);
}

Canvas& TwMenu::MeasureDc()
{
    if (!m_measureDc)
        m_measureDc = std::make_unique<MeasureCanvas>();
    return *m_measureDc;
}

bool TwMenu::IsXpStyle()
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return false;
    const QStyle* style = QApplication::style();
    return style && style->name().compare(QLatin1String("windows"), Qt::CaseInsensitive) != 0;
}

LogFont TwMenu::MenuFont()
{
    return GetMessageFont();
}

ColorRef TwMenu::LightenColor(ColorRef color, double factor)
{
    if (!(factor > 0.0 && factor <= 1.0))
        return color;
    auto channel = [factor](int c) { return static_cast<int>((255 - c) * factor + c); };
    return Rgb(channel(RValue(color)), channel(GValue(color)), channel(BValue(color)));
}

ColorRef TwMenu::DarkenColor(ColorRef color, double factor)
{
    if (!(factor > 0.0 && factor <= 1.0))
        return color;
    auto channel = [factor](int c) { return static_cast<int>(c - c * factor); };
    return Rgb(channel(RValue(color)), channel(GValue(color)), channel(BValue(color)));
}

QImage TwMenu::MakeVariant(const QImage& image, Variant variant)
{
    QImage out = OnButtonFace(image);
    const QRgb face = ToQRgb(GetSysColor(COLOR_BTNFACE));
    const ColorRef shadow = GetSysColor(COLOR_BTNSHADOW);
    for (int y = 0; y < out.height(); ++y)
    {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
        {
            if ((line[x] & 0xFFFFFF) == (face & 0xFFFFFF))
                continue;
            const ColorRef pixel = FromQRgb(line[x]);
            ColorRef result = pixel;
            switch (variant)
            {
            case Variant::Lightened:
                result = LightenColor(pixel, 0.3);
                break;
            case Variant::Shadow:
                result = shadow;
                break;
            case Variant::Greyed:
            {
                const int grey = (RValue(pixel) + GValue(pixel) + BValue(pixel)) / 3;
                result = LightenColor(shadow, grey / 255.0);
                break;
            }
            }
            line[x] = ToQRgb(result);
        }
    }
    return out;
}

QImage TwMenu::MakeEmbossed(const QImage& image, ColorRef background)
{
    const QImage source = OnButtonFace(image);
    const QRgb face = ToQRgb(GetSysColor(COLOR_BTNFACE)) & 0xFFFFFF;
    const QRgb highlight = ToQRgb(GetSysColor(COLOR_BTNHIGHLIGHT));
    const QRgb shadow = ToQRgb(GetSysColor(COLOR_BTNSHADOW));
    QImage out(source.size(), QImage::Format_RGB32);
    out.fill(ToQRgb(background));
    auto isOutline = [&](int x, int y)
    {
        const QRgb p = source.pixel(x, y) & 0xFFFFFF;
        return p != face && p != (highlight & 0xFFFFFF);
    };
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x)
            if (isOutline(x, y) && x + 1 < out.width() && y + 1 < out.height())
                out.setPixel(x + 1, y + 1, highlight);
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x)
            if (isOutline(x, y))
                out.setPixel(x, y, shadow);
    return out;
}

int TwMenu::SystemMenuHeight(Canvas& dc)
{
    const Font old = dc.SelectFont(Font(MenuFont()));
    const int height = dc.GetTextMetrics().height + 6;
    dc.SelectFont(old);
    return height;
}

void TwMenu::MeasureItem(TwMeasureItemInfo& info, Canvas& dc)
{
    const TwMenuData* item = info.item;
    if (!item)
        return;
    const bool xp = IsXpStyle();
    const int b = xp ? 7 : 4;
    const int menuHeight = SystemMenuHeight(dc);
    if (item->flags & MF_SEPARATOR)
    {
        info.itemWidth = 0;
        info.itemHeight = xp ? 3 : std::max((b + m_imageHeight) / 2, menuHeight / 2);
        return;
    }

    const Font old = dc.SelectFont(Font(MenuFont()));
    const qsizetype tab = item->text.indexOf(u'\t');
    const QStringView text = QStringView(item->text).left(tab < 0 ? item->text.size() : tab);
    m_widestText = std::max(m_widestText, dc.GetTextExtent(text).cx);
    if (tab >= 0)
        m_widestAccel = std::max(m_widestAccel, dc.GetTextExtent(QStringView(item->text).mid(tab + 1)).cx);
    dc.SelectFont(old);

    const int w = m_widestText + m_widestAccel + 10;
    info.itemWidth = xp ? m_imageWidth + w + b + 8 : 2 * m_imageWidth + w + 1;
    info.itemHeight = std::max(m_imageHeight + b, menuHeight);
}

void TwMenu::DrawItem(const TwDrawItemInfo& info)
{
    if (!info.dc || !info.item)
        return;
    Canvas& dc = *info.dc;
    const int saved = dc.SaveDC();
    dc.SelectFont(Font(MenuFont()));
    dc.SetBkMode(TRANSPARENT);
    if (IsXpStyle())
        DrawXp(info);
    else
        DrawClassic(info);
    dc.RestoreDC(saved);
}

void TwMenu::DrawClassic(const TwDrawItemInfo& info)
{
    Canvas& dc = *info.dc;
    const TwMenuData& item = *info.item;
    const Rect& rc = info.rcItem;
    const int W = m_imageWidth;
    const int H = m_imageHeight;
    const ColorRef bg = GetSysColor(COLOR_BTNFACE);
    const ColorRef hilite = GetSysColor(COLOR_BTNHIGHLIGHT);
    const ColorRef shadow = GetSysColor(COLOR_BTNSHADOW);

    if (item.flags & MF_SEPARATOR)
    {
        dc.FillSolidRect(rc, bg);
        DrawEtchedLine(dc, rc.left, rc.right, rc.top + rc.Height() / 2);
        return;
    }

    const bool selected = info.itemState & ODS_SELECTED;
    const bool greyed = info.itemState & ODS_GRAYED;
    const bool checked = info.itemState & ODS_CHECKED;
    const bool hasImage = item.ownImages && item.ownImages->GetImage(item.imageIndex);

    ColorRef textColor = GetSysColor(COLOR_BTNTEXT);
    if (selected)
    {
        Rect bar = rc;
        if (hasImage || checked)
            bar.left = rc.left + W + 5;
        dc.FillSolidRect(bar, GetSysColor(COLOR_HIGHLIGHT));
        textColor = GetSysColor(COLOR_HIGHLIGHTTEXT);
    }
    else
    {
        dc.FillSolidRect(rc, bg);
    }

    const int E = std::max(0, (rc.Height() - H - 4) / 2);
    if (hasImage)
    {
        const Rect inner{rc.left + 1, rc.top + E + 1, rc.left + W + 3, rc.top + E + H + 3};
        const Rect outer{rc.left, rc.top + E, rc.left + W + 4, rc.top + E + H + 4};
        const Point at{rc.left + 2, rc.top + E + 2};
        dc.FrameRect(inner, Brush::Solid(bg));
        if (greyed)
        {
            dc.FrameRect(outer, Brush::Solid(bg));
            const QImage embossed = MakeEmbossed(*item.ownImages->GetImage(item.imageIndex), bg);
            dc.BitBlt(at.x, at.y, embossed.width(), embossed.height(), embossed, 0, 0);
        }
        else
        {
            if (selected)
            {
                dc.FillSolidRect(inner, bg);
                if (checked)
                    Draw3dRect(dc, outer, shadow, hilite);
                else
                    Draw3dRect(dc, outer, hilite, shadow);
            }
            else if (checked)
            {
                dc.FillSolidRect(inner, LightenColor(bg, 0.6));
                Draw3dRect(dc, outer, shadow, hilite);
            }
            else
            {
                dc.FillSolidRect(inner, bg);
                dc.FrameRect(outer, Brush::Solid(bg));
            }
            item.ownImages->Draw(dc, item.imageIndex, at, ILD_NORMAL);
        }
    }
    else if (checked)
    {
        const Rect box{rc.left + 1, rc.top + E + 2, rc.left + W + 1, rc.top + E + H + 2};
        dc.FillSolidRect(box, selected ? bg : LightenColor(bg, 0.6));
        Draw3dRect(dc, box, shadow, hilite);
        DrawCheckMark(dc, box.left + 4, box.top + 4, GetSysColor(COLOR_BTNTEXT));
    }

    const qsizetype tab = item.text.indexOf(u'\t');
    const QString text = tab < 0 ? item.text : item.text.left(tab);
    const QString accel = tab < 0 ? QString() : item.text.mid(tab + 1);
    const unsigned format = DT_LEFT | DT_SINGLELINE | DT_VCENTER;
    auto drawTexts = [&](int dx, int dy, ColorRef color)
    {
        dc.SetTextColor(color);
        Rect tr{rc.left + W + 9 + dx, rc.top - 1 + dy, rc.right + dx, rc.bottom - 1 + dy};
        dc.DrawText(text, &tr, format);
        if (tab >= 0)
        {
            Rect ar{rc.left + W + 9 + m_widestText + 10 + dx, rc.top - 1 + dy, rc.right + dx,
                    rc.bottom - 1 + dy};
            dc.DrawText(accel, &ar, format);
        }
    };
    if (greyed && selected)
    {
        drawTexts(0, 0, bg);
    }
    else if (greyed)
    {
        drawTexts(1, 1, hilite);
        drawTexts(0, 0, GetSysColor(COLOR_GRAYTEXT));
    }
    else
    {
        drawTexts(0, 0, textColor);
    }
}

void TwMenu::DrawXp(const TwDrawItemInfo& info)
{
    Canvas& dc = *info.dc;
    const TwMenuData& item = *info.item;
    const Rect& rc = info.rcItem;
    const int W = m_imageWidth;
    const int H = m_imageHeight;
    const int G = W + 7;
    const ColorRef background = DarkenColor(GetSysColor(COLOR_WINDOW), 0.02);
    const ColorRef gutter = GetSysColor(COLOR_BTNFACE);
    const ColorRef highlight = GetSysColor(COLOR_HIGHLIGHT);
    const ColorRef selection = LightenColor(highlight, 0.7);
    const Rect gutterRect{rc.left, rc.top, rc.left + G, rc.bottom};

    if (item.flags & MF_SEPARATOR)
    {
        dc.FillSolidRect(rc, background);
        DrawEtchedLine(dc, rc.left + G + 7, rc.right, rc.top + rc.Height() / 2);
        dc.FillSolidRect(gutterRect, gutter);
        dc.FrameRect(gutterRect, Brush::Solid(gutter));
        return;
    }

    const bool greyed = info.itemState & ODS_GRAYED;
    // A greyed item is never highlighted in this look.
    const bool selected = (info.itemState & ODS_SELECTED) && !greyed;
    const bool checked = info.itemState & ODS_CHECKED;

    if (selected)
    {
        dc.FillSolidRect(rc, selection);
        dc.FrameRect(rc, Brush::Solid(highlight));
    }
    else
    {
        dc.FillSolidRect(rc, background);
        dc.FrameRect(rc, Brush::Solid(background));
        dc.FillSolidRect(gutterRect, gutter);
        dc.FrameRect(gutterRect, Brush::Solid(gutter));
    }

    const Rect box{rc.left + 1, rc.top + 1, rc.left + G - 2, rc.bottom - 1};
    const ImageList* images = item.ownImages.get();
    const bool hasImage = images && images->GetImage(item.imageIndex);
    const bool hasVariants = images && images->GetImageCount() > kGreyed;
    if (hasImage)
    {
        const int x = rc.left + HalfUp(G - W);
        const int y = rc.top + HalfUp(rc.Height() - H);
        if (selected && checked)
        {
            dc.FillSolidRect(box, LightenColor(highlight, 0.55));
            dc.FrameRect(box, Brush::Solid(highlight));
            images->Draw(dc, item.imageIndex, {x - 1, y - 1}, ILD_NORMAL);
        }
        else if (selected)
        {
            dc.FillSolidRect(box, selection);
            if (hasVariants)
            {
                images->Draw(dc, kShadow, {x + 1, y + 1}, ILD_NORMAL);
                images->Draw(dc, item.imageIndex, {x - 1, y - 1}, ILD_NORMAL);
            }
            else
            {
                images->Draw(dc, item.imageIndex, {x, y}, ILD_NORMAL);
            }
        }
        else if (checked)
        {
            dc.FillSolidRect(box, LightenColor(highlight, 0.85));
            dc.FrameRect(box, Brush::Solid(highlight));
            images->Draw(dc, item.imageIndex, {x - 1, y - 1}, ILD_NORMAL);
        }
        else if (greyed)
        {
            if (hasVariants)
            {
                images->Draw(dc, kGreyed, {x, y}, ILD_NORMAL);
            }
            else
            {
                const QImage embossed = MakeEmbossed(*images->GetImage(item.imageIndex), gutter);
                dc.BitBlt(x, y, embossed.width(), embossed.height(), embossed, 0, 0);
            }
        }
        else
        {
            dc.FillSolidRect(box, gutter);
            dc.FrameRect(box, Brush::Solid(gutter));
            images->Draw(dc, hasVariants ? kLightened : item.imageIndex, {x, y}, ILD_NORMAL);
        }
    }
    else if (checked)
    {
        dc.FillSolidRect(box, LightenColor(highlight, selected ? 0.55 : 0.85));
        dc.FrameRect(box, Brush::Solid(highlight));
        const int cx = box.Width() < 6 ? 0 : box.Width() / 2 - 3;
        const int cy = box.Height() < 6 ? 0 : box.Height() / 2 - 3;
        DrawCheckMark(dc, box.left + cx, box.top + cy, GetSysColor(COLOR_BTNTEXT));
    }

    const qsizetype tab = item.text.indexOf(u'\t');
    const unsigned format = DT_LEFT | DT_SINGLELINE | DT_VCENTER;
    dc.SetTextColor(greyed ? GetSysColor(COLOR_GRAYTEXT) : GetSysColor(COLOR_BTNTEXT));
    Rect tr{rc.left + G + 8, rc.top, rc.right, rc.bottom};
    dc.DrawText(tab < 0 ? item.text : item.text.left(tab), &tr, format);
    if (tab >= 0)
    {
        Rect ar{rc.left + G + 8 + m_widestText + 10, rc.top, rc.right, rc.bottom};
        dc.DrawText(item.text.mid(tab + 1), &ar, format);
    }
}
