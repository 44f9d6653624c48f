#include "devicefiles/Vesk3FileManager.h"

#include "controls/FolderBrowser.h"
#include "controls/ProgressWnd.h"
#include "controls/TwMenu.h"
#include "document/FolderPath.h"
#include "document/SettingsFolders.h"
#include "devicefiles/FileListText.h"
#include "devicefiles/TesterTransfer.h"
#include "devicefiles/VeskoraConnection.h"
#include "devicefiles/core/DeviceFileTransfer.h"
#include "devicefiles/core/DeviceListing.h"
#include "platform/core/StringTable.h"
#include "platform/gui/BitmapTable.h"
#include "platform/gui/FileDialog.h"
#include "platform/gui/ImageList.h"
#include "platform/gui/MessageBox.h"
#include "platform/gui/ModalDialog.h"
#include "platform/gui/PopupMenu.h"
#include "platform/gui/WaitCursor.h"
#include "resources/StringIds.h"

#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>
#include <optional>
#include <utility>

using Platform::LoadString;

namespace
{
constexpr uint32_t IDB_MENU_IMAGES = 1312;
constexpr int kDownloadMenuImage = 0;
constexpr int kDeleteMenuImage = 4;
constexpr int kInitialWidth = 420;
constexpr int kInitialHeight = 320;
// Layout: the list leaves this margin; the buttons stand in a column right of it.
constexpr int kMargin = 4;
constexpr int kButtonGap = 6;
constexpr int kButtonColumnExtra = 12;

QString WithFinalSlash(QString folder)
{
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}
} // namespace

CVesk3FileManager::CVesk3FileManager(QWidget* parent, const SFileManagerKind& kind, const QString& listing,
                                     CVeskoraConnection& connection)
    : CTesterFileDialog(parent, connection, kind.columnId), m_kind(kind)
{
    setObjectName(QStringLiteral("Vesk3FileManager"));
    setWindowTitle(LoadString(kind.captionId));
    setSizeGripEnabled(true);

    // Delete and Ctrl+A act wherever the focus is in the dialog.
    installEventFilter(this);

    m_download = new QPushButton(LoadString(StringId::IDS_MANAGER_DOWNLOAD), this);
    m_download->setObjectName(QStringLiteral("download"));
    m_download->setDefault(true);
    m_download->setToolTip(LoadString(kind.downloadTipId));
    connect(m_download, &QPushButton::clicked, this, &CVesk3FileManager::OnDownload);
    m_add = new QPushButton(LoadString(StringId::IDS_MANAGER_ADD), this);
    m_add->setObjectName(QStringLiteral("add"));
    m_add->setAutoDefault(false);
    m_add->setToolTip(LoadString(kind.addTipId));
    connect(m_add, &QPushButton::clicked, this, &CVesk3FileManager::OnAdd);
    m_close = new QPushButton(LoadString(StringId::IDS_MANAGER_CLOSE), this);
    m_close->setObjectName(QStringLiteral("close"));
    m_close->setAutoDefault(false);
    m_close->setToolTip(LoadString(StringId::IDS_CLOSE_TIP));
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);

    resize(kInitialWidth, kInitialHeight);
    LayoutControls();
    ParseInto(listing);
    m_list->setFocus();
}

CVesk3FileManager::~CVesk3FileManager() = default;

void CVesk3FileManager::Run(QWidget* parent, const SFileManagerKind& kind, CVeskoraConnection& connection)
{
    // The wizard may run here: no wait cursor over it.
    if (!connection.Connect(parent))
        return;
    auto listing = std::make_shared<QString>();
    bool listed = false;
    {
        Platform::WaitCursor wait;
        CTesterTransfer transfer(parent, nullptr);
        listed = transfer.Run([connection = &connection, listing, fileKind = kind.fileKind]
                              { return connection->ListDirectory(fileKind, *listing); });
        if (transfer.Cancelled())
            return;
    }
    if (!listed)
    {
        Platform::ShowMessageBox(parent, LoadString(StringId::IDS_FILE_LISTING_FAILED), QString(),
                                 Platform::MB_OK | Platform::MB_ICONSTOP);
        return;
    }
    CVesk3FileManager manager(parent, kind, *listing, connection);
    Platform::RunModalDialog(manager);
}

void CVesk3FileManager::ParseInto(QString listing)
{
    m_records.clear();
    ParseListing(listing, m_kind.fileKind, m_rootPrefix, m_records);
    m_currentFolder = QStringLiteral("\\");
    FillList(m_currentFolder);
}

void CVesk3FileManager::LayoutControls()
{
    const QRect inner = rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
    const QSize closeSize =
        m_close->sizeHint().expandedTo(m_download->sizeHint()).expandedTo(m_add->sizeHint());
    QRect list = inner;
    list.setRight(inner.right() - closeSize.width() - kButtonColumnExtra);
    m_list->setGeometry(list);
    const int x = list.right() + 1 + kButtonGap;
    const int closeTop = inner.bottom() + 1 - kButtonGap - closeSize.height();
    m_close->setGeometry(x, closeTop, closeSize.width(), closeSize.height());
    m_add->setGeometry(x, closeTop - kButtonGap - closeSize.height(), closeSize.width(), closeSize.height());
    m_download->setGeometry(x, m_add->y() - kButtonGap - closeSize.height(), closeSize.width(),
                            closeSize.height());
}

