// Changes to the settings and readings of one series, as the series page makes them. Each
// goes through here so that the project is marked modified and the views hear of it.

#include "document/DocView.h"
#include "document/VeskDoc.h"
#include "measurement/FolderData.h"
#include "measurement/MeasSeries1.h"
#include "measurement/MeasSeriesWrapper.h"
#include "measurement/SeriesSettings.h"

namespace
{
// Reading filters: every reading, and the readings that are not excluded.
constexpr int kAllReadings = 1 | 2 | 4;
constexpr int kShownReadings = 1 | 4;
// The resolution a new conversion is shown with: one decimal, in steps of 1.
constexpr int kNewDecimals = 1;
constexpr int kNewStep = 1;
} // namespace

CMeasSeries1* CVeskDoc::SeriesAt(int index) const
{
    return GetSeriesAt(index)->GetSeries();
}

void CVeskDoc::SeriesChanged(int index)
{
    m_modified = true;
    UpdateAllViews(nullptr, index);
}

void CVeskDoc::RefreshSeries(int index)
{
    UpdateAllViews(nullptr, index);
}

bool CVeskDoc::SetSeriesLimits(int index, float lower, float upper)
{
    CMeasSeries1* series = SeriesAt(index);
    if (!series)
        return false;
    // -1: the limits of the series' own conversion. An inverted pair is refused and
    // changes nothing.
    if (!series->SetLimits(lower, upper, -1))
        return false;
    SeriesChanged(index);
    return true;
}

bool CVeskDoc::ConvertSeries(CMeasSeries1& series, const STargetScale& target, const SMaterial& material)
{
    // A refused conversion leaves the whole series as it was: its resolution belongs to
    // the conversion it still has.
    if (!series.SetConversion(target, material))
        return false;
    series.SetResolution(kNewDecimals, kNewStep);
    return true;
}

bool CVeskDoc::SetSeriesMaterial(int index, const SMaterial& material)
{
    CMeasSeries1* series = SeriesAt(index);
    if (!series)
        return false;
    SSeriesSettings settings;
    series->GetSettings(settings);
    STargetScale target;
    FindConversionSpec(target, settings.targetScale, material, series->GetProbeId().code);
    if (!ConvertSeries(*series, target, material))
        return false;
    SeriesChanged(index);
    return true;
}

bool CVeskDoc::SetSeriesScale(int index, int scale, int materialGroup)
{
    CMeasSeries1* series = SeriesAt(index);
    if (!series)
        return false;
    SSeriesSettings settings;
    series->GetSettings(settings);
    STargetScale target = settings.targetScale;
    target.scale = scale;
    SMaterial material = settings.material;
    material.SetGroup(materialGroup);
    if (!ConvertSeries(*series, target, material))
        return false;
    SeriesChanged(index);
    return true;
}

bool CVeskDoc::SetSeriesStandard(int index, int standard)
{
    CMeasSeriesWrapper* entry = GetSeriesAt(index);
    CMeasSeries1* series = entry->GetSeries();
    if (!series)
        return false;
    SSeriesSettings settings;
    series->GetSettings(settings);
    STargetScale target = settings.targetScale;
    target.standard = standard;
    if (!ConvertSeries(*series, target, settings.material))
        return false;
    // The ASTM B724 mode depends on the standard: apply it again so that it follows.
    entry->ApplyB724Mode(!entry->IsB724Mode());
    SeriesChanged(index);
    return true;
}

void CVeskDoc::ApplySeriesB724Mode(int index, bool off)
{
    GetSeriesAt(index)->ApplyB724Mode(off);
    SeriesChanged(index);
}

void CVeskDoc::SetSeriesImperial(int index, bool imperial)
{
    CMeasSeries1* series = SeriesAt(index);
    if (!series)
        return;
    series->SetImperial(imperial);
    SeriesChanged(index);
}

void CVeskDoc::RestoreSeriesSettings(int index)
{
    CMeasSeries1* series = SeriesAt(index);
    if (!series)
        return;
    series->RestoreOriginalSettings();
    SeriesChanged(index);
}

void CVeskDoc::IncludeAllReadings(int index)
{
    CMeasSeries1* series = SeriesAt(index);
    if (!series)
        return;
    const int count = series->GetCount(kAllReadings);
    for (int i = 0; i < count; ++i)
        series->IncludeReading(i, kAllReadings);
    SeriesChanged(index);
}

void CVeskDoc::ExcludeReading(int index, int reading)
{
    CMeasSeries1* series = SeriesAt(index);
    if (!series)
        return;
    series->ExcludeReading(reading, kShownReadings);
    SeriesChanged(index);
}

void CVeskDoc::SetReadingCorrection(int index, int reading, int code)
{
    CMeasSeries1* series = SeriesAt(index);
    if (!series)
        return;
    series->SetReadingDirection(reading, code, kShownReadings);
    SeriesChanged(index);
}

void CVeskDoc::SetSeriesCorrection(int index, int code)
{
    CMeasSeriesWrapper* entry = GetSeriesAt(index);
    CMeasSeries1* series = entry->GetSeries();
    if (!series)
        return;
    if (series->GetProbeId().IsBenchProbe())
        entry->SetDiameter(code);
    const int count = series->GetCount(kAllReadings);
    for (int i = 0; i < count; ++i)
        series->SetReadingDirection(i, code, kAllReadings);
    SeriesChanged(index);
}

int CVeskDoc::AddMeasuringReading(float depth, float value, int direction, int angle, const QByteArray& curve,
                                  bool& curveStored)
{
    curveStored = curve.isEmpty();
    CMeasSeriesWrapper* entry = GetMeasuringSeries();
    CMeasSeries1* series = entry ? entry->GetSeries() : nullptr;
    if (!series)
        return -1;
    const int reading = series->AddReading(depth, value, direction, angle);
    if (reading < 0)
        return -1;
    if (!curve.isEmpty() && curve.size() <= MEAS_MAX_ATTACHMENT)
        curveStored = series->SetAttachment(reading, reinterpret_cast<const uint8_t*>(curve.constData()),
                                            int(curve.size()), kAllReadings);
    UpdateMeasuringSeries();
    return reading;
}
