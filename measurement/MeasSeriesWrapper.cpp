#include "measurement/MeasSeriesWrapper.h"

#include "measurement/ScaleCodes.h"
#include "measurement/SeriesTexts.h"
#include "platform/core/StringTable.h"
#include "resources/StringIds.h"

#include <limits>

namespace
{
constexpr int kStatistics = 1; // readings used by the statistics
constexpr int kIncluded = 5;   // readings not excluded
constexpr int kDiameterOff = 31;
} // namespace

CMeasSeriesWrapper::CMeasSeriesWrapper() = default;

CMeasSeriesWrapper::CMeasSeriesWrapper(const CMeasSeriesWrapper& other)
    : m_name(other.m_name), m_valueListOrder(other.m_valueListOrder), m_position(other.m_position),
      m_expanded(other.m_expanded), m_selected(other.m_selected), m_update(other.m_update),
      m_diameter(other.m_diameter), m_b724(other.m_b724)
{
    CMeasSeries1* source = other.m_series.get();
    if (!source)
        return;
    if (source->GetCount(7) > 0)
    {
        m_series = std::make_unique<CMeasSeries1>(*source);
        return;
    }
    // A copy of an empty series has no storage: build a new one with the same settings.
    // It takes them as new, so its originals are these settings too.
    m_series = std::make_unique<CMeasSeries1>(0);
    m_series->Clear();
    SSeriesSettings settings;
    source->GetSettings(settings);
    m_series->SetProbeId(settings.probeId);
    m_series->SetConversion(settings.targetScale, settings.material);
    m_series->SetResolution(settings.decimals, settings.step);
    m_series->SetLimits(settings.lowerLimit, settings.upperLimit, -1);
    m_series->SetDateTime(settings.dateTime, true);
    m_series->SetImperial(source->IsImperial());
    if (!source->IsNew())
        m_series->CommitNew();
}

CMeasSeriesWrapper::~CMeasSeriesWrapper() = default;

bool CMeasSeriesWrapper::ApplyB724Mode(bool off)
{
    m_b724 = off ? 0 : 1;
    if (!m_series)
        return false;
    SSeriesSettings settings;
    m_series->GetSettings(settings);
    SProbeId probe = settings.probeId;
    if (probe.IsBenchProbe())
    {
        const int type = settings.material.type;
        if (settings.targetScale.standard == CONV_STD_ASTM_E140 && (type == 6 || type == MAT_CUSTOM) && !off)
            probe.SetB724Bit();
        else
            probe.ClearB724Bit();
    }
    return m_series->SetProbeId(probe);
}

float CMeasSeriesWrapper::GetNativeMean() const
{
    if (!m_series)
        return 0.0f;
    const int n = m_series->GetCount(kStatistics);
    if (n <= 0)
        return 0.0f;
    float sum = 0.0f;
    for (int i = 0; i < n; ++i)
        sum += m_series->GetNativeValue(i, kStatistics);
    return sum / float(n);
}

// Measured values can be negative after a correction: the search starts beyond any value.
float CMeasSeriesWrapper::GetNativeMin() const
{
    const int n = m_series ? m_series->GetCount(kStatistics) : 0;
    if (n <= 0)
        return MEAS_BELOW_RANGE;
    float minimum = std::numeric_limits<float>::infinity();
    for (int i = 0; i < n; ++i)
        minimum = std::min(minimum, m_series->GetNativeValue(i, kStatistics));
    return minimum;
}

float CMeasSeriesWrapper::GetNativeMax() const
{
    const int n = m_series ? m_series->GetCount(kStatistics) : 0;
    if (n <= 0)
        return MEAS_ABOVE_RANGE;
    float maximum = -std::numeric_limits<float>::infinity();
    for (int i = 0; i < n; ++i)
        maximum = std::max(maximum, m_series->GetNativeValue(i, kStatistics));
    return maximum;
}

int CMeasSeriesWrapper::GetCommonDirection() const
{
    return m_series ? m_series->GetCommonDirection() : 0;
}

int CMeasSeriesWrapper::GetCommonDiameter() const
{
    const int n = m_series ? m_series->GetCount(kIncluded) : 0;
    int common = m_diameter;
    bool any = false;
    for (int i = 0; i < n; ++i)
    {
        int code = 0;
        int fine = 0;
        m_series->GetReading(i, &code, &fine, kIncluded);
        if (fine != -2)
            continue;
        if (!any)
            common = code;
        else if (code != common)
            return -2;
        any = true;
    }
    return common > 0 ? common : kDiameterOff;
}

int CMeasSeriesWrapper::GetCurrentDiameter() const
{
    const int n = m_series ? m_series->GetCount(kIncluded) : 0;
    if (n <= 0)
        return m_diameter;
    int code = 0;
    m_series->GetReading(n - 1, &code, nullptr, kIncluded);
    return code;
}

QString CMeasSeriesWrapper::GetStandardName() const
{
    return GetConversionStandardName(m_series ? m_series->GetTargetScale().standard : -1);
}

QString CMeasSeriesWrapper::GetProbeSerial() const
{
    QString text;
    if (m_series)
        FormatSerialNumber(m_series->GetProbeId().serial, text);
    return text;
}

QString CMeasSeriesWrapper::GetDeviceSerial() const
{
    QString text;
    if (m_series)
        FormatSerialNumber(m_series->GetDeviceSerial(), text);
    return text;
}

QString CMeasSeriesWrapper::GetB724ModeText(bool untranslated) const
{
    const bool on =
        m_series && m_series->GetProbeId().code > 0 && (m_series->GetProbeId().code & PROBE_B724_BIT);
    if (on)
        return untranslated ? QStringLiteral("yes") : Platform::LoadString(StringId::IDS_YES);
    return untranslated ? QStringLiteral("no") : Platform::LoadString(StringId::IDS_NO);
}

QString CMeasSeriesWrapper::GetUnitText(bool untranslated) const
{
    if (m_series && m_series->IsImperial())
        return untranslated ? QStringLiteral("Imperial") : Platform::LoadString(StringId::IDS_IMPERIAL);
    return untranslated ? QStringLiteral("Metric") : Platform::LoadString(StringId::IDS_METRIC);
}

QString CMeasSeriesWrapper::GetCommonDirectionText(bool untranslated) const
{
    QString text;
    FormatImpactDirection(GetCommonDirection(), text, untranslated);
    return text;
}

QString CMeasSeriesWrapper::GetReadingDirectionText(int reading, bool untranslated) const
{
    int angle = 0;
    if (m_series)
        m_series->GetReading(reading, &angle, nullptr, kIncluded);
    QString text;
    FormatImpactDirection(angle, text, untranslated);
    return text;
}

QString CMeasSeriesWrapper::GetDiameterText(bool imperial, bool untranslated) const
{
    QString text;
    FormatDiameter(GetCommonDiameter(), imperial, text, untranslated);
    return text;
}

QString CMeasSeriesWrapper::GetReadingDiameterText(int reading, bool imperial, bool untranslated) const
{
    int code = kDiameterOff;
    if (m_series)
        m_series->GetReading(reading, &code, nullptr, kIncluded);
    QString text;
    FormatDiameter(code, imperial, text, untranslated);
    return text;
}
