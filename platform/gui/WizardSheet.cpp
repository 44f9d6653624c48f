#include "platform/gui/WizardSheet.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace Platform
{

WizardPage::WizardPage(QWidget* parent) : QWidget(parent)
{
}

WizardSheet::WizardSheet(const QString& caption, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(caption);
    m_stack = new QStackedWidget(this);
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    m_back = new QPushButton(QStringLiteral("< Back"), this);
    m_next = new QPushButton(QStringLiteral("Next >"), this);
    m_finish = new QPushButton(QStringLiteral("Finish"), this);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    for (QPushButton* b : {m_back, m_cancel})
        b->setAutoDefault(false);
    connect(m_back, &QPushButton::clicked, this, &WizardSheet::OnBack);
    connect(m_next, &QPushButton::clicked, this, &WizardSheet::OnNext);
    connect(m_finish, &QPushButton::clicked, this, &WizardSheet::OnFinish);
    connect(m_cancel, &QPushButton::clicked, this, &WizardSheet::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_back);
    buttons->addWidget(m_next);
    buttons->addWidget(m_finish);
    buttons->addSpacing(8);
    buttons->addWidget(m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_stack, 1);
    layout->addWidget(line);
    layout->addLayout(buttons);
    SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
}

WizardSheet::~WizardSheet() = default;

void WizardSheet::AddPage(WizardPage* page)
{
    if (!page)
        return;
    page->m_sheet = this;
    m_pages.push_back(page);
    m_stack->addWidget(page);
}

WizardPage* WizardSheet::Page(int index) const
{
    return index >= 0 && index < PageCount() ? m_pages[size_t(index)] : nullptr;
}

WizardPage* WizardSheet::ActivePage() const
{
    return Page(m_active);
}

void WizardSheet::SetWizardButtons(uint32_t flags)
{
    m_buttons = flags;
    const bool finishShown = (flags & (PSWIZB_FINISH | PSWIZB_DISABLEDFINISH)) != 0;
    m_back->setEnabled((flags & PSWIZB_BACK) != 0);
    m_next->setVisible(!finishShown);
    m_next->setEnabled((flags & PSWIZB_NEXT) != 0);
    m_finish->setVisible(finishShown);
    m_finish->setEnabled((flags & PSWIZB_FINISH) != 0);
    // Enter presses whichever of the two is there and enabled.
    m_finish->setDefault(finishShown && m_finish->isEnabled());
    m_next->setDefault(!finishShown && m_next->isEnabled());
}

QPushButton* WizardSheet::Button(WizardButton which) const
{
    switch (which)
    {
    case WizardButton::back:
        return m_back;
    case WizardButton::next:
        return m_next;
    case WizardButton::finish:
        return m_finish;
    case WizardButton::cancel:
        return m_cancel;
    }
    return nullptr;
}

void WizardSheet::RequestHelp(uint32_t contextId)
{
    emit HelpRequested(contextId);
}

void WizardSheet::reject()
{
    for (WizardPage* page : m_pages)
        if (page->IsCreated())
            page->OnCancel();
    QDialog::reject();
}

void WizardSheet::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_active < 0 && !m_pages.empty())
        Activate(0);
}

void WizardSheet::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1)
    {
        WizardPage* page = ActivePage();
        RequestHelp(page ? page->HelpContextId() : 0);
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void WizardSheet::Activate(int index)
{
    WizardPage* page = Page(index);
    if (!page)
        return;
    m_active = index;
    if (!page->m_created)
    {
        page->m_created = true;
        page->OnInitDialog();
    }
    m_stack->setCurrentWidget(page);
    page->OnSetActive();
}

void WizardSheet::OnBack()
{
    WizardPage* page = ActivePage();
    if (!page || !(m_buttons & PSWIZB_BACK))
        return;
    if (page->OnWizardBack() == -1)
        return;
    Activate(m_active - 1);
}

void WizardSheet::OnNext()
{
    WizardPage* page = ActivePage();
    if (!page || !(m_buttons & PSWIZB_NEXT))
        return;
    if (page->OnWizardNext() == -1)
        return;
    Activate(m_active + 1);
}

void WizardSheet::OnFinish()
{
    WizardPage* page = ActivePage();
    if (!page || !(m_buttons & PSWIZB_FINISH))
        return;
    if (page->OnWizardFinish())
        done(ID_WIZFINISH);
}

} // namespace Platform
