#pragma once
#include "document/DocView.h"

#include <QWidget>

#include <cstdint>

class CTabPage;
class CVeskDoc;
class QTabBar;

// The series tab sheet of the right pane: a tab bar over its pages (one, the series
// page). It passes the pane's commands on to the active page and renames the tabs when
// the document changes.
class CTabSheet final : public QWidget, public DocView
{
    Q_OBJECT
public:
    // The page's border inside the sheet: the page is narrower by twice the side margin
    // and lower by the tab row and the bottom margin.
    static constexpr int kPageWidthLess = 8;
    static constexpr int kPageHeightLess = 26;

    // Registers the sheet with the document as a view.
    CTabSheet(const QString& caption, QWidget* parent, int selectPage, CVeskDoc* doc);
    ~CTabSheet() override;

    // The sheet does not own its pages.
    void AddPage(CTabPage* page);
    void RemovePage(CTabPage* page);
    int GetPageCount() const;
    CTabPage* GetActivePage() const;
    void SetActivePage(int index);
    QTabBar* GetTabControl() const { return m_tabs; }

    // Sends the message to the active page; 0 without one.
    intptr_t SendToActivePage(uint32_t message);

    // DocView
    void OnDocUpdate(int hint) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void LayoutPage();

    CVeskDoc* m_doc;
    QTabBar* m_tabs;
    QList<CTabPage*> m_pages;
    int m_active;
};
