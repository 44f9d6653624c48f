// The series page: its grid, the rows of the series, their texts and the status line.
#include "seriesview/TabGrid.h"

#include "document/LocalTime.h"
#include "document/ValueText.h"
#include "document/VeskDoc.h"
#include "grid/GridCellBarRange.h"
#include "grid/GridCellCovered.h"
#include "grid/GridCtrl.h"
#include "measurement/MeasSeries1.h"
#include "measurement/MeasSeriesWrapper.h"
#include "measurement/ScaleCodes.h"
#include "measurement/SeriesSettings.h"
#include "platform/core/StringTable.h"
#include "platform/gui/BitmapTable.h"
#include "platform/gui/DateTimePicture.h"
#include "platform/gui/WaitCursor.h"
#include "resources/StringIds.h"
#include "seriesview/GridCellDetailGripper.h"
#include "seriesview/GridCellDetailLeft.h"
#include "seriesview/GridCellSeries.h"
#include "streamio/DosDateTime.h"

#include <QCoreApplication>
#include <QResizeEvent>
#include <QTimer>

#include <algorithm>
#include <array>
#include <unordered_map>

using Platform::ColorRef;
using Platform::Rect;
using Platform::Rgb;

namespace
{
using namespace StringId;
constexpr uint32_t IDB_GRIPPER = 1065;
constexpr int kGripperWidth = 22;
constexpr int kGripperHeight = 19;
constexpr int kDefaultCellWidth = 100;
constexpr int kDefaultCellHeight = 22;
// Status progress during a rebuild: every this many series.
constexpr int kUpdateProgressStep = 31;

// The column table: heading string id (0 = none) and width.
struct SColumn
{
    uint32_t heading;
    int width;
};
constexpr std::array<SColumn, CTabGrid::kColumnCount> kColumns{{
    {0, 31},
    {IDS_COLUMN_NAME, 134},
    {IDS_COLUMN_TIME, 118},
    {IDS_COLUMN_MEAN, 320},
    {IDS_COLUMN_TOTAL, 34},
    {IDS_COLUMN_STDDEV, 62},
    {IDS_COLUMN_PROBE, 78},
    {IDS_COLUMN_MATERIAL, 136},
    {IDS_COLUMN_SCALE, 42},
}};

namespace Colors
{
constexpr ColorRef kText = Rgb(34, 36, 76);
constexpr ColorRef kRowBack = Rgb(242, 245, 253);
constexpr ColorRef kGripper = Rgb(191, 219, 227);
constexpr ColorRef kBand1 = Rgb(191, 219, 227);
constexpr ColorRef kBand1Selected = Rgb(61, 69, 72);
constexpr ColorRef kBand2 = Rgb(0, 71, 79);
constexpr ColorRef kBand2Selected = Rgb(0, 41, 49);
constexpr ColorRef kOverlap = Rgb(0, 160, 191);
constexpr ColorRef kOverlapSelected = Rgb(0, 120, 151);
} // namespace Colors

// The bar of a scale other than a depth runs this much past its display maximum.
constexpr double kBarHeadroom = 1.08;
// The depth bars run this much past the deepest mean or maximum of the folder.
constexpr double kDepthHeadroom = 1.15;
constexpr double kDefaultDepthMax = 100.0;

bool IsDepthTarget(const CMeasSeries1& series)
{
    return series.GetProbeId().IsBenchProbe() && IsDepthScale(series.GetTargetScale().scale);
}
} // namespace

