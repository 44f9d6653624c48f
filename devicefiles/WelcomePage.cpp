#include "devicefiles/WelcomePage.h"

#include "devicefiles/DevSelectSheet.h"
#include "platform/core/StringTable.h"
#include "resources/StringIds.h"

#include <QRadioButton>
#include <QVBoxLayout>

CWelcomePage::CWelcomePage(CDevSelectSheet& sheet) : m_sheet(sheet)
{
    m_express = new QRadioButton(QStringLiteral("Express (recommended)"), this);
    m_express->setObjectName(QStringLiteral("expressRadio"));
    m_custom = new QRadioButton(QStringLiteral("Custom"), this);
    m_custom->setObjectName(QStringLiteral("customRadio"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_express);
    layout->addWidget(m_custom);
    layout->addStretch(1);
}

void CWelcomePage::OnInitDialog()
{
    (m_sheet.Settings().express ? m_express : m_custom)->setChecked(true);
    m_express->setToolTip(Platform::LoadString(StringId::IDS_EXPRESS_UPDATE));
    m_custom->setToolTip(Platform::LoadString(StringId::IDS_CUSTOM_UPDATE));
}

void CWelcomePage::OnSetActive()
{
    m_sheet.SetWizardButtons(Platform::PSWIZB_NEXT);
}

int CWelcomePage::OnWizardNext()
{
    m_sheet.Settings().express = m_express->isChecked() ? 1 : 0;
    return 0;
}
