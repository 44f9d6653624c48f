#pragma once
#include "measurement/MeasSeries1.h"

#include <QString>

#include <cstdint>
#include <memory>

// A named series of a project folder: owns its series and keeps what the project shows
// about it (name, place in the folder, the state of its rows in the series page, the
// diameter setting kept while the series is empty, the ASTM B724 choice), and offers the
// summary values and texts the series page and the export show.
class CMeasSeriesWrapper
{
public:
    CMeasSeriesWrapper();
    // Copies the fields and clones the series; an empty series is rebuilt from its settings.
    CMeasSeriesWrapper(const CMeasSeriesWrapper& other);
    CMeasSeriesWrapper& operator=(const CMeasSeriesWrapper&) = delete;
    ~CMeasSeriesWrapper();

    const QString& GetName() const { return m_name; }
    void SetName(const QString& name) { m_name = name; }
    int16_t GetValueListOrder() const { return m_valueListOrder; }
    void SetValueListOrder(int16_t order) { m_valueListOrder = order; }
    int32_t GetPosition() const { return m_position; }
    void SetPosition(int32_t position) { m_position = position; }
    uint8_t IsExpanded() const { return m_expanded; }
    void SetExpanded(uint8_t expanded) { m_expanded = expanded; }
    uint8_t IsSelected() const { return m_selected; }
    void SetSelected(uint8_t selected) { m_selected = selected; }
    uint8_t GetUpdateFlag() const { return m_update; }
    void SetUpdateFlag(uint8_t flag) { m_update = flag; }

    CMeasSeries1* GetSeries() const { return m_series.get(); }
    void SetSeries(std::unique_ptr<CMeasSeries1> series) { m_series = std::move(series); }

    // Diameter code in millimetres used while the series has no readings; 31 is off.
    void SetDiameter(int code) { m_diameter = code; }
    int GetDiameter() const { return m_diameter; }
    uint8_t IsB724Mode() const { return m_b724; }
    // Sets (off false) or clears the ASTM B724 bit of an indentation-tester probe, as far
    // as standard and material allow it; the result of the series' SetProbeId.
    bool ApplyB724Mode(bool off);

    // Over the readings used by the statistics, in the probe's own scale.
    float GetNativeMean() const;
    float GetNativeMin() const;
    float GetNativeMax() const;
    // Over the readings not excluded: the common value, -2 when they differ.
    int GetCommonDirection() const;
    int GetCommonDiameter() const;
    int GetCurrentDiameter() const;

    QString GetStandardName() const;
    QString GetProbeSerial() const;
    QString GetDeviceSerial() const;
    QString GetB724ModeText(bool untranslated) const;
    QString GetUnitText(bool untranslated) const;
    QString GetCommonDirectionText(bool untranslated) const;
    QString GetReadingDirectionText(int reading, bool untranslated) const;
    QString GetDiameterText(bool imperial, bool untranslated) const;
    QString GetReadingDiameterText(int reading, bool imperial, bool untranslated) const;

private:
    QString m_name;
    int16_t m_valueListOrder = -1;
    int32_t m_position = -1;
    uint8_t m_expanded = 0;
    uint8_t m_selected = 0;
    uint8_t m_update = 0;
    std::unique_ptr<CMeasSeries1> m_series;
    int m_diameter = 31;
    uint8_t m_b724 = 0;
};
