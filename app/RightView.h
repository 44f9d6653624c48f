#pragma once
#include "app/CommandIds.h"
#include "controls/TabPage.h"
#include "document/DocView.h"

#include <QWidget>

#include <memory>

class CTabGrid;
class CTabSheet;
class CVeskDoc;

// The upper right pane of the main window. It hosts the series tab sheet, runs the
// project file commands and the two help commands, and passes the print, export and edit
// commands through the sheet to the active page; the series page it makes runs printing
// and the exports through the export library. It keeps the main window's caption in step
// with the project.
class CRightView final : public QWidget, public CommandTarget, public DocView
{
    Q_OBJECT
public:
    explicit CRightView(QWidget* parent = nullptr);
    ~CRightView() override;

    // Called once, right after the pane exists: registers with the document and builds
    // the tab sheet with the page (the series page when none is given).
    void SetDocument(CVeskDoc* doc, std::unique_ptr<CTabPage> page = {});
    CTabSheet* TabSheet() const { return m_sheet.get(); }
    CTabPage* Page() const { return m_page.get(); }

    // The main window's caption: the program's name, and " - " with the project's path
    // (or "Unnamed") when there is a project.
    void UpdateFrameTitle();

    // CommandTarget
    bool OnCommand(uint32_t id) override;
    bool OnUpdateCommand(uint32_t id, SCmdUI& ui) override;
    // DocView
    void OnDocUpdate(int hint) override;

    void OnOpenProject();
    void OnAddProject();
    void OnSaveProject();
    void OnSaveProjectAs();
    void OnCloseProject();
    void OnHelpManual();
    void OnHelpUpgrade();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    std::unique_ptr<CTabPage> MakeSeriesPage();
    // The active page when it is the series page: printing and the exports can act only
    // on it.
    CTabGrid* SeriesPage() const;

    CVeskDoc* m_doc = nullptr;
    std::unique_ptr<CTabSheet> m_sheet;
    std::unique_ptr<CTabPage> m_page;
};
