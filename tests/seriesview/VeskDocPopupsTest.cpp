#include "tests/measurement/SeriesFixture.h"

#include "controls/TwMenu.h"
#include "document/VeskDoc.h"
#include "measurement/MeasValues.h"
#include "measurement/SeriesSettings.h"
#include "platform/gui/BitmapTable.h"
#include "platform/gui/ImageList.h"
#include "platform/gui/MessageBox.h"
#include "resources/BuiltInBitmaps.h"
#include "resources/BuiltInStrings.h"
#include "seriesview/VeskDocPopups.h"
#include "tests/support/MeasurementTexts.h"
#include "tests/support/ModalDialogRunner.h"
#include "tests/support/PopupMenuRecorder.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>

#include <gtest/gtest.h>

#include <functional>

using namespace Platform;
using SeriesFixture::LinearRecord;

namespace
{

// Probes no other document test converts, so the table holds only these records for them.
constexpr int kProbeE = 0x104;
constexpr int kProbeC = 0x105;
constexpr int kProbeG = 0x106;
constexpr int kProbeDl = 0x107; // no conversion at all
constexpr int kBenchB724 = 0x221;
constexpr int kHB = 1;
constexpr int kHRC = 4;
constexpr int kMPa = 6;

// Records slots by name, for the selection checks.
int g_slotEHrc = -1;

void AddPopupRecords()
{
    using SeriesFixture::AddShared;
    // E, steel: HRC 20..80, HB falling 700..100, MPa for two steel groups.
    g_slotEHrc = AddShared(LinearRecord(kProbeE, kHRC, 1, 0, 1, 300, 900, -10, 0.1f));
    AddShared(LinearRecord(kProbeE, kHB, 1, 0, 1, 300, 900, 1000, -1));
    AddShared(LinearRecord(kProbeE, kMPa, 1, 2, 1, 300, 900, 100, 2));
    AddShared(LinearRecord(kProbeE, kMPa, 1, 3, 1, 300, 900, 0, 2));
    // C reaches HRC for steel, and for stainless steel.
    AddShared(LinearRecord(kProbeC, kHRC, 1, 0, 1, 300, 900, -10, 0.1f));
    AddShared(LinearRecord(kProbeC, kHRC, 3, 0, 1, 300, 900, -10, 0.1f));
    // G reaches only HB.
    AddShared(LinearRecord(kProbeG, kHB, 1, 0, 1, 300, 900, 1000, -1));
    // Custom materials: E knows two, C one of them.
    AddShared(LinearRecord(kProbeE, kHRC, 0, 0, 1, 300, 900, -5, 0.1f, QStringLiteral("Alloy X")));
    AddShared(LinearRecord(kProbeE, kHB, 0, 0, 1, 300, 900, 900, -1, QStringLiteral("Alloy Y")));
    AddShared(LinearRecord(kProbeC, kHRC, 0, 0, 1, 300, 900, -5, 0.1f, QStringLiteral("Alloy X")));
}

SMaterial Material(int type, int group = 0)
{
    SMaterial m;
    m.Set(type, group);
    return m;
}

SMaterial Custom(const char* name)
{
    SMaterial m;
    m.SetCustom(QString::fromLatin1(name), 0);
    return m;
}

// The item images of the TwMenus shown, by item text; installed over a recorder, which
// it hands every menu on to.
class MenuImages final : public PopupMenuService
{
public:
    explicit MenuImages(PopupMenuRecorder& recorder) : m_recorder(recorder)
    {
        m_previous = SetPopupMenuService(this);
    }
    ~MenuImages() override { SetPopupMenuService(m_previous); }

    QAction* Track(QMenu& menu, QPoint pos, unsigned flags, QWidget* owner) override
    {
        Collect(menu);
        return m_recorder.Track(menu, pos, flags, owner);
    }

    QMap<QString, QImage> images;

private:
    void Collect(const QMenu& menu)
    {
        const auto* tw = dynamic_cast<const TwMenu*>(&menu);
        if (!tw)
            return;
        for (const auto& item : tw->Items())
        {
            if (item->ownImages && item->ownImages->GetImage(0))
                images[item->text] = *item->ownImages->GetImage(0);
            if (item->submenu)
                Collect(*item->submenu);
        }
    }

