// The series cell: layout of its panels, the statistics, settings and comment panels, and
// the height animation of its row. The bar graph and the value list are in
// GridCellSeriesValues.cpp.
#include "seriesview/GridCellSeries.h"

#include "document/ValueText.h"
#include "document/VeskDoc.h"
#include "grid/GridCtrl.h"
#include "measurement/MeasSeries1.h"
#include "measurement/MeasSeriesWrapper.h"
#include "measurement/ScaleCodes.h"
#include "measurement/SeriesSettings.h"
#include "platform/gui/PainterCanvas.h"
#include "platform/gui/SystemLook.h"
#include "seriesview/ColorScheme.h"

#include <algorithm>
#include <array>
#include <optional>

using Platform::Canvas;
using Platform::Font;
using Platform::LogFont;
using Platform::Rect;
using Platform::Size;

namespace
{
// Readings up to this count are shown in one graph and one list; longer series in blocks
// of this many.
constexpr int kBlock = 100;
constexpr int kGraphHeight = 300;
constexpr int kBlockListHeight = 200;
constexpr int kMinLayoutWidth = 800;

bool IsWordEnd(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('.') || c == QLatin1Char('\n');
}
} // namespace

CGridCellSeries::CGridCellSeries() : m_linkColor(CColorScheme::kLink)
{
}

CGridCellSeries::~CGridCellSeries() = default;

std::unique_ptr<CGridCellBase> CGridCellSeries::CreateObject()
{
    return std::make_unique<CGridCellSeries>();
}

void CGridCellSeries::SetSeries(CVeskDoc* document, int index)
{
    if (document != m_document || index != m_seriesIndex)
        m_cachedFullHeight = -1;
    m_document = document;
    m_seriesIndex = index;
}

void CGridCellSeries::ResetView()
{
    m_estimated = false;
    m_animatedHeight = 0;
    m_expanded = false;
    m_collapsing = false;
    m_expanding = false;
    m_cachedFullHeight = -1;
    m_hoveredLink = 0;
    m_hoveredReading = -1;
    m_hitAreas.RemoveAll();
}

CMeasSeriesWrapper* CGridCellSeries::Entry() const
{
    if (!m_document || m_seriesIndex < 0 || m_seriesIndex >= m_document->GetSeriesCount())
        return nullptr;
    CMeasSeriesWrapper* entry = m_document->GetSeriesAt(m_seriesIndex);
    const intptr_t own = GetData();
    return own == 0 || own == reinterpret_cast<intptr_t>(entry) ? entry : nullptr;
}

CMeasSeries1* CGridCellSeries::Series() const
{
    CMeasSeriesWrapper* entry = Entry();
    return entry ? entry->GetSeries() : nullptr;
}

int CGridCellSeries::ShownReadingCount()
{
    return ShownReadingCount(Series());
}

int CGridCellSeries::ShownReadingCount(CMeasSeries1* series)
{
    // Not the series' count of readings with a value: a reading without one ("--") among
    // them would cut the last reading off the list.
    int count = 0;
    if (series)
        series->ForEachIncludedValue([&count](float) { ++count; });
    return count;
}

CGridCellSeries::Fonts& CGridCellSeries::SharedFonts(Canvas& dc)
{
    static std::optional<Fonts> fonts;
    if (!fonts)
    {
        const LogFont base = dc.GetFont().GetLogFont();
        LogFont underline = base;
        underline.underline = true;
        LogFont bold = base;
        bold.weight = 800;
        LogFont boldUnderline = bold;
        boldUnderline.underline = true;
        LogFont huge = base;
        huge.height = -55;
        huge.weight = 800;
        fonts = Fonts{Font(base), Font(underline), Font(bold), Font(boldUnderline), Font(huge)};
    }
    return *fonts;
}

