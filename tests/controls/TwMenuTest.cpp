#include "controls/TwMenu.h"
#include "platform/gui/BitmapTable.h"
#include "platform/gui/PopupMenu.h"
#include "platform/gui/RecordingCanvas.h"
#include "platform/gui/SystemLook.h"
#include "resources/BuiltInBitmaps.h"
#include "tests/support/PopupMenuRecorder.h"

#include <QApplication>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>

#include <gtest/gtest.h>

using namespace Platform;
using Kind = CanvasOp::Kind;

namespace
{

// Switches the application style for one test: "windows" gives the classic menu look,
// any other style the XP-like one.
class StyleScope
{
public:
    explicit StyleScope(const char* name) : m_previous(QApplication::style()->name())
    {
        QApplication::setStyle(QString::fromLatin1(name));
    }
    ~StyleScope() { QApplication::setStyle(m_previous); }

private:
    QString m_previous;
};

ImageList EditImages()
{
    ImageList images(16, 16);
    RegisterBuiltInBitmaps();
    images.Add(Platform::BitmapTable::Instance().Get(1312), Rgb(255, 255, 255));
    return images;
}

std::vector<CanvasOp> OpsOf(const RecordingCanvas& dc, Kind kind)
{
    return dc.OpsOf(kind);
}

TwDrawItemInfo DrawInfo(RecordingCanvas& dc, const TwMenuData* item, Rect rc, unsigned state)
{
    TwDrawItemInfo info;
    info.dc = &dc;
    info.item = item;
    info.rcItem = rc;
    info.itemState = state;
    return info;
}

bool HasFill(const RecordingCanvas& dc, Rect rect, ColorRef color)
{
    for (const CanvasOp& op : dc.OpsOf(Kind::FillRect))
        if (op.rect == rect && op.color == color)
            return true;
    return false;
}

} // namespace

TEST(TwMenuColours, LightenAndDarkenTruncateAndIgnoreFactorsOutsideTheUnitInterval)
{
    struct Case
    {
        ColorRef color;
        double factor;
        ColorRef lightened;
        ColorRef darkened;
    };
    const Case cases[] = {
        {Rgb(100, 0, 255), 0.5, Rgb(177, 127, 255), Rgb(50, 0, 127)},
        {Rgb(100, 3, 255), 0.02, Rgb(103, 8, 255), Rgb(98, 2, 249)},
        {Rgb(10, 20, 30), 1.0, Rgb(255, 255, 255), Rgb(0, 0, 0)},
        {Rgb(10, 20, 30), 0.0, Rgb(10, 20, 30), Rgb(10, 20, 30)},
        {Rgb(10, 20, 30), -0.1, Rgb(10, 20, 30), Rgb(10, 20, 30)},
        {Rgb(10, 20, 30), 1.5, Rgb(10, 20, 30), Rgb(10, 20, 30)},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(TwMenu::LightenColor(c.color, c.factor), c.lightened) << c.factor;
        EXPECT_EQ(TwMenu::DarkenColor(c.color, c.factor), c.darkened) << c.factor;
    }
}

