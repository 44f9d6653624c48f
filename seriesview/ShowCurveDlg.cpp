#include "seriesview/ShowCurveDlg.h"

#include "measurement/ScaleCodes.h"
#include "platform/core/StringTable.h"
#include "platform/gui/DialogFit.h"
#include "platform/gui/MemDCExt.h"
#include "platform/gui/PainterCanvas.h"
#include "resources/StringIds.h"
#include "seriesview/SignalPlot.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPaintEvent>

#include <algorithm>

using namespace Platform;

namespace
{

// The maximum leaves out the first and last 100 samples, where the probe is put on and
// lifted off.
constexpr size_t kEdgeSamples = 100;

CShowCurveDlg* g_instance = nullptr;

void DeleteInstance()
{
    delete g_instance;
    g_instance = nullptr;
}
} // namespace

CShowCurveDlg::CShowCurveDlg() : QDialog(nullptr)
{
    setWindowTitle(QStringLiteral("Signal"));
    // The paint handler covers the whole client area itself.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    resize(QSize(600, 400).boundedTo(Platform::ScreenRoom(this)));
}

CShowCurveDlg::~CShowCurveDlg() = default;

CShowCurveDlg& CShowCurveDlg::Instance()
{
    if (!g_instance)
    {
        g_instance = new CShowCurveDlg;
        // Post routines run before the application takes its windows down.
        qAddPostRoutine(DeleteInstance);
    }
    return *g_instance;
}

void CShowCurveDlg::SetCurve(const std::vector<uint16_t>& samples)
{
    if (m_created)
        setFocus(Qt::OtherFocusReason);
    m_samples = samples;
    m_check.SetCurve(m_samples);
}

void CShowCurveDlg::ShowCurve()
{
    if (!m_created || isHidden())
    {
        m_created = true;
        show();
    }
    update();
}

void CShowCurveDlg::Paint(Canvas& dc, const Rect& client)
{
    const int level = dc.SaveDC();

    // A fresh check each time: one that refuses a short curve keeps the mark it handed out
    // last, which would circle the first sample on every later paint.
    m_check = CCurveCheck();
    m_check.SetCurve(m_samples);
    float depth = 0;
    float value = 0;
    m_check.Evaluate(depth, value);
    const int code = m_check.TakeResult();
    const int mark = m_check.TakeMarkIndex();
    QString title;
    if (code == CURVE_CLAMP_SUSPECTED)
        title = LoadString(StringId::IDS_CLAMP_TITLE);
    else if (code == CURVE_VIBRATION)
        title = LoadString(StringId::IDS_VIBRATION_TITLE);

    // The range: the largest sample away from the ends, the smallest of all.
    const size_t n = m_samples.size();
    int largest = 0;
    for (size_t i = kEdgeSamples + 1; i + kEdgeSamples < n; ++i)
        largest = std::max<int>(largest, m_samples[i]);
    int smallest = 100000;
    for (uint16_t s : m_samples)
        smallest = std::min<int>(smallest, s);
    if (n == 0)
        smallest = 0;
    // A curve too short for the inner range takes its largest sample from all of them; a
    // flat one gets a range of one micrometre, so the chart always has a range.
    if (n <= 2 * kEdgeSamples + 1)
        for (uint16_t s : m_samples)
            largest = std::max<int>(largest, s);

    dc.FillSolidRect(client, Rgb(255, 255, 255));
    dc.SelectFont(SignalFont(-12));

    GRAPHSETTINGS gs;
    gs.frame = {client.left + 20, client.top + 74, client.right - 20, client.bottom - 20};
    gs.xMin = 0;
    gs.xMax = n / kSamplesPerSecond + 0.05;
    gs.xTitle = LoadString(StringId::IDS_SECONDS);
    gs.yMin = (smallest / 100) * 0.97;
    gs.yMax = (largest / 100) * 1.03;
    if (gs.yMax <= gs.yMin)
        gs.yMax = gs.yMin + 1;
    QString shortName;
    GetScaleNames(kCurveDepthScale, shortName, gs.yTitle, false);
    gs.topAxis = GRAPHAXIS_LINE;
    gs.bottomAxis = 191;
    gs.leftAxis = 437;
    gs.rightAxis = GRAPHAXIS_LINE;
    gs.xZeroLine = 0;
    gs.yZeroLine = 0;
    gs.SetDefaultSteps();
    m_grid.SetSettings(dc, gs);
    m_grid.Draw(dc);

    DrawTitleBand(dc, TitleBandRect(dc, client, title), title);

    dc.SaveDC();
    dc.IntersectClipRect(m_grid.GetPlotRect());
    DrawSignalCurve(dc, m_grid, m_samples, false);
    dc.RestoreDC(-1);
    DrawSampleMark(dc, m_grid, m_samples, mark, false);

    dc.RestoreDC(level);
}

void CShowCurveDlg::paintEvent(QPaintEvent* event)
{
    WidgetCanvas target(this, event->region());
    const Rect client{0, 0, width(), height()};
    CMemDCExt memory(target, &client);
    Paint(memory.Dc(), client);
}

void CShowCurveDlg::mouseMoveEvent(QMouseEvent* event)
{
    update();
    QDialog::mouseMoveEvent(event);
}

void CShowCurveDlg::keyPressEvent(QKeyEvent* event)
{
    // Without buttons Enter still means OK; both end (hide) the window.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
    {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
