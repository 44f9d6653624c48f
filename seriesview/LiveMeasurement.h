#pragma once
#include "measurement/ProbeId.h"
#include "seriesview/MeasThread.h"

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <vector>

class CGuidanceDlg;
class CLiveView;
class CVeskDoc;

namespace Device
{
class CVmDevice;
}

// The live measurement as the main window runs it: the sampling thread over a connected
// indentation tester, the samples of the running test, the guidance window and the live
// pane that stores each accepted test. UI thread only; the sampling thread's notices
// arrive as queued calls and those of a stopped run are dropped.
class CLiveMeasurement : public QObject
{
    Q_OBJECT
public:
    // Probe codes of the two probe variants.
    static constexpr int kProbeCodeVariant1 = 0x211;
    static constexpr int kProbeCodeVariant2 = 0x201;

    CLiveMeasurement(CVeskDoc* doc, CGuidanceDlg* guidance, CLiveView* pane, QObject* parent = nullptr);
    ~CLiveMeasurement() override;

    // Live mode on over the device, for a probe of any variant. A thread that could not
    // start is reported to the operator and live mode stays off (false).
    bool Start(Device::CVmDevice* device);
    // Live mode off: the thread ends (it switches the sample stream off first), a running
    // test is dropped and the live series closes.
    void Stop();
    bool IsLive() const { return m_live; }
    bool IsMeasuring() const { return m_measuring; }
    const std::vector<uint16_t>& GetTestSamples() const { return m_testSamples; }
    // The probe id of a device of the given variant; the empty id (code -1) for a variant
    // without a probe code.
    static SProbeId MakeProbeId(int variant, const uint8_t serial[8]);
    // The longest time one notice handler took, in nanoseconds.
    qint64 LongestHandlerNs() const { return m_longestHandlerNs; }

    void OnMeasStart(uint32_t run, uint32_t test);
    void OnMeasData(uint32_t run, uint32_t test);
    void OnMeasEnd(uint32_t run, uint32_t test);
    // The probe went away: reported, then the owner's handler leaves live mode (Stop
    // when there is none).
    void OnMeasLost(uint32_t run);
    void SetLinkLostHandler(std::function<void()> handler) { m_linkLost = std::move(handler); }

private:
    bool IsCurrent(uint32_t run, uint32_t test) const;
    void Timed(qint64 startNs);

    CVeskDoc* m_doc;
    QPointer<CGuidanceDlg> m_guidance;
    QPointer<CLiveView> m_pane;
    CMeasThread m_thread;
    bool m_live = false;
    bool m_measuring = false;
    uint32_t m_test = 0;
    std::vector<uint16_t> m_testSamples;
    qint64 m_longestHandlerNs = 0;
    std::function<void()> m_linkLost;
};