TEST(TwMenuItems, AppendMapsItemsToActionsWithTheirIdsAndStates)
{
    StyleScope style("fusion");
    const ImageList images = EditImages();
    TwMenu menu;
    ASSERT_TRUE(menu.AppendItem(QStringLiteral("Cut"), 0, 3, &images, 1));
    // Id 0 makes a separator whatever the flags, keeping only the by-position flag.
    ASSERT_TRUE(menu.AppendItem(QStringLiteral("ignored"), MF_GRAYED | MF_CHECKED | MF_BYPOSITION, 0));
    ASSERT_TRUE(menu.AppendItem(QStringLiteral("Paste\tCtrl+V"), MF_OWNERDRAW | MF_GRAYED, 5, &images, 3));
    ASSERT_TRUE(menu.AppendItem(QStringLiteral("Metric"), MF_CHECKED, 1));
    ASSERT_TRUE(menu.AppendItem(QStringLiteral("No image"), 0, 9, &images, 99));

    const auto& items = menu.Items();
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items[0]->flags, MF_OWNERDRAW);
    EXPECT_EQ(items[1]->flags, MF_BYPOSITION | MF_SEPARATOR | MF_OWNERDRAW);
    EXPECT_TRUE(items[1]->action->isSeparator());
    EXPECT_EQ(items[2]->flags, MF_OWNERDRAW | MF_GRAYED);

    const QList<QAction*> actions = menu.actions();
    ASSERT_EQ(actions.size(), 5);
    EXPECT_EQ(actions[0]->data().toUInt(), 3u);
    EXPECT_TRUE(actions[0]->isEnabled());
    EXPECT_FALSE(actions[2]->isEnabled());
    // Qt sees only the text before the tab; the item keeps the whole text.
    EXPECT_EQ(actions[2]->text(), QStringLiteral("Paste"));
    EXPECT_EQ(items[2]->text, QStringLiteral("Paste\tCtrl+V"));
    EXPECT_TRUE(actions[3]->isChecked());

    // In the XP-like look each image gets its lightened, shadow and greyed variants.
    ASSERT_NE(items[0]->ownImages, nullptr);
    EXPECT_EQ(items[0]->ownImages->GetImageCount(), 4);
    EXPECT_EQ(items[0]->imageIndex, 0);
    // An index outside the list leaves the item without image.
    EXPECT_EQ(items[4]->ownImages, nullptr);
    EXPECT_EQ(items[4]->imageIndex, -1);
    EXPECT_EQ(items[3]->ownImages, nullptr);

    StyleScope classic("windows");
    TwMenu plain;
    plain.AppendItem(QStringLiteral("Cut"), 0, 3, &images, 1);
    EXPECT_EQ(plain.Items()[0]->ownImages->GetImageCount(), 1);
}

TEST(TwMenuItems, VariantsChangeEveryPixelButTheButtonFace)
{
    QImage image(2, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(0, 0, 0, 0));
    image.setPixel(1, 0, qRgb(30, 60, 90));
    const ColorRef face = GetSysColor(COLOR_BTNFACE);
    const ColorRef shadow = GetSysColor(COLOR_BTNSHADOW);
    auto at = [](const QImage& img, int x)
    {
        const QRgb p = img.pixel(x, 0);
        return Rgb(qRed(p), qGreen(p), qBlue(p));
    };

    const QImage lightened = TwMenu::MakeVariant(image, TwMenu::Variant::Lightened);
    EXPECT_EQ(at(lightened, 0), face);
    EXPECT_EQ(at(lightened, 1), TwMenu::LightenColor(Rgb(30, 60, 90), 0.3));
    EXPECT_EQ(at(TwMenu::MakeVariant(image, TwMenu::Variant::Shadow), 1), shadow);
    // Grey level (30 + 60 + 90) / 3 = 60 lightens the shadow colour by 60 / 255.
    EXPECT_EQ(at(TwMenu::MakeVariant(image, TwMenu::Variant::Greyed), 1),
              TwMenu::LightenColor(shadow, 60 / 255.0));

    // Embossed: the outline in the highlight colour one pixel right and down, the shadow
    // colour on top at its own place, the rest the background.
    QImage square(3, 3, QImage::Format_ARGB32);
    square.fill(qRgba(0, 0, 0, 0));
    square.setPixel(0, 0, qRgb(0, 0, 0));
    square.setPixel(1, 1, qRgb(0, 0, 0));
    const ColorRef background = Rgb(1, 2, 3);
    const QImage embossed = TwMenu::MakeEmbossed(square, background);
    auto px = [&](int x, int y)
    {
        const QRgb p = embossed.pixel(x, y);
        return Rgb(qRed(p), qGreen(p), qBlue(p));
    };
    EXPECT_EQ(px(0, 0), shadow);
    EXPECT_EQ(px(1, 1), shadow);
    EXPECT_EQ(px(2, 2), GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(px(1, 0), background);
    EXPECT_EQ(px(0, 2), background);
}

TEST(TwMenuMeasure, WidthsFollowTheWidestTextAndAcceleratorSoFarInEachLook)
{
    // Recording canvas: 6 pixels a character, lines 12 high, so the menu line is 18.
    struct Case
    {
        const char* style;
        int openWidth;
        int cutWidth;
        int longWidth;
        int height;
        int separatorHeight;
    };
    const Case cases[] = {
        // Classic: 2 x image width + widest text + widest accelerator + 10 + 1.
        {"windows", 32 + 24 + 10 + 1, 32 + 24 + 36 + 10 + 1, 32 + 78 + 36 + 10 + 1, 20, 10},
        // XP-like: image width + the same + 7 + 8.
        {"fusion", 16 + 24 + 10 + 15, 16 + 24 + 36 + 10 + 15, 16 + 78 + 36 + 10 + 15, 23, 3},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.style);
        StyleScope style(c.style);
        TwMenu menu;
        menu.AppendItem(QStringLiteral("Open"), 0, 1);
        menu.AppendItem(QStringLiteral("Cut\tCtrl+X"), 0, 2);
        menu.AppendItem(QString(), 0, 0);
        menu.AppendItem(QStringLiteral("Properties..."), 0, 3);
        RecordingCanvas dc;
        auto measure = [&](size_t i)
        {
            TwMeasureItemInfo info;
            info.item = menu.Items()[i].get();
            menu.MeasureItem(info, dc);
            return info;
        };
        EXPECT_EQ(measure(0).itemWidth, c.openWidth);
        EXPECT_EQ(measure(1).itemWidth, c.cutWidth);
        const TwMeasureItemInfo separator = measure(2);
        EXPECT_EQ(separator.itemWidth, 0);
        EXPECT_EQ(separator.itemHeight, c.separatorHeight);
        const TwMeasureItemInfo longItem = measure(3);
        EXPECT_EQ(longItem.itemWidth, c.longWidth);
        EXPECT_EQ(longItem.itemHeight, c.height);
        // A long item widens every item measured after it; nothing shrinks again.
        EXPECT_EQ(measure(0).itemWidth, c.longWidth);
        EXPECT_EQ(menu.WidestText(), 78);
        EXPECT_EQ(menu.WidestAccelerator(), 36);
    }
}

