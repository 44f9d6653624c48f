// The series page's right-click popups (edit menu, expand menu, time stamp, material and
// conversion scale) and opening or closing every detail row.
#include "seriesview/TabGrid.h"

#include "controls/DateTimeDlg.h"
#include "controls/TwMenu.h"
#include "document/LocalTime.h"
#include "document/VeskDoc.h"
#include "grid/GridCtrl.h"
#include "measurement/MeasSeries1.h"
#include "measurement/MeasSeriesWrapper.h"
#include "measurement/SeriesSettings.h"
#include "platform/core/StringTable.h"
#include "platform/gui/BitmapTable.h"
#include "platform/gui/MessageBox.h"
#include "platform/gui/PopupMenu.h"
#include "platform/gui/WaitCursor.h"
#include "resources/StringIds.h"
#include "seriesview/GridCellDetailGripper.h"
#include "seriesview/GridCellSeries.h"
#include "seriesview/SeriesMessages.h"
#include "seriesview/VeskDocPopups.h"

#include <algorithm>
#include <map>
#include <tuple>

using Platform::LoadString;
using Platform::MF_GRAYED;
using Platform::MF_SEPARATOR;
using Platform::MF_STRING;
using Platform::Rect;

namespace
{
constexpr uint32_t IDB_EDIT_MENU = 1312;
constexpr uint32_t IDB_EXPAND_MENU = 1064;
using namespace StringId;
// Status progress while expanding: every this many series.
constexpr int kExpandProgressStep = 11;
// A scale popup for several series asks for every scale.
constexpr int kAnyScale = 0xFFFF;

// Items of the edit menu and the command each posts, in menu order; the images of the
// edit-command strip.
enum EditItem : unsigned
{
    kMenuCut = 1,
    kMenuCopy,
    kMenuPaste,
    kMenuDelete,
    kMenuRename,
    kMenuNewFolder,
};
constexpr uint32_t kEditMessages[] = {WM_CMD_CUT,    WM_CMD_COPY,   WM_CMD_PASTE,
                                      WM_CMD_DELETE, WM_CMD_RENAME, WM_CMD_NEW_FOLDER};
enum ExpandItem : unsigned
{
    kMenuExpandAll = 1,
    kMenuCollapseAll,
};
} // namespace

void CTabGrid::OnGridRClick(int row, int col)
{
    if (row == 0 || !m_doc)
        return;
    const bool summary = IsSummaryRow(row);
    if (m_grid->GetRowCount() > 1 && row > 0)
    {
        if (summary && !m_grid->IsCellSelected(row, col))
        {
            m_grid->SetSelectedRange(row, 0, row, kColumnCount - 1);
            SyncPairSelection(row);
            StoreSelection();
            UpdateStatusCounts(true);
        }
        Rect cell;
        m_grid->GetCellRect(row, col, &cell);
        const QPoint topLeft = m_grid->viewport()->mapToGlobal(QPoint(cell.left, cell.top));
        const Rect screen{topLeft.x(), topLeft.y(), topLeft.x() + cell.Width(), topLeft.y() + cell.Height()};
        const Entries marked = EntriesOf(MarkedSeries());
        // A detail row answers only in its left cell.
        if (col == COL_GRIPPER)
        {
            TrackExpandMenu(m_grid->GetContextMenuPos());
            return;
        }
        if (!summary)
            return;
        switch (col)
        {
        case COL_TIME:
            AdjustTime(row, marked);
            return;
        case COL_MATERIAL:
            ChooseMaterial(screen, marked);
            return;
        case COL_SCALE:
            ChooseScale(screen, marked);
            return;
        default:
            break;
        }
    }
    if (row > 0 && !summary)
        return;
    TrackEditMenu(row > 0, m_grid->GetContextMenuPos());
}

