#include "seriesview/VeskDocPopups.h"

#include "controls/TwMenu.h"
#include "document/ValueText.h"
#include "document/VeskDoc.h"
#include "measurement/ConvEnumerator.h"
#include "measurement/ConvTable.h"
#include "measurement/MeasValues.h"
#include "measurement/ScaleCodes.h"
#include "platform/core/NumberText.h"
#include "platform/core/StringTable.h"
#include "platform/gui/BitmapTable.h"
#include "platform/gui/ImageList.h"
#include "platform/gui/MessageBox.h"
#include "platform/gui/PainterCanvas.h"
#include "platform/gui/PopupMenu.h"
#include "resources/StringIds.h"
#include "seriesview/SliderDlg.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <utility>

using namespace Platform;

namespace
{

constexpr unsigned kBitmapStandards = 1303;
constexpr unsigned kBitmapDirections = 1304;
constexpr unsigned kBitmapValueRow = 1313;

// Command ids of the value-row popup besides the correction codes (code + 1).
constexpr unsigned kCmdExclude = 1001;
constexpr unsigned kCmdCopyOne = 1002;
constexpr unsigned kCmdCopyAll = 1003;
constexpr int kDiameterOff = 31;

// Images of the value-row strip after the six directions.
constexpr int kImageExclude = 6;
constexpr int kImageCopy = 7;

// The impact directions in popup order: text, code, image.
struct SDirectionEntry
{
    uint32_t textId;
    int code;
    int image;
};
constexpr SDirectionEntry kDirections[] = {
    {StringId::IDS_DIRECTION_AUTOMATIC, 360, 0},    {StringId::IDS_DIRECTION_DOWN, 0, 1},
    {StringId::IDS_DIRECTION_DIAGONAL_DOWN, 45, 2}, {StringId::IDS_DIRECTION_HORIZONTAL, 90, 3},
    {StringId::IDS_DIRECTION_DIAGONAL_UP, 135, 4},  {StringId::IDS_DIRECTION_UP, 180, 5},
};

// Lines of the conversion popup: line j has ids j * 100 + 1 and, for its sub-lines,
// j * 100 + group + 1.
constexpr unsigned kLineIdStep = 100;
constexpr int kMaterialTypes = 9;
constexpr unsigned kFirstCustomId = 11;

constexpr unsigned kCentredFlags = TPM_CENTERALIGN | TPM_TOPALIGN | TPM_RETURNCMD;

// Areas this narrow centre their popup below themselves; wider ones at the click.
int PopupX(int x, int left, int right)
{
    return right - left <= 150 ? (left + right) / 2 : x;
}

// A bitmap strip of the table with white as the transparent colour; empty when the
// table holds none.
ImageList StripImages(unsigned bitmapId, int width, int height)
{
    ImageList images(width, height);
    const QImage strip = BitmapTable::Instance().Get(bitmapId);
    if (!strip.isNull())
        images.Add(strip, Rgb(255, 255, 255));
    return images;
}

// A one-bit picture of a text: black on white at the top-left corner, in the menu font
// made heavy, so that a short text stands in the image column like an icon.
QImage TextBitmap(const QString& text, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        ImageCanvas dc(image);
        LogFont font = TwMenu::MenuFont();
        font.weight = 800;
        dc.SelectFont(Font(font));
        dc.SetTextColor(Rgb(0, 0, 0));
        dc.SetBkMode(TRANSPARENT);
        dc.TextOut(0, 0, text);
    }
    return image.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither | Qt::MonoOnly)
        .convertToFormat(QImage::Format_RGB32);
}

// Appends an item whose image is a text bitmap.
void AppendWithTextImage(TwMenu& menu, const QString& text, unsigned id, TwMenu* submenu,
                         const QString& imageText)
{
    const Size size = menu.GetImageSize();
    ImageList images(size.cx, size.cy);
    images.Add(TextBitmap(imageText, size.cx, size.cy), Rgb(255, 255, 255));
    if (submenu)
        menu.AppendItem(text, MF_STRING, *submenu, &images, 0);
    else
        menu.AppendItem(text, MF_STRING, id, &images, 0);
}