    PopupMenuRecorder& m_recorder;
    PopupMenuService* m_previous = nullptr;
};

QStringList Texts(const std::vector<PopupMenuRecorder::Item>& items)
{
    QStringList texts;
    for (const auto& item : items)
        texts << (item.separator ? QStringLiteral("-") : item.text);
    return texts;
}

std::vector<unsigned> Ids(const std::vector<PopupMenuRecorder::Item>& items)
{
    std::vector<unsigned> ids;
    for (const auto& item : items)
        ids.push_back(item.id);
    return ids;
}

// Image i of a bitmap strip, as a popup cuts it.
QImage StripImage(unsigned id, int index)
{
    ImageList images(16, 16);
    images.Add(BitmapTable::Instance().Get(id), Rgb(255, 255, 255));
    const QImage* image = images.GetImage(index);
    return image ? *image : QImage();
}

bool HasDarkPixels(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0 && qGray(image.pixel(x, y)) < 128)
                return true;
    return false;
}

// Every pixel is black or transparent: the text bitmaps are one bit deep.
bool IsBlackOrClear(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
        {
            const QRgb p = image.pixel(x, y);
            if (qAlpha(p) != 0 && (p & 0xFFFFFF) != 0)
                return false;
        }
    return true;
}

class VeskDocPopupsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterBuiltInStrings();
        SetEnglishMeasurementTexts();
        RegisterBuiltInBitmaps();
        AddPopupRecords();
    }

    CVeskDoc doc;
    CVeskDocPopups popups{doc};
    PopupMenuRecorder recorder;
};

// ---------------------------------------------------------------------------------------
// The small popups

TEST_F(VeskDocPopupsTest, SmallPopupsOfferTheirEntriesAndHandOutTheChoice)
{
    struct Case
    {
        const char* name;
        std::function<bool(int&)> track; // the answer as a number
        QStringList texts;
        std::vector<unsigned> ids;
        unsigned choose;
        int expected;
    };
    auto yesNo = [this](int& v)
    {
        bool no = false;
        if (!popups.TrackYesNoMenu(nullptr, 10, 0, 40, 20, no))
            return false;
        v = no;
        return true;
    };
    auto unit = [this](int& v)
    {
        bool imperial = false;
        if (!popups.TrackUnitMenu(nullptr, 10, 0, 40, 20, imperial))
            return false;
        v = imperial;
        return true;
    };
    auto diameter = [this](int& v) { return popups.TrackDiameterMenu(nullptr, 10, 0, 40, 20, v); };
    auto direction = [this](int& v) { return popups.TrackDirectionMenu(nullptr, 10, 0, 40, 20, v); };
    auto standard = [this](bool bench)
    { return [this, bench](int& v) { return popups.TrackStandardMenu(nullptr, 10, 0, 40, 20, bench, v); }; };
    const QStringList directions = {"Automatic",  "Vertical down", "Diagonal down",
                                    "Horizontal", "Diagonal up",   "Vertical up"};
    const std::vector<unsigned> directionIds = {361, 1, 46, 91, 136, 181};

    const Case cases[] = {
        {"yes/no: no", yesNo, {"no", "yes"}, {1, 2}, 1, 1},
        {"yes/no: yes", yesNo, {"no", "yes"}, {1, 2}, 2, 0},
        {"unit: metric", unit, {"Metric", "Imperial"}, {1, 2}, 1, 0},
        {"unit: imperial", unit, {"Metric", "Imperial"}, {1, 2}, 2, 1},
        {"diameter", diameter, {"off"}, {32}, 32, 31},
        {"direction: automatic", direction, directions, directionIds, 361, 360},
        {"direction: vertical down", direction, directions, directionIds, 1, 0},
        {"direction: diagonal up", direction, directions, directionIds, 136, 135},
        {"standard", standard(false), {"default", "Custom J"}, {2, 9}, 9, 8},
        {"standard, indentation tester", standard(true), {"ISO 18265", "ASTM E140"}, {3, 5}, 5, 4},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        recorder.menus.clear();
        recorder.Choose(c.choose);
        int value = -99;
        EXPECT_TRUE(c.track(value));
        EXPECT_EQ(value, c.expected);
        ASSERT_EQ(recorder.menus.size(), 1u);
        EXPECT_EQ(Texts(recorder.menus[0].items), c.texts);
        EXPECT_EQ(Ids(recorder.menus[0].items), c.ids);

        // Dismissed: false, and the output stays as it was.
        recorder.Choose(0);
        value = -99;
        EXPECT_FALSE(c.track(value));
        EXPECT_EQ(value, -99);
    }
}

