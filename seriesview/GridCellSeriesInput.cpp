// The series cell's answers to the mouse: hover, link clicks that change a series' settings,
// the popup of readings, the stored curve of a reading and copying readings as text.
#include "controls/CommentDlg.h"
#include "document/ValueText.h"
#include "document/VeskDoc.h"
#include "grid/GridCtrl.h"
#include "measurement/CurveCodec.h"
#include "measurement/MeasSeries1.h"
#include "measurement/MeasSeriesWrapper.h"
#include "measurement/MeasValues.h"
#include "measurement/ScaleCodes.h"
#include "measurement/SeriesSettings.h"
#include "platform/core/NumberText.h"
#include "platform/core/StringTable.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/MessageBox.h"
#include "seriesview/GridCellSeries.h"
#include "seriesview/SeriesMessages.h"
#include "seriesview/ShowCurveDlg.h"
#include "seriesview/VeskDocPopups.h"
#include "resources/StringIds.h"

#include <QCursor>
#include <QGuiApplication>

#include <algorithm>
#include <vector>

using Platform::Point;
using Platform::Rect;

namespace
{
// Reading filters: every reading, and the readings that are not excluded.
constexpr int kShownReadings = 1 | 4;
// More samples than any stored curve holds; a longer one is not shown.
constexpr int kMaxCurveSamples = 1000000;

// The stored curve of a reading as the tester sampled it (unsigned); empty when the reading
// has none or it cannot be read.
std::vector<uint16_t> StoredCurve(CMeasSeries1& series, int reading)
{
    const int size = series.GetAttachmentSize(reading, kShownReadings);
    if (size < 1)
        return {};
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    const int got = series.GetAttachment(reading, bytes.data(), size, kShownReadings);
    if (got < 1)
        return {};
    CCurveCodec codec;
    codec.Decode(bytes.data(), std::min(got, size));
    const int count = std::min(codec.GetCount(), kMaxCurveSamples);
    if (count < 1)
        return {};
    std::vector<int16_t> samples(static_cast<size_t>(count));
    if (codec.GetSamples(samples.data(), count * 2) != count * 2)
        return {};
    std::vector<uint16_t> curve(samples.size());
    // The codec keeps samples less 0x8000; the 16-bit wrap-around gives them back.
    std::transform(samples.begin(), samples.end(), curve.begin(),
                   [](int16_t s) { return uint16_t(uint16_t(s) - 32768u); });
    return curve;
}
} // namespace

bool CGridCellSeries::IsControlHeld() const
{
    return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
}

QPoint CGridCellSeries::CursorScreenPos() const
{
    return QCursor::pos();
}

Rect CGridCellSeries::CellRect() const
{
    Rect rect;
    if (CGridCtrl* grid = GetGrid(); grid && grid->GetCellRect(GetRow(), GetColumn(), &rect))
        return rect;
    return {};
}

QPoint CGridCellSeries::ToScreen(Point cellPoint) const
{
    const Rect cell = CellRect();
    const QPoint client(cell.left + cellPoint.x, cell.top + cellPoint.y);
    if (CGridCtrl* grid = GetGrid())
        return grid->viewport()->mapToGlobal(client);
    return client;
}

bool CGridCellSeries::OnSetCursor()
{
    CGridCtrl* grid = GetGrid();
    if (!grid)
        return true;
    const QPoint client = grid->viewport()->mapFromGlobal(CursorScreenPos());
    const Rect cell = CellRect();
    const Point point{client.x() - cell.left, client.y() - cell.top};
    const int oldLink = m_hoveredLink;
    const int oldReading = m_hoveredReading;
    int kind = -1;
    int item = 0;
    if (m_hitAreas.HitTest(point, &kind, &item))
    {
        if (kind == SERIESHIT_LINK)
        {
            m_hoveredLink = item;
            grid->SetCellCursor(Qt::PointingHandCursor);
        }
        else if (kind == SERIESHIT_BAR || kind == SERIESHIT_VALUE)
        {
            m_hoveredReading = item;
        }
    }
    else
    {
        m_hoveredReading = -1;
        m_hoveredLink = 0;
        grid->SetCellCursor(Qt::ArrowCursor);
    }
    if (m_hoveredLink != oldLink || m_hoveredReading != oldReading)
        InvalidateGrid();
    return true;
}