void AppendDirections(TwMenu& menu, const ImageList& images)
{
    for (const SDirectionEntry& entry : kDirections)
        menu.AppendItem(LoadString(entry.textId), MF_STRING, static_cast<unsigned>(entry.code + 1), &images,
                        entry.image);
}

// Shows a two-entry popup without images; the id chosen, 0 for none.
unsigned TrackTwoEntries(QWidget* owner, int x, int left, int right, int y, uint32_t first, uint32_t second)
{
    TwMenu menu;
    menu.AppendItem(LoadString(first), MF_STRING, 1);
    menu.AppendItem(LoadString(second), MF_STRING, 2);
    return menu.TrackPopupMenu(kCentredFlags, PopupX(x, left, right), y, owner);
}

bool EditLimit(QWidget* owner, float minimum, float maximum, int decimals, const QString& unit, float& limit,
               bool upper)
{
    const bool enabled = limit != MEAS_NO_VALUE;
    const float start = IsValidValue(limit) ? limit : (upper ? maximum : minimum);
    // One tenth of the last decimal shown.
    const double step = std::pow(10.0, -(decimals + 1));

    CSliderDlg dialog(owner);
    dialog.SetParams(minimum, maximum, start, decimals, step, enabled);
    dialog.SetUnit(unit);
    if (dialog.DoModal() != IDOK)
        return false;
    limit = dialog.IsEnabled() ? static_cast<float>(dialog.GetValue()) : MEAS_NO_VALUE;
    return true;
}

// Puts the table's selected record back, however the enumeration ends.
class SelectionKeeper
{
public:
    explicit SelectionKeeper(CConvTable& table) : m_table(table), m_slot(table.GetCurrentSlot()) {}
    ~SelectionKeeper() { m_table.SelectRecord(m_slot); }
    SelectionKeeper(const SelectionKeeper&) = delete;
    SelectionKeeper& operator=(const SelectionKeeper&) = delete;

private:
    CConvTable& m_table;
    int m_slot;
};

} // namespace

// ---------------------------------------------------------------------------------------
// Limit entry and the small popups

bool CVeskDocPopups::EditUpperLimit(QWidget* owner, float minimum, float maximum, int decimals,
                                    const QString& unit, float& limit) const
{
    return EditLimit(owner, minimum, maximum, decimals, unit, limit, true);
}

bool CVeskDocPopups::EditLowerLimit(QWidget* owner, float minimum, float maximum, int decimals,
                                    const QString& unit, float& limit) const
{
    return EditLimit(owner, minimum, maximum, decimals, unit, limit, false);
}

bool CVeskDocPopups::TrackYesNoMenu(QWidget* owner, int x, int left, int right, int y, bool& no) const
{
    const unsigned id = TrackTwoEntries(owner, x, left, right, y, StringId::IDS_NO, StringId::IDS_YES);
    if (id == 0)
        return false;
    no = id == 1;
    return true;
}

bool CVeskDocPopups::TrackUnitMenu(QWidget* owner, int x, int left, int right, int y, bool& imperial) const
{
    const unsigned id =
        TrackTwoEntries(owner, x, left, right, y, StringId::IDS_METRIC, StringId::IDS_IMPERIAL);
    if (id == 0)
        return false;
    imperial = id == 2;
    return true;
}

bool CVeskDocPopups::TrackDiameterMenu(QWidget* owner, int x, int left, int right, int y, int& diameter) const
{
    TwMenu menu;
    menu.AppendItem(LoadString(StringId::IDS_DIAMETER_OFF), MF_STRING, kDiameterOff + 1);
    const unsigned id = menu.TrackPopupMenu(kCentredFlags, PopupX(x, left, right), y, owner);
    if (id == 0)
        return false;
    diameter = static_cast<int>(id) - 1;
    return true;
}