TEST_F(VeskDocPopupsTest, PopupsCentreBelowNarrowAreasAndOpenAtTheClickOtherwise)
{
    bool no = false;
    // An area up to 150 pixels wide: its middle.
    popups.TrackYesNoMenu(nullptr, 500, 100, 250, 300, no);
    // A wider one: the click.
    popups.TrackYesNoMenu(nullptr, 500, 100, 251, 300, no);
    int code = 0;
    bool exclude = false;
    bool copyAll = false;
    // The value-row popup opens at the click, not centred.
    popups.TrackValueMenu(nullptr, QPoint(70, 80), false, code, exclude, nullptr, copyAll);

    ASSERT_EQ(recorder.menus.size(), 3u);
    EXPECT_EQ(recorder.menus[0].pos, QPoint(175, 300));
    EXPECT_EQ(recorder.menus[1].pos, QPoint(500, 300));
    EXPECT_EQ(recorder.menus[2].pos, QPoint(70, 80));
    for (int i : {0, 1})
        EXPECT_EQ(recorder.menus[i].flags & (TPM_CENTERALIGN | TPM_RIGHTALIGN | TPM_RETURNCMD),
                  TPM_CENTERALIGN | TPM_RETURNCMD);
    EXPECT_EQ(recorder.menus[2].flags & (TPM_CENTERALIGN | TPM_RIGHTALIGN | TPM_RETURNCMD), TPM_RETURNCMD);
}

TEST_F(VeskDocPopupsTest, EntriesShowTheirImagesOfTheBitmapStrips)
{
    MenuImages shown(recorder);
    int value = 0;
    popups.TrackDirectionMenu(nullptr, 0, 0, 10, 0, value);
    popups.TrackStandardMenu(nullptr, 0, 0, 10, 0, true, value);
    popups.TrackStandardMenu(nullptr, 0, 0, 10, 0, false, value);
    bool exclude = false;
    bool copyOne = false;
    bool copyAll = false;
    MenuImages valueRow(recorder);
    popups.TrackValueMenu(nullptr, QPoint(), false, value, exclude, &copyOne, copyAll);

    const struct
    {
        const MenuImages& menus;
        const char* text;
        unsigned bitmap;
        int index;
    } cases[] = {
        {shown, "Automatic", 1304, 0},
        {shown, "Vertical down", 1304, 1},
        {shown, "Horizontal", 1304, 3},
        {shown, "Vertical up", 1304, 5},
        {shown, "default", 1303, 0},
        {shown, "Custom J", 1303, 1},
        {shown, "ISO 18265", 1303, 2},
        {shown, "ASTM E140", 1303, 3},
        {valueRow, "Diagonal down", 1313, 2},
        {valueRow, "Exclude this measurement", 1313, 6},
        {valueRow, "Copy measurement", 1313, 7},
        {valueRow, "Copy all measurements", 1313, 7},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        const QImage expected = StripImage(c.bitmap, c.index);
        ASSERT_FALSE(expected.isNull());
        ASSERT_TRUE(c.menus.images.contains(c.text));
        EXPECT_EQ(c.menus.images[c.text], expected);
    }
    // The two-entry popups have no images.
    MenuImages plain(recorder);
    bool no = false;
    popups.TrackYesNoMenu(nullptr, 0, 0, 10, 0, no);
    EXPECT_TRUE(plain.images.isEmpty());
}