TEST(TwMenuMeasure, ImageSizeSetsTheItemAndClassicSeparatorHeights)
{
    StyleScope style("windows");
    TwMenu menu;
    menu.SetImageSize(20, 19);
    menu.AppendItem(QStringLiteral("Expand all"), 0, 1);
    menu.AppendItem(QString(), 0, 0);
    RecordingCanvas dc;
    TwMeasureItemInfo item{menu.Items()[0].get()};
    TwMeasureItemInfo separator{menu.Items()[1].get()};
    menu.MeasureItem(item, dc);
    menu.MeasureItem(separator, dc);
    EXPECT_EQ(item.itemHeight, 23);
    EXPECT_EQ(item.itemWidth, 40 + 60 + 10 + 1);
    EXPECT_EQ(separator.itemHeight, 11);
}

TEST(TwMenuDrawClassic, SelectedItemWithImageRaisesTheImageBoxAndAlignsTheAcceleratorColumn)
{
    StyleScope style("windows");
    const ImageList images = EditImages();
    TwMenu menu;
    menu.AppendItem(QStringLiteral("Cut\tCtrl+X"), 0, 3, &images, 1);
    menu.AppendItem(QStringLiteral("Rename"), 0, 7, &images, 5);
    RecordingCanvas dc;
    for (const auto& item : menu.Items())
    {
        TwMeasureItemInfo info{item.get()};
        menu.MeasureItem(info, dc);
    }
    dc.Clear();
    const Rect rc{0, 20, 160, 40};
    menu.DrawItem(DrawInfo(dc, menu.Items()[0].get(), rc, ODS_SELECTED));

    const ColorRef bg = GetSysColor(COLOR_BTNFACE);
    // The highlight bar starts right of the image box.
    EXPECT_TRUE(HasFill(dc, {21, 20, 160, 40}, GetSysColor(COLOR_HIGHLIGHT)));
    EXPECT_TRUE(HasFill(dc, {1, 21, 19, 39}, bg));
    // Raised frame: highlight on the top edge, shadow on the right.
    EXPECT_TRUE(HasFill(dc, {0, 20, 19, 21}, GetSysColor(COLOR_BTNHIGHLIGHT)));
    EXPECT_TRUE(HasFill(dc, {19, 20, 20, 40}, GetSysColor(COLOR_BTNSHADOW)));
    const auto images1 = OpsOf(dc, Kind::AlphaBlend);
    ASSERT_EQ(images1.size(), 1u);
    EXPECT_EQ(images1[0].rect, (Rect{2, 22, 18, 38}));

    const auto texts = OpsOf(dc, Kind::DrawText);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].text, QStringLiteral("Cut"));
    EXPECT_EQ(texts[0].rect, (Rect{25, 19, 160, 39}));
    EXPECT_EQ(texts[0].textColor, GetSysColor(COLOR_HIGHLIGHTTEXT));
    // The accelerator column starts the widest text ("Rename", 36) plus 10 right of the text.
    EXPECT_EQ(texts[1].text, QStringLiteral("Ctrl+X"));
    EXPECT_EQ(texts[1].rect.left, 25 + 36 + 10);
    EXPECT_EQ(texts[0].format, DT_LEFT | DT_SINGLELINE | DT_VCENTER);
}

