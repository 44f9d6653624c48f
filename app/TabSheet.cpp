#include "app/TabSheet.h"

#include "controls/TabPage.h"
#include "document/VeskDoc.h"
#include "platform/core/StringTable.h"
#include "resources/StringIds.h"

#include <QResizeEvent>
#include <QTabBar>

namespace
{
// Where the page sits below the tabs.
constexpr int kPageLeft = 4;
constexpr int kPageTop = 22;
} // namespace

CTabSheet::CTabSheet(const QString& caption, QWidget* parent, int selectPage, CVeskDoc* doc)
    : QWidget(parent), m_doc(doc), m_tabs(new QTabBar(this)), m_active(selectPage)
{
    setObjectName(QStringLiteral("TabSheet"));
    // The sheet shows its background around the tabs and the page: the pane behind it
    // draws nothing.
    setAutoFillBackground(true);
    setWindowTitle(caption);
    m_tabs->setObjectName(QStringLiteral("TabControl"));
    m_tabs->setExpanding(false);
    m_tabs->setDrawBase(false);
    connect(m_tabs, &QTabBar::currentChanged, this, [this](int index) { SetActivePage(index); });
    if (m_doc)
        m_doc->AddView(this);
}

CTabSheet::~CTabSheet()
{
    if (m_doc)
        m_doc->RemoveView(this);
}

void CTabSheet::AddPage(CTabPage* page)
{
    m_pages.append(page);
    page->setParent(this);
    // Until the first document update the tab shows the page's own caption.
    m_tabs->addTab(page->windowTitle());
    SetActivePage(m_active);
}

void CTabSheet::RemovePage(CTabPage* page)
{
    const int index = int(m_pages.indexOf(page));
    if (index < 0)
        return;
    m_pages.removeAt(index);
    {
        const QSignalBlocker block(m_tabs);
        m_tabs->removeTab(index);
    }
    page->hide();
    page->setParent(nullptr);
    if (m_active >= m_pages.size())
        m_active = int(m_pages.size()) - 1;
    SetActivePage(m_active);
}

int CTabSheet::GetPageCount() const
{
    return int(m_pages.size());
}

CTabPage* CTabSheet::GetActivePage() const
{
    return m_active >= 0 && m_active < m_pages.size() ? m_pages.at(m_active) : nullptr;
}

void CTabSheet::SetActivePage(int index)
{
    if (index < 0 || index >= m_pages.size())
        return;
    m_active = index;
    {
        const QSignalBlocker block(m_tabs);
        m_tabs->setCurrentIndex(index);
    }
    for (int i = 0; i < m_pages.size(); ++i)
        m_pages.at(i)->setVisible(i == index);
    LayoutPage();
}

intptr_t CTabSheet::SendToActivePage(uint32_t message)
{
    CTabPage* page = GetActivePage();
    return page ? page->OnCommandMessage(message) : 0;
}

void CTabSheet::OnDocUpdate(int)
{
    for (int i = 0; i < m_tabs->count(); ++i)
        m_tabs->setTabText(i, i == 0 ? Platform::LoadString(StringId::IDS_TAB_OBJECTS) : QString());
}

void CTabSheet::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    LayoutPage();
}

void CTabSheet::LayoutPage()
{
    CTabPage* page = GetActivePage();
    if (!page)
        return;
    page->setGeometry(kPageLeft, kPageTop, qMax(0, width() - kPageWidthLess),
                      qMax(0, height() - kPageHeightLess));
    page->raise();
}
