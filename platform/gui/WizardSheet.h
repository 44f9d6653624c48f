#pragma once
#include <QDialog>
#include <QWidget>

#include <cstdint>
#include <vector>

class QPushButton;
class QStackedWidget;

namespace Platform
{

// The wizard buttons a page offers, combined as flags.
enum WizardButtonFlags : uint32_t
{
    PSWIZB_BACK = 0x1,
    PSWIZB_NEXT = 0x2,
    PSWIZB_FINISH = 0x4,
    PSWIZB_DISABLEDFINISH = 0x8,
};

// The result of a wizard that ended with Finish; Cancel ends it with QDialog::Rejected.
inline constexpr int ID_WIZFINISH = 12325;

enum class WizardButton
{
    back,
    next,
    finish,
    cancel,
};

class WizardSheet;

// One step of a wizard. The sheet creates a page's controls from its own fields the
// first time the page becomes active (OnInitDialog), not when the page is added, so
// settings loaded into the sheet after construction reach the controls.
class WizardPage : public QWidget
{
    Q_OBJECT
public:
    explicit WizardPage(QWidget* parent = nullptr);

    // The sheet the page was added to; null before.
    WizardSheet* GetSheet() const { return m_sheet; }
    // True once the page has been active.
    bool IsCreated() const { return m_created; }

protected:
    friend class WizardSheet;

    // First activation, before OnSetActive.
    virtual void OnInitDialog() {}
    virtual void OnSetActive() {}
    // -1 keeps the page; any other value moves to the next (previous) page.
    virtual int OnWizardNext() { return 0; }
    virtual int OnWizardBack() { return 0; }
    // False keeps the wizard open.
    virtual bool OnWizardFinish() { return true; }
    // Runs on every page that was created when the wizard is cancelled.
    virtual void OnCancel() {}
    // The help topic of F1 on this page; 0 is the help's default topic.
    virtual uint32_t HelpContextId() const { return 0; }

private:
    WizardSheet* m_sheet = nullptr;
    bool m_created = false;
};

// A property sheet in wizard mode: one page at a time above a row of Back, Next,
// Finish and Cancel. Next and Finish share their place: Finish shows when the page asks
// for it (enabled or not), Next otherwise. Escape and closing the window cancel.
class WizardSheet : public QDialog
{
    Q_OBJECT
public:
    explicit WizardSheet(const QString& caption, QWidget* parent = nullptr);
    ~WizardSheet() override;

    // Appends a page; the sheet owns it.
    void AddPage(WizardPage* page);
    int PageCount() const { return int(m_pages.size()); }
    WizardPage* Page(int index) const;
    WizardPage* ActivePage() const;
    int ActiveIndex() const { return m_active; }

    // PSWIZB_ flags.
    void SetWizardButtons(uint32_t flags);
    uint32_t GetWizardButtons() const { return m_buttons; }
    QPushButton* Button(WizardButton which) const;

    // Asks for the help topic (0: the default topic) through HelpRequested.
    void RequestHelp(uint32_t contextId);

signals:
    void HelpRequested(quint32 contextId);

public slots:
    // Cancel: the cancel step of every created page, then the dialog ends rejected.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Activate(int index);
    void OnBack();
    void OnNext();
    void OnFinish();

    std::vector<WizardPage*> m_pages;
    int m_active = -1;
    uint32_t m_buttons = 0;
    QStackedWidget* m_stack = nullptr;
    QPushButton* m_back = nullptr;
    QPushButton* m_next = nullptr;
    QPushButton* m_finish = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace Platform