// ---------------------------------------------------------------------------------------
// The value-row popup

TEST_F(VeskDocPopupsTest, ValueRowPopupOffersCopyExcludeAndTheCorrections)
{
    int code = 0;
    bool exclude = true;
    bool copyOne = true;
    bool copyAll = true;

    // A reading's popup: every output is cleared before the one choice is set.
    struct Case
    {
        unsigned choose;
        int code;
        bool exclude, copyOne, copyAll;
    } cases[] = {
        {1002, -1, false, true, false}, {1003, -1, false, false, true},  {1001, -1, true, false, false},
        {91, 90, false, false, false},  {361, 360, false, false, false}, {1, 0, false, false, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.choose);
        recorder.menus.clear();
        recorder.Choose(c.choose);
        code = 77;
        exclude = copyOne = copyAll = true;
        ASSERT_TRUE(popups.TrackValueMenu(nullptr, QPoint(5, 5), false, code, exclude, &copyOne, copyAll));
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(exclude, c.exclude);
        EXPECT_EQ(copyOne, c.copyOne);
        EXPECT_EQ(copyAll, c.copyAll);
    }
    const auto& items = recorder.menus.back().items;
    EXPECT_EQ(Texts(items), QStringList({"Copy measurement", "Copy all measurements", "-",
                                         "Exclude this measurement", "-", "Direction correction"}));
    EXPECT_EQ(Ids(items)[0], 1002u);
    EXPECT_EQ(Ids(items)[1], 1003u);
    EXPECT_EQ(Ids(items)[3], 1001u);
    EXPECT_EQ(Texts(items[5].submenu), QStringList({"Automatic", "Vertical down", "Diagonal down",
                                                    "Horizontal", "Diagonal up", "Vertical up"}));
    EXPECT_EQ(Ids(items[5].submenu), (std::vector<unsigned>{361, 1, 46, 91, 136, 181}));

    // Dismissed: false with the outputs cleared.
    code = 77;
    exclude = copyOne = copyAll = true;
    EXPECT_FALSE(popups.TrackValueMenu(nullptr, QPoint(5, 5), false, code, exclude, &copyOne, copyAll));
    EXPECT_EQ(code, -1);
    EXPECT_FALSE(exclude || copyOne || copyAll);
}

TEST_F(VeskDocPopupsTest, ValueListPopupWithoutCopyOneOffersCopyAllAndTheDiameter)
{
    int code = 0;
    bool exclude = false;
    bool copyAll = false;
    recorder.Choose(32);
    ASSERT_TRUE(popups.TrackValueMenu(nullptr, QPoint(5, 5), true, code, exclude, nullptr, copyAll));
    EXPECT_EQ(code, 31);

    const auto& items = recorder.menus[0].items;
    EXPECT_EQ(Texts(items), QStringList({"Copy all measurements", "-", "Diameter correction"}));
    EXPECT_EQ(Texts(items[2].submenu), QStringList({"off"}));
    EXPECT_EQ(Ids(items[2].submenu), std::vector<unsigned>{32});

    // Exclude and copy-one are not there to be chosen.
    for (unsigned absent : {1001u, 1002u})
    {
        recorder.Choose(absent);
        EXPECT_FALSE(popups.TrackValueMenu(nullptr, QPoint(5, 5), true, code, exclude, nullptr, copyAll));
    }
}

// ---------------------------------------------------------------------------------------
// The conversion-scale popup

