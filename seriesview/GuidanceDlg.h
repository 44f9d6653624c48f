#pragma once
#include "platform/gui/GdiTypes.h"
#include "seriesview/GraphGrid.h"

#include <QDialog>
#include <QTimer>

#include <cstdint>
#include <vector>

namespace Platform
{
class Canvas;
}

// The window that leads the operator through one indentation test while measuring live:
// it follows the phases of the test from the depth samples as they arrive, shows the
// current instruction ("Press down", "Hold", "Release", "Finished") above a chart of the
// curve, then the result of the curve check, and hides itself after a time that depends
// on the result. A test in which the operator never reached "Release" is reported as
// incomplete, so that it is not stored. UI thread only; the main window owns it.
class CGuidanceDlg : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kHideTimerId = 59222;
    // The result code of a test whose phases were not completed.
    static constexpr int kIncompleteResult = 257;
    // The end marker appended to the samples when the test is finished.
    static constexpr uint16_t kEndMarker = 0xFFFF;

    // What the title box shows.
    enum NPhase
    {
        phasePressDown = 0,
        phaseHold = 1,
        phaseRelease = 2,
        phaseFinished = 3,
        phaseNone = 4,
        phaseIncomplete = 5,
        phasePressedTooFast = 6,
        phaseReleasedTooFast = 7,
        phaseClamp = 8,
        phaseVibration = 9,
    };
    // Where the phase detector is.
    enum NDetector
    {
        detectPressing = 0,
        detectPressed = 1,
        detectHolding = 2,
        detectReleased = 3,
        detectFinished = 5,
    };

    // Made hidden and without a parent window.
    CGuidanceDlg();
    ~CGuidanceDlg() override;

    // A test begins: depth in thousandths of an inch with the flag; resets and shows.
    void StartMeasurement(bool imperial);
    // One sample of the running test: appended, one detector step, repaint.
    void AddSample(uint16_t sample);
    // The test has ended with the curve check's code and marked sample: shows the result
    // and starts the hide timer. The code becomes kIncompleteResult when the operator did
    // not reach "Release".
    void FinishMeasurement(int& code, int mark);
    // Back to the starting values: no samples, no timer.
    void Reset();
    // The hide timer fired.
    void OnTimer(int id);

    int GetShownPhase() const { return m_shownPhase; }
    int GetDetectorState() const { return m_state; }
    int GetXAxisLength() const { return m_xAxisSeconds; }
    int GetMarkIndex() const { return m_markIndex; }
    bool IsImperial() const { return m_imperial; }
    const std::vector<uint16_t>& GetSamples() const { return m_samples; }
    // The delay of the running hide timer in milliseconds, 0 when none runs.
    int GetHideDelay() const;

    // Paints the client area: what the paint handler draws through an off-screen surface.
    void Paint(Platform::Canvas& dc, const Platform::Rect& client);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Step(uint16_t sample);
    void StartHideTimer(int ms);

    std::vector<uint16_t> m_samples;
    CGraphGrid m_grid;
    int m_shownPhase = phasePressDown;
    int m_state = detectPressing;
    uint16_t m_lowest = 0x7FFF;
    int m_lowestCount = -1;
    uint16_t m_highest = 0;
    int m_runCount = 0;
    int m_xAxisSeconds = 7;
    bool m_finished = false;
    bool m_imperial = false;
    QTimer m_hideTimer;
    Platform::Rect m_titleBox;
    bool m_titleBoxDirty = true;
    int m_markIndex = -1;
};
