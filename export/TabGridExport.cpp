#include "export/TabGridExport.h"

#include "document/VeskDoc.h"
#include "export/ExportBmpDialog.h"
#include "export/ExportCsvDialog.h"
#include "export/ExportProgress.h"
#include "export/LongJob.h"
#include "export/TabGridPicture.h"
#include "export/core/TextExport.h"
#include "grid/GridCtrl.h"
#include "platform/core/StringTable.h"
#include "resources/StringIds.h"
#include "seriesview/TabGrid.h"
#include "streamio/FileVersionInfo.h"

#include <QApplication>

#include <numeric>
#include <optional>

CTabGridExport::CTabGridExport(CTabGrid& page, CVeskDoc& doc) : m_page(page), m_doc(doc)
{
}

bool CTabGridExport::CanExport() const
{
    return m_doc.GetSeriesCount() > 0 && m_page.Grid()->GetRowCount() > 1;
}

GRIDPRINTTEXTS CTabGridExport::PrintTexts(uint32_t dateFormatId, uint32_t timeFormatId) const
{
    GRIDPRINTTEXTS texts;
    texts.headerLeft = Platform::LoadString(StringId::IDS_PRINT_LEFT);
    texts.headerCentre = Platform::LoadString(StringId::IDS_PRINT_CENTRE);
    CFileVersionInfo version;
    version.ReadFromModule();
    if (!version.GetFileVersionText().isEmpty())
    {
        // "Veskador 3 Version %d.%d.%d.%d" with the product version, major part first.
        texts.headerRight = Platform::LoadString(StringId::IDS_PRINT_VERSION);
        for (int part = 3; part >= 0; --part)
        {
            const qsizetype at = texts.headerRight.indexOf(QStringLiteral("%d"));
            if (at < 0)
                break;
            texts.headerRight.replace(at, 2, QString::number(version.GetProductVersionPart(part)));
        }
    }
    texts.pageFormatId = StringId::IDS_PAGE_OF;
    // The project's file name: the folders go, whichever separator they use.
    const QString title = m_doc.GetTitle(false);
    texts.title = title.mid(std::max(title.lastIndexOf(u'/'), title.lastIndexOf(u'\\')) + 1);
    texts.dateFormatId = dateFormatId;
    texts.timeFormatId = timeFormatId;
    return texts;
}

void CTabGridExport::OnPrint(uint32_t dateFormatId, uint32_t timeFormatId)
{
    const GRIDPRINTTEXTS texts = PrintTexts(dateFormatId, timeFormatId);
    // The rows stay as they are until the last page is out, and from the first page on the
    // program answers between the pages, under the wait cursor, with the user's input held
    // off (the print dialog before takes it as usual). The grid does not redraw meanwhile:
    // drawing an open series on the screen may correct its row's height, which would no
    // longer match the pages laid out.
    CTabGrid::SRebuildHold hold(m_page);
    CGridCtrl& grid = *m_page.Grid();
    const bool redraw = grid.IsRedrawAllowed();
    std::optional<CLongJob> job;
    grid.Print(&texts,
               [&](int, int)
               {
                   if (!job)
                   {
                       job.emplace();
                       QApplication::setOverrideCursor(Qt::WaitCursor);
                       grid.SetRedraw(false);
                   }
                   job->KeepAnswering();
               });
    if (!job)
        return;
    grid.SetRedraw(redraw);
    QApplication::restoreOverrideCursor();
}

std::vector<int> CTabGridExport::SelectedSeries() const
{
    // The series the page marks, as every command of the page takes them.
    return m_page.MarkedSeries();
}

int CTabGridExport::OnExportText()
{
    CExportCsvDialog dialog(&m_page);
    dialog.SetContentCheck([this](bool allData)
                           { return allData ? m_doc.GetSeriesCount() > 0 : !SelectedSeries().empty(); });
    if (dialog.DoModal() != CExportOptionDlg::IDOK)
        return 1;
    std::vector<int> series;
    if (dialog.IsAllData())
    {
        series.resize(size_t(m_doc.GetSeriesCount()));
        std::iota(series.begin(), series.end(), 0);
    }
    else
    {
        series = SelectedSeries();
    }
    CExportProgress progress(&m_page);
    CTextExport(m_doc, dialog.GetTextFormat())
        .Run(series, dialog.GetTarget(), dialog.GetFilePath(), progress);
    return 0;
}

int CTabGridExport::OnExportGraphic()
{
    CExportBmpDialog dialog(&m_page);
    dialog.SetContentCheck([this](bool allData)
                           { return allData ? m_doc.GetSeriesCount() > 0 : !m_page.MarkedSeries().empty(); });
    if (dialog.DoModal() != CExportOptionDlg::IDOK)
        return 1;
    CExportProgress progress(&m_page);
    // The page is back as it was when the picture goes, also after a failure.
    CTabGridPicture picture(m_page, m_doc, dialog.GetContent(), dialog.IsAllData(), progress);
    CGraphicExport::Run(picture, dialog.GetTarget(), dialog.GetFormatIndex(), dialog.GetFilePath(), progress);
    return 0;
}
