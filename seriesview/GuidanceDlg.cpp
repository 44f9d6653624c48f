#include "seriesview/GuidanceDlg.h"

#include "measurement/CurveCheck.h"
#include "measurement/Resolution.h"
#include "measurement/ScaleCodes.h"
#include "platform/core/StringTable.h"
#include "platform/gui/DialogFit.h"
#include "platform/gui/PainterCanvas.h"
#include "resources/StringIds.h"
#include "seriesview/SignalPlot.h"
#include "seriesview/WrappedText.h"

#include <QKeyEvent>
#include <QPaintEvent>

#include <algorithm>
#include <cmath>
#include <span>

using namespace Platform;

namespace
{

// Title and message (0 for none) of each shown phase.
struct PhaseTexts
{
    uint32_t title;
    uint32_t message;
};
constexpr PhaseTexts kPhaseTexts[] = {
    {59222, 0},     // Press down
    {59223, 0},     // Hold
    {59224, 0},     // Release
    {59225, 0},     // Finished
    {0, 0},         // nothing to say
    {59317, 59318}, // Incomplete
    {59319, 59320}, // Pressed too fast
    {59321, 59322}, // Released too fast
    {59313, 59314}, // Measurement clamp?
    {59315, 59316}, // Vibration detected
};

const PhaseTexts& TextsOf(int phase)
{
    return kPhaseTexts[std::clamp(phase, 0, static_cast<int>(std::size(kPhaseTexts)) - 1)];
}

QString Text(uint32_t id)
{
    return id ? LoadString(id) : QString();
}

// One second of samples, and the short window of the release test.
constexpr int kSecond = 155;
constexpr int kShortWindow = 15;
// Depth rise (hundredths of a micrometre) that counts as pressed.
constexpr int kPressedRise = 250;
constexpr int kHoldRuns = 30;
constexpr int kReleaseRuns = 77;

constexpr ColorRef kBandFill = Rgb(180, 180, 180);
constexpr ColorRef kBandFrame = Rgb(120, 120, 120);

} // namespace

CGuidanceDlg::CGuidanceDlg() : QDialog(nullptr)
{
    setWindowTitle(QStringLiteral("Measuring..."));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    resize(QSize(600, 450).boundedTo(Platform::ScreenRoom(this)));
    m_hideTimer.setSingleShot(true);
    connect(&m_hideTimer, &QTimer::timeout, this, [this] { OnTimer(kHideTimerId); });
}

CGuidanceDlg::~CGuidanceDlg() = default;

void CGuidanceDlg::StartMeasurement(bool imperial)
{
    m_imperial = imperial;
    Reset();
    show();
}

void CGuidanceDlg::Reset()
{
    std::vector<uint16_t>().swap(m_samples);
    m_shownPhase = phasePressDown;
    m_state = detectPressing;
    m_lowest = 0x7FFF;
    m_lowestCount = -1;
    m_highest = 0;
    m_runCount = 0;
    m_xAxisSeconds = 7;
    m_finished = false;
    m_titleBoxDirty = true;
    m_markIndex = -1;
    m_hideTimer.stop();
}

void CGuidanceDlg::AddSample(uint16_t sample)
{
    if (isVisible())
        setFocus(Qt::OtherFocusReason);
    Step(sample);
    update();
}

void CGuidanceDlg::Step(uint16_t s)
{
    m_samples.push_back(s);
    const int c = static_cast<int>(m_samples.size());

    // Slope over the last second and over the last 15 samples.
    const float d = c > kSecond
                        ? (static_cast<int>(s) - m_samples[c - 1 - kSecond]) / static_cast<float>(kSecond)
                        : -10000.0f;
    const float x = c > kShortWindow ? (static_cast<int>(s) - m_samples[c - 1 - kShortWindow]) /
                                           static_cast<float>(kShortWindow)
                                     : -10000.0f;

    // Every new minimum starts the detection again.
    if (s < m_lowest)
    {
        m_lowest = s;
        m_lowestCount = c;
        m_state = detectPressing;
    }

    switch (m_state)
    {
    case detectPressing:
        if (m_lowestCount + kShortWindow < c)
            m_highest = std::max(m_highest, s);
        if (m_lowestCount + kSecond < c)
        {
            m_runCount = 0;
            m_state = detectPressed;
        }
        break;
    case detectPressed:
        m_highest = std::max(m_highest, s);
        if (static_cast<int>(s) - kPressedRise > m_lowest && x < 1.0f)
            ++m_runCount;
        else
            m_runCount = 0;
        if (m_runCount > kHoldRuns)
        {
            m_runCount = 0;
            m_state = detectHolding;
            m_shownPhase = phaseHold;
        }
        break;
    case detectHolding:
        m_highest = std::max(m_highest, s);
        if (d < 0.08f)
            ++m_runCount;
        else
            m_runCount = 0;
        if (m_runCount > kReleaseRuns)
        {
            m_state = detectReleased;
            m_shownPhase = phaseRelease;
        }
        break;
    case detectReleased:
        if (x > 2.0f || m_finished)
        {
            m_state = detectFinished;
            m_shownPhase = phaseFinished;
        }
        break;
    default:
        break;
    }

    if (c / static_cast<double>(kSecond) >= m_xAxisSeconds - 0.5)
        m_xAxisSeconds += 3;
}

