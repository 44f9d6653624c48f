#include "document/SettingsFolders.h"

#include "platform/core/SettingsStore.h"
#include "resources/StringIds.h"

#include <QDir>

namespace Settings
{
namespace
{
struct SFolderSetting
{
    const QString* valueName;
    const char* subfolder;
};

// In the order their defaults are written.
const SFolderSetting kFolders[] = {
    {&kConversionPathStdCnv, "conversions"},
    {&kHelpFilesPath, "helpfiles"},
    {&kLanguagesPath, "languages"},
    {&kLogFilesPath, "logfiles"},
    {&kProfilesPath, "profiles"},
    {&kProjectsPath, "projects"},
};
} // namespace

CRegistry Registry()
{
    return CRegistry(StringId::IDS_PRODUCT_KEY, kSubKey);
}

CRegistry Registry(Platform::SettingsStore& store)
{
    return CRegistry(StringId::IDS_PRODUCT_KEY, kSubKey, store);
}

QString UserDataFolder()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    if (!base.endsWith(u'/'))
        base += u'/';
    return base + QStringLiteral("Velmor/Veskador 3/");
}

QString DefaultFolder(const QString& valueName)
{
    for (const SFolderSetting& f : kFolders)
        if (f.valueName->compare(valueName, Qt::CaseInsensitive) == 0)
            return UserDataFolder() + QLatin1String(f.subfolder) + u'/';
    return QString();
}

void InitDefaultFolders(const CRegistry& registry)
{
    for (const SFolderSetting& f : kFolders)
    {
        QString value;
        if (registry.ReadString(*f.valueName, value))
            continue;
        const QString folder = DefaultFolder(*f.valueName);
        registry.WriteDefault(*f.valueName, folder);
        QDir().mkpath(folder);
    }
}
} // namespace Settings