CTabGrid::CTabGrid(CVeskDoc* doc, QWidget* parent)
    : CTabPage(parent), m_doc(doc), m_gripperImages(kGripperWidth, kGripperHeight)
{
    setObjectName(QStringLiteral("TabGrid"));
    setWindowTitle(Platform::LoadString(IDS_TAB_OBJECTS));
    // The grid covers the page; what shows around it while it is laid out is the window
    // colour, never an unpainted area.
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    m_gripperImages.Add(Platform::BitmapTable::Instance().Get(IDB_GRIPPER), Rgb(255, 0, 0));
    if (m_doc)
    {
        m_doc->AddView(this);
        m_doc->AddCommandPeer(this);
    }
    m_grid = new CGridCtrl(0, 0, 0, 0);
    m_grid->Create(QRect(), this, kGridId);
    m_grid->SetNotifyTarget(this);
    // Every rebuild sets each cell of its rows: a folder shown after a smaller one takes
    // back the cells of the larger one shown before instead of making them anew.
    m_grid->SetKeepRemovedRows(true);
    // The rows' cells are made of their kinds at once: a first rebuild of a large folder
    // makes hundreds of thousands of them.
    m_grid->SetCellChooser(
        [](int row, int col) -> GridCellFactory
        {
            if (row < 1)
                return nullptr;
            if (row % 2 == 1)
                return col == COL_GRIPPER ? &CGridCellDetailGripper::CreateObject
                       : col == COL_MEAN  ? &MakeGridCell<CGridCellBarRange>
                                          : nullptr;
            // The series cell spans the detail row; the columns it covers only carry
            // state and data.
            return col == COL_GRIPPER ? &CGridCellDetailLeft::CreateObject
                   : col == COL_NAME  ? &CGridCellSeries::CreateObject
                                      : &CGridCellCovered::CreateObject;
        });
    m_grid->installEventFilter(this);
    m_grid->viewport()->installEventFilter(this);
    InitGrid();
}

CTabGrid::~CTabGrid()
{
    if (m_doc)
    {
        m_doc->RemoveCommandPeer(this);
        m_doc->RemoveView(this);
    }
    m_doc = nullptr;
    m_grid->SetNotifyTarget(nullptr);
}

void CTabGrid::resizeEvent(QResizeEvent* event)
{
    CTabPage::resizeEvent(event);
    if (!m_grid)
        return;
    m_grid->setGeometry(0, 0, event->size().width(), event->size().height());
    WidenWhenLaidOut();
}

void CTabGrid::showEvent(QShowEvent* event)
{
    CTabPage::showEvent(event);
    WidenWhenLaidOut();
}

void CTabGrid::WidenWhenLaidOut()
{
    // Once the grid has laid out its scroll bars for the page's size.
    if (m_widenPending)
        QTimer::singleShot(0, this,
                           [this]
                           {
                               if (m_widenPending)
                                   SetColumnWidths();
                           });
}

QString CTabGrid::DatePattern() const
{
    if (m_services.datePattern)
        return m_services.datePattern();
    return Platform::LoadString(IDS_DATE_FORMATS);
}

QString CTabGrid::TimePattern() const
{
    if (m_services.timePattern)
        return m_services.timePattern();
    return Platform::LoadString(IDS_TIME_FORMATS);
}

// ---------------------------------------------------------------------------------------
// Grid set-up

void CTabGrid::InitGrid()
{
    m_grid->DeleteAllItems();
    // Pixels, so that an open detail row can be scrolled through; the page sorts through
    // the document, not by the grid's own header click.
    m_grid->SetScrollByRows(false);
    m_grid->SetHeaderSort(false);
    for (bool fixedRow : {false, true})
        for (bool fixedCol : {false, true})
        {
            CGridDefaultCell* def = m_grid->GetDefaultCell(fixedRow, fixedCol);
            def->SetWidth(kDefaultCellWidth);
            def->SetHeight(kDefaultCellHeight);
        }
    m_grid->SetColumnCount(kColumnCount);
    m_grid->SetRowCount(1);
    m_grid->SetFixedColumnCount(0);
    m_grid->SetFixedRowCount(1);
    m_grid->SetColumnResize(true);
    m_grid->SetRowResize(false);
    m_grid->SetListMode(true);
    m_grid->GetDefaultCell(false, false)->SetTextClr(Colors::kText);
    m_grid->EnableCopyRowBreaks(false);
    m_grid->EnableCopyCellTabs(false);
    m_grid->SetRowHeight(0, kHeaderHeight);
    m_grid->SetSortColumn(-1);
    for (int col = 0; col < kColumnCount; ++col)
        if (kColumns[size_t(col)].heading != 0)
            m_grid->SetItemText(0, col, Platform::LoadString(kColumns[size_t(col)].heading));
    SetColumnWidths();
    m_grid->viewport()->update();
    UpdateStatusCounts(true);
}