TEST_F(VeskDocPopupsTest, ConversionPopupListsTheScalesOfOneSeriesWithRangesAndGroups)
{
    MenuImages shown(recorder);
    recorder.Choose(0);
    STargetScale target(kHRC, 1, 0);
    int group = -1;
    EXPECT_FALSE(popups.TrackConversionMenu(nullptr, 0, 0, 10, 0, {SProbeId(kProbeE, nullptr, -1)},
                                            {Material(1)}, target, false, group));

    ASSERT_EQ(recorder.menus.size(), 1u);
    const auto& items = recorder.menus[0].items;
    // The probe's own scale first (the identity record), then the records in table order;
    // a falling conversion's range reads low to high; the custom materials' records are
    // not for steel.
    EXPECT_EQ(Texts(items), QStringList({"Leeb E\t  (0 ... 999 HLE)", "Rockwell C\t  (20 ... 80 HRC)",
                                         "Brinell\t  (100 ... 700 HB)", "Tensile strength"}));
    EXPECT_EQ(Ids(items), (std::vector<unsigned>{1, 101, 201, 0}));
    // Two groups reach MPa: a submenu with one entry per record, ids by group.
    EXPECT_EQ(Texts(items[3].submenu), QStringList({"Treat. steel heat tr.\t  (700 ... 1900 MPa)",
                                                    "Treat. steel untreat.\t  (600 ... 1800 MPa)"}));
    EXPECT_EQ(Ids(items[3].submenu), (std::vector<unsigned>{303, 304}));

    // Text pictures: the short scale names 50 x 16, the groups "1.2" and "1.3" 22 x 16.
    const QImage hrc = shown.images.value("Rockwell C\t  (20 ... 80 HRC)");
    const QImage g2 = shown.images.value("Treat. steel heat tr.\t  (700 ... 1900 MPa)");
    const QImage g3 = shown.images.value("Treat. steel untreat.\t  (600 ... 1800 MPa)");
    EXPECT_EQ(hrc.size(), QSize(50, 16));
    EXPECT_EQ(shown.images.value("Tensile strength").size(), QSize(50, 16));
    EXPECT_EQ(g2.size(), QSize(22, 16));
    for (const QImage& image : {hrc, g2, g3})
    {
        EXPECT_TRUE(HasDarkPixels(image));
        EXPECT_TRUE(IsBlackOrClear(image));
    }
    EXPECT_NE(g2, g3);
    EXPECT_NE(hrc, shown.images.value("Brinell\t  (100 ... 700 HB)"));

    // Choosing the second group: the scale replaces the target's, its standard stays.
    recorder.Choose(304);
    target = STargetScale(kHRC, 1, 0);
    ASSERT_TRUE(popups.TrackConversionMenu(nullptr, 0, 0, 10, 0, {SProbeId(kProbeE, nullptr, -1)},
                                           {Material(1)}, target, false, group));
    EXPECT_EQ(target.scale, kMPa);
    EXPECT_EQ(target.standard, 1);
    EXPECT_EQ(group, 3);

    // The answer is what the series applies: it converts to MPa for that group.
    auto series = SeriesFixture::NewSeries(kProbeE, kProbeE);
    ASSERT_TRUE(series->SetConversion(target, Material(1, group)));
    SSeriesSettings settings;
    series->GetSettings(settings);
    EXPECT_EQ(settings.targetScale.scale, kMPa);
    EXPECT_EQ(settings.material.group, 3);

    // A line of one record gives group 0.
    recorder.Choose(201);
    group = -1;
    ASSERT_TRUE(popups.TrackConversionMenu(nullptr, 0, 0, 10, 0, {SProbeId(kProbeE, nullptr, -1)},
                                           {Material(1)}, target, false, group));
    EXPECT_EQ(target.scale, kHB);
    EXPECT_EQ(group, 0);
}

TEST_F(VeskDocPopupsTest, ConversionPopupOffersOnlyTheScalesCommonToAllSeries)
{
    // E reaches HRC, HB and MPa with steel; C reaches only HRC: HRC alone remains.
    recorder.Choose(1);
    STargetScale target(0xFFFF, 1, 0);
    int group = -1;
    ASSERT_TRUE(popups.TrackConversionMenu(nullptr, 0, 0, 10, 0,
                                           {SProbeId(kProbeE, nullptr, -1), SProbeId(kProbeC, nullptr, -1)},
                                           {Material(1), Material(1)}, target, false, group));
    EXPECT_EQ(Texts(recorder.menus[0].items), QStringList({"Rockwell C\t  (20 ... 80 HRC)"}));
    EXPECT_EQ(target.scale, kHRC);
    EXPECT_EQ(group, 0);

    // Custom materials filter by name: E's "Alloy X" reaches HRC (and E's own scale).
    recorder.menus.clear();
    recorder.Choose(0);
    popups.TrackConversionMenu(nullptr, 0, 0, 10, 0, {SProbeId(kProbeE, nullptr, -1)}, {Custom("Alloy X")},
                               target, false, group);
    EXPECT_EQ(Texts(recorder.menus[0].items),
              QStringList({"Leeb E\t  (0 ... 999 HLE)", "Rockwell C\t  (25 ... 85 HRC)"}));
}