void CGridCellSeries::OnClick(Point point)
{
    int kind = -1;
    int item = 0;
    Rect area;
    if (!m_hitAreas.HitTest(point, &kind, &item, nullptr, &area))
        return;
    if (kind == SERIESHIT_LINK)
    {
        OnLinkClick(item, area);
        m_hoveredLink = 0;
        return;
    }
    if (kind == SERIESHIT_VALUE && IsControlHeld())
    {
        CMeasSeries1* series = Series();
        if (series && series->GetProbeId().IsBenchProbe())
            ShowStoredCurve(item);
    }
}

bool CGridCellSeries::StepKeyLink(bool forward)
{
    const auto links = m_hitAreas.ItemsOfKind(SERIESHIT_LINK);
    const int count = static_cast<int>(links.size());
    int at = -1;
    for (int i = 0; i < count; ++i)
        if (links[size_t(i)].first == m_hoveredLink)
            at = i;
    const int next = at < 0 ? (forward ? 0 : count - 1) : at + (forward ? 1 : -1);
    InvalidateGrid();
    if (next < 0 || next >= count)
    {
        m_hoveredLink = 0;
        return false;
    }
    m_hoveredLink = links[size_t(next)].first;
    return true;
}

bool CGridCellSeries::RunKeyLink()
{
    for (const auto& [link, area] : m_hitAreas.ItemsOfKind(SERIESHIT_LINK))
        if (link == m_hoveredLink)
        {
            OnLinkClick(link, area);
            return true;
        }
    return false;
}

void CGridCellSeries::ShowStoredCurve(int reading)
{
    CMeasSeries1* series = Series();
    if (!series)
        return;
    if (series->GetAttachmentSize(reading, kShownReadings) < 1)
    {
        Platform::ShowMessageBox(QStringLiteral("No signal available"), Platform::MB_OK);
        return;
    }
    CShowCurveDlg& viewer = CShowCurveDlg::Instance();
    viewer.SetCurve(StoredCurve(*series, reading));
    viewer.ShowCurve();
}

int CGridCellSeries::IndexAfterModal(const CMeasSeriesWrapper* entry) const
{
    // A live reading or a download may have changed the folder meanwhile; the page keeps
    // the cell, not the index.
    return m_document ? m_document->FindSeries(entry, m_seriesIndex) : -1;
}