bool CGridCellSeries::Draw(Canvas* dc, int row, int col, Rect rect, bool, bool plain)
{
    if (!dc || m_seriesIndex == -1 || rect.Height() <= 0)
        return false;
    CMeasSeriesWrapper* entry = Entry();
    CMeasSeries1* series = Series();
    if (!entry || !series)
        return false;

    dc->SaveDC();
    const Platform::Point origin = dc->GetWindowOrg();
    dc->SetWindowOrg({origin.x - rect.left, origin.y - rect.top});
    if (m_reallyPaint)
    {
        ClearTipZones();
        m_hitAreas.RemoveAll();
    }
    const int width = std::max(rect.Width(), kMinLayoutWidth);

    m_imperial = series->IsImperial();
    m_showMils = m_imperial && IsDepthScale(series->GetProbeId().code);
    const bool printing = dc->IsPrinting();
    const bool openForMeasuring = series->IsNew();
    if (m_reallyPaint && !printing)
        dc->FillSolidRect({0, 0, width, rect.Height()},
                          openForMeasuring ? CColorScheme::kOpenSeriesBack : GetBackClr());

    dc->SetBkMode(Platform::TRANSPARENT);
    if (const Font* font = GetFontObject())
        dc->SelectFont(*font);
    const Fonts& fonts = SharedFonts(*dc);
    dc->SelectFont(fonts.normal);

    // A pass that only measures (for the height of a row about to open) draws nothing.
    const bool measureOnly = !m_reallyPaint;
    const int n = ShownReadingCount();
    m_layout = n > kBlock ? 6 : 1;

    const Size s = DrawStatistics(*dc, 0, 0, true);
    const Size t = DrawSettings(*dc, 0, 0, true);
    Size l;
    Size g;
    if (n <= kBlock)
    {
        l = DrawValueList(*dc, 0, 0, kGraphHeight, 0, n, true);
        g = DrawBarGraph(*dc, 0, 0, width, kGraphHeight, 0, n, measureOnly);
        if (width < g.cx + l.cx + s.cx + t.cx)
        {
            m_layout = 2;
            if (width < g.cx + l.cx + std::max(s.cx, t.cx))
            {
                m_layout = 3;
                if (width < g.cx + l.cx)
                    m_layout = width < l.cx + s.cx + t.cx ? 5 : 4;
            }
        }
    }

    if (m_reallyPaint && !printing && openForMeasuring)
    {
        const Font old = dc->SelectFont(fonts.huge);
        const Platform::ColorRef oldColor = dc->SetTextColor(CColorScheme::kOpenSeriesText);
        const unsigned oldAlign = dc->SetTextAlign(Platform::TA_CENTER | Platform::TA_BOTTOM);
        dc->TextOut(rect.Width() / 2, m_fullHeight - 8, u"opened for measuring");
        dc->SetTextAlign(oldAlign);
        dc->SetTextColor(oldColor);
        dc->SelectFont(old);
    }

    int contentHeight = 0;
    switch (m_layout)
    {
    case 1:
    {
        const Size list = DrawValueList(*dc, g.cx, 0, kGraphHeight, 0, n, measureOnly);
        DrawStatistics(*dc, g.cx + list.cx, 0, measureOnly);
        DrawSettings(*dc, g.cx + list.cx + s.cx, 0, measureOnly);
        const Size m =
            DrawComment(*dc, g.cx + list.cx, std::max(s.cy, t.cy), width - g.cx - list.cx, measureOnly);
        contentHeight = std::max(std::max(s.cy, t.cy) + m.cy, g.cy);
        break;
    }
    case 2:
    {
        const Size list = DrawValueList(*dc, g.cx, 0, kGraphHeight, 0, n, measureOnly);
        DrawStatistics(*dc, g.cx + list.cx, 0, measureOnly);
        DrawSettings(*dc, g.cx + list.cx, s.cy, measureOnly);
        const Size m = DrawComment(*dc, 0, g.cy, g.cx + list.cx, measureOnly);
        contentHeight = std::max(s.cy + t.cy, g.cy + m.cy);
        break;
    }
    case 3:
    {
        DrawValueList(*dc, g.cx, 0, kGraphHeight, 0, n, measureOnly);
        DrawStatistics(*dc, 0, g.cy, measureOnly);
        DrawSettings(*dc, s.cx, g.cy, measureOnly);
        const Size m = DrawComment(*dc, s.cx + t.cx, g.cy, width - s.cx - t.cx, measureOnly);
        contentHeight = std::max({g.cy + m.cy, g.cy + s.cy, g.cy + t.cy});
        break;
    }
    case 4:
    {
        const Size list = DrawValueList(*dc, 0, g.cy, kGraphHeight, 0, n, measureOnly);
        DrawStatistics(*dc, list.cx, g.cy, measureOnly);
        DrawSettings(*dc, list.cx + s.cx, g.cy, measureOnly);
        const Size m = DrawComment(*dc, list.cx, g.cy + std::max(s.cy, t.cy), width - list.cx, measureOnly);
        contentHeight = std::max(g.cy + list.cy, g.cy + std::max(s.cy, t.cy) + m.cy);
        break;
    }
    case 5:
    {
        // The list is as high as statistics and settings together; the panels beside it
        // take their place from the list as drawn, which may have more columns.
        const Size list = DrawValueList(*dc, 0, g.cy, s.cy + t.cy, 0, n, measureOnly);
        DrawStatistics(*dc, list.cx, g.cy, measureOnly);
        DrawSettings(*dc, list.cx, g.cy + s.cy, measureOnly);
        const Size m = DrawComment(*dc, list.cx, g.cy + s.cy + t.cy, width - list.cx, measureOnly);
        contentHeight = std::max(g.cy + list.cy, g.cy + s.cy + t.cy + m.cy);
        break;
    }
    default:
    {
        DrawStatistics(*dc, 0, 0, measureOnly);
        DrawSettings(*dc, s.cx, 0, measureOnly);
        const Size m = DrawComment(*dc, s.cx + t.cx, 0, width - s.cx - t.cx, measureOnly);
        int y = std::max({m.cy, s.cy, t.cy});
        const int fullBlockList = DrawValueList(*dc, 0, 0, kBlockListHeight, 0, kBlock, true).cy;
        const int step = fullBlockList + kGraphHeight;
        Rect clip;
        dc->GetClipBox(&clip);
        for (int offset = 0; offset < n; offset += kBlock)
        {
            if (y <= clip.bottom && y + step >= clip.top)
            {
                y += DrawBarGraph(*dc, 0, y, width, kGraphHeight, offset, kBlock, measureOnly).cy;
                y += DrawValueList(*dc, 0, y, kBlockListHeight, offset, kBlock, measureOnly).cy;
            }
            else if (offset + kBlock < n)
            {
                y += step;
            }
            else
            {
                // The last block may be short: its own list height keeps the row height
                // the same whether or not the block was visible.
                y += kGraphHeight + DrawValueList(*dc, 0, y, kBlockListHeight, offset, kBlock, true).cy;
            }
        }
        contentHeight = y;
        break;
    }
    }

    dc->RestoreDC(-1);
    if (GetGrid())
        DrawFocusFrame(dc, row, col, rect, plain);

    m_fullHeight = contentHeight + 3 * m_margin;
    m_cachedFullHeight = m_fullHeight;
    m_estimated = false;
    if (!printing)
        AnimationStep(m_fullHeight);
    return true;
}