bool CVeskDocPopups::TrackDirectionMenu(QWidget* owner, int x, int left, int right, int y,
                                        int& direction) const
{
    const ImageList images = StripImages(kBitmapDirections, 16, 16);
    TwMenu menu;
    AppendDirections(menu, images);
    const unsigned id = menu.TrackPopupMenu(kCentredFlags, PopupX(x, left, right), y, owner);
    if (id == 0)
        return false;
    direction = static_cast<int>(id) - 1;
    return true;
}

bool CVeskDocPopups::TrackStandardMenu(QWidget* owner, int x, int left, int right, int y, bool benchProbe,
                                       int& standard) const
{
    const ImageList images = StripImages(kBitmapStandards, 16, 16);
    TwMenu menu;
    // Image order of the strip: default, Custom J, ISO 18265, ASTM E140.
    const std::pair<int, int> entries[2][2] = {
        {{CONV_STD_DEFAULT, 0}, {CONV_STD_CUSTOM_J, 1}},
        {{CONV_STD_ISO_18265, 2}, {CONV_STD_ASTM_E140, 3}},
    };
    for (const auto& [mask, image] : entries[benchProbe ? 1 : 0])
        menu.AppendItem(GetConversionStandardName(mask), MF_STRING, static_cast<unsigned>(mask + 1), &images,
                        image);
    const unsigned id = menu.TrackPopupMenu(kCentredFlags, PopupX(x, left, right), y, owner);
    if (id == 0)
        return false;
    standard = static_cast<int>(id) - 1;
    return true;
}

