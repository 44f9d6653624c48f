#pragma once
#include "platform/gui/WizardSheet.h"

class CDevSelectSheet;
class QRadioButton;

// The wizard's first page in start mode 0: Express or Custom.
class CWelcomePage : public Platform::WizardPage
{
    Q_OBJECT
public:
    explicit CWelcomePage(CDevSelectSheet& sheet);

protected:
    void OnInitDialog() override;
    void OnSetActive() override;
    int OnWizardNext() override;

private:
    CDevSelectSheet& m_sheet;
    QRadioButton* m_express = nullptr;
    QRadioButton* m_custom = nullptr;
};