bool CGridCellSeries::PrintCell(Canvas* dc, int row, int col, Rect rect)
{
    return Draw(dc, row, col, rect, false);
}

Size CGridCellSeries::GetCellExtent(Canvas* dc)
{
    Size size = CGridCell::GetCellExtent(dc);
    size.cx += Platform::GetSystemMetrics(Platform::SM_CXVSCROLL);
    size.cy = std::max(size.cy, Platform::GetSystemMetrics(Platform::SM_CYHSCROLL));
    return size;
}

Size CGridCellSeries::DrawStatistics(Canvas& dc, int x, int y, bool measureOnly)
{
    CMeasSeries1* series = Series();
    if (!series)
        return {};
    const Fonts& fonts = SharedFonts(dc);
    const int margin = m_margin;
    const Font oldFont = dc.SelectFont(fonts.bold);
    const int rowHeight = dc.GetTextExtent(u"0").cy;
    const QString title = QStringLiteral("Statistics");
    const int titleHeight = dc.GetTextExtent(title).cy;
    if (!measureOnly)
        dc.TextOut(x + margin, y + margin, title);
    const int top = y + margin + int(1.2 * titleHeight);
    dc.SelectFont(fonts.normal);

    QString scaleShort;
    QString scaleLong;
    series->GetTargetScaleNames(scaleShort, scaleLong, m_imperial);
    const int d0 = m_document->GetSeriesDecimals(m_seriesIndex, 0);
    const int d1 = m_document->GetSeriesDecimals(m_seriesIndex, 1);
    const int d2 = m_document->GetSeriesDecimals(m_seriesIndex, 2);
    auto withScale = [&](float value, int decimals)
    { return QStringLiteral("=  ") + FormatValue(ToShown(value), decimals) + QLatin1Char(' ') + scaleShort; };
    auto plain = [&](float value) { return QStringLiteral("=  ") + FormatValue(value, d2); };

    const std::array<std::array<QString, 3>, 11> rows{{
        {QStringLiteral("Mean value"), QStringLiteral("x"), withScale(series->GetMean(), d0)},
        {QStringLiteral("Measurements"), QStringLiteral("N"),
         QStringLiteral("=  ") + QString::number(m_document->GetSeriesValidCount(m_seriesIndex))},
        {QStringLiteral("Standard deviation"), QStringLiteral("s"), withScale(series->GetStdDev(), d1)},
        {QStringLiteral("Min"), QStringLiteral("min"), withScale(series->GetMin(), d0)},
        {QStringLiteral("Max"), QStringLiteral("max"), withScale(series->GetMax(), d0)},
        {QStringLiteral("Range"), QStringLiteral("R"), withScale(series->GetRange(), d0)},
        {QStringLiteral("Uncertainty"), QString(), withScale(series->GetConfidenceHalfWidth(), d0)},
        {QStringLiteral("Cp"), QString(), plain(series->GetCp())},
        {QStringLiteral("Cpk"), QString(), plain(series->GetCpk())},
        {QStringLiteral("Cp min"), QString(), plain(series->GetCpLowerBound())},
        {QStringLiteral("Cpk min"), QString(), plain(series->GetCpkLowerBound())},
    }};
    int widest[3] = {0, 0, 0};
    for (const auto& r : rows)
        for (int c = 0; c < 3; ++c)
            widest[c] = std::max(widest[c], dc.GetTextExtent(r[size_t(c)]).cx);
    const int nameX = x + margin;
    const int symbolX = nameX + int(1.1 * widest[0]);
    const int valueX = symbolX + int(1.15 * widest[1]);
    int rowTop = top;
    for (const auto& r : rows)
    {
        if (!measureOnly)
        {
            dc.TextOut(nameX, rowTop, r[0]);
            dc.TextOut(symbolX, rowTop, r[1]);
            dc.TextOut(valueX, rowTop, r[2]);
        }
        rowTop += rowHeight;
    }
    dc.SelectFont(oldFont);
    return {valueX - x + widest[2] + margin, rowTop - y + margin};
}