void CGridCellSeries::OnLinkClick(int link, const Rect& area)
{
    CMeasSeriesWrapper* entry = Entry();
    CMeasSeries1* series = Series();
    if (!entry || !series)
        return;
    CGridCtrl* grid = GetGrid();
    const Rect cell = CellRect();
    const QPoint at = ToScreen({area.left, area.bottom});
    const int left = ToScreen({0, 0}).x();
    const int right = left + cell.Width();
    const int x = at.x();
    const int y = at.y();

    SSeriesSettings settings;
    series->GetSettings(settings);
    const bool imperial = series->IsImperial();
    const bool bench = series->GetProbeId().IsBenchProbe();
    const CVeskDocPopups popups(*m_document);

    switch (link)
    {
    case LINK_ORDER:
        m_document->SetSeriesValueOrder(m_seriesIndex,
                                        m_document->GetSeriesValueOrder(m_seriesIndex) == 0 ? 1 : 0);
        return;
    case LINK_COMMENT:
    {
        CCommentDlg dialog(grid);
        dialog.SetComment(m_document->GetSeriesComment(m_seriesIndex));
        dialog.SetMaxLength(MEAS_MAX_COMMENT);
        if (dialog.DoModal() != Platform::IDOK)
            return;
        if (const int index = IndexAfterModal(entry); index >= 0)
            m_document->SetSeriesComment(index, dialog.GetComment());
        return;
    }
    case LINK_UPPER_LIMIT:
    case LINK_LOWER_LIMIT:
        ApplyLimit(link, x, y);
        return;
    case LINK_MATERIAL:
    {
        SMaterial material;
        if (!popups.TrackMaterialMenu(grid, x, left, right, y, {series->GetProbeId().code}, material))
            return;
        if (const int index = IndexAfterModal(entry); index >= 0 && !m_document->SetSeriesMaterial(index, material))
            SeriesMessages::ConversionRefused(grid, 1);
        return;
    }
    case LINK_SCALE:
    {
        STargetScale target = settings.targetScale;
        target.scale = 0xFFFF;
        int group = 0;
        const bool chosen = popups.TrackConversionMenu(grid, x, left, right, y, {series->GetProbeId()},
                                                       {settings.material}, target, imperial, group);
        const int index = IndexAfterModal(entry);
        if (index < 0)
            return;
        if (chosen)
        {
            if (!m_document->SetSeriesScale(index, target.scale, group))
                SeriesMessages::ConversionRefused(grid, 1);
        }
        else // the views hear of it even when the popup was dismissed
            m_document->RefreshSeries(index);
        return;
    }
    case LINK_DIRECTION:
    {
        int value = 0;
        const bool chosen = bench ? popups.TrackDiameterMenu(grid, x, left, right, y, value)
                                  : popups.TrackDirectionMenu(grid, x, left, right, y, value);
        if (const int index = chosen ? IndexAfterModal(entry) : -1; index >= 0)
            m_document->SetSeriesCorrection(index, value);
        return;
    }
    case LINK_STANDARD:
    {
        int standard = 0;
        if (!popups.TrackStandardMenu(grid, x, left, right, y, bench, standard))
            return;
        if (const int index = IndexAfterModal(entry); index >= 0 && !m_document->SetSeriesStandard(index, standard))
            SeriesMessages::ConversionRefused(grid, 1);
        return;
    }
    case LINK_B724:
    {
        bool no = false;
        if (!popups.TrackYesNoMenu(grid, x, left, right, y, no))
            return;
        if (const int index = IndexAfterModal(entry); index >= 0)
            m_document->ApplySeriesB724Mode(index, no);
        return;
    }
    case LINK_UNIT:
    {
        bool toImperial = false;
        if (!popups.TrackUnitMenu(grid, x, left, right, y, toImperial))
            return;
        if (const int index = IndexAfterModal(entry); index >= 0)
            m_document->SetSeriesImperial(index, toImperial);
        return;
    }
    case LINK_RESTORE:
        m_document->RestoreSeriesSettings(m_seriesIndex);
        return;
    case LINK_UNDELETE:
        m_document->IncludeAllReadings(m_seriesIndex);
        return;
    default:
        return;
    }
}

void CGridCellSeries::ApplyLimit(int link, int, int)
{
    const CMeasSeriesWrapper* entry = Entry();
    CMeasSeries1* series = Series();
    if (!entry || !series)
        return;
    SSeriesSettings settings;
    series->GetSettings(settings);
    const bool imperial = series->IsImperial();
    const bool showMils = imperial && IsDepthScale(series->GetProbeId().code);
    const int decimals = m_document->GetSeriesDecimals(m_seriesIndex, 0);
    QString scaleShort;
    QString scaleLong;
    series->GetTargetScaleNames(scaleShort, scaleLong, imperial);
    const QString unit = QLatin1Char(' ') + scaleShort;

    float minimum = 0;
    float maximum = 0;
    series->GetConvTargetRange(minimum, maximum, true);
    const bool upper = link == LINK_UPPER_LIMIT;
    float limit = upper ? settings.upperLimit : settings.lowerLimit;
    if (showMils)
    {
        MicronsToMils(minimum);
        MicronsToMils(maximum);
        MicronsToMils(limit);
    }
    QWidget* owner = GetGrid();
    const CVeskDocPopups popups(*m_document);
    const bool confirmed = upper ? popups.EditUpperLimit(owner, minimum, maximum, decimals, unit, limit)
                                 : popups.EditLowerLimit(owner, minimum, maximum, decimals, unit, limit);
    if (!confirmed)
        return;
    const int index = IndexAfterModal(entry);
    if (index < 0)
        return;
    if (showMils)
    {
        MilsToMicrons(limit);
        MilsToMicrons(minimum);
        MilsToMicrons(maximum);
    }
    auto outOfRange = [](float v) { return v == MEAS_ABOVE_RANGE || v == MEAS_BELOW_RANGE; };
    const float lower = upper ? (outOfRange(settings.lowerLimit) ? minimum : settings.lowerLimit) : limit;
    const float upperLimit = upper ? limit : (outOfRange(settings.upperLimit) ? maximum : settings.upperLimit);
    if (m_document->SetSeriesLimits(index, lower, upperLimit))
        return;
    // The series keeps its limits; the user hears why the new one did not take.
    auto shown = [&](float value)
    {
        if (showMils)
            MicronsToMils(value);
        return Platform::FormatFixed(value, std::max(decimals, 0)) + unit;
    };
    Platform::ShowMessageBox(Platform::LoadString(StringId::IDS_LIMITS_INVERTED).arg(shown(upperLimit), shown(lower)),
                             Platform::MB_OK | Platform::MB_ICONEXCLAMATION);
}