void CTabGrid::SetColumnWidths()
{
    for (int col = 0; col < kColumnCount; ++col)
        m_grid->SetColumnWidth(col, kColumns[size_t(col)].width);
    if (m_grid->GetRowCount() >= 1)
    {
        const Rect client = m_grid->GetClientRect();
        Rect last;
        // A last column out of sight gives no rectangle: the columns already fill the
        // page, and the mean column keeps its width.
        // A page not shown and laid out yet has no room to measure: the next size it gets
        // is.
        m_widenPending =
            !m_grid->isVisible() || client.Width() <= 0 || !m_grid->GetCellRect(0, kColumnCount - 1, &last);
        if (!m_widenPending)
        {
            const int gap = client.right - last.right;
            if (gap > 0)
                m_grid->SetColumnWidth(COL_MEAN, m_grid->GetColumnWidth(COL_MEAN) + gap - 2);
        }
    }
    m_grid->UpdateScrollBars();
    m_grid->viewport()->update();
}

// ---------------------------------------------------------------------------------------
// Rows

double CTabGrid::GetScaleDisplayMax(int scale)
{
    switch (scale)
    {
    case 1: // HB
        return 700;
    case 2: // HV
        return 950;
    case 3: // HRB
        return 107;
    case 4: // HRC
    case 8: // HMMRC
        return 70;
    case 5: // HS
        return 97;
    case 6: // MPa
        return 2250;
    case 7: // HRA
        return 86;
    case 9:  // HRBN
    case 13: // HRH
        return 700;
    case 10: // HR15N
    case 11: // HR15T
        return 93;
    case 12: // HRE
        return 108;
    default:
        // The portable tester's own measured scales.
        if ((scale >= 257 && scale <= 264) || scale == 271)
            return 999;
        return 1000;
    }
}

double CTabGrid::DepthDisplayMax() const
{
    float bestMean = 0;
    float bestMax = 0;
    const int count = m_doc->GetSeriesCount();
    for (int i = 0; i < count; ++i)
    {
        const CMeasSeries1* series = m_doc->GetSeriesAt(i)->GetSeries();
        if (!series || !IsDepthTarget(*series))
            continue;
        const float mean = m_doc->GetSeriesNativeMean(i);
        if (IsValidValue(mean) && mean > bestMean)
            bestMean = mean;
        const float max = m_doc->GetSeriesNativeMax(i);
        if (IsValidValue(max) && max > bestMax)
            bestMax = max;
    }
    double base = bestMean;
    if (bestMax != 0 && bestMax > base)
        base = bestMax;
    const double depthMax = base * kDepthHeadroom;
    return depthMax == 0 ? kDefaultDepthMax : depthMax;
}

void CTabGrid::OnDocUpdate(int hint)
{
    UpdateRows(hint);
}

CTabGrid::SRebuildHold::SRebuildHold(CTabGrid& page) : m_page(page)
{
    ++m_page.m_holdDepth;
}

CTabGrid::SRebuildHold::~SRebuildHold()
{
    m_page.ReleaseHold();
}

void CTabGrid::ReleaseHold()
{
    if (--m_holdDepth > 0 || !m_rebuildPending)
        return;
    m_rebuildPending = false;
    UpdateRows(DOC_HINT_ALL);
}

CMeasSeriesWrapper* CTabGrid::EntryOfPair(int pair) const
{
    return reinterpret_cast<CMeasSeriesWrapper*>(m_grid->GetItemData(2 * pair + 1, COL_NAME));
}

int CTabGrid::DocIndexOfPair(int pair) const
{
    const CMeasSeriesWrapper* entry = EntryOfPair(pair);
    return m_doc && entry ? m_doc->FindSeries(entry, pair) : -1;
}

bool CTabGrid::RowsMatchDocument() const
{
    const int count = m_doc ? m_doc->GetSeriesCount() : 0;
    if (m_grid->GetRowCount() != 2 * count + 1)
        return false;
    for (int i = 0; i < count; ++i)
    {
        const auto entry = reinterpret_cast<intptr_t>(m_doc->GetSeriesAt(i));
        if (m_grid->GetItemData(2 * i + 1, COL_NAME) != entry ||
            m_grid->GetItemData(2 * i + 2, COL_NAME) != entry)
            return false;
    }
    return true;
}

