#include "devicefiles/DeviceFileCommands.h"

#include "controls/ProgressWnd.h"
#include "document/SettingsFolders.h"
#include "device/DeviceText.h"
#include "device/DeviceTypes.h"
#include "devicefiles/FileListText.h"
#include "devicefiles/FileManagerKinds.h"
#include "devicefiles/TesterTransfer.h"
#include "devicefiles/Vesk3FileManager.h"
#include "devicefiles/VeskoraConnection.h"
#include "devicefiles/core/DeviceFileTransfer.h"
#include "devicefiles/core/Vesk3Parser.h"
#include "platform/core/StringTable.h"
#include "platform/gui/FileDialog.h"
#include "platform/gui/MessageBox.h"
#include "platform/gui/WaitCursor.h"
#include "resources/StringIds.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <optional>

using Platform::LoadString;

namespace
{
const QString kRestoredProfilesPath = QStringLiteral("\\Persistent Storage\\newProfiles.bin");

QString Filter(uint32_t nameId, const QString& pattern)
{
    return LoadString(nameId) + QStringLiteral(" (") + pattern + QStringLiteral(")|") + pattern + u'|' +
           LoadString(StringId::IDS_ALL_FILES) + QStringLiteral(" (*.*)|*.*||");
}

// The file dialog of a command; the chosen file's folder is remembered in the setting.
std::optional<QString> ChooseFile(QWidget* parent, bool save, uint32_t nameId, uint32_t filterId,
                                  const QString& extension, const QString& setting)
{
    Platform::FileDialogRequest request;
    request.save = save;
    request.fileName = LoadString(nameId);
    request.defaultExtension = extension;
    request.filter = Filter(filterId, QStringLiteral("*.") + extension);
    request.flags = Platform::OFN_HIDEREADONLY | (save ? uint32_t(Platform::OFN_OVERWRITEPROMPT) : 0u);
    Settings::Registry().ReadString(setting, request.initialFolder);
    std::optional<QString> chosen = Platform::ShowFileDialog(parent, request);
    if (chosen)
        Settings::Registry().WriteString(setting, QFileInfo(*chosen).path() + u'/');
    return chosen;
}
} // namespace

CDeviceFileCommands::CDeviceFileCommands(QWidget* parent, CVeskoraConnection& connection)
    : m_parent(parent), m_connection(connection)
{
}

void CDeviceFileCommands::Message(unsigned textId, unsigned icon, const QString& detail)
{
    QString text = LoadString(textId);
    if (!detail.isEmpty())
        text += QStringLiteral("\n\n") + detail;
    Platform::ShowMessageBox(m_parent, text, QString(), Platform::MB_OK | icon);
}

bool CDeviceFileCommands::ListFiles(uint32_t kind, QString& listing)
{
    // The wizard may run here: the wait cursor follows it.
    if (!m_connection.Connect(m_parent))
        return false;
    Platform::WaitCursor wait;
    auto listed = std::make_shared<QString>();
    CTesterTransfer transfer(m_parent, nullptr);
    const bool ok = transfer.Run(
        [connection = &m_connection, listed, kind]
        {
            // The tester keeps its remote connection open through the transfers that follow.
            connection->KeepAlive();
            return connection->ListDirectory(kind, *listed);
        });
    listing = *listed;
    return ok;
}

void CDeviceFileCommands::OnConversionsManager()
{
    CVesk3FileManager::Run(m_parent, FileManagerKinds::Conversions(), m_connection);
}

void CDeviceFileCommands::OnHelpFilesManager()
{
    CVesk3FileManager::Run(m_parent, FileManagerKinds::HelpFiles(), m_connection);
}

void CDeviceFileCommands::OnLanguageManager()
{
    CVesk3FileManager::Run(m_parent, FileManagerKinds::Languages(), m_connection);
}

void CDeviceFileCommands::OnDownloadLogFiles()
{
    const std::optional<QString> file =
        ChooseFile(m_parent, true, StringId::IDS_LOG_DEFAULT_NAME, StringId::IDS_LOG_FILTER,
                   QStringLiteral("log"), Settings::kLogFilesPath);
    if (!file)
        return;
    QStringList paths;
    {
        QString listing;
        // Without the listing there is nothing to collect: that is a failure, not an empty
        // collection.
        if (!ListFiles(Device::fileLog, listing))
        {
            Message(StringId::IDS_LOG_FAILED, Platform::MB_ICONSTOP);
            return;
        }
        paths = CVesk3Parser(listing, Device::fileLog).GetAllPaths();
    }
    const qsizetype files =
        std::count_if(paths.begin(), paths.end(), [](const QString& p) { return !p.endsWith(u'\\'); });
    DeviceFileTransfer::SLogCollection collected;
    QString writeError;
    {
        CProgressWnd progress(m_parent, LoadString(StringId::IDS_LOG_DOWNLOADING),
                              LoadString(StringId::IDS_CANCEL), true);
        progress.SetText(LoadString(StringId::IDS_LOG_DOWNLOADING));
        progress.SetRange(0, int(files), 1);
        CTesterTransfer transfer(m_parent, &progress);
        collected = DeviceFileTransfer::CollectLogFiles(transfer.Downloads(m_connection), paths, *file,
                                                        [&progress](int, const QString&)
                                                        {
                                                            progress.StepIt();
                                                            progress.PumpMessages(true);
                                                            return !progress.Cancelled();
                                                        },
                                                        &writeError);
    }
    TellLogCollection(collected, *file, writeError);
}

