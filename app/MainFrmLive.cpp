// The main window's part of the live measurement with the indentation tester: the live
// pane, the guidance window and the Measure command.

#include "app/FlatSplitterWnd.h"
#include "app/MainFrm.h"
#include "devicefiles/VeskamonConnection.h"
#include "seriesview/GuidanceDlg.h"
#include "seriesview/LiveMeasurement.h"
#include "seriesview/LiveView.h"

#include <QTimer>

void CMainFrame::CreateLiveMeasurement()
{
    auto* pane = new CLiveView(m_inner);
    pane->SetDocument(&m_doc);
    m_liveView = pane;
    m_guidance = std::make_unique<CGuidanceDlg>();
    m_liveMeasurement = new CLiveMeasurement(&m_doc, m_guidance.get(), pane, this);
    // A tester that goes away ends live mode as Measure does.
    m_liveMeasurement->SetLinkLostHandler(
        [this]
        {
            if (m_live)
                OnMeasure();
        });
    SetCommandHandler(
        Cmd::ID_MEASURE, [this] { OnMeasure(); }, [this](SCmdUI& ui) { ui.checked = m_live; });
}

void CMainFrame::StopLiveMeasurement()
{
    if (m_live)
        m_liveMeasurement->Stop();
    m_live = false;
    delete m_liveMeasurement;
    m_liveMeasurement = nullptr;
    if (auto* pane = qobject_cast<CLiveView*>(m_liveView))
        pane->SetDocument(nullptr);
}

void CMainFrame::EndLiveMode()
{
    if (!m_live)
        return;
    m_liveMeasurement->Stop();
    m_live = false;
    UpdateCommandUI();
    OnSize();
}

void CMainFrame::OnMeasure()
{
    CVeskamonConnection& connection = CVeskamonConnection::Instance();
    if (m_live)
    {
        m_liveMeasurement->Stop();
        connection.Disconnect();
        m_live = false;
    }
    else if (connection.Connect())
    {
        // A link that is not open or a probe of unknown kind is reported and leaves live
        // mode off, so that no reading is taken that cannot be stored.
        m_live = m_liveMeasurement->Start(connection.GetDevice());
        if (!m_live)
            connection.Disconnect();
    }
    UpdateCommandUI();
    QTimer::singleShot(0, this, [this] { OnSize(); });
}
