#pragma once
#include "platform/gui/WizardSheet.h"

class CDevSelectSheet;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

// The wizard's interface page: how the device is connected (USB, Ethernet, serial)
// and where to look for it.
class CPortSelectPage : public Platform::WizardPage
{
    Q_OBJECT
public:
    explicit CPortSelectPage(CDevSelectSheet& sheet);

protected:
    void OnInitDialog() override;
    void OnSetActive() override;
    int OnWizardNext() override;
    uint32_t HelpContextId() const override { return 21003; }

private:
    // The port kind of the selected interface entry; 0 when the list is empty.
    uint32_t SelectedPortKind() const;
    // Enables the controls that the selected interface and the scan box leave usable.
    void UpdateControls();

    CDevSelectSheet& m_sheet;
    QComboBox* m_interfaces = nullptr;
    QCheckBox* m_scan = nullptr;
    QLineEdit* m_ipAddress = nullptr;
    QCheckBox* m_stop = nullptr;
    QLineEdit* m_comPort = nullptr;
    QPushButton* m_help = nullptr;
};
