#pragma once
#include "platform/gui/WizardSheet.h"

class CDevSelectSheet;
class QListWidget;

// The wizard's device-type page (start modes 0 and 1).
class CDevSelectPage : public Platform::WizardPage
{
    Q_OBJECT
public:
    explicit CDevSelectPage(CDevSelectSheet& sheet);

protected:
    void OnInitDialog() override;
    void OnSetActive() override;
    int OnWizardNext() override;
    uint32_t HelpContextId() const override { return 21002; }

private:
    CDevSelectSheet& m_sheet;
    QListWidget* m_types = nullptr;
};