void CDeviceFileCommands::TellLogCollection(const DeviceFileTransfer::SLogCollection& collected,
                                            const QString& file, const QString& writeError)
{
    if (collected.complete)
    {
        Message(StringId::IDS_LOG_DONE, Platform::MB_ICONINFORMATION);
        return;
    }
    if (collected.keptIn.isEmpty())
    {
        Message(StringId::IDS_LOG_FAILED, Platform::MB_ICONSTOP, writeError);
        return;
    }
    // What arrived is kept: the user learns where, and whether the earlier file stayed.
    const QString count = QString::number(collected.kept);
    const QString text =
        collected.keptIn == file
            ? Device::DeviceText(StringId::IDS_LOG_PARTIAL_KEPT, {count, QDir::toNativeSeparators(file)})
            : Device::DeviceText(StringId::IDS_LOG_PARTIAL_BESIDE, {QDir::toNativeSeparators(file), count,
                                                                     QDir::toNativeSeparators(collected.keptIn)});
    Platform::ShowMessageBox(m_parent, text, QString(), Platform::MB_OK | Platform::MB_ICONWARNING);
}

void CDeviceFileCommands::OnBackupProfiles()
{
    const std::optional<QString> file =
        ChooseFile(m_parent, true, StringId::IDS_PROFILES_DEFAULT_NAME, StringId::IDS_PROFILES_FILTER,
                   QStringLiteral("pf3"), Settings::kProfilesPath);
    if (!file)
        return;
    bool done = false;
    QString listing;
    QString writeError;
    if (ListFiles(Device::fileProfiles, listing))
    {
        Platform::WaitCursor wait;
        // One profiles file, one backup: the backup is replaced only once it arrived.
        const QString profiles =
            DeviceFileTransfer::FindProfilesFile(CVesk3Parser(listing, Device::fileProfiles).GetAllPaths());
        CTesterTransfer transfer(m_parent, nullptr);
        done = !profiles.isEmpty() &&
               DeviceFileTransfer::DownloadToLocalFile(transfer.Downloads(m_connection), profiles, *file,
                                                       &writeError);
    }
    if (done)
        Message(StringId::IDS_BACKUP_DONE, Platform::MB_ICONINFORMATION);
    else
        Message(StringId::IDS_BACKUP_FAILED, Platform::MB_ICONSTOP, writeError);
}

void CDeviceFileCommands::OnRestoreProfiles()
{
    // Whether the login may restore at all is known before any file is chosen.
    if (!m_connection.Connect(m_parent))
    {
        Message(StringId::IDS_RESTORE_FAILED, Platform::MB_ICONSTOP);
        return;
    }
    {
        Platform::WaitCursor wait;
        CTesterTransfer transfer(m_parent, nullptr);
        transfer.Run(
            [connection = &m_connection]
            {
                connection->KeepAlive();
                return true;
            });
        if (transfer.Cancelled())
            return;
        if (!m_connection.HasSuperUserRights())
        {
            Message(StringId::IDS_RESTORE_NO_RIGHTS, Platform::MB_ICONSTOP);
            return;
        }
    }
    const std::optional<QString> file =
        ChooseFile(m_parent, false, StringId::IDS_PROFILES_DEFAULT_NAME, StringId::IDS_PROFILES_FILTER,
                   QStringLiteral("pf3"), Settings::kProfilesPath);
    if (!file)
        return;
    bool done = false;
    {
        Platform::WaitCursor wait;
        QByteArray bytes;
        if (!DeviceFileTransfer::ReadUploadFile(*file, bytes))
        {
            Platform::ShowMessageBox(m_parent,
                                     FileListText(LoadString(StringId::IDS_UNREADABLE_LOCAL_FILE), {*file}),
                                     QString(), Platform::MB_OK | Platform::MB_ICONSTOP);
            Message(StringId::IDS_RESTORE_FAILED, Platform::MB_ICONSTOP);
            return;
        }
        CTesterTransfer transfer(m_parent, nullptr);
        done = DeviceFileTransfer::UploadFromMemory(transfer.Uploads(m_connection), kRestoredProfilesPath, bytes);
        // The tester restarts with the new profiles: the connection is over, and a tester
        // that is restarting cannot be told.
        if (done)
            m_connection.DropLostDevice();
    }
    if (!done)
    {
        Message(StringId::IDS_RESTORE_FAILED, Platform::MB_ICONSTOP);
        return;
    }
    Message(StringId::IDS_RESTORE_DONE, Platform::MB_ICONINFORMATION);
    Message(StringId::IDS_RESTORE_REBOOTED, Platform::MB_ICONINFORMATION);
}