Size CGridCellSeries::DrawSettings(Canvas& dc, int x, int y, bool measureOnly)
{
    CMeasSeriesWrapper* entry = Entry();
    CMeasSeries1* series = Series();
    if (!entry || !series)
        return {};
    const Fonts& fonts = SharedFonts(dc);
    const int margin = m_margin;
    const Font oldFont = dc.SelectFont(fonts.bold);
    const QString title = QStringLiteral("Settings ");
    const Size titleSize = dc.GetTextExtent(title);
    if (!measureOnly)
    {
        dc.TextOut(x + margin, y + margin, title);
        if (m_reallyPaint && !series->IsUnchanged(true))
            DrawLink(dc, fonts, x + margin + titleSize.cx, y + margin,
                     QStringLiteral("[restore original settings]"), LINK_RESTORE, true, true);
    }
    const int top = y + margin + int(1.2 * titleSize.cy);
    dc.SelectFont(fonts.normal);
    const int rowHeight = dc.GetTextExtent(u"0").cy;

    SSeriesSettings settings;
    series->GetSettings(settings);
    const bool bench = series->GetProbeId().IsBenchProbe();
    const int d0 = m_document->GetSeriesDecimals(m_seriesIndex, 0);
    QString scaleName;
    QString scaleLong;
    series->GetTargetScaleNames(scaleName, scaleLong, m_imperial);
    if (settings.material.group != 0)
        scaleName += QLatin1Char('/') + QString::number(settings.material.group);
    auto limitText = [&](float limit)
    {
        if (limit == MEAS_NO_VALUE)
            return QStringLiteral("off");
        return FormatValue(ToShown(limit), d0) + QLatin1Char(' ') + scaleName;
    };
    QString material;
    if (settings.material.type == 0)
    {
        material = settings.material.Name();
    }
    else
    {
        QString name;
        series->GetMaterialName(name);
        material = QString::number(settings.material.type) + QLatin1Char(' ') + name;
    }
    QString probeName;
    series->GetProbeName(probeName);

    struct Row
    {
        QString label;
        QString value;
        int link;
    };
    std::vector<Row> rows;
    rows.push_back({QStringLiteral("Upper limit"), limitText(settings.upperLimit), LINK_UPPER_LIMIT});
    rows.push_back({QStringLiteral("Lower limit"), limitText(settings.lowerLimit), LINK_LOWER_LIMIT});
    rows.push_back({QStringLiteral("Material"), material, LINK_MATERIAL});
    rows.push_back({QStringLiteral("Scale"), scaleName, LINK_SCALE});
    if (bench)
        rows.push_back({QStringLiteral("Diameter correction"), entry->GetDiameterText(m_imperial, false),
                        LINK_DIRECTION});
    else
        rows.push_back({QStringLiteral("Direction"), entry->GetCommonDirectionText(false), LINK_DIRECTION});
    if (bench && settings.targetScale.standard == 4 &&
        (settings.material.type == 6 || settings.material.type == 0))
        rows.push_back({QStringLiteral("ASTM B724 meas. mode"), entry->GetB724ModeText(false), LINK_B724});
    if (bench)
        rows.push_back({QStringLiteral("Unit"), entry->GetUnitText(false), LINK_UNIT});
    rows.push_back({QStringLiteral("Conversion standard"), entry->GetStandardName(), LINK_STANDARD});
    rows.push_back({QStringLiteral("Probe"), probeName, 0});
    rows.push_back({QStringLiteral("Probe serial number"), entry->GetProbeSerial(), 0});
    rows.push_back({QStringLiteral("Veskora 3 serial number"), entry->GetDeviceSerial(), 0});

    int widestLabel = 0;
    int widestValue = 0;
    for (const Row& r : rows)
    {
        widestLabel = std::max(widestLabel, dc.GetTextExtent(r.label).cx);
        widestValue = std::max(widestValue, dc.GetTextExtent(r.value).cx);
    }
    const int valueX = x + margin + widestLabel + 12;
    int rowTop = top;
    for (const Row& r : rows)
    {
        if (!measureOnly)
        {
            dc.TextOut(x + margin, rowTop, r.label);
            if (r.link != 0)
                DrawLink(dc, fonts, valueX, rowTop, r.value, r.link, false, true);
            else
                dc.TextOut(valueX, rowTop, r.value);
        }
        rowTop += rowHeight;
    }
    dc.SelectFont(oldFont);
    return {2 * margin + widestLabel + 12 + widestValue, rowTop - y + margin};
}

