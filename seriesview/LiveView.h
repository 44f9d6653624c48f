#pragma once
#include "document/DocView.h"
#include "measurement/ProbeId.h"

#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <vector>

class CMeasSeriesWrapper;
class CVeskDoc;
class QCheckBox;
class QLineEdit;
class QPushButton;

// The pane below the series view during a live measurement with the indentation tester:
// the settings every new live series gets (kept in the document, stored as defaults under
// "\LiveSettings\"), the buttons New, Close/Reopen and "Save this settings as default
// settings", the automatic close after n readings with the series name counted up, and
// the store of every accepted test as a reading with its packed curve. UI thread only.
class CLiveView : public QWidget, public DocView
{
    Q_OBJECT
public:
    static constexpr int kAnimationTimerId = 59232;
    // The default name of a new live series; its number counts up with each series.
    static const QString kDefaultSeriesName;
    // The attachment kind of a reading's curve and the largest one a series keeps.
    static constexpr int kCurveAttachment = 7;

    explicit CLiveView(QWidget* parent = nullptr);
    ~CLiveView() override;

    void SetDocument(CVeskDoc* doc);
    void StartLiveMode(const SProbeId& probe);
    void StopLiveMode();
    // Stores an accepted test (codes 0, 516, 517) as a reading with its packed curve.
    void AddMeasurement(const std::vector<uint16_t>& samples, float depth, float value, int code);
    bool IsImperialUnit() const;
    // Copied into the document before the pane is rebuilt and back afterwards.
    void SaveControlState();
    void RestoreControlState();

    void OnNew();
    void OnCloseReopen();
    // False (and nothing written) when the count is not a whole number.
    bool SaveSettings();
    // True when all values were there.
    bool LoadSettings();
    void CloseLiveSeries();
    void UpdateControls();

    void OnDocUpdate(int hint) override;

    // The next name of a counted series: "Series 009" -> "Series 010", "Test" -> "Tesu".
    static QString NextSeriesName(const QString& name);
    static QString IncrementCounter(const QString& counter);
    // The packed form of a test's curve as a reading keeps it; empty when it cannot pack.
    static QByteArray PackCurve(const std::vector<uint16_t>& samples);
    // The count edit's number; none for text that is not a whole number of at least 0.
    std::optional<int> CloseAfterCount() const;
    bool IsStartHintShown() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void ApplyLiveSettings(CMeasSeriesWrapper& entry);
    void NewSeries();
    bool IsSeriesOpenHere() const;
    void OnTimer();

    CVeskDoc* m_doc = nullptr;
    QPushButton* m_new = nullptr;
    QPushButton* m_closeReopen = nullptr;
    QCheckBox* m_autoClose = nullptr;
    QLineEdit* m_count = nullptr;
    QCheckBox* m_warnings = nullptr;
    QPushButton* m_save = nullptr;
    QTimer m_animation;
    int m_step = 1;
    int m_frame = 0;
    int m_delay = 0;
};