void CTabGrid::UpdateRows(int hint)
{
    if (!m_doc)
        return;
    const int flags = hint < 0 ? -hint : 0;
    if (flags & 0x60)
        return;
    int count = m_doc->GetSeriesCount();
    bool full = (flags & 0x01) != 0;
    const bool insert = (flags & 0x04) != 0;
    int first = 0;
    int last = count - 1;
    if (hint >= 0)
    {
        if (hint >= count)
            return;
        // A series the grid shows in no pair of its own is only reached by rebuilding.
        if (2 * hint + 2 >= m_grid->GetRowCount() || EntryOfPair(hint) != m_doc->GetSeriesAt(hint))
            full = true;
        else
            first = last = hint;
    }
    if ((full || insert) && m_holdDepth > 0)
    {
        m_rebuildPending = true;
        return;
    }

    const Platform::WaitCursor wait;
    int firstInserted = -1;
    bool sliced = false;
    if (full)
    {
        // The cells are kept and filled anew: freeing and making 20,000 rows of them again
        // costs more than all the rest. An open editor would rename another series.
        m_grid->CancelEditing();
        if (m_grid->GetColumnCount() != kColumnCount || m_grid->GetRowCount() < 1)
        {
            InitGrid();
        }
        else
        {
            // Every kept cell gets its whole state below, selected bit included.
            m_grid->SetFocusCell({-1, -1});
        }
        m_grid->SetUsePrintColors(true);
        // The document may change while the window system is answered between slices.
        sliced = MakeRowsInSlices(2 * count + 1);
        if (sliced)
            count = m_doc->GetSeriesCount();
        m_grid->SetRowCount(2 * count + 1);
        // With the project closed, the cells kept for a large folder go too.
        if (!m_doc->GetCurrentFolder())
            m_grid->FreeKeptRows();
        first = 0;
        last = count - 1;
        // A large folder is filled in slices whether its cells were there or not; the rows
        // not filled yet must not show an earlier selection meanwhile.
        if (count > kRowsPerSlice / 2)
        {
            m_grid->SetSelectedRange(-1, -1, -1, -1);
            sliced = true;
        }
    }
    else if (insert)
    {
        m_grid->SetSelectedRange(-1, -1, -1, -1);
    }
    const bool headerOnly = m_grid->GetRowCount() <= 1;
    CShownTimes times;
    ShapeHeights heights;
    std::set<QString> shared;
    SRowContext context;
    context.shared = &shared;
    context.depthMax = DepthDisplayMax();
    context.datePattern = DatePattern();
    context.timePattern = TimePattern();
    context.times = &times;
    context.heights = &heights;
    context.fresh = full;
    m_grid->SetRedraw(false);
    const QString updating = Platform::LoadString(IDS_UPDATING);

    for (int i = first; i <= last; ++i)
    {
        uint32_t state = 0;
        bool build = full;
        // The rows not filled yet are unselected and not drawn between the slices; whatever
        // changed meanwhile is shown by a rebuild from the start.
        if (sliced && i > first && i % (kRowsPerSlice / 2) == 0 && AnswerBetweenSlices())
        {
            m_grid->SetRedraw(true);
            UpdateRows(DOC_HINT_ALL);
            return;
        }
        if (full)
        {
            if (i % kUpdateProgressStep == 0)
                SetStatusProgress(updating, i + 1);
            state = m_doc->IsSeriesSelected(i) ? uint32_t(CELLSTATE_SELECTED) : 0u;
            // A new series open for measuring comes into view.
            if (m_doc->GetSeriesUpdateFlag(i))
            {
                m_doc->SetSeriesUpdateFlag(i, false);
                if (firstInserted < 0)
                    firstInserted = 2 * i + 1;
            }
        }
        else if (insert && m_doc->GetSeriesUpdateFlag(i))
        {
            m_doc->SetSeriesUpdateFlag(i, false);
            m_grid->InsertRow(QString(), 2 * i + 1);
            m_grid->InsertRow(QString(), 2 * i + 2);
            state = m_doc->IsSeriesSelected(i) ? uint32_t(CELLSTATE_SELECTED) : 0u;
            if (firstInserted < 0)
                firstInserted = 2 * i + 1;
            build = true;
        }
        if (build)
            BuildDetailRow(i, state, full);
        if (full || insert)
            if (auto* cell = dynamic_cast<CGridCellSeries*>(m_grid->GetCell(2 * i + 2, COL_NAME)))
                cell->SetSeries(m_doc, i);
        if (build || hint >= 0)
            BuildSummaryRow(i, state, context);
    }

    ShowSortArrow();
    m_grid->SetRedraw(true, true);
    if (insert && !RowsMatchDocument())
    {
        // The folder's order changed beside the new series: everything anew.
        UpdateRows(DOC_HINT_ALL);
        return;
    }
    if (full || insert)
        StoreSelection();
    if (firstInserted >= 0)
        m_grid->EnsureVisible(firstInserted, COL_NAME);
    if (full || (firstInserted >= 0 && headerOnly))
        SetColumnWidths();
    SetStatusProgress(QString(), 0);
    UpdateStatusCounts(true);
    m_grid->viewport()->update();
}