TEST_F(VeskDocPopupsTest, ConversionPopupWithoutCommonScalesShowsAGreyedNote)
{
    // C reaches HRC, G only HB.
    recorder.Choose(1);
    STargetScale target(kHRC, 1, 0);
    int group = -1;
    EXPECT_FALSE(popups.TrackConversionMenu(nullptr, 0, 0, 10, 0,
                                            {SProbeId(kProbeC, nullptr, -1), SProbeId(kProbeG, nullptr, -1)},
                                            {Material(1), Material(1)}, target, false, group));
    ASSERT_EQ(recorder.menus.size(), 1u);
    const auto& items = recorder.menus[0].items;
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].text, "No common scales!");
    EXPECT_FALSE(items[0].enabled);
    EXPECT_EQ(target.scale, kHRC);
    EXPECT_EQ(group, -1);
}

TEST_F(VeskDocPopupsTest, ConversionPopupShowsDepthRangesInMilsAndKeepsTheTableSelection)
{
    CConvTable& table = CConvTable::Instance();
    for (int selected : {g_slotEHrc, -1})
    {
        SCOPED_TRACE(selected);
        {
            CConvTable::Guard lock(table);
            table.SelectRecord(selected);
        }
        recorder.menus.clear();
        recorder.Choose(0);
        STargetScale target(kBenchB724, 2, 0);
        int group = 0;
        popups.TrackConversionMenu(nullptr, 0, 0, 10, 0, {SProbeId(kBenchB724, nullptr, -1)}, {Material(1)},
                                   target, true, group);
        ASSERT_FALSE(recorder.menus[0].items.empty());
        // 0 ... 100 um of the probe's own scale are 0 ... 3.94 thousandths of an inch.
        EXPECT_EQ(recorder.menus[0].items[0].text, "1/1000 inch\t  (0 ... 4 in/1000)");
        CConvTable::Guard lock(table);
        EXPECT_EQ(table.GetCurrentSlot(), selected);
    }
}

// ---------------------------------------------------------------------------------------
// The material popup

TEST_F(VeskDocPopupsTest, MaterialPopupOffersTypesOfAnySeriesAndCustomMaterialsOfAll)
{
    MenuImages shown(recorder);
    const std::vector<int> probes = {kProbeE, kProbeC};
    recorder.Choose(4);
    SMaterial material;
    ASSERT_TRUE(popups.TrackMaterialMenu(nullptr, 0, 0, 10, 0, probes, material));
    EXPECT_EQ(material.type, 3);
    EXPECT_EQ(material.group, 0);

    const auto& items = recorder.menus[0].items;
    // Steel (both), stainless steel (C only); of the custom materials only "Alloy X"
    // belongs to both probes.
    EXPECT_EQ(Texts(items),
              QStringList({"Default / Steel and cast steel", "Stainless steel", "Customer defined"}));
    EXPECT_EQ(Ids(items), (std::vector<unsigned>{2, 4, 0}));
    EXPECT_EQ(Texts(items[2].submenu), QStringList({"Alloy X"}));
    EXPECT_EQ(Ids(items[2].submenu), std::vector<unsigned>{11});
    // The type numbers as pictures.
    const QImage steel = shown.images.value("Default / Steel and cast steel");
    EXPECT_EQ(steel.size(), QSize(16, 16));
    EXPECT_TRUE(HasDarkPixels(steel));
    EXPECT_NE(steel, shown.images.value("Stainless steel"));
    EXPECT_FALSE(shown.images.contains("Alloy X"));

    recorder.Choose(11);
    ASSERT_TRUE(popups.TrackMaterialMenu(nullptr, 0, 0, 10, 0, probes, material));
    EXPECT_EQ(material.type, MAT_CUSTOM);
    EXPECT_EQ(material.Name(), "Alloy X");
    EXPECT_EQ(material.group, 0);

    // One series alone: both of its custom materials.
    recorder.menus.clear();
    recorder.Choose(0);
    EXPECT_FALSE(popups.TrackMaterialMenu(nullptr, 0, 0, 10, 0, {kProbeE}, material));
    EXPECT_EQ(Texts(recorder.menus[0].items.back().submenu), QStringList({"Alloy X", "Alloy Y"}));
}

