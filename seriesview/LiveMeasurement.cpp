#include "seriesview/LiveMeasurement.h"

#include "document/VeskDoc.h"
#include "device/Veskamon2Device.h"
#include "measurement/CurveCheck.h"
#include "measurement/ProbeId.h"
#include "platform/core/StringTable.h"
#include "platform/gui/MessageBox.h"
#include "resources/StringIds.h"
#include "streamio/IoStream.h"
#include "seriesview/GuidanceDlg.h"
#include "seriesview/LiveView.h"

#include <QElapsedTimer>

#include <cstring>

namespace
{
qint64 NowNs()
{
    static QElapsedTimer clock = []
    {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.nsecsElapsed();
}
} // namespace

CLiveMeasurement::CLiveMeasurement(CVeskDoc* doc, CGuidanceDlg* guidance, CLiveView* pane, QObject* parent)
    : QObject(parent), m_doc(doc), m_guidance(guidance), m_pane(pane)
{
}

CLiveMeasurement::~CLiveMeasurement()
{
    m_thread.Stop();
}

SProbeId CLiveMeasurement::MakeProbeId(int variant, const uint8_t serial[8])
{
    int code = -1;
    if (variant == 1)
        code = kProbeCodeVariant1;
    else if (variant == 2)
        code = kProbeCodeVariant2;
    SProbeId probe;
    if (code < 0)
        return probe;
    SPackedSerial packed;
    std::memcpy(packed.bytes.data(), serial, packed.bytes.size());
    probe.SetKeepingUnknown(code, &packed, -1);
    return probe;
}

bool CLiveMeasurement::Start(Device::CVmDevice* device)
{
    if (m_live)
        return true;
    auto* tester = dynamic_cast<Device::CVeskamon2Device*>(device);
    if (!tester || !tester->GetStream() || !tester->GetStream()->IsOpen())
    {
        Platform::ShowMessageBox(Platform::LoadString(StringId::IDS_LIVE_NOT_STARTED), Platform::MB_ICONERROR);
        return false;
    }
    uint8_t serial[8] = {};
    tester->GetProbeId(serial);
    // A probe of a variant we do not know measures all the same: its readings carry the
    // empty probe id.
    const SProbeId probe = MakeProbeId(tester->GetProbeVariant(), serial);
    QPointer<CLiveMeasurement> self(this);
    const bool started = m_thread.Start(
        device,
        [self](CMeasThread::NEvent event, uint32_t run, uint32_t test)
        {
            // Runs on the sampling thread: queue the notice to the UI thread.
            QMetaObject::invokeMethod(
                self.data(),
                [self, event, run, test]
                {
                    if (!self)
                        return;
                    switch (event)
                    {
                    case CMeasThread::NEvent::start:
                        self->OnMeasStart(run, test);
                        break;
                    case CMeasThread::NEvent::data:
                        self->OnMeasData(run, test);
                        break;
                    case CMeasThread::NEvent::end:
                        self->OnMeasEnd(run, test);
                        break;
                    case CMeasThread::NEvent::lost:
                        self->OnMeasLost(run);
                        break;
                    }
                },
                Qt::QueuedConnection);
        });
    if (!started)
    {
        Platform::ShowMessageBox(Platform::LoadString(StringId::IDS_LIVE_NOT_STARTED), Platform::MB_ICONERROR);
        return false;
    }
    m_live = true;
    m_measuring = false;
    if (m_pane)
        m_pane->StartLiveMode(probe);
    return true;
}

void CLiveMeasurement::Stop()
{
    m_thread.Stop();
    // Notices still queued belong to the stopped run and are dropped.
    m_measuring = false;
    m_testSamples.clear();
    if (m_live && m_pane)
        m_pane->StopLiveMode();
    if (m_guidance)
        m_guidance->hide();
    m_live = false;
}

bool CLiveMeasurement::IsCurrent(uint32_t run, uint32_t) const
{
    return m_live && m_thread.IsRunning() && run == m_thread.Run();
}

void CLiveMeasurement::Timed(qint64 startNs)
{
    m_longestHandlerNs = std::max(m_longestHandlerNs, NowNs() - startNs);
}

void CLiveMeasurement::OnMeasStart(uint32_t run, uint32_t test)
{
    if (!IsCurrent(run, test))
        return;
    const qint64 start = NowNs();
    m_measuring = true;
    m_test = test;
    std::vector<uint16_t>().swap(m_testSamples);
    if (m_guidance)
        m_guidance->StartMeasurement(m_pane && m_pane->IsImperialUnit());
    Timed(start);
}

void CLiveMeasurement::OnMeasData(uint32_t run, uint32_t test)
{
    if (!IsCurrent(run, test) || !m_measuring || test != m_test)
        return;
    const qint64 start = NowNs();
    const size_t before = m_testSamples.size();
    if (m_thread.TakeSamples(test, m_testSamples) > 0 && m_guidance)
        for (size_t i = before; i < m_testSamples.size(); ++i)
            m_guidance->AddSample(m_testSamples[i]);
    Timed(start);
}

void CLiveMeasurement::OnMeasEnd(uint32_t run, uint32_t test)
{
    if (!IsCurrent(run, test) || !m_measuring || test != m_test)
        return;
    const qint64 start = NowNs();
    // Every sample of the test read so far belongs to its curve.
    const size_t before = m_testSamples.size();
    (void)m_thread.TakeSamples(test, m_testSamples, true);
    if (m_guidance)
        for (size_t i = before; i < m_testSamples.size(); ++i)
            m_guidance->AddSample(m_testSamples[i]);
    CCurveCheck check;
    check.SetCurve(m_testSamples);
    float depth = 0.0f;
    float value = 0.0f;
    int code = check.Evaluate(depth, value);
    int mark = check.TakeMarkIndex();
    if (m_doc && !m_doc->IsWarningEnabled() && (code == CURVE_CLAMP_SUSPECTED || code == CURVE_VIBRATION))
    {
        code = CURVE_ACCEPTED;
        mark = -1;
    }
    if (m_guidance)
        m_guidance->FinishMeasurement(code, mark);
    m_measuring = false;
    if (m_pane)
        m_pane->AddMeasurement(m_testSamples, depth, value, code);
    Timed(start);
}

void CLiveMeasurement::OnMeasLost(uint32_t run)
{
    if (!IsCurrent(run, 0))
        return;
    Platform::ShowMessageBox(Platform::LoadString(StringId::IDS_LIVE_LINK_LOST), Platform::MB_ICONERROR);
    if (m_linkLost)
        m_linkLost();
    else
        Stop();
}