bool CTabGrid::MakeRowsInSlices(int rows)
{
    if (m_grid->MakeRowsAhead(rows, kRowsPerSlice))
        return false;
    // A first showing of a large folder makes hundreds of thousands of cells and fills
    // them for the first time: the window system gets its answers between slices. The page
    // shows no rows meanwhile (those it showed belong to another folder).
    m_grid->SetRowCount(1);
    int made = 0;
    do
    {
        made += kRowsPerSlice;
        SetStatusProgress(Platform::LoadString(IDS_UPDATING), made / 2);
        AnswerBetweenSlices();
    } while (!m_grid->MakeRowsAhead(rows, kRowsPerSlice));
    // The rebuild that follows covers whatever waited.
    m_rebuildPending = false;
    return true;
}

bool CTabGrid::AnswerBetweenSlices()
{
    // Notices that would rebuild wait, input waits in the queue, and the window stays.
    ++m_holdDepth;
    m_slicing = true;
    window()->installEventFilter(this);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    window()->removeEventFilter(this);
    m_slicing = false;
    --m_holdDepth;
    return std::exchange(m_rebuildPending, false);
}

void CTabGrid::BuildDetailRow(int index, uint32_t state, bool fresh)
{
    const int row = 2 * index + 2;
    const intptr_t entry = reinterpret_cast<intptr_t>(m_doc->GetSeriesAt(index));
    if (!dynamic_cast<CGridCellDetailLeft*>(m_grid->GetCell(row, COL_GRIPPER)))
        m_grid->SetCellType(row, COL_GRIPPER, &CGridCellDetailLeft::CreateObject);
    if (auto* left = dynamic_cast<CGridCellDetailLeft*>(m_grid->GetCell(row, COL_GRIPPER)))
    {
        left->SetTopLeftColor(Colors::kGripper);
        left->SetTopRightColor(Colors::kGripper);
        left->SetBottomLeftColor(Colors::kRowBack);
        left->SetBottomRightColor(Colors::kRowBack);
        left->SetHighlightSelected(false);
        left->SetShowFocusFrame(false);
    }
    m_grid->SetItemState(row, COL_GRIPPER, state | CELLSTATE_READONLY);
    m_grid->SetItemData(row, COL_GRIPPER, entry);
    // One series cell draws the whole span; the grid finds it for a point anywhere in the
    // span, so the other columns keep plain cells that only carry state and data.
    auto* series = dynamic_cast<CGridCellSeries*>(m_grid->GetCell(row, COL_NAME));
    if (!series)
        m_grid->SetCellType(row, COL_NAME, &CGridCellSeries::CreateObject);
    else if (fresh)
        // A cell kept from another series shows this one closed, from the start.
        series->ResetView();
    for (int col = COL_NAME; col < kColumnCount; ++col)
    {
        m_grid->SetItemState(row, col, state | CELLSTATE_READONLY);
        m_grid->SetItemBkColour(row, col, Colors::kRowBack);
        m_grid->SetItemData(row, col, entry);
    }
    m_grid->MergeColumns(row, COL_NAME, kColumnCount - 1);
    m_grid->SetRowHeight(row, 0);
}

