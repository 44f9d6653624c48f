#pragma once
#include "measurement/Material.h"
#include "measurement/ProbeId.h"
#include "measurement/TargetScale.h"

#include <QPoint>
#include <QString>

#include <vector>

class CVeskDoc;
class QWidget;
struct SConvRecordInfo;

// The popups and the limit editor the series cells open to change a series' settings,
// over the document whose conversion table they offer. They sit with the series page,
// not in the document, since they are windows.
class CVeskDocPopups
{
public:
    explicit CVeskDocPopups(const CVeskDoc& document) : m_document(document) {}

    // Each only asks: true when a choice was made, which goes to the outputs; the caller
    // applies it to the series. Cancelled, nothing changes. Popups open centred at y
    // (screen coordinates), below the middle of the clicked area [left, right] when that
    // is at most 150 pixels wide, else below the click x.
    //
    // The limit editor: minimum, maximum and limit in the displayed unit, decimals as shown
    // (may be negative); a limit of MEAS_NO_VALUE is off, and OK with the switch off gives
    // MEAS_NO_VALUE.
    bool EditUpperLimit(QWidget* owner, float minimum, float maximum, int decimals, const QString& unit,
                        float& limit) const;
    bool EditLowerLimit(QWidget* owner, float minimum, float maximum, int decimals, const QString& unit,
                        float& limit) const;
    // "no" / "yes": no is true for "no".
    bool TrackYesNoMenu(QWidget* owner, int x, int left, int right, int y, bool& no) const;
    // "Metric" / "Imperial": imperial is true for "Imperial".
    bool TrackUnitMenu(QWidget* owner, int x, int left, int right, int y, bool& imperial) const;
    // Only "off": the diameter code 31.
    bool TrackDiameterMenu(QWidget* owner, int x, int left, int right, int y, int& diameter) const;
    // An impact-direction code: 360 automatic, 0, 45, 90, 135, 180.
    bool TrackDirectionMenu(QWidget* owner, int x, int left, int right, int y, int& direction) const;
    // A conversion-standard mask: ISO 18265 or ASTM E140 for an indentation-tester probe,
    // default or Custom J otherwise.
    bool TrackStandardMenu(QWidget* owner, int x, int left, int right, int y, bool benchProbe,
                           int& standard) const;
    // The popup of one reading (or, without copyOne, of the value list), at the point. The
    // outputs are cleared first (code -1); exactly one of them is set by a choice: the
    // direction or, in diameter mode, diameter code, exclude, copy this value, copy all.
    bool TrackValueMenu(QWidget* owner, QPoint point, bool diameterMode, int& code, bool& exclude,
                        bool* copyOne, bool& copyAll) const;
    // The target scales the conversion table offers for every series alike (one probe id
    // and one material per series), in the standard of the given target. A choice replaces
    // the target's scale (its standard stays) and gives the material group of the chosen
    // record (0 for a scale that only one record reaches).
    bool TrackConversionMenu(QWidget* owner, int x, int left, int right, int y,
                             const std::vector<SProbeId>& probes, const std::vector<SMaterial>& materials,
                             STargetScale& target, bool imperial, int& materialGroup) const;
    // The material types some series' probe scale converts for, and the custom materials
    // that every series' probe scale converts for; the material chosen, group 0.
    bool TrackMaterialMenu(QWidget* owner, int x, int left, int right, int y,
                           const std::vector<int>& probeScales, SMaterial& material) const;

private:
    // One target scale of the conversion-scale popup; the sub-lines are the records when
    // more than one reaches the scale.
    struct OneSubLine
    {
        int scale = 0;
        int matType = 0;
        int matGroup = 0;
        QString groupName;
        QString rangeText;
    };
    struct OneLine
    {
        QString shortName;
        QString longName;
        QString rangeText;
        int scale = 0;
        int matType = 0;
        int matGroup = 0;
        QString groupName;
        std::vector<OneSubLine> subLines;
    };
    // The lines the table offers for one probe scale and material.
    static std::vector<OneLine> CollectConversionLines(const SProbeId& probe, const SMaterial& material,
                                                       int standard, bool imperial);
    static void AddConversionLine(std::vector<OneLine>& lines, const SConvRecordInfo& record,
                                  const QString& shortName, const QString& longName, const QString& rangeText,
                                  const QString& groupName);
    // Keeps the lines and sub-lines of the list that the other list reaches too (same
    // target scale and material group).
    static void KeepCommonLines(std::vector<OneLine>& lines, const std::vector<OneLine>& other);

    const CVeskDoc& m_document;
};