TEST(TwMenuDrawClassic, GreyedItemsAreEmbossedAndCheckedItemsWithoutImageGetATick)
{
    StyleScope style("windows");
    const ImageList images = EditImages();
    TwMenu menu;
    menu.AppendItem(QStringLiteral("Paste"), MF_GRAYED, 5, &images, 3);
    menu.AppendItem(QStringLiteral("Imperial"), MF_CHECKED, 2);
    const ColorRef bg = GetSysColor(COLOR_BTNFACE);

    RecordingCanvas dc;
    menu.DrawItem(DrawInfo(dc, menu.Items()[0].get(), {0, 0, 120, 20}, ODS_GRAYED));
    // The disabled image is an embossed block, not the image itself.
    EXPECT_TRUE(OpsOf(dc, Kind::AlphaBlend).empty());
    ASSERT_EQ(OpsOf(dc, Kind::BitBlt).size(), 1u);
    EXPECT_EQ(OpsOf(dc, Kind::BitBlt)[0].rect, (Rect{2, 2, 18, 18}));
    auto texts = OpsOf(dc, Kind::DrawText);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].rect, (Rect{26, 0, 121, 20}));
    EXPECT_EQ(texts[0].textColor, GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(texts[1].rect, (Rect{25, -1, 120, 19}));
    EXPECT_EQ(texts[1].textColor, GetSysColor(COLOR_GRAYTEXT));

    // Selected, the greyed text is drawn once in the background colour on the highlight.
    dc.Clear();
    menu.DrawItem(DrawInfo(dc, menu.Items()[0].get(), {0, 0, 120, 20}, ODS_GRAYED | ODS_SELECTED));
    texts = OpsOf(dc, Kind::DrawText);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].textColor, bg);
    EXPECT_TRUE(HasFill(dc, {21, 0, 120, 20}, GetSysColor(COLOR_HIGHLIGHT)));

    dc.Clear();
    menu.DrawItem(DrawInfo(dc, menu.Items()[1].get(), {0, 0, 120, 20}, ODS_CHECKED));
    EXPECT_TRUE(HasFill(dc, {1, 2, 17, 18}, TwMenu::LightenColor(bg, 0.6)));
    const auto lines = OpsOf(dc, Kind::Line);
    ASSERT_EQ(lines.size(), 7u);
    const int starts[7] = {2, 3, 4, 3, 2, 1, 0};
    for (int i = 0; i < 7; ++i)
    {
        EXPECT_EQ(lines[i].points[0], (Point{5 + i, 6 + starts[i]}));
        EXPECT_EQ(lines[i].points[1], (Point{5 + i, 9 + starts[i]}));
        EXPECT_EQ(lines[i].pen.color, GetSysColor(COLOR_BTNTEXT));
    }
}