void CTabGrid::TrackEditMenu(bool full, QPoint at)
{
    Platform::ImageList images(16, 16);
    images.Add(Platform::BitmapTable::Instance().Get(IDB_EDIT_MENU), Platform::Rgb(255, 255, 255));
    TwMenu menu;
    menu.SetImageSize(16, 16);
    const unsigned paste = MF_STRING | (m_doc->IsClipboardPending() ? 0u : unsigned(MF_GRAYED));
    if (full)
    {
        menu.AppendItem(LoadString(IDS_TREE_CUT), MF_STRING, kMenuCut, &images, 1);
        menu.AppendItem(LoadString(IDS_TREE_COPY), MF_STRING, kMenuCopy, &images, 2);
        menu.AppendItem(LoadString(IDS_TREE_PASTE), paste, kMenuPaste, &images, 3);
        menu.AppendItem(QString(), MF_SEPARATOR, 0);
        menu.AppendItem(LoadString(IDS_TREE_DELETE), MF_STRING, kMenuDelete, &images, 4);
        menu.AppendItem(LoadString(IDS_TREE_RENAME), MF_STRING, kMenuRename, &images, 5);
    }
    else
    {
        menu.AppendItem(LoadString(IDS_TREE_PASTE), paste, kMenuPaste, &images, 3);
    }
    menu.AppendItem(QString(), MF_SEPARATOR, 0);
    menu.AppendItem(LoadString(IDS_TREE_NEW_FOLDER), MF_STRING, kMenuNewFolder, &images, 6);
    const unsigned chosen = menu.TrackPopupMenu(
        Platform::TPM_LEFTALIGN | Platform::TPM_TOPALIGN | Platform::TPM_RETURNCMD, at.x(), at.y(), m_grid);
    if (chosen >= kMenuCut && chosen <= kMenuNewFolder)
        PostCommand(kEditMessages[chosen - kMenuCut]);
}

void CTabGrid::TrackExpandMenu(QPoint at)
{
    Platform::ImageList images(20, 19);
    images.Add(Platform::BitmapTable::Instance().Get(IDB_EXPAND_MENU), Platform::Rgb(255, 0, 0));
    TwMenu menu;
    menu.SetImageSize(20, 19);
    menu.AppendItem(LoadString(IDS_EXPAND_ALL), MF_STRING, kMenuExpandAll, &images, 0);
    menu.AppendItem(LoadString(IDS_COLLAPSE_ALL), MF_STRING, kMenuCollapseAll, &images, 1);
    const unsigned chosen = menu.TrackPopupMenu(
        Platform::TPM_LEFTALIGN | Platform::TPM_TOPALIGN | Platform::TPM_RETURNCMD, at.x(), at.y(), m_grid);
    if (chosen == kMenuExpandAll || chosen == kMenuCollapseAll)
        ExpandAll(chosen == kMenuExpandAll);
}

void CTabGrid::ExpandAll(bool expand)
{
    if (!m_doc)
        return;
    const Platform::WaitCursor wait;
    const QString expanding = LoadString(IDS_EXPANDING);
    m_grid->SetRedraw(false);
    ShapeHeights heights;
    for (int row = 1; row + 1 < m_grid->GetRowCount(); row += 2)
    {
        const int pair = SeriesOfRow(row);
        if (expand && pair % kExpandProgressStep == 0)
            SetStatusProgress(expanding, pair + 1);
        if (expand)
            OpenAtShapeHeight(pair, DocIndexOfPair(pair), heights);
        else
            SetSeriesOpen(pair, false);
    }
    m_grid->SetRedraw(true, true);
    SetStatusProgress(QString(), 0);
    m_grid->viewport()->update();
}

void CTabGrid::OpenAtShapeHeight(int pair, int index, ShapeHeights& heights)
{
    const int row = 2 * pair + 1;
    auto* cell = dynamic_cast<CGridCellSeries*>(m_grid->GetCell(row + 1, COL_NAME));
    CMeasSeries1* series = index >= 0 ? m_doc->GetSeriesAt(index)->GetSeries() : nullptr;
    if (!cell || !series || !m_doc->GetSeriesComment(index).isEmpty())
    {
        SetSeriesOpen(pair, true);
        return;
    }
    // The details list every included reading, those without a value too.
    const auto shape = std::make_tuple(CGridCellSeries::ShownReadingCount(series),
                                       series->GetProbeId().IsBenchProbe(), series->IsImperial());
    if (const auto known = heights.find(shape); known != heights.end() && !cell->IsExpanded())
    {
        cell->ExpandAtHeight(known->second);
        if (auto* gripper = dynamic_cast<CGridCellDetailGripper*>(m_grid->GetCell(row, COL_GRIPPER)))
            gripper->SetCollapsed(0);
        m_doc->SetSeriesExpanded(index, true);
        return;
    }
    SetSeriesOpen(pair, true);
    heights[shape] = m_grid->GetRowHeight(row + 1);
}

