// Changes of series that the series page and the series cells make: every one marks the
// project modified and tells the views, so that the page, the tree and the save question
// agree with the project.
#include "app/document/DocView.h"
#include "app/document/VeskDoc.h"
#include "measurement/FolderData.h"
#include "measurement/MeasSeries1.h"
#include "measurement/MeasSeriesWrapper.h"
#include "measurement/SeriesSettings.h"

#include <algorithm>
#include <functional>
#include <stdexcept>

namespace
{
// Reading filters: every reading, and the readings that are not excluded.
constexpr int kAllReadings = 1 | 2 | 4;
constexpr int kShownReadings = 1 | 4;
// The resolution a new conversion is shown with: one decimal, in steps of 1.
constexpr int kNewDecimals = 1;
constexpr int kNewStep = 1;

CMeasSeries1& SeriesOf(CMeasSeriesWrapper* entry)
{
    CMeasSeries1* series = entry->GetSeries();
    if (!series)
        throw std::invalid_argument("entry without series");
    return *series;
}
} // namespace

void CVeskDoc::RenameSeries(int index, const QString& name)
{
    GetSeriesAt(index);
    SetSeriesName(index, name);
    m_modified = true;
    UpdateAllViews(nullptr, index);
}

void CVeskDoc::DeleteSeriesSet(std::vector<int> indices)
{
    const int count = GetSeriesCount();
    for (int index : indices)
        if (index < 0 || index >= count)
            throw std::invalid_argument("series index outside the folder");
    std::sort(indices.begin(), indices.end(), std::greater<>());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    if (indices.empty())
        return;
    for (int index : indices)
        DeleteSeries(index);
    m_modified = true;
    UpdateAllViews(nullptr, DOC_HINT_ALL);
}

void CVeskDoc::SortSeries(int order, DocView* sender)
{
    SortCurrentFolder(order);
    m_modified = true;
    UpdateAllViews(sender, DOC_HINT_ALL);
}

void CVeskDoc::ShiftSeriesTimes(const std::vector<int>& indices, int64_t seconds)
{
    if (seconds == 0)
        return;
    for (int index : indices)
    {
        SetSeriesTime(index, GetSeriesTime(index).addSecs(seconds));
        m_modified = true;
        UpdateAllViews(nullptr, index);
    }
}

bool CVeskDoc::SetSeriesConversion(int index, const STargetScale& target, const SMaterial& material)
{
    CMeasSeries1& series = SeriesOf(GetSeriesAt(index));
    // A refused conversion leaves the whole series as it was: its resolution belongs to
    // the conversion it still has.
    if (!series.SetConversion(target, material))
        return false;
    series.SetResolution(kNewDecimals, kNewStep);
    m_modified = true;
    UpdateAllViews(nullptr, index);
    return true;
}

int CVeskDoc::SetSeriesMaterial(const std::vector<int>& indices, const SMaterial& material)
{
    int refused = 0;
    for (int index : indices)
    {
        CMeasSeries1& series = SeriesOf(GetSeriesAt(index));
        SSeriesSettings settings;
        series.GetSettings(settings);
        const int probe = series.GetProbeId().code;
        if (!IsScaleConvertible(material.type, probe))
            continue;
        const STargetScale current(settings.targetScale.scale, settings.targetScale.standard, 0);
        STargetScale target;
        FindConversionSpec(target, current, material, probe);
        if (!SetSeriesConversion(index, target, material))
            ++refused;
    }
    return refused;
}

int CVeskDoc::SetSeriesScale(const std::vector<int>& indices, int scale, int materialGroup)
{
    int refused = 0;
    for (int index : indices)
    {
        CMeasSeries1& series = SeriesOf(GetSeriesAt(index));
        SSeriesSettings settings;
        series.GetSettings(settings);
        const STargetScale target(scale, settings.targetScale.standard, 0);
        SMaterial material = settings.material;
        material.SetGroup(materialGroup);
        if (!SetSeriesConversion(index, target, material))
            ++refused;
    }
    return refused;
}

bool CVeskDoc::SetSeriesStandard(int index, int standard)
{
    CMeasSeriesWrapper* entry = GetSeriesAt(index);
    SSeriesSettings settings;
    SeriesOf(entry).GetSettings(settings);
    STargetScale target = settings.targetScale;
    target.standard = standard;
    if (!SeriesOf(entry).SetConversion(target, settings.material))
        return false;
    SeriesOf(entry).SetResolution(kNewDecimals, kNewStep);
    // The ASTM B724 mode depends on the standard: applied again, it follows.
    entry->ApplyB724Mode(!entry->IsB724Mode());
    m_modified = true;
    UpdateAllViews(nullptr, index);
    return true;
}

void CVeskDoc::SetSeriesLimits(int index, float lower, float upper)
{
    SeriesOf(GetSeriesAt(index)).SetLimits(lower, upper, -1);
    m_modified = true;
    UpdateAllViews(nullptr, index);
}

void CVeskDoc::SetSeriesImperial(int index, bool imperial)
{
    SeriesOf(GetSeriesAt(index)).SetImperial(imperial);
    m_modified = true;
    UpdateAllViews(nullptr, index);
}

void CVeskDoc::SetSeriesB724Mode(int index, bool off)
{
    GetSeriesAt(index)->ApplyB724Mode(off);
    m_modified = true;
    UpdateAllViews(nullptr, index);
}

void CVeskDoc::SetSeriesDirection(int index, int code)
{
    CMeasSeriesWrapper* entry = GetSeriesAt(index);
    CMeasSeries1& series = SeriesOf(entry);
    if (series.GetProbeId().IsBenchProbe())
        entry->SetDiameter(code);
    const int count = series.GetCount(kAllReadings);
    for (int i = 0; i < count; ++i)
        series.SetReadingDirection(i, code, kAllReadings);
    m_modified = true;
    UpdateAllViews(nullptr, index);
}

void CVeskDoc::SetReadingDirection(int index, int reading, int code)
{
    SeriesOf(GetSeriesAt(index)).SetReadingDirection(reading, code, kShownReadings);
    m_modified = true;
    UpdateAllViews(nullptr, index);
}

void CVeskDoc::ExcludeReading(int index, int reading)
{
    SeriesOf(GetSeriesAt(index)).ExcludeReading(reading, kShownReadings);
    m_modified = true;
    UpdateAllViews(nullptr, index);
}

void CVeskDoc::IncludeAllReadings(int index)
{
    CMeasSeries1& series = SeriesOf(GetSeriesAt(index));
    const int count = series.GetCount(kAllReadings);
    for (int i = 0; i < count; ++i)
        series.IncludeReading(i, kAllReadings);
    m_modified = true;
    UpdateAllViews(nullptr, index);
}

void CVeskDoc::RestoreSeriesSettings(int index)
{
    SeriesOf(GetSeriesAt(index)).RestoreOriginalSettings();
    m_modified = true;
    UpdateAllViews(nullptr, index);
}