QString CGridCellSeries::NextWord(const QString& text, int& pos)
{
    while (pos < text.size() && text[pos] == QLatin1Char('\r'))
        ++pos;
    const int start = pos;
    while (pos < text.size())
    {
        const QChar c = text[pos++];
        if (c == QLatin1Char('\r'))
            continue;
        if (IsWordEnd(c))
            break;
    }
    QString word;
    for (int i = start; i < pos; ++i)
        if (text[i] != QLatin1Char('\r'))
            word += text[i];
    if (word.size() > 1 && IsWordEnd(word.back()))
    {
        word.chop(1);
        --pos;
    }
    return word;
}

Size CGridCellSeries::DrawComment(Canvas& dc, int x, int y, int width, bool measureOnly)
{
    if (!Entry())
        return {};
    const Fonts& fonts = SharedFonts(dc);
    const int margin = m_margin;
    QString text = m_document->GetSeriesComment(m_seriesIndex);
    if (text.isEmpty())
        text = QStringLiteral("[Add]");

    const Font oldFont = dc.SelectFont(fonts.bold);
    const QString title = QStringLiteral("Comment");
    const int titleHeight = dc.GetTextExtent(title).cy;
    if (!measureOnly)
        dc.TextOut(x + margin, y + margin, title);
    const int linesTop = y + margin + int(1.2 * titleHeight);
    const int available = width - 2 * margin;
    const int left = x + margin;

    dc.SelectFont(m_hoveredLink == LINK_COMMENT ? fonts.underline : fonts.normal);
    const Platform::ColorRef oldColor = dc.SetTextColor(m_linkColor);
    auto put = [&](int offset, int lineTop, const QString& piece)
    {
        if (measureOnly)
            return;
        dc.TextOut(left + offset, linesTop + lineTop, piece);
        m_hitAreas.AddTextArea(dc, left + offset, linesTop + lineTop, piece, 0, SERIESHIT_LINK, LINK_COMMENT,
                               std::nullopt, m_reallyPaint);
    };

    int lineTop = 0;
    int offset = 0;
    int pos = 0;
    for (QString word = NextWord(text, pos); !word.isEmpty(); word = NextWord(text, pos))
    {
        const Size ws = dc.GetTextExtent(word);
        if (word == QLatin1String("\n"))
        {
            lineTop += ws.cy;
            offset = 0;
        }
        else if (offset + ws.cx < available)
        {
            put(offset, lineTop, word);
            offset += ws.cx;
        }
        else if (ws.cx < available)
        {
            lineTop += ws.cy;
            put(0, lineTop, word);
            offset = ws.cx;
        }
        else
        {
            // Wider than a whole line: broken wherever the line is full, at least one
            // character a line.
            QString piece;
            for (QChar c : word)
            {
                const QString longer = piece + c;
                if (!piece.isEmpty() && offset + dc.GetTextExtent(longer).cx >= available)
                {
                    put(offset, lineTop, piece);
                    lineTop += dc.GetTextExtent(piece).cy;
                    offset = 0;
                    piece = c;
                }
                else
                {
                    piece = longer;
                }
            }
            put(offset, lineTop, piece);
            offset += dc.GetTextExtent(piece).cx;
        }
    }
    const int lastLine = dc.GetTextExtent(u"A").cy;
    dc.SetTextColor(oldColor);
    dc.SelectFont(oldFont);
    return {width, 2 * margin + int(1.2 * titleHeight) + lineTop + lastLine};
}