void CTabGrid::AdjustTime(int row, const Entries& marked)
{
    const int clicked = DocIndexOfPair(SeriesOfRow(row));
    if (clicked < 0)
        return;
    const QDateTime stamp = m_doc->GetSeriesTime(clicked);
    if (!stamp.isValid())
        return;
    // The dialog shows the time stamp as the Date & Time column does.
    const int64_t shown = ApplyDaylightRule(stamp.toSecsSinceEpoch());
    CDateTimeDlg dialog(this);
    dialog.SetFormatPatterns(DatePattern(), TimePattern());
    dialog.SetOriginalTime(shown);
    dialog.SetNewTime(shown);
    if (dialog.DoModal() != Platform::IDOK || dialog.GetTimeShift() == 0)
        return;
    const int64_t shift = dialog.GetTimeShift();
    for (int index : IndicesOf(marked))
    {
        // The document keeps the time stamp; the page shows it anew itself.
        m_doc->SetSeriesTime(index, m_doc->GetSeriesTime(index).addSecs(shift));
        UpdateRows(index);
    }
}

void CTabGrid::ChooseMaterial(const Rect& cell, const Entries& marked)
{
    if (marked.empty())
        return;
    std::vector<int> probes;
    for (int index : IndicesOf(marked))
        if (const CMeasSeries1* series = m_doc->GetSeriesAt(index)->GetSeries())
        {
            const int probe = series->GetProbeId().code;
            if (std::find(probes.begin(), probes.end(), probe) == probes.end())
                probes.push_back(probe);
        }
    SMaterial material;
    if (!CVeskDocPopups(*m_doc).TrackMaterialMenu(m_grid, cell.left, cell.left, cell.right, cell.bottom,
                                                  probes, material))
        return;
    // A series whose probe does not convert for the material keeps its own.
    int refused = 0;
    for (int index : IndicesOf(marked))
        if (const CMeasSeries1* series = m_doc->GetSeriesAt(index)->GetSeries();
            series && m_doc->IsScaleConvertible(material.type, series->GetProbeId().code) &&
            !m_doc->SetSeriesMaterial(index, material))
            ++refused;
    if (refused > 0)
        SeriesMessages::ConversionRefused(this, refused);
}

void CTabGrid::ChooseScale(const Rect& cell, const Entries& marked)
{
    std::vector<SProbeId> probes;
    std::vector<SMaterial> materials;
    int imperial = 0;
    int metric = 0;
    STargetScale target;
    for (int index : IndicesOf(marked))
    {
        CMeasSeries1* series = m_doc->GetSeriesAt(index)->GetSeries();
        if (!series)
            continue;
        SSeriesSettings settings;
        series->GetSettings(settings);
        if (probes.empty())
            target = STargetScale(kAnyScale, settings.targetScale.standard, 0);
        (series->IsImperial() ? imperial : metric)++;
        bool known = false;
        for (size_t i = 0; i < probes.size(); ++i)
            known =
                known || (probes[i].code == settings.probeId.code && materials[i].IsEqual(settings.material));
        if (!known)
        {
            probes.push_back(settings.probeId);
            materials.push_back(settings.material);
        }
    }
    if (probes.empty())
        return;
    int group = 0;
    if (!CVeskDocPopups(*m_doc).TrackConversionMenu(m_grid, cell.left, cell.left, cell.right, cell.bottom,
                                                    probes, materials, target, imperial > metric, group))
        return;
    // Each series keeps its own standard and material, the material with the chosen group.
    int refused = 0;
    for (int index : IndicesOf(marked))
        if (!m_doc->SetSeriesScale(index, target.scale, group))
            ++refused;
    if (refused > 0)
        SeriesMessages::ConversionRefused(this, refused);
}