void CVesk3FileManager::FillList(const QString& folder)
{
    m_list->setUpdatesEnabled(false);
    m_list->clear();
    AddRows(folder, m_kind.fileImage, true, {});
    m_list->setUpdatesEnabled(true);
    m_list->viewport()->update();
}

void CVesk3FileManager::CollectMarked()
{
    m_markedPaths.clear();
    CollectMarkedRecords([this](const TVeskFile& record) { m_markedPaths << record.path; });
}

QString CVesk3FileManager::RememberedFolder() const
{
    QString folder;
    Settings::Registry().ReadString(m_kind.folderSetting, folder);
    return folder;
}

void CVesk3FileManager::Message(uint32_t textId, unsigned icon, const QString& detail)
{
    QString text = LoadString(textId);
    if (!detail.isEmpty())
        text += QStringLiteral("\n\n") + detail;
    Platform::ShowMessageBox(this, text, QString(), Platform::MB_OK | icon);
}

void CVesk3FileManager::OnDownload()
{
    CollectMarked();
    if (m_markedPaths.isEmpty())
    {
        Message(m_kind.nothingMarkedId, 0);
        return;
    }
    QString folder = RememberedFolder();
    if (folder.isEmpty())
        folder = QDir::homePath();
    CFolderBrowser browser;
    browser.SetNewStyle(true);
    if (browser.Browse(folder) != 1)
        return;
    folder = WithFinalSlash(folder);
    Settings::Registry().WriteString(m_kind.folderSetting, folder);
    if (!m_connection.Connect(this))
        return;

    // Every local place is known before anything is written: a name from the tester that
    // would leave the chosen folder is not downloaded.
    struct STarget
    {
        QString devicePath;
        QString localPath;
        bool folder;
    };
    std::vector<STarget> targets;
    QStringList refused;
    for (const QString& path : m_markedPaths)
    {
        const QString local = DeviceFileTransfer::LocalTargetPath(folder, StripRootPrefix(path));
        if (local.isEmpty())
            refused << path;
        else
            targets.push_back({path, local, path.endsWith(u'\\')});
    }
    if (!refused.isEmpty())
        Platform::ShowMessageBox(this, FileListText(LoadString(StringId::IDS_UNSAFE_DEVICE_NAME), refused),
                                 QString(), Platform::MB_OK | Platform::MB_ICONWARNING);

    bool failed = false;
    QString writeError;
    {
        CProgressWnd progress(this, LoadString(m_kind.downloadingId), LoadString(StringId::IDS_CANCEL), true);
        progress.SetText(LoadString(m_kind.downloadingId));
        progress.SetRange(0, int(targets.size()), 1);
        CTesterTransfer transfer(this, &progress);
        const DeviceFileTransfer::DownloadCall download = transfer.Downloads(m_connection);
        for (const STarget& target : targets)
        {
            if (!NextStep(progress,
                          LoadString(m_kind.downloadLineId) + QFileInfo(target.localPath).fileName()))
            {
                failed = true;
                break;
            }
            // A folder of the tester becomes a local folder; its files follow as targets of
            // their own.
            const bool ok = target.folder ? QDir().mkpath(target.localPath)
                                          : QDir().mkpath(QFileInfo(target.localPath).path()) &&
                                                DeviceFileTransfer::DownloadToLocalFile(
                                                    download, target.devicePath, target.localPath, &writeError);
            if (!ok || transfer.Cancelled())
            {
                failed = true;
                break;
            }
        }
    }
    if (failed)
        Message(m_kind.downloadFailedId, Platform::MB_ICONSTOP, writeError);
    else if (!targets.empty())
        Message(m_kind.downloadDoneId, Platform::MB_ICONINFORMATION);
}

