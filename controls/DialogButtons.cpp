#include "controls/DialogButtons.h"

#include "platform/core/StringTable.h"
#include "resources/StringIds.h"

#include <QDialog>
#include <QPushButton>

SCancelOk AddCancelOk(QDialog* dialog, const Platform::DialogUnits& du, int cancelX, int okX, int y)
{
    auto* cancel = new QPushButton(Platform::LoadString(StringId::IDS_BUTTON_CANCEL), dialog);
    cancel->setGeometry(du.Rect(cancelX, y, 50, 14));
    cancel->setAutoDefault(false);
    Platform::SetDlgCtrlID(cancel, 2);
    auto* ok = new QPushButton(Platform::LoadString(StringId::IDS_BUTTON_OK), dialog);
    ok->setGeometry(du.Rect(okX, y, 50, 14));
    ok->setDefault(true);
    Platform::SetDlgCtrlID(ok, 1);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return {cancel, ok};
}
