#include "app/RightView.h"

#include "app/InstalledFiles.h"
#include "app/StatusLine.h"
#include "controls/TabPage.h"
#include "app/TabSheet.h"
#include "app/Veskador3SE.h"
#include "document/VeskDoc.h"
#include "export/TabGridExport.h"
#include "platform/core/StringTable.h"
#include "platform/gui/WaitCursor.h"
#include "resources/StringIds.h"
#include "seriesview/TabGrid.h"

#include <QApplication>
#include <QDir>
#include <QResizeEvent>
#include <QTabBar>
#include <QUrl>

namespace
{
constexpr int kInitialSheetSize = 200;

using Platform::WaitCursor;
} // namespace

CRightView::CRightView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("RightView"));
    // The sheet covers the whole pane; the pane draws nothing of its own.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CRightView::~CRightView()
{
    if (m_sheet && m_page)
        m_sheet->RemovePage(m_page.get());
    m_page.reset();
    m_sheet.reset();
    if (m_doc)
        m_doc->RemoveView(this);
}

void CRightView::SetDocument(CVeskDoc* doc, std::unique_ptr<CTabPage> page)
{
    m_doc = doc;
    if (m_doc)
        m_doc->AddView(this);
    m_sheet = std::make_unique<CTabSheet>(Platform::LoadString(StringId::IDS_SHEET_TITLE), this, 0, m_doc);
    m_page = page ? std::move(page) : MakeSeriesPage();
    m_sheet->AddPage(m_page.get());
    m_sheet->setGeometry(0, 0, kInitialSheetSize, kInitialSheetSize);
    m_sheet->GetTabControl()->setGeometry(0, 0, kInitialSheetSize, kInitialSheetSize);
    if (width() > 0 && height() > 0)
    {
        // Already laid out: fill the pane at once rather than at the next resize.
        m_sheet->setGeometry(rect());
        m_sheet->GetTabControl()->setGeometry(rect());
    }
    m_sheet->show();
    m_sheet->SetActivePage(0);
}

std::unique_ptr<CTabPage> CRightView::MakeSeriesPage()
{
    auto page = std::make_unique<CTabGrid>(m_doc);
    CTabGrid::SServices services;
    // The status line of the main window around the pane, whichever that is now.
    services.showStatus = [this](const QString& text)
    {
        if (auto* frame = dynamic_cast<StatusLine*>(window()))
            frame->SetMessageText(text);
    };
    services.datePattern = [] { return GetDateFormatString(); };
    services.timePattern = [] { return GetTimeFormatString(); };
    // Printing and the exports sit above the page; the page hands their commands here.
    services.output = [this](uint32_t message, CTabGrid& grid) -> intptr_t
    {
        CTabGridExport commands(grid, *m_doc);
        switch (message)
        {
        case WM_CMD_PRINT:
        {
            uint32_t dateId = 0;
            uint32_t timeId = 0;
            GetDateFormatString(&dateId);
            GetTimeFormatString(&timeId);
            commands.OnPrint(dateId, timeId);
            return 0;
        }
        case WM_CMD_EXPORT_GRAPHIC:
            return commands.OnExportGraphic();
        case WM_CMD_EXPORT_TEXT:
            return commands.OnExportText();
        default:
            return 0;
        }
    };
    page->SetServices(std::move(services));
    // The services arrived after the page's first status line.
    page->UpdateStatusCounts(true);
    return page;
}

CTabGrid* CRightView::SeriesPage() const
{
    return m_sheet ? dynamic_cast<CTabGrid*>(m_sheet->GetActivePage()) : nullptr;
}

void CRightView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!m_sheet)
        return;
    const QRect area(QPoint(0, 0), event->size());
    m_sheet->setGeometry(area);
    m_sheet->GetTabControl()->setGeometry(area);
}

void CRightView::paintEvent(QPaintEvent*)
{
}

void CRightView::UpdateFrameTitle()
{
    QString title = Platform::LoadString(StringId::IDS_APP_TITLE);
    const QString project = m_doc ? m_doc->GetTitle(false) : QString();
    if (!project.isEmpty())
        title += QStringLiteral(" - ") + project;
    window()->setWindowTitle(title);
}

void CRightView::OnDocUpdate(int)
{
    UpdateFrameTitle();
}

void CRightView::OnOpenProject()
{
    const WaitCursor wait;
    m_doc->OpenProject(QString(), false);
    UpdateFrameTitle();
}

void CRightView::OnAddProject()
{
    // The project's path stays, so the caption does too.
    m_doc->OpenProject(QString(), true);
}