void CVesk3FileManager::OnAdd()
{
    if (!m_connection.GetDevice() || !m_connection.HasSuperUserRights())
    {
        Message(m_kind.addNoRightsId, Platform::MB_ICONSTOP);
        return;
    }
    Platform::FileDialogRequest request;
    request.save = false;
    request.initialFolder = RememberedFolder();
    request.defaultExtension = m_kind.defaultExtension;
    request.filter = LoadString(m_kind.filterNameId) + QStringLiteral(" (") + m_kind.filterPattern +
                     QStringLiteral(")|") + m_kind.filterPattern + u'|' +
                     LoadString(StringId::IDS_ALL_FILES) + QStringLiteral(" (*.*)|*.*||");
    request.flags = Platform::OFN_ALLOWMULTISELECT | Platform::OFN_HIDEREADONLY;
    const std::optional<QStringList> files = Platform::ShowOpenFilesDialog(this, request);
    if (!files || files->isEmpty())
        return;
    Settings::Registry().WriteString(m_kind.folderSetting, WithFinalSlash(QFileInfo(files->front()).path()));

    // A name goes between double quotes into the tester's command and must be one name in
    // the folder of its kind: one that is not is refused with its reason, and nothing of
    // the batch is sent.
    using DeviceFileTransfer::NameFault;
    const std::pair<NameFault, uint32_t> reasons[] = {
        {NameFault::quoteOrLineBreak, StringId::IDS_UNSAFE_UPLOAD_NAME},
        {NameFault::separator, StringId::IDS_UPLOAD_NAME_SEPARATOR},
        {NameFault::control, StringId::IDS_UPLOAD_NAME_CONTROL},
        {NameFault::blank, StringId::IDS_UPLOAD_NAME_BLANK},
    };
    QStringList refusals;
    for (const auto& [fault, heading] : reasons)
    {
        QStringList names;
        for (const QString& file : *files)
            if (DeviceFileTransfer::DeviceNameFault(QFileInfo(file).fileName()) == fault)
                names << QFileInfo(file).fileName();
        if (!names.isEmpty())
            refusals << FileListText(LoadString(heading), names);
    }
    if (!refusals.isEmpty())
    {
        Platform::ShowMessageBox(this, refusals.join(QStringLiteral("\n\n")), QString(),
                                 Platform::MB_OK | Platform::MB_ICONSTOP);
        return;
    }

    bool failed = false;
    QStringList unreadable;
    {
        CProgressWnd progress(this, LoadString(m_kind.uploadLineId), LoadString(StringId::IDS_CANCEL), true);
        progress.SetText(LoadString(m_kind.addingId));
        progress.SetRange(0, int(files->size()), 1);
        CTesterTransfer transfer(this, &progress);
        const DeviceFileTransfer::UploadCall upload = transfer.Uploads(m_connection);
        for (const QString& file : *files)
        {
            const QString name = QFileInfo(file).fileName();
            if (!NextStep(progress, LoadString(m_kind.uploadLineId) + name))
                return;
            QByteArray bytes;
            if (!DeviceFileTransfer::ReadUploadFile(file, bytes))
            {
                unreadable << file;
                failed = true;
                continue;
            }
            if (!DeviceFileTransfer::UploadFromMemory(upload, m_kind.deviceFolder + name, bytes))
                failed = true;
            if (transfer.Cancelled())
                return;
        }
    }
    if (!unreadable.isEmpty())
        Platform::ShowMessageBox(this,
                                 FileListText(LoadString(StringId::IDS_UNREADABLE_LOCAL_FILE), unreadable),
                                 QString(), Platform::MB_OK | Platform::MB_ICONSTOP);
    Message(failed ? m_kind.uploadFailedId : m_kind.uploadDoneId,
            failed ? Platform::MB_ICONSTOP : Platform::MB_ICONINFORMATION);
    Refresh();
}

void CVesk3FileManager::Refresh()
{
    if (!m_connection.Connect(this))
        return;
    auto listing = std::make_shared<QString>();
    CTesterTransfer transfer(this, nullptr);
    const bool listed = transfer.Run([connection = &m_connection, listing, fileKind = m_kind.fileKind]
                                     { return connection->ListDirectory(fileKind, *listing); });
    if (transfer.Cancelled())
        return;
    if (!listed)
    {
        Message(StringId::IDS_FILE_LISTING_FAILED, Platform::MB_ICONSTOP);
        return;
    }
    ParseInto(*listing);
}

bool CVesk3FileManager::MayDelete()
{
    if (m_connection.GetDevice() && m_connection.HasSuperUserRights())
        return true;
    Message(StringId::IDS_MANAGER_DELETE_NO_RIGHTS, Platform::MB_ICONSTOP);
    return false;
}

void CVesk3FileManager::DeleteEnded(bool cancelled, bool failed)
{
    if (!cancelled && failed)
        Message(StringId::IDS_DELETE_FAILED, 0);
}

void CVesk3FileManager::OnListRightClick(const QPoint& pos)
{
    if (!SelectRowAt(pos))
        return;
    Platform::ImageList images(16, 16);
    images.Add(Platform::BitmapTable::Instance().Get(IDB_MENU_IMAGES), Platform::Rgb(255, 255, 255));
    TwMenu menu;
    menu.SetImageSize(16, 16);
    menu.AppendItem(LoadString(StringId::IDS_DOWNLOAD), Platform::MF_STRING, menuDownload, &images,
                    kDownloadMenuImage);
    menu.AppendItem(QString(), Platform::MF_SEPARATOR, 0);
    menu.AppendItem(LoadString(StringId::IDS_TREE_DELETE), Platform::MF_STRING, menuDelete, &images,
                    kDeleteMenuImage);
    const unsigned chosen = TrackMenu(menu, pos);
    if (chosen == menuDownload)
        OnDownload();
    else if (chosen == menuDelete)
        DeleteMarked();
}

bool CVesk3FileManager::TakesKeysOf(const QObject*) const
{
    return true;
}
