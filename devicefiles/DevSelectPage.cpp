#include "devicefiles/DevSelectPage.h"

#include "device/DeviceFactory.h"
#include "devicefiles/DevSelectSheet.h"
#include "platform/core/StringTable.h"
#include "resources/StringIds.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

CDevSelectPage::CDevSelectPage(CDevSelectSheet& sheet) : m_sheet(sheet)
{
    m_types = new QListWidget(this);
    m_types->setObjectName(QStringLiteral("deviceTypeList"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Device type:"), this));
    layout->addWidget(m_types, 1);
}

void CDevSelectPage::OnInitDialog()
{
    std::vector<Device::NTypes> types = m_sheet.AllowedTypes();
    if (types.empty())
        for (uint32_t t = 0; t < Device::typeCount; ++t)
            types.push_back(Device::NTypes(t));
    for (const Device::NTypes type : types)
    {
        const char* name = Device::GetDeviceTypeName(type);
        auto* item = new QListWidgetItem(name ? QString::fromLatin1(name) : QString(), m_types);
        item->setData(Qt::UserRole, uint32_t(type));
        if (type == m_sheet.Settings().deviceType)
            m_types->setCurrentItem(item);
    }
    m_types->setToolTip(Platform::LoadString(StringId::IDS_TIP_DEVICE_TYPE));
}

void CDevSelectPage::OnSetActive()
{
    m_sheet.SetWizardButtons(Platform::PSWIZB_NEXT |
                             (m_sheet.StartMode() == 0 ? uint32_t(Platform::PSWIZB_BACK) : 0u));
}

int CDevSelectPage::OnWizardNext()
{
    const QListWidgetItem* item = m_types->currentItem();
    if (!item)
        return 0;
    const uint32_t type = item->data(Qt::UserRole).toUInt();
    m_sheet.Settings().deviceType = type;
    if (!m_sheet.GetDevice() || m_sheet.GetDevice()->GetType() != type)
        m_sheet.SetDevice(Device::CreateDevice(type));
    return 0;
}
