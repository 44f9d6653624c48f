#pragma once
#include "device/Callback.h"
#include "platform/gui/WizardSheet.h"

#include <QPointer>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class CDevSelectSheet;
class QComboBox;
class QPlainTextEdit;

// The messages of the result page. A message is a queued call here: the start is posted
// by the page to itself, the found device and the status text come from the device job
// thread.
inline constexpr uint32_t WM_DEVSEARCH_START = 0x8457;
inline constexpr uint32_t WM_DEVSEARCH_FOUND = 0x8458;
inline constexpr uint32_t WM_DEVSEARCH_STATUS = 0x8459;

// The wizard's result page: runs the search on the device job thread, lists the devices
// found, and on Finish checks the chosen device's remote login and hands it to the sheet.
//
// The job thread calls only OnDeviceFound and OnStatusText. They touch nothing of the
// page: each posts its report to the UI thread, guarded by a QPointer, so a device that
// arrives after the page is gone is deleted there. A page that goes away while a search
// runs aborts the search first, so the job never calls a page that no longer exists.
class CDevFoundPage : public Platform::WizardPage, public Device::CCallback
{
    Q_OBJECT
public:
    explicit CDevFoundPage(CDevSelectSheet& sheet);
    ~CDevFoundPage() override;

    // Makes sure the device accepts a remote login with the sheet's required rights,
    // asking for a password or a profile change where needed. False when the user gave
    // up or the tester refused.
    bool CheckLogin(Device::CVmDevice& device);

    // Device::CCallback, called on the device job thread.
    void OnDeviceFound(Device::CVmDevice* device) override;
    void OnStatusText(const QString& text) override;
    void OnJobFinished(const QString& text, int32_t code) override;
    void OnProgress(int32_t value, int32_t mode, uint32_t durationMs) override;

protected:
    void OnSetActive() override;
    int OnWizardNext() override;
    int OnWizardBack() override;
    bool OnWizardFinish() override;
    void OnCancel() override;
    uint32_t HelpContextId() const override { return 21004; }

private:
    void PostStartSearch();
    void OnStartSearch();
    void OnFoundMessage(std::unique_ptr<Device::CVmDevice> device);
    void OnStatusMessage(const QString& text);
    void OnSearchOver();
    void OnSelChange(int index);
    // Login check, then the selected device moves into the sheet.
    bool TakeSelected();
    void ClearFound();
    void AbortSearch();
    void ShowStatus(const QString& text);
    void ShowInfo(const QString& text);

    CDevSelectSheet& m_sheet;
    QPlainTextEdit* m_status = nullptr;
    QComboBox* m_devices = nullptr;
    QPlainTextEdit* m_info = nullptr;
    // Parallel to the entries of the device list.
    std::vector<std::unique_ptr<Device::CVmDevice>> m_found;
    QString m_statusText;
    uint32_t m_goOn = Platform::PSWIZB_FINISH;
    uint32_t m_stuck = Platform::PSWIZB_DISABLEDFINISH;
    // True from the start of a search until its end report or an abort; reports that
    // come at any other time belong to an abandoned search and are dropped.
    bool m_searching = false;
    // Made on the UI thread; the job thread only copies it.
    const QPointer<CDevFoundPage> m_guard;
};