void CGridCellSeries::OnRClick(Point point)
{
    int kind = -1;
    int item = 0;
    if (!m_hitAreas.HitTest(point, &kind, &item))
        return;
    if (kind != SERIESHIT_BAR && kind != SERIESHIT_VALUE && kind != SERIESHIT_LISTTITLE)
        return;
    CMeasSeriesWrapper* entry = Entry();
    CMeasSeries1* series = Series();
    if (!entry || !series)
        return;
    const bool bench = series->GetProbeId().IsBenchProbe();
    const bool listTitle = kind == SERIESHIT_LISTTITLE;
    int code = -1;
    bool exclude = false;
    bool copyOne = false;
    bool copyAll = false;
    const CVeskDocPopups popups(*m_document);
    if (!popups.TrackValueMenu(GetGrid(), ToScreen(point), bench, code, exclude,
                               listTitle ? nullptr : &copyOne, copyAll))
        return;
    const int index = IndexAfterModal(entry);
    if (index < 0)
        return;
    if (exclude)
    {
        m_document->ExcludeReading(index, item);
    }
    else if (copyOne || copyAll)
    {
        CopyValues(copyOne ? item : -1, IsControlHeld());
        // Copying changes nothing that a save would keep; the views still hear of it.
        m_document->RefreshSeries(index);
    }
    else if (code != -1)
    {
        if (listTitle)
            m_document->SetSeriesCorrection(index, code);
        else
            m_document->SetReadingCorrection(index, item, code);
    }
}

QString CGridCellSeries::ValuesText(int reading, bool withCurves)
{
    CMeasSeries1* series = Series();
    if (!series)
        return {};
    std::vector<int> readings;
    if (reading >= 0)
        readings.push_back(reading);
    else
        for (int i = 0, n = ShownReadingCount(series); i < n; ++i)
            readings.push_back(i);
    const bool mils = series->IsImperial() && IsDepthScale(series->GetProbeId().code);
    const int decimals = m_document->GetSeriesDecimals(m_seriesIndex, 0);
    QStringList values;
    for (int i : readings)
    {
        float value = series->GetReading(i, nullptr, nullptr, kShownReadings);
        if (mils)
            MicronsToMils(value);
        values.push_back(FormatValue(value, decimals));
    }
    if (!withCurves)
        return values.join(QLatin1Char('\n'));

    QString text;
    for (const QString& v : values)
        text += v + QLatin1Char('\t');
    text += QLatin1Char('\n');
    // Column c holds reading c's samples; a line that a later reading starts gets an empty
    // cell for every earlier one.
    std::vector<QString> lines;
    for (size_t column = 0; column < readings.size(); ++column)
    {
        const std::vector<uint16_t> curve = StoredCurve(*series, readings[column]);
        for (size_t r = 0; r < curve.size(); ++r)
        {
            if (r == lines.size())
                lines.push_back(QString(int(column), QLatin1Char('\t')));
            lines[r] += QString::number(curve[r]) + QLatin1Char('\t');
        }
        for (size_t r = curve.size(); r < lines.size(); ++r)
            lines[r] += QLatin1Char('\t');
    }
    for (const QString& line : lines)
        text += line + QLatin1Char('\n');
    return text;
}

void CGridCellSeries::CopyValues(int reading, bool withCurves)
{
    Platform::Clipboard().SetText(ValuesText(reading, withCurves));
}
