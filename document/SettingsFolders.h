#pragma once
#include "document/Registry.h"

#include <QString>

namespace Platform
{
class SettingsStore;
}

// The program's string settings under the product key's "\Settings" subkey, and the
// defaults of its folder settings. Local folders end with a '/'.
namespace Settings
{
inline const QString kSubKey = QStringLiteral("\\Settings");

// Folder of the standard conversion files (and of the customer conversions written
// beside them).
inline const QString kConversionPathStdCnv = QStringLiteral("ConversionPathStdCnv");
// Local folders for the tester's help and language files.
inline const QString kHelpFilesPath = QStringLiteral("HelpFilesPath");
inline const QString kLanguagesPath = QStringLiteral("LanguagesPath");
// Downloaded LOG files and profile backups.
inline const QString kLogFilesPath = QStringLiteral("LogFilesPath");
inline const QString kProfilesPath = QStringLiteral("ProfilesPath");
// The folder of the last project opened or saved.
inline const QString kProjectsPath = QStringLiteral("ProjectsPath");
// The last folder of customer conversion files; it has no default.
inline const QString kRecentlyUsedConversionPath = QStringLiteral("RecentlyUsedConversionPath");

// The key every string setting lives in.
CRegistry Registry();
CRegistry Registry(Platform::SettingsStore& store);

// Where the program keeps the files it writes: $XDG_DATA_HOME/Velmor/Veskador 3/, with
// ~/.local/share in place of an unset or relative $XDG_DATA_HOME.
QString UserDataFolder();

// The default of one of the six folder settings (the user's data folder and the
// setting's own subfolder); empty for any other name.
QString DefaultFolder(const QString& valueName);

// Writes the default of each folder setting that cannot be read, in a fixed order, and
// creates that folder, since the program writes into it. Settings that can be read
// stay as they are.
void InitDefaultFolders(const CRegistry& registry);
} // namespace Settings
