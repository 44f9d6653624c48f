#include "devicefiles/FileManagerKinds.h"

#include "document/SettingsFolders.h"
#include "device/DeviceTypes.h"
#include "resources/StringIds.h"

namespace FileManagerKinds
{
namespace
{
// List images of a file row.
constexpr int kConversionImage = 2;
constexpr int kHelpImage = 4;
constexpr int kLanguageImage = 6;
} // namespace

const SFileManagerKind& Conversions()
{
    using namespace StringId;
    static const SFileManagerKind kind{Device::fileConversion,
                                       IDS_CC_CAPTION,
                                       IDS_CC_COLUMN,
                                       IDS_CC_ADD_TIP,
                                       IDS_CC_DOWNLOAD_TIP,
                                       kConversionImage,
                                       Settings::kRecentlyUsedConversionPath,
                                       IDS_CC_NOTHING_MARKED,
                                       IDS_CC_DOWNLOADING,
                                       IDS_CC_DOWNLOADING_LINE,
                                       IDS_CC_DOWNLOAD_FAILED,
                                       IDS_CC_DOWNLOAD_DONE,
                                       IDS_CC_FILTER,
                                       QStringLiteral("*.cnv"),
                                       QStringLiteral("cnv"),
                                       IDS_CC_UPLOADING,
                                       IDS_CC_ADDING,
                                       QStringLiteral("\\Persistent Storage\\cnv\\"),
                                       IDS_CC_UPLOAD_FAILED,
                                       IDS_CC_UPLOAD_DONE,
                                       IDS_CC_ADD_NO_RIGHTS};
    return kind;
}

const SFileManagerKind& HelpFiles()
{
    using namespace StringId;
    static const SFileManagerKind kind{
        Device::fileHelp,         IDS_HELP_CAPTION,
        IDS_HELP_COLUMN,          IDS_HELP_ADD_TIP,
        IDS_HELP_DOWNLOAD_TIP,    kHelpImage,
        Settings::kHelpFilesPath, IDS_HELP_NOTHING_MARKED,
        IDS_HELP_DOWNLOADING,     IDS_HELP_DOWNLOADING_LINE,
        IDS_HELP_DOWNLOAD_FAILED, IDS_HELP_DOWNLOAD_DONE,
        IDS_HELP_FILTER,          QStringLiteral("*.chm"),
        QStringLiteral("chm"),    IDS_HELP_UPLOADING,
        IDS_HELP_ADDING,          QStringLiteral("\\Persistent Storage\\helpfiles\\"),
        IDS_HELP_UPLOAD_FAILED,   IDS_HELP_UPLOAD_DONE,
        IDS_HELP_ADD_NO_RIGHTS};
    return kind;
}

const SFileManagerKind& Languages()
{
    using namespace StringId;
    static const SFileManagerKind kind{
        Device::fileLanguage,     IDS_LANG_CAPTION,
        IDS_LANG_COLUMN,          IDS_LANG_ADD_TIP,
        IDS_LANG_DOWNLOAD_TIP,    kLanguageImage,
        Settings::kLanguagesPath, IDS_LANG_NOTHING_MARKED,
        IDS_LANG_DOWNLOADING,     IDS_LANG_DOWNLOADING_LINE,
        IDS_LANG_DOWNLOAD_FAILED, IDS_LANG_DOWNLOAD_DONE,
        IDS_LANG_FILTER,          QStringLiteral("Vesk3*.dll"),
        QStringLiteral("dll"),    IDS_LANG_UPLOADING,
        IDS_LANG_ADDING,          QStringLiteral("\\Persistent Storage\\languageDLL\\"),
        IDS_LANG_UPLOAD_FAILED,   IDS_LANG_UPLOAD_DONE,
        IDS_LANG_ADD_NO_RIGHTS};
    return kind;
}
} // namespace FileManagerKinds