void CRightView::OnSaveProject()
{
    m_doc->Save();
    UpdateFrameTitle();
}

void CRightView::OnSaveProjectAs()
{
    m_doc->SaveProjectAs();
    UpdateFrameTitle();
}

void CRightView::OnCloseProject()
{
    const WaitCursor wait;
    m_doc->CloseProject();
    UpdateFrameTitle();
}

void CRightView::OnHelpManual()
{
    InstalledFiles::OpenManual(window());
}

void CRightView::OnHelpUpgrade()
{
    InstalledFiles::Open(window(), Platform::LoadString(StringId::IDS_HELP_UPGRADE_FILE), GetModuleFolder());
}

bool CRightView::OnCommand(uint32_t id)
{
    if (!m_doc || !m_sheet)
        return false;
    switch (id)
    {
    case Cmd::ID_OPEN_PROJECT:
        OnOpenProject();
        return true;
    case Cmd::ID_ADD_PROJECT:
        OnAddProject();
        return true;
    case Cmd::ID_CLOSE_PROJECT:
        OnCloseProject();
        return true;
    case Cmd::ID_SAVE_PROJECT:
        OnSaveProject();
        return true;
    case Cmd::ID_SAVE_AS:
        OnSaveProjectAs();
        return true;
    case Cmd::ID_PRINT:
        m_sheet->SendToActivePage(WM_CMD_PRINT);
        return true;
    case Cmd::ID_EXPORT_GRAPHIC:
        m_sheet->SendToActivePage(WM_CMD_EXPORT_GRAPHIC);
        return true;
    case Cmd::ID_EXPORT_TEXT:
        m_sheet->SendToActivePage(WM_CMD_EXPORT_TEXT);
        return true;
    case Cmd::ID_EDIT_SELECT_ALL:
        m_sheet->SendToActivePage(WM_CMD_SELECT_ALL);
        return true;
    case Cmd::ID_EDIT_COPY:
        m_sheet->SendToActivePage(WM_CMD_COPY);
        return true;
    case Cmd::ID_EDIT_PASTE:
        m_sheet->SendToActivePage(WM_CMD_PASTE);
        return true;
    case Cmd::ID_EDIT_DELETE:
        m_sheet->SendToActivePage(WM_CMD_DELETE);
        return true;
    case Cmd::ID_HELP_MANUAL:
        OnHelpManual();
        return true;
    case Cmd::ID_HELP_UPGRADE:
        OnHelpUpgrade();
        return true;
    default:
        return false;
    }
}

bool CRightView::OnUpdateCommand(uint32_t id, SCmdUI& ui)
{
    if (!m_doc || !m_sheet)
        return false;
    // Only an answer of exactly 1 enables a command that asks the page.
    const auto pageSays = [this](uint32_t query) { return m_sheet->SendToActivePage(query) == 1; };
    switch (id)
    {
    case Cmd::ID_OPEN_PROJECT:
    case Cmd::ID_HELP_MANUAL:
    case Cmd::ID_HELP_UPGRADE:
        ui.enabled = true;
        return true;
    case Cmd::ID_ADD_PROJECT:
    case Cmd::ID_CLOSE_PROJECT:
    case Cmd::ID_SAVE_AS:
        ui.enabled = m_doc->HasFolders();
        return true;
    case Cmd::ID_PRINT:
    {
        CTabGrid* page = SeriesPage();
        ui.enabled = page && CTabGridExport(*page, *m_doc).CanPrint();
        return true;
    }
    case Cmd::ID_EXPORT_GRAPHIC:
    case Cmd::ID_EXPORT_TEXT:
    {
        CTabGrid* page = SeriesPage();
        ui.enabled = page && CTabGridExport(*page, *m_doc).CanExport();
        return true;
    }
    case Cmd::ID_SAVE_PROJECT:
        ui.enabled = m_doc->IsModified();
        return true;
    case Cmd::ID_EDIT_PASTE:
        ui.enabled = m_doc->CanPaste();
        return true;
    case Cmd::ID_EDIT_SELECT_ALL:
        ui.enabled = pageSays(WM_CMD_CAN_SELECT_ALL);
        return true;
    case Cmd::ID_EDIT_COPY:
        ui.enabled = pageSays(WM_CMD_CAN_COPY);
        return true;
    case Cmd::ID_EDIT_DELETE:
        ui.enabled = pageSays(WM_CMD_CAN_DELETE);
        return true;
    default:
        return false;
    }
}