void CGridCellSeries::AnimationStep(int target)
{
    if (!m_expanding && !m_collapsing)
    {
        if (m_expanded && m_animatedHeight != target)
        {
            m_animatedHeight = target;
            RequestPostDraw();
        }
        return;
    }
    if (m_expanding)
    {
        m_animatedHeight += (target - m_animatedHeight) / 20 + 2;
        if (m_animatedHeight >= target)
        {
            m_animatedHeight = target;
            m_expanding = false;
            m_expanded = true;
        }
        RequestPostDraw();
        return;
    }
    m_animatedHeight -= m_animatedHeight / 20 + 3;
    if (m_animatedHeight <= 2)
    {
        m_animatedHeight = 0;
        m_expanded = false;
        m_collapsing = false;
    }
    RequestPostDraw();
}

void CGridCellSeries::Expand(bool atOnce)
{
    m_collapsing = false;
    m_expanding = true;
    if (m_animatedHeight < 2 || (atOnce && m_estimated))
    {
        if (atOnce)
        {
            int full = m_cachedFullHeight;
            if (full == -1)
            {
                Rect cell{0, 0, kMinLayoutWidth, 100};
                CGridCtrl* grid = GetGrid();
                Rect gridCell;
                if (grid && grid->GetCellRect(GetRow(), GetColumn(), &gridCell))
                    cell = {gridCell.left, 0, gridCell.right, 100};
                static Platform::MeasureCanvas* measuring = new Platform::MeasureCanvas();
                m_reallyPaint = false;
                measuring->SaveDC();
                Draw(measuring, GetRow(), GetColumn(), cell, false, true);
                measuring->RestoreDC(-1);
                m_reallyPaint = true;
                full = m_fullHeight;
            }
            m_animatedHeight = full;
            m_expanding = false;
            m_expanded = true;
            m_estimated = false;
            if (CGridCtrl* grid = GetGrid())
                grid->SetRowHeight(GetRow(), m_animatedHeight);
        }
        else
        {
            m_animatedHeight = 2;
            RequestPostDraw();
        }
    }
    InvalidateGrid();
}

void CGridCellSeries::ExpandAtHeight(int height)
{
    m_collapsing = false;
    m_expanding = false;
    m_expanded = true;
    m_estimated = m_cachedFullHeight < 0;
    m_animatedHeight = m_estimated ? height : m_cachedFullHeight;
    if (CGridCtrl* grid = GetGrid())
        grid->SetRowHeight(GetRow(), m_animatedHeight);
}

void CGridCellSeries::Collapse(bool atOnce)
{
    m_collapsing = true;
    m_expanding = false;
    if (atOnce)
    {
        m_animatedHeight = 0;
        m_expanded = false;
        m_collapsing = false;
        if (CGridCtrl* grid = GetGrid())
            grid->SetRowHeight(GetRow(), 0);
    }
    InvalidateGrid();
}

bool CGridCellSeries::OnPostDraw()
{
    if (CGridCtrl* grid = GetGrid())
        grid->SetRowHeight(GetRow(), m_animatedHeight);
    InvalidateGrid();
    return true;
}

void CGridCellSeries::OnMouseLeave()
{
    m_hoveredReading = -1;
    m_hoveredLink = 0;
    InvalidateGrid();
}

void CGridCellSeries::InvalidateGrid()
{
    if (CGridCtrl* grid = GetGrid())
        grid->viewport()->update();
}