bool CVeskDocPopups::TrackValueMenu(QWidget* owner, QPoint point, bool diameterMode, int& code, bool& exclude,
                                    bool* copyOne, bool& copyAll) const
{
    code = -1;
    exclude = false;
    copyAll = false;
    if (copyOne)
        *copyOne = false;

    const ImageList images = StripImages(kBitmapValueRow, 16, 16);
    TwMenu corrections;
    TwMenu menu;
    if (copyOne)
        menu.AppendItem(LoadString(StringId::IDS_COPY_ONE), MF_STRING, kCmdCopyOne, &images, kImageCopy);
    menu.AppendItem(LoadString(StringId::IDS_COPY_ALL), MF_STRING, kCmdCopyAll, &images, kImageCopy);
    if (copyOne)
    {
        menu.AppendItem(QString(), MF_SEPARATOR, 0);
        menu.AppendItem(LoadString(StringId::IDS_EXCLUDE), MF_STRING, kCmdExclude, &images, kImageExclude);
    }
    menu.AppendItem(QString(), MF_SEPARATOR, 0);
    if (diameterMode)
    {
        corrections.AppendItem(LoadString(StringId::IDS_DIAMETER_OFF), MF_STRING, kDiameterOff + 1);
        menu.AppendItem(LoadString(StringId::IDS_DIAMETER_CORRECTION), MF_POPUP, corrections);
    }
    else
    {
        AppendDirections(corrections, images);
        menu.AppendItem(LoadString(StringId::IDS_DIRECTION_CORRECTION), MF_POPUP, corrections);
    }

    const unsigned id =
        menu.TrackPopupMenu(TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD, point.x(), point.y(), owner);
    switch (id)
    {
    case 0:
        return false;
    case kCmdExclude:
        exclude = true;
        break;
    case kCmdCopyOne:
        if (copyOne)
            *copyOne = true;
        break;
    case kCmdCopyAll:
        copyAll = true;
        break;
    default:
        code = static_cast<int>(id) - 1;
        break;
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// The conversion-scale popup

void CVeskDocPopups::AddConversionLine(std::vector<OneLine>& lines, const SConvRecordInfo& record,
                                       const QString& shortName, const QString& longName,
                                       const QString& rangeText, const QString& groupName)
{
    OneSubLine sub;
    sub.scale = record.target;
    sub.matType = record.matType;
    sub.matGroup = record.matGroup;
    sub.groupName = groupName;
    sub.rangeText = rangeText;

    for (OneLine& line : lines)
    {
        if (line.scale != sub.scale)
            continue;
        // A second record for the scale: the line becomes a submenu of its records.
        if (line.subLines.empty())
        {
            OneSubLine first;
            first.scale = line.scale;
            first.matType = line.matType;
            first.matGroup = line.matGroup;
            first.groupName = line.groupName;
            first.rangeText = line.rangeText;
            line.subLines.push_back(std::move(first));
            line.rangeText.clear();
        }
        line.subLines.push_back(std::move(sub));
        return;
    }

    OneLine line;
    line.shortName = shortName;
    line.longName = longName;
    line.rangeText = rangeText;
    line.scale = sub.scale;
    line.matType = sub.matType;
    line.matGroup = sub.matGroup;
    line.groupName = groupName;
    lines.push_back(std::move(line));
}

void CVeskDocPopups::KeepCommonLines(std::vector<OneLine>& lines, const std::vector<OneLine>& other)
{
    auto reached = [&other](int scale, int group)
    {
        for (const OneLine& line : other)
        {
            if (line.scale == scale && line.matGroup == group)
                return true;
            for (const OneSubLine& sub : line.subLines)
                if (sub.scale == scale && sub.matGroup == group)
                    return true;
        }
        return false;
    };

    std::vector<OneLine> kept;
    for (OneLine& line : lines)
    {
        if (line.subLines.empty())
        {
            if (reached(line.scale, line.matGroup))
                kept.push_back(std::move(line));
            continue;
        }
        std::erase_if(line.subLines,
                      [&](const OneSubLine& sub) { return !reached(sub.scale, sub.matGroup); });
        if (!line.subLines.empty())
            kept.push_back(std::move(line));
    }
    lines = std::move(kept);
}

std::vector<CVeskDocPopups::OneLine> CVeskDocPopups::CollectConversionLines(const SProbeId& probe,
                                                                            const SMaterial& material,
                                                                            int standard, bool imperial)
{
    std::vector<OneLine> lines;
    const bool custom = material.type == MAT_CUSTOM;
    const QString customName = custom ? material.Name() : QString();
    const bool bench = IsBenchProbeCode(probe.code);

    CConvTable& table = CConvTable::Instance();
    CConvTable::Guard lock(table);
    SelectionKeeper keeper(table);
    CConvEnumerator enumerator(&table);
    SConvRecordInfo info;
    // A standard material by its type, any group; a custom one by its name.
    for (int slot = enumerator.Find(info, probe.code, material.type, -1, -1, standard, customName); slot >= 0;
         slot = enumerator.Next(info))
    {
        QString shortName;
        QString longName;
        GetScaleNames(info.target, shortName, longName, imperial);

        // A record that cannot be loaded converts nothing, so it is not offered.
        if (!table.SelectRecord(slot))
            continue;
        float low = table.Convert(info.minX, false);
        float high = table.Convert(info.maxX, false);
        if (low > high)
            std::swap(low, high);
        if (imperial && info.target == info.source)
        {
            MicronsToMils(low);
            MicronsToMils(high);
        }
        const QString rangeText =
            QStringLiteral("  (%1 ... %2 %3)").arg(FormatFixed(low, 0), FormatFixed(high, 0), shortName);

        QString groupName;
        GetMaterialGroupName(info.matType, info.matGroup, info.target, groupName, bench);
        AddConversionLine(lines, info, shortName, longName, rangeText, groupName);
    }
    return lines;
}

bool CVeskDocPopups::TrackConversionMenu(QWidget* owner, int x, int left, int right, int y,
                                         const std::vector<SProbeId>& probes,
                                         const std::vector<SMaterial>& materials, STargetScale& target,
                                         bool imperial, int& materialGroup) const
{
    const size_t count = std::min(probes.size(), materials.size());
    std::vector<OneLine> lines;
    for (size_t i = 0; i < count; ++i)
    {
        std::vector<OneLine> own = CollectConversionLines(probes[i], materials[i], target.standard, imperial);
        if (i == 0)
            lines = std::move(own);
        else
            KeepCommonLines(lines, own);
    }

    // Submenus live until the menu that opens them has gone.
    std::deque<TwMenu> submenus;
    TwMenu menu;
    menu.SetImageSize(50, 16);
    for (size_t j = 0; j < lines.size(); ++j)
    {
        const OneLine& line = lines[j];
        const unsigned base = static_cast<unsigned>(j) * kLineIdStep;
        if (line.subLines.empty())
        {
            AppendWithTextImage(menu, line.longName + u'\t' + line.rangeText, base + 1, nullptr,
                                line.shortName);
            continue;
        }
        TwMenu& submenu = submenus.emplace_back();
        submenu.SetImageSize(22, 16);
        for (const OneSubLine& sub : line.subLines)
        {
            const QString number = sub.matGroup == 0
                                       ? QString::number(sub.matType)
                                       : QStringLiteral("%1.%2").arg(sub.matType).arg(sub.matGroup);
            AppendWithTextImage(submenu, sub.groupName + u'\t' + sub.rangeText,
                                base + static_cast<unsigned>(sub.matGroup) + 1, nullptr, number);
        }
        AppendWithTextImage(menu, line.longName, 0, &submenu, line.shortName);
    }
    if (lines.empty())
        menu.AppendItem(LoadString(StringId::IDS_NO_COMMON_SCALES), MF_GRAYED, 1);

    const unsigned id = menu.TrackPopupMenu(kCentredFlags, PopupX(x, left, right), y, owner);
    if (id == 0 || lines.empty())
        return false;
    const size_t chosen = (id - 1) / kLineIdStep;
    if (chosen >= lines.size())
        return false;
    target.scale = lines[chosen].scale;
    materialGroup = static_cast<int>((id - 1) % kLineIdStep);
    return true;
}

// ---------------------------------------------------------------------------------------
// The material popup

bool CVeskDocPopups::TrackMaterialMenu(QWidget* owner, int x, int left, int right, int y,
                                       const std::vector<int>& probeScales, SMaterial& material) const
{
    TwMenu customMenu;
    TwMenu menu;
    bool any = false;
    for (int type = 1; type <= kMaterialTypes; ++type)
    {
        const bool offered =
            std::any_of(probeScales.begin(), probeScales.end(),
                        [&](int scale) { return m_document.IsScaleConvertible(type, scale); });
        if (!offered)
            continue;
        QString name;
        GetMaterialGroupName(type, 0, -1, name, true);
        AppendWithTextImage(menu, name, static_cast<unsigned>(type + 1), nullptr, QString::number(type));
        any = true;
    }

    // The custom materials every series' probe scale converts for, in the first
    // series' order.
    QStringList common;
    {
        CConvTable& table = CConvTable::Instance();
        CConvTable::Guard lock(table);
        CConvEnumerator enumerator(&table);
        for (size_t i = 0; i < probeScales.size(); ++i)
        {
            QStringList names;
            SConvRecordInfo info;
            for (int slot = enumerator.Find(info, probeScales[i], MAT_CUSTOM, -1, -1, 0); slot >= 0;
                 slot = enumerator.Next(info))
                if (info.matType == MAT_CUSTOM && !names.contains(info.Name()))
                    names << info.Name();
            if (i == 0)
                common = names;
            else
                common.removeIf([&names](const QString& name) { return !names.contains(name); });
        }
    }
    if (!common.isEmpty())
    {
        for (qsizetype i = 0; i < common.size(); ++i)
            customMenu.AppendItem(common[i], MF_STRING, kFirstCustomId + static_cast<unsigned>(i));
        QString label;
        GetMaterialGroupName(kMaterialTypes + 1, 0, -1, label, false);
        menu.AppendItem(label, MF_POPUP, customMenu);
        any = true;
    }
    // Nothing to choose from: no popup at all.
    if (!any)
        return false;

    const unsigned id = menu.TrackPopupMenu(kCentredFlags, PopupX(x, left, right), y, owner);
    if (id == 0)
        return false;
    if (id < kFirstCustomId)
        return material.Set(static_cast<int>(id) - 1, 0);
    const qsizetype index = static_cast<qsizetype>(id - kFirstCustomId);
    if (index >= common.size())
        return false;
    return material.SetCustom(common[index], 0);
}