TEST_F(VeskDocPopupsTest, MaterialPopupWithNothingToOfferChoosesNothing)
{
    SMaterial material = Material(2);
    recorder.Choose(2);
    EXPECT_FALSE(popups.TrackMaterialMenu(nullptr, 0, 0, 10, 0, {kProbeDl}, material));
    EXPECT_FALSE(popups.TrackMaterialMenu(nullptr, 0, 0, 10, 0, {}, material));
    EXPECT_TRUE(recorder.menus.empty());
    EXPECT_EQ(material.type, 2);
}

// ---------------------------------------------------------------------------------------
// Limit entry

TEST_F(VeskDocPopupsTest, LimitEntryRunsTheSliderDialogFromTheLimitOrTheRangeEnd)
{
    struct Case
    {
        const char* name;
        bool upper;
        float limit;
        // What the user does: untick or tick "Disable", type a value (empty: none), then
        // OK or Cancel.
        bool toggleDisable;
        const char* typed;
        bool ok;
        // What the dialog showed, and the outcome.
        const char* shownValue;
        bool shownDisabled;
        bool result;
        float expected;
    } cases[] = {
        {"upper off, kept off", true, MEAS_NO_VALUE, false, "", true, "80.0", true, true, MEAS_NO_VALUE},
        {"upper off, switched on", true, MEAS_NO_VALUE, true, "", true, "80.0", true, true, 80.0f},
        {"lower off starts at the minimum", false, MEAS_NO_VALUE, true, "", true, "20.0", true, true, 20.0f},
        {"upper above range", true, MEAS_ABOVE_RANGE, false, "", true, "80.0", false, true, 80.0f},
        {"lower below range", false, MEAS_BELOW_RANGE, false, "", true, "20.0", false, true, 20.0f},
        {"lower on, new value", false, 45.5f, false, "50.5", true, "45.5", false, true, 50.5f},
        {"upper on, switched off", true, 60.0f, true, "", true, "60.0", false, true, MEAS_NO_VALUE},
        {"cancelled", true, 60.0f, false, "70", false, "60.0", false, false, 60.0f},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        QString shown;
        QString range;
        bool disabled = false;
        ModalDialogRunner runner(
            [&](QDialog& d)
            {
                auto* edit = d.findChild<QLineEdit*>("value");
                auto* disable = d.findChild<QCheckBox*>("disable");
                ASSERT_TRUE(edit && disable);
                shown = edit->text();
                disabled = disable->isChecked();
                range =
                    d.findChild<QLabel*>("minimum")->text() + "|" + d.findChild<QLabel*>("maximum")->text();
                if (c.toggleDisable)
                    disable->click();
                if (*c.typed)
                    edit->setText(QString::fromLatin1(c.typed));
                d.findChild<QPushButton*>(c.ok ? "ok" : "cancel")->click();
            });
        float limit = c.limit;
        const bool result = c.upper ? popups.EditUpperLimit(nullptr, 20.0f, 80.0f, 1, " HRC", limit)
                                    : popups.EditLowerLimit(nullptr, 20.0f, 80.0f, 1, " HRC", limit);
        EXPECT_EQ(runner.runs, 1);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(limit, c.expected);
        EXPECT_EQ(shown, c.shownValue);
        EXPECT_EQ(disabled, c.shownDisabled);
        EXPECT_EQ(range, "20.0 HRC|80.0 HRC");
    }
}

} // namespace