void CTabGrid::BuildSummaryRow(int index, uint32_t state, const SRowContext& context)
{
    const double depthMax = context.depthMax;
    const int row = 2 * index + 1;
    CMeasSeriesWrapper* entry = m_doc->GetSeriesAt(index);
    CMeasSeries1* series = entry->GetSeries();
    const intptr_t data = reinterpret_cast<intptr_t>(entry);

    // The kinds of cells of the row; a refresh keeps the cells and their selection.
    if (!dynamic_cast<CGridCellDetailGripper*>(m_grid->GetCell(row, COL_GRIPPER)))
        m_grid->SetCellType(row, COL_GRIPPER, &CGridCellDetailGripper::CreateObject);
    if (!dynamic_cast<CGridCellBarRange*>(m_grid->GetCell(row, COL_MEAN)))
        m_grid->SetCellType(row, COL_MEAN, &MakeGridCell<CGridCellBarRange>);
    if (context.fresh)
        m_grid->SetRowHeight(row, kSummaryHeight);
    for (int col = 0; col < kColumnCount; ++col)
    {
        const uint32_t kept =
            context.fresh ? 0u : m_grid->GetItemState(row, col) & (CELLSTATE_SELECTED | CELLSTATE_FOCUSED);
        m_grid->SetItemState(row, col, kept | state | (col == COL_NAME ? 0u : uint32_t(CELLSTATE_READONLY)));
        if (col != COL_GRIPPER)
            m_grid->SetItemBkColour(row, col, Colors::kRowBack);
        m_grid->SetItemData(row, col, data);
    }

    auto* gripper = dynamic_cast<CGridCellDetailGripper*>(m_grid->GetCell(row, COL_GRIPPER));
    if (gripper)
    {
        gripper->SetImageList(&m_gripperImages);
        gripper->SetFormat(Platform::DT_RIGHT);
        gripper->SetTopLeftColor(Colors::kGripper);
        gripper->SetTopRightColor(Colors::kGripper);
        gripper->SetBottomLeftColor(Colors::kGripper);
        gripper->SetBottomRightColor(Colors::kGripper);
        gripper->SetHighlightSelected(false);
        gripper->SetShowFocusFrame(false);
    }

    m_grid->SetItemText(row, COL_NAME, m_doc->GetSeriesName(index));

    // Date and time, shown by the daylight rule as every stored time stamp is; the rule
    // is worked out once per day of the rebuild, not by the C library for every row.
    QString when;
    LocalDateTime stored;
    if (series && DosDateTimeFields(series->GetDateTime(), &stored.date, &stored.time))
        if (const auto local = context.times->Shown(stored))
            when = Platform::FormatDatePicture(local->date, context.datePattern) + QLatin1Char(' ') +
                   Platform::FormatTimePicture(local->time, context.timePattern);
    m_grid->SetItemText(row, COL_TIME, when);
    m_grid->SetItemText(row, COL_COUNT, context.Shared(QString::number(m_doc->GetSeriesValidCount(index))));

    QString mean;
    QString stdDev;
    QString probe;
    QString material;
    QString scale;
    if (series)
    {
        SSeriesSettings settings;
        series->GetSettings(settings);
        const bool imperial = series->IsImperial();
        const bool depth = IsDepthTarget(*series);
        QString shortName;
        QString longName;
        series->GetTargetScaleNames(shortName, longName, imperial);
        // Depths shown imperial: the texts in thousandths of an inch, the bar in micrometres.
        const bool mils = imperial && IsDepthScale(settings.targetScale.scale);
        float meanValue = series->GetMean();
        float stdValue = series->GetStdDev();
        float shownMean = meanValue;
        if (mils)
        {
            MicronsToMils(shownMean);
            MicronsToMils(stdValue);
        }
        const QString meanText = FormatValue(shownMean, m_doc->GetSeriesDecimals(index, 0));
        mean = meanText + QLatin1Char(' ') + shortName;
        stdDev = FormatValue(stdValue, m_doc->GetSeriesDecimals(index, 1)) + QLatin1Char(' ') + shortName;
        series->GetProbeName(probe);
        if (settings.material.type == 0)
        {
            material = settings.material.Name();
        }
        else
        {
            QString name;
            series->GetMaterialName(name);
            material = QString::number(int(int8_t(settings.material.type))) + QLatin1Char(' ') + name;
        }
        scale = shortName;
        if (settings.material.group != 0)
            scale += QLatin1Char('/') + QString::number(settings.material.group);

        if (auto* bar = dynamic_cast<CGridCellBarRange*>(m_grid->GetCell(row, COL_MEAN)))
        {
            bar->SetCopyText(meanText + QLatin1Char('\t') + shortName + QLatin1Char('\t'));
            bar->SetFormat(Platform::DT_CENTER | Platform::DT_VCENTER | Platform::DT_SINGLELINE);
            bar->SetBand1Colors(Colors::kBand1, Colors::kBand1Selected);
            bar->SetBand2Colors(Colors::kBand2, Colors::kBand2Selected);
            bar->SetOverlapColors(Colors::kOverlap, Colors::kOverlapSelected);
            const float lower = settings.lowerLimit;
            const float upper = settings.upperLimit;
            const float smallest = series->GetMin();
            const float largest = series->GetMax();
            bar->SetBand1Hidden(lower == upper);
            bar->SetBand2Hidden(!(IsValidValue(smallest) && IsValidValue(largest)));
            bar->SetMarkerHidden(!IsValidValue(meanValue));
            bar->SetMinValue(0);
            if (depth)
            {
                // Depths grow downwards into the part: the bar shows hardness, the deepest
                // at the left.
                const double low = lower == MEAS_NO_VALUE ? 0.0 : double(lower);
                const double high = upper == MEAS_NO_VALUE ? depthMax : double(upper);
                bar->SetMaxValue(depthMax);
                bar->SetValue(depthMax - meanValue);
                bar->SetBand1Low(std::min(depthMax - low, depthMax - high));
                bar->SetBand1High(std::max(depthMax - low, depthMax - high));
                bar->SetBand2Low(depthMax - largest);
                bar->SetBand2High(depthMax - smallest);
            }
            else
            {
                const double displayMax = GetScaleDisplayMax(settings.targetScale.scale);
                bar->SetMaxValue(displayMax * kBarHeadroom);
                bar->SetValue(meanValue);
                bar->SetBand1Low(lower == MEAS_NO_VALUE ? 0.0 : double(lower));
                bar->SetBand1High(upper == MEAS_NO_VALUE ? displayMax : double(upper));
                bar->SetBand2Low(smallest);
                bar->SetBand2High(largest);
            }
        }
    }
    m_grid->SetItemText(row, COL_MEAN, mean);
    m_grid->SetItemText(row, COL_STDDEV, stdDev);
    m_grid->SetItemText(row, COL_PROBE, context.Shared(probe));
    m_grid->SetItemText(row, COL_MATERIAL, context.Shared(material));
    m_grid->SetItemText(row, COL_SCALE, context.Shared(scale));

    if (gripper && context.fresh)
        gripper->SetCollapsed(1);
    if (m_doc->IsSeriesExpanded(index))
    {
        if (gripper)
            gripper->SetCollapsed(0);
        const bool growing = series && series->IsNew();
        if (context.fresh && context.heights && !growing)
            // A rebuild opens thousands of rows, most of them out of sight.
            OpenAtShapeHeight(index, index, *context.heights);
        else if (auto* cell = dynamic_cast<CGridCellSeries*>(m_grid->GetCell(row + 1, COL_NAME)))
            // A series open for measuring grows into view; the others open at once.
            cell->Expand(!growing);
    }
}