void CGuidanceDlg::FinishMeasurement(int& code, int mark)
{
    m_markIndex = mark;
    m_finished = true;
    AddSample(kEndMarker);

    int delay = 3500;
    if (m_shownPhase == phaseRelease || m_shownPhase == phaseFinished)
    {
        switch (code)
        {
        case CURVE_ACCEPTED:
            delay = 500;
            break;
        case CURVE_TOO_SHORT:
            m_shownPhase = phaseNone;
            break;
        case CURVE_INCOMPLETE:
            m_shownPhase = phaseIncomplete;
            break;
        case CURVE_PRESSED_TOO_FAST:
            m_shownPhase = phasePressedTooFast;
            break;
        case CURVE_RELEASED_TOO_FAST:
            m_shownPhase = phaseReleasedTooFast;
            break;
        case CURVE_CLAMP_SUSPECTED:
            m_shownPhase = phaseClamp;
            delay = 2500;
            break;
        case CURVE_VIBRATION:
            m_shownPhase = phaseVibration;
            delay = 2500;
            break;
        default:
            break;
        }
    }
    else
    {
        m_shownPhase = phaseIncomplete;
        m_state = detectFinished;
        m_markIndex = -1;
        code = kIncompleteResult;
    }
    StartHideTimer(delay);
}

void CGuidanceDlg::StartHideTimer(int ms)
{
    m_hideTimer.start(ms);
}

int CGuidanceDlg::GetHideDelay() const
{
    return m_hideTimer.isActive() ? m_hideTimer.interval() : 0;
}

void CGuidanceDlg::OnTimer(int id)
{
    if (id != kHideTimerId)
        return;
    m_hideTimer.stop();
    if (isVisible())
        hide();
}

void CGuidanceDlg::Paint(Canvas& dc, const Rect& client)
{
    const int level = dc.SaveDC();
    dc.FillSolidRect(client, Rgb(255, 255, 255));

    // The chart: time in seconds, depth from a little below the lowest sample to a margin
    // above it that grows with the depth reached.
    dc.SelectFont(SignalFont(-12));
    GRAPHSETTINGS gs;
    gs.frame = {client.left + 20, client.top + 74, client.right - 20, client.bottom - 90};
    gs.xMin = 0;
    gs.xMax = m_xAxisSeconds;
    gs.xTitle = LoadString(StringId::IDS_SECONDS);
    const int lowest = m_lowest / 100;
    int margin = 0;
    if (m_highest > m_lowest)
    {
        const int u = static_cast<int>(std::trunc((m_highest - m_lowest) * 1.1)) / 5000;
        margin = 50 * u;
        if (margin > 150)
            margin = 50;
    }
    const int flag = m_imperial ? 1 : 0;
    gs.yMin = ConvertMicronsToMilsDouble(lowest * 0.9, flag);
    gs.yMax = ConvertMicronsToMilsDouble(lowest + margin + 50, flag);
    QString shortName;
    GetScaleNames(kCurveDepthScale, shortName, gs.yTitle, m_imperial);
    gs.topAxis = GRAPHAXIS_LINE;
    gs.bottomAxis = 191;
    gs.leftAxis = 437;
    gs.rightAxis = GRAPHAXIS_LINE;
    gs.xZeroLine = 0;
    gs.yZeroLine = 0;
    gs.SetDefaultSteps();
    m_grid.SetSettings(dc, gs);
    m_grid.Draw(dc);

    // The instruction, in a box measured once per test.
    const QString title = Text(TextsOf(m_shownPhase).title);
    if (m_titleBoxDirty)
    {
        m_titleBox = TitleBandRect(dc, client, title);
        m_titleBoxDirty = false;
    }
    DrawTitleBand(dc, m_titleBox, title);

    // The end marker is no depth: the curve stops at the last real sample.
    std::span<const uint16_t> curve(m_samples);
    if (m_finished && !curve.empty() && curve.back() == kEndMarker)
        curve = curve.first(curve.size() - 1);
    dc.SaveDC();
    dc.IntersectClipRect(m_grid.GetPlotRect());
    dc.ExcludeClipRect(m_titleBox);
    DrawSignalCurve(dc, m_grid, curve, m_imperial);
    if (m_markIndex >= 0 && static_cast<size_t>(m_markIndex) < curve.size())
        DrawSampleMark(dc, m_grid, curve, m_markIndex, m_imperial);
    else
        m_markIndex = -1;
    dc.RestoreDC(-1);

    const QString message = Text(TextsOf(m_shownPhase).message);
    if (!message.isEmpty())
    {
        dc.SelectFont(SignalFont(-16));
        const Rect band{client.left - 1, client.bottom - 70, client.right + 1, client.bottom - 5};
        dc.FillSolidRect(band, kBandFill);
        DrawWrappedText(dc, {band.left + 50, band.top}, band.Width() - 100, message);
        dc.FrameRect(band, Brush::Solid(kBandFrame));
    }
    dc.RestoreDC(level);
}

void CGuidanceDlg::paintEvent(QPaintEvent* event)
{
    // Straight into the window's backing store, which already keeps the half-drawn picture
    // off the screen: no picture of its own to allocate, fill and copy on every sample.
    WidgetCanvas target(this, event->region());
    Paint(target, Rect{0, 0, width(), height()});
}

void CGuidanceDlg::keyPressEvent(QKeyEvent* event)
{
    // Enter and Esc end the dialog, which hides it.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
    {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