TEST(TwMenuDrawXp, SelectionBoxShadowedImageAndGreyedItemsThatNeverHighlight)
{
    StyleScope style("fusion");
    const ImageList images = EditImages();
    TwMenu menu;
    menu.AppendItem(QStringLiteral("Delete"), 0, 6, &images, 4);
    menu.AppendItem(QStringLiteral("Paste"), MF_GRAYED, 5, &images, 3);
    menu.AppendItem(QString(), 0, 0);
    const ColorRef highlight = GetSysColor(COLOR_HIGHLIGHT);
    const ColorRef selection = TwMenu::LightenColor(highlight, 0.7);
    const ColorRef background = TwMenu::DarkenColor(GetSysColor(COLOR_WINDOW), 0.02);
    const Rect rc{0, 0, 140, 23};

    RecordingCanvas dc;
    menu.DrawItem(DrawInfo(dc, menu.Items()[0].get(), rc, ODS_SELECTED));
    EXPECT_TRUE(HasFill(dc, rc, selection));
    const auto frames = OpsOf(dc, Kind::FrameRect);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames[0].rect, rc);
    EXPECT_EQ(frames[0].color, highlight);
    // Gutter 23 wide: the image centred at (4, 4), its shadow below right, the image
    // itself above left.
    auto blits = OpsOf(dc, Kind::AlphaBlend);
    ASSERT_EQ(blits.size(), 2u);
    EXPECT_EQ(blits[0].rect.TopLeft(), (Point{5, 5}));
    EXPECT_EQ(blits[1].rect.TopLeft(), (Point{3, 3}));
    auto texts = OpsOf(dc, Kind::DrawText);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].rect, (Rect{31, 0, 140, 23}));
    EXPECT_EQ(texts[0].textColor, GetSysColor(COLOR_BTNTEXT));

    dc.Clear();
    menu.DrawItem(DrawInfo(dc, menu.Items()[1].get(), rc, ODS_SELECTED | ODS_GRAYED));
    EXPECT_FALSE(HasFill(dc, rc, selection));
    EXPECT_TRUE(HasFill(dc, rc, background));
    EXPECT_TRUE(HasFill(dc, {0, 0, 23, 23}, GetSysColor(COLOR_BTNFACE)));
    blits = OpsOf(dc, Kind::AlphaBlend);
    ASSERT_EQ(blits.size(), 1u);
    EXPECT_EQ(blits[0].rect.TopLeft(), (Point{4, 4}));
    texts = OpsOf(dc, Kind::DrawText);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].textColor, GetSysColor(COLOR_GRAYTEXT));

    dc.Clear();
    menu.DrawItem(DrawInfo(dc, menu.Items()[2].get(), {0, 0, 140, 3}, 0));
    // The etched line starts 7 pixels right of the gutter.
    EXPECT_TRUE(HasFill(dc, {30, 1, 140, 2}, GetSysColor(COLOR_BTNSHADOW)));
    EXPECT_TRUE(HasFill(dc, {0, 0, 23, 3}, GetSysColor(COLOR_BTNFACE)));
}

TEST(TwMenuWidget, QtLaysOutTheMeasuredItemsAndMouseAndKeysChooseThem)
{
    StyleScope style("fusion");
    const ImageList images = EditImages();
    TwMenu menu;
    menu.AppendItem(QStringLiteral("Cut"), 0, 3, &images, 1);
    menu.AppendItem(QString(), 0, 0);
    menu.AppendItem(QStringLiteral("Paste"), MF_GRAYED, 5, &images, 3);
    menu.AppendItem(QStringLiteral("New folder"), 0, 8, &images, 6);
    menu.popup(QPoint(100, 100));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));

    const QList<QAction*> actions = menu.actions();
    const QRect cut = menu.actionGeometry(actions[0]);
    const QRect separator = menu.actionGeometry(actions[1]);
    EXPECT_EQ(separator.height(), 3);
    EXPECT_EQ(separator.top(), cut.bottom() + 1);
    EXPECT_EQ(cut.width(), menu.actionGeometry(actions[3]).width());

    // The XP-like look never lets a greyed item become active.
    QTest::mouseMove(&menu, menu.actionGeometry(actions[2]).center());
    EXPECT_NE(menu.activeAction(), actions[2]);
    QTest::mouseMove(&menu, menu.actionGeometry(actions[3]).center());
    EXPECT_EQ(menu.activeAction(), actions[3]);

    // The active item is drawn in the selection colour.
    const QImage shot = menu.grab().toImage();
    const QRect folder = menu.actionGeometry(actions[3]);
    const QRgb fill = shot.pixel(folder.right() - 3, folder.top() + 2);
    const ColorRef selection = TwMenu::LightenColor(GetSysColor(COLOR_HIGHLIGHT), 0.7);
    EXPECT_EQ(Rgb(qRed(fill), qGreen(fill), qBlue(fill)), selection);

    QSignalSpy triggered(&menu, &QMenu::triggered);
    QTest::keyClick(&menu, Qt::Key_Up);
    EXPECT_EQ(menu.activeAction(), actions[0]);
    QTest::keyClick(&menu, Qt::Key_Return);
    ASSERT_EQ(triggered.count(), 1);
    EXPECT_EQ(triggered.at(0).at(0).value<QAction*>()->data().toUInt(), 3u);
    EXPECT_FALSE(menu.isVisible());
}

