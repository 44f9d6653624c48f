#include "document/SettingsMessages.h"

#include "platform/core/StringTable.h"
#include "platform/gui/MessageBox.h"
#include "resources/StringIds.h"

namespace Settings
{
void ShowWriteFailed(const Platform::SettingsStore& store)
{
    QString text = Platform::LoadString(StringId::IDS_REGISTRY_WRITE_FAILED);
    const QString reason = store.LastError();
    if (!reason.isEmpty())
        text += QStringLiteral("\n\n") + reason;
    Platform::ShowMessageBox(text, Platform::MB_ICONERROR);
}

void ShowDamage(const Platform::SettingsStore::Damage& damage)
{
    Platform::ShowMessageBox(
        Platform::LoadString(StringId::IDS_SETTINGS_DAMAGED).arg(damage.file, damage.reason, damage.backup),
        Platform::MB_OK | Platform::MB_ICONEXCLAMATION);
}
} // namespace Settings
