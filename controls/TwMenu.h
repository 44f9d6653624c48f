#pragma once
#include "platform/gui/GdiObjects.h"
#include "platform/gui/GdiTypes.h"
#include "platform/gui/ImageList.h"

#include <QMenu>
#include <QString>

#include <memory>
#include <vector>

namespace Platform
{
class Canvas;
class MeasureCanvas;
} // namespace Platform

class TwMenu;
class TwMenuStyle;

// One item of a TwMenu: what it shows and the action that stands for it in the menu.
struct TwMenuData
{
    // The item text; a tab separates the accelerator text.
    QString text;
    // Index in the item's own images, -1 for none.
    int imageIndex = -1;
    // The images that belong to this item only: the image and, in the XP-like style, its
    // lightened, shadow and greyed variants. Null without an image.
    std::unique_ptr<Platform::ImageList> ownImages;
    unsigned flags = 0;
    // The command id (0 for a separator and for a popup item).
    unsigned commandId = 0;
    // The submenu of a popup item.
    TwMenu* submenu = nullptr;
    QAction* action = nullptr;
    TwMenu* owner = nullptr;
};

// Item states of a draw request.
enum : unsigned
{
    ODS_SELECTED = 0x0001,
    ODS_GRAYED = 0x0002,
    ODS_DISABLED = 0x0004,
    ODS_CHECKED = 0x0008,
};

struct TwMeasureItemInfo
{
    const TwMenuData* item = nullptr;
    int itemWidth = 0;
    int itemHeight = 0;
};

struct TwDrawItemInfo
{
    Platform::Canvas* dc = nullptr;
    const TwMenuData* item = nullptr;
    Platform::Rect rcItem;
    unsigned itemState = 0;
};

// A popup menu whose items are drawn by the program: an optional image beside the text,
// an accelerator column after a tab, a highlight bar, embossed disabled items and drawn
// check marks. Items are QActions of the menu; a chosen item is found by its command id.
//
// Two looks exist. The XP-like one (a shaded image column, a light selection box) is used
// with every Qt style but the classic "Windows" style, with which the classic look (an
// image box with raised and sunken frames, a highlight bar) is used; the style is looked
// at on every use, so a change of the application style shows in the next menu.
//
// Lifetime: construct on the stack, append items, track, let it go out of scope. A
// submenu is a TwMenu of its own that must live as long as the menu it is appended to.
class TwMenu : public QMenu
{
    Q_OBJECT
public:
    explicit TwMenu(QWidget* parent = nullptr);
    ~TwMenu() override;

    // The image size that items are laid out for; call before appending items.
    void SetImageSize(int width, int height);
    Platform::Size GetImageSize() const { return {m_imageWidth, m_imageHeight}; }

    // Appends an item: command id 0 makes a separator; with an image list the item shows
    // image imageIndex of it. Returns false when the item could not be added.
    bool AppendItem(const QString& text, unsigned flags, unsigned commandId,
                    const Platform::ImageList* images = nullptr, int imageIndex = 0);
    // Appends a popup item that opens the submenu.
    bool AppendItem(const QString& text, unsigned flags, TwMenu& submenu,
                    const Platform::ImageList* images = nullptr, int imageIndex = 0);

    // Shows the menu at a screen point through the popup service and returns the command
    // id of the chosen item, 0 when nothing was chosen.
    unsigned TrackPopupMenu(unsigned flags, int x, int y, QWidget* owner);

    // Removes every item.
    void DestroyMenu();

    // The size of an item, measured on the given canvas; the widest text and accelerator
    // seen so far grow with every item measured and are never reset.
    virtual void MeasureItem(TwMeasureItemInfo& info, Platform::Canvas& dc);
    // Draws one item into the canvas in the look that applies now.
    virtual void DrawItem(const TwDrawItemInfo& info);

    const std::vector<std::unique_ptr<TwMenuData>>& Items() const { return m_items; }
    const TwMenuData* FindItem(const QAction* action) const;
    int WidestText() const { return m_widestText; }
    int WidestAccelerator() const { return m_widestAccel; }

    // True when the XP-like look applies (see the class comment).
    static bool IsXpStyle();
    // The font menus are measured and drawn with.
    static Platform::LogFont MenuFont();
    // Channels c become (255 - c) * f + c, truncated; f outside (0, 1] leaves the colour.
    static Platform::ColorRef LightenColor(Platform::ColorRef color, double factor);
    // Channels c become c - c * f, truncated; f outside (0, 1] leaves the colour.
    static Platform::ColorRef DarkenColor(Platform::ColorRef color, double factor);

    // The variants of an item image, as images of the same size: the image drawn on the
    // button-face colour, then every pixel that is not button face changed.
    enum class Variant
    {
        Lightened,
        Shadow,
        Greyed,
    };
    static QImage MakeVariant(const QImage& image, Variant variant);
    // The disabled image of the classic look: a block of the background colour with the
    // image's outline in the highlight colour one pixel right and down, and in the shadow
    // colour at its own place.
    static QImage MakeEmbossed(const QImage& image, Platform::ColorRef background);

protected:
    void initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const override;

private:
    friend class TwMenuStyle;

    bool Append(const QString& text, unsigned flags, unsigned commandId, TwMenu* submenu,
                const Platform::ImageList* images, int imageIndex);
    void DrawClassic(const TwDrawItemInfo& info);
    void DrawXp(const TwDrawItemInfo& info);
    // The height of a plain text menu line in the menu font.
    static int SystemMenuHeight(Platform::Canvas& dc);
    // The canvas the menu measures its items on while Qt lays it out.
    Platform::Canvas& MeasureDc();

    std::unique_ptr<Platform::MeasureCanvas> m_measureDc;
    std::vector<std::unique_ptr<TwMenuData>> m_items;
    int m_imageWidth = 16;
    int m_imageHeight = 16;
    int m_widestText = 0;
    int m_widestAccel = 0;
};