void CTabGrid::ShowSortArrow()
{
    // The column of each sort-order pair (orders 2k + 1 and 2k + 2).
    static constexpr int kColumnOfPair[] = {COL_GRIPPER, COL_TIME,  COL_NAME,     COL_MEAN, COL_COUNT,
                                            COL_STDDEV,  COL_PROBE, COL_MATERIAL, COL_SCALE};
    const int order = m_doc ? m_doc->GetSortOrder() : 0;
    if (order < 1 || order > 18)
    {
        m_grid->SetSortColumn(-1);
    }
    else
    {
        m_grid->SetSortColumn(kColumnOfPair[(order - 1) / 2]);
        m_grid->SetSortAscending(order % 2 == 1);
    }
    m_grid->viewport()->update();
}

// ---------------------------------------------------------------------------------------
// Status line

bool CTabGrid::IsPairSelected(int pair) const
{
    return m_grid->IsCellSelected(2 * pair + 1, COL_NAME) || m_grid->IsCellSelected(2 * pair + 2, COL_NAME);
}

void CTabGrid::UpdateStatusCounts(bool force)
{
    const int rows = m_grid->GetRowCount();
    if (rows > kRecountRowLimit && !force)
        return;
    const int selected = int(MarkedPairs().size());
    const int total = m_doc ? m_doc->GetSeriesCount() : 0;
    m_statusCounts = QStringLiteral("%1 %2      %3 %4        ")
                         .arg(Platform::LoadString(IDS_SELECTED_OBJECTS))
                         .arg(selected)
                         .arg(Platform::LoadString(IDS_TOTAL_OBJECTS))
                         .arg(total);
    SendStatusText();
}