TEST(TwMenuWidget, ClassicLookHighlightsDisabledItems)
{
    StyleScope style("windows");
    TwMenu menu;
    menu.AppendItem(QStringLiteral("Cut"), 0, 3);
    menu.AppendItem(QStringLiteral("Paste"), MF_GRAYED, 5);
    menu.popup(QPoint(50, 50));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    QTest::mouseMove(&menu, menu.actionGeometry(menu.actions()[1]).center());
    EXPECT_EQ(menu.activeAction(), menu.actions()[1]);
    QSignalSpy triggered(&menu, &QMenu::triggered);
    QTest::keyClick(&menu, Qt::Key_Return);
    EXPECT_EQ(triggered.count(), 0);
    menu.hide();
}

TEST(TwMenuTrack, ThePopupServiceSeesTheItemsAndTheChoiceReturnsItsIdAlsoFromASubmenu)
{
    PopupMenuRecorder recorder;
    const ImageList images = EditImages();
    TwMenu directions;
    directions.AppendItem(QStringLiteral("Automatic"), 0, 361);
    directions.AppendItem(QStringLiteral("Vertical down"), 0, 1);
    TwMenu menu;
    menu.AppendItem(QStringLiteral("Copy all measurements"), 0, 1003, &images, 2);
    menu.AppendItem(QStringLiteral("Paste"), MF_GRAYED, 5);
    menu.AppendItem(QString(), 0, 0);
    menu.AppendItem(QStringLiteral("Direction correction"), MF_OWNERDRAW, directions);

    recorder.Choose(1);
    EXPECT_EQ(menu.TrackPopupMenu(TPM_RETURNCMD | TPM_CENTERALIGN, 300, 200, nullptr), 1u);
    ASSERT_EQ(recorder.menus.size(), 1u);
    const auto& tracked = recorder.menus[0];
    EXPECT_EQ(tracked.pos, QPoint(300, 200));
    EXPECT_EQ(tracked.flags, TPM_RETURNCMD | TPM_CENTERALIGN);
    ASSERT_EQ(tracked.items.size(), 4u);
    EXPECT_EQ(tracked.items[0].text, QStringLiteral("Copy all measurements"));
    EXPECT_EQ(tracked.items[0].id, 1003u);
    EXPECT_FALSE(tracked.items[1].enabled);
    EXPECT_TRUE(tracked.items[2].separator);
    EXPECT_EQ(tracked.items[3].text, QStringLiteral("Direction correction"));
    ASSERT_EQ(tracked.items[3].submenu.size(), 2u);
    EXPECT_EQ(tracked.items[3].submenu[0].id, 361u);
    EXPECT_EQ(menu.Items()[3]->flags, MF_OWNERDRAW | MF_POPUP);

    // A greyed item cannot be chosen; a dismissed menu gives 0.
    recorder.Choose(5);
    EXPECT_EQ(menu.TrackPopupMenu(TPM_RETURNCMD, 0, 0, nullptr), 0u);
    EXPECT_EQ(menu.TrackPopupMenu(TPM_RETURNCMD, 0, 0, nullptr), 0u);
}

TEST(TwMenuTrack, AlignmentFlagsPlaceTheMenuAroundThePoint)
{
    const QSize size(100, 40);
    EXPECT_EQ(PopupTopLeft(size, {300, 200}, TPM_LEFTALIGN), QPoint(300, 200));
    EXPECT_EQ(PopupTopLeft(size, {300, 200}, TPM_CENTERALIGN | TPM_RETURNCMD), QPoint(250, 200));
    EXPECT_EQ(PopupTopLeft(size, {300, 200}, TPM_RIGHTALIGN | TPM_BOTTOMALIGN), QPoint(200, 160));
    EXPECT_EQ(PopupTopLeft(size, {300, 200}, TPM_VCENTERALIGN), QPoint(300, 180));
}