void CTabGrid::SetStatusProgress(const QString& text, int n)
{
    m_statusProgress = text.isEmpty() ? QString() : QStringLiteral("%1 %2").arg(text).arg(n);
    SendStatusText();
}

void CTabGrid::SendStatusText()
{
    const QString text = StatusText();
    if (m_services.showStatus)
        m_services.showStatus(text);
    emit StatusTextChanged(text);
}

// ---------------------------------------------------------------------------------------
// For printing and export

std::vector<int> CTabGrid::MarkedPairs() const
{
    std::vector<int> pairs;
    const int count = (m_grid->GetRowCount() - 1) / 2;
    for (int pair = 0; pair < count; ++pair)
        if (IsPairSelected(pair))
            pairs.push_back(pair);
    // The focus frame alone marks nothing: a series the user took out of the selection
    // keeps the frame but no command may act on it.
    return pairs;
}

bool CTabGrid::AnyMarked() const
{
    // A pair is marked by the name cell of either of its rows; the heading row marks none.
    const int names =
        m_grid->GetSelectedCountInColumn(COL_NAME) - (m_grid->IsCellSelected(0, COL_NAME) ? 1 : 0);
    return names > 0;
}

std::vector<int> CTabGrid::MarkedSeries() const
{
    std::vector<int> marked;
    for (int pair : MarkedPairs())
        if (const int index = DocIndexOfPair(pair); index >= 0)
            marked.push_back(index);
    std::sort(marked.begin(), marked.end());
    return marked;
}

std::vector<const CMeasSeriesWrapper*> CTabGrid::EntriesOf(const std::vector<int>& indices) const
{
    std::vector<const CMeasSeriesWrapper*> entries;
    for (int index : indices)
        if (m_doc && index >= 0 && index < m_doc->GetSeriesCount())
            entries.push_back(m_doc->GetSeriesAt(index));
    return entries;
}

std::vector<int> CTabGrid::IndicesOf(const std::vector<const CMeasSeriesWrapper*>& entries) const
{
    std::vector<int> indices;
    if (!m_doc || entries.empty())
        return indices;
    // One pass over the folder: a search per entry costs the square of the folder's size
    // when the user deletes all of a large one.
    const int count = m_doc->GetSeriesCount();
    std::unordered_map<const CMeasSeriesWrapper*, int> at;
    at.reserve(size_t(count));
    for (int i = 0; i < count; ++i)
        at.emplace(m_doc->GetSeriesAt(i), i);
    for (const CMeasSeriesWrapper* entry : entries)
        if (const auto found = at.find(entry); found != at.end())
            indices.push_back(found->second);
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    return indices;
}

std::vector<CTabGrid::SRowState> CTabGrid::SaveRowStates() const
{
    std::vector<SRowState> states;
    for (int row = 1; row < m_grid->GetRowCount(); row += 2)
    {
        SRowState state;
        state.summaryHeight = m_grid->GetRowHeight(row);
        const int index = DocIndexOfPair(SeriesOfRow(row));
        state.expanded = index >= 0 && m_doc->IsSeriesExpanded(index);
        states.push_back(state);
    }
    return states;
}

void CTabGrid::RestoreRowStates(const std::vector<SRowState>& states, const std::function<void()>& afterEach)
{
    for (size_t i = 0; i < states.size(); ++i)
    {
        const int row = 2 * int(i) + 1;
        if (row >= m_grid->GetRowCount())
            break;
        m_grid->SetRowHeight(row, states[i].summaryHeight);
        SetSeriesOpen(int(i), states[i].expanded);
        if (afterEach)
            afterEach();
    }
    m_grid->SetRowHeight(0, kHeaderHeight);
}

void CTabGrid::SetSeriesOpen(int pair, bool open)
{
    const int row = 2 * pair + 1;
    if (auto* gripper = dynamic_cast<CGridCellDetailGripper*>(m_grid->GetCell(row, COL_GRIPPER)))
        gripper->SetCollapsed(open ? 0 : 1);
    if (auto* cell = dynamic_cast<CGridCellSeries*>(m_grid->GetCell(row + 1, COL_NAME)))
    {
        if (open)
            cell->Expand(true);
        else
            cell->Collapse(true);
    }
    if (const int index = DocIndexOfPair(pair); index >= 0)
        m_doc->SetSeriesExpanded(index, open);
}
