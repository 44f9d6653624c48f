#include "devicefiles/Vesk3FileManager.h"

#include "app/controls/FolderBrowser.h"
#include "app/controls/ProgressWnd.h"
#include "app/controls/TwMenu.h"
#include "app/document/FolderPath.h"
#include "app/document/SettingsFolders.h"
#include "devicefiles/FileListText.h"
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
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>
#include <optional>

using Platform::LoadString;

namespace
{
constexpr uint32_t IDB_LIST_IMAGES = 1306;
constexpr uint32_t IDB_MENU_IMAGES = 1312;
constexpr int kFolderImage = 0;
constexpr int kDownloadMenuImage = 0;
constexpr int kDeleteMenuImage = 4;
constexpr int kColumnWidth = 200;
constexpr int kInitialWidth = 420;
constexpr int kInitialHeight = 320;
// Layout: the list leaves this margin; the buttons stand in a column right of it.
constexpr int kMargin = 4;
constexpr int kButtonGap = 6;
constexpr int kButtonColumnExtra = 12;
constexpr int kRecordRole = Qt::UserRole;

int CountBackslashes(const QString& text)
{
    return int(text.count(u'\\'));
}

QString WithFinalSlash(QString folder)
{
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}
} // namespace

CVesk3FileManager::CVesk3FileManager(QWidget* parent, const SFileManagerKind& kind, const QString& listing,
                                     CVeskoraConnection& connection)
    : QDialog(parent), m_kind(kind), m_connection(connection)
{
    setObjectName(QStringLiteral("Vesk3FileManager"));
    setWindowTitle(LoadString(kind.captionId));
    setSizeGripEnabled(true);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("list"));
    m_list->setColumnCount(1);
    m_list->setHeaderLabels({LoadString(kind.columnId)});
    m_list->header()->setStretchLastSection(false);
    m_list->setColumnWidth(0, kColumnWidth);
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->setIconSize(QSize(16, 16));
    connect(m_list, &QTreeWidget::customContextMenuRequested, this, &CVesk3FileManager::OnListRightClick);
    installEventFilter(this);
    m_list->installEventFilter(this);

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
    if (!connection.Connect())
        return;
    QString listing;
    bool listed = false;
    {
        Platform::WaitCursor wait;
        listed = connection.ListDirectory(kind.fileKind, listing);
    }
    if (!listed)
    {
        Platform::ShowMessageBox(parent, LoadString(StringId::IDS_FILE_LISTING_FAILED), QString(),
                                 Platform::MB_OK | Platform::MB_ICONSTOP);
        return;
    }
    CVesk3FileManager manager(parent, kind, listing, connection);
    Platform::RunModalDialog(manager);
}

void CVesk3FileManager::ParseInto(QString listing)
{
    m_records.clear();
    ParseListing(listing, m_kind.fileKind, m_rootPrefix, m_records);
    m_currentFolder = QStringLiteral("\\");
    FillList(m_currentFolder);
}

QString CVesk3FileManager::StripRootPrefix(const QString& path) const
{
    return path.startsWith(m_rootPrefix) ? path.mid(m_rootPrefix.size()) : path;
}

TVeskFile* CVesk3FileManager::RecordOf(const QTreeWidgetItem* item) const
{
    if (!item)
        return nullptr;
    auto* record = reinterpret_cast<TVeskFile*>(item->data(0, kRecordRole).value<quintptr>());
    const bool held = std::any_of(m_records.begin(), m_records.end(),
                                  [record](const auto& r) { return r.get() == record; });
    return held ? record : nullptr;
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

void CVesk3FileManager::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    LayoutControls();
}

void CVesk3FileManager::FillList(const QString& folder)
{
    m_list->setUpdatesEnabled(false);
    m_list->clear();
    Platform::ImageList images(16, 16);
    images.Add(Platform::BitmapTable::Instance().Get(IDB_LIST_IMAGES), Platform::Rgb(255, 0, 0));
    const auto icon = [&images](int index)
    {
        const QImage* image = images.GetImage(index);
        return image ? QIcon(QPixmap::fromImage(*image)) : QIcon();
    };
    const int level = CountBackslashes(folder);
    for (const bool folders : {true, false})
    {
        for (const auto& record : m_records)
        {
            if (record->isFolder != folders)
                continue;
            const QString rest = StripRootPrefix(record->path);
            if (!rest.startsWith(folder) || record->depth != level)
                continue;
            QString text;
            if (folders)
                SplitDevicePath(rest, nullptr, &text, nullptr, nullptr);
            else
                SplitDevicePath(rest, nullptr, nullptr, nullptr, &text);
            auto* item = new QTreeWidgetItem(m_list, {text});
            item->setIcon(0, icon(folders ? kFolderImage : m_kind.fileImage));
            item->setData(0, kRecordRole, QVariant::fromValue(reinterpret_cast<quintptr>(record.get())));
        }
    }
    m_list->setUpdatesEnabled(true);
    m_list->viewport()->update();
}

void CVesk3FileManager::CollectMarked()
{
    m_markedPaths.clear();
    for (const auto& record : m_records)
    {
        record->marked = false;
        record->index = -1;
    }
    for (int row = 0; row < m_list->topLevelItemCount(); ++row)
    {
        QTreeWidgetItem* item = m_list->topLevelItem(row);
        TVeskFile* record = RecordOf(item);
        if (!record || !item->isSelected())
            continue;
        record->index = row;
        if (!record->isFolder)
        {
            record->marked = true;
            m_markedPaths << record->path;
            continue;
        }
        // A folder brings itself and everything below it.
        for (const auto& inner : m_records)
        {
            if (!inner->path.startsWith(record->path))
                continue;
            inner->marked = true;
            m_markedPaths << inner->path;
        }
    }
}

QString CVesk3FileManager::RememberedFolder() const
{
    QString folder;
    Settings::Registry().ReadString(m_kind.folderSetting, folder);
    return folder;
}

void CVesk3FileManager::Message(uint32_t textId, unsigned icon)
{
    Platform::ShowMessageBox(this, LoadString(textId), QString(), Platform::MB_OK | icon);
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
    if (!m_connection.Connect())
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

    const DeviceFileTransfer::DownloadCall download = [this](StreamIO::CIoStream* out, const QString& path)
    { return m_connection.DownloadFile(out, path); };
    bool failed = false;
    {
        CProgressWnd progress(this, LoadString(m_kind.downloadingId), LoadString(StringId::IDS_CANCEL), true);
        progress.SetText(LoadString(m_kind.downloadingId));
        progress.SetRange(0, int(targets.size()), 1);
        for (const STarget& target : targets)
        {
            progress.SetText(LoadString(m_kind.downloadLineId) + QFileInfo(target.localPath).fileName());
            progress.StepIt();
            progress.PumpMessages(true);
            if (progress.Cancelled())
            {
                failed = true;
                break;
            }
            // A folder of the tester becomes a local folder; its files follow as targets of
            // their own.
            const bool ok = target.folder ? QDir().mkpath(target.localPath)
                                          : QDir().mkpath(QFileInfo(target.localPath).path()) &&
                                                DeviceFileTransfer::DownloadToLocalFile(
                                                    download, target.devicePath, target.localPath);
            if (!ok)
            {
                failed = true;
                break;
            }
        }
    }
    if (failed)
        Message(m_kind.downloadFailedId, Platform::MB_ICONSTOP);
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

    // A name goes between double quotes into the tester's command: one that could end
    // them or the command line is refused, and nothing of the batch is sent.
    QStringList unsafe;
    for (const QString& file : *files)
        if (!DeviceFileTransfer::IsSafeUploadName(QFileInfo(file).fileName()))
            unsafe << QFileInfo(file).fileName();
    if (!unsafe.isEmpty())
    {
        Platform::ShowMessageBox(this, FileListText(LoadString(StringId::IDS_UNSAFE_UPLOAD_NAME), unsafe),
                                 QString(), Platform::MB_OK | Platform::MB_ICONSTOP);
        return;
    }

    const DeviceFileTransfer::UploadCall upload = [this](const QString& path, StreamIO::CIoStream* in)
    { return m_connection.UploadFile(path, in); };
    bool failed = false;
    QStringList unreadable;
    {
        CProgressWnd progress(this, LoadString(m_kind.uploadLineId), LoadString(StringId::IDS_CANCEL), true);
        progress.SetText(LoadString(m_kind.addingId));
        progress.SetRange(0, int(files->size()), 1);
        for (const QString& file : *files)
        {
            const QString name = QFileInfo(file).fileName();
            progress.SetText(LoadString(m_kind.uploadLineId) + name);
            progress.StepIt();
            progress.PumpMessages(true);
            if (progress.Cancelled())
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
    if (!m_connection.Connect())
        return;
    QString listing;
    if (!m_connection.ListDirectory(m_kind.fileKind, listing))
    {
        Message(StringId::IDS_FILE_LISTING_FAILED, Platform::MB_ICONSTOP);
        return;
    }
    ParseInto(listing);
}

void CVesk3FileManager::RemoveListRow(const QString& path)
{
    for (int row = 0; row < m_list->topLevelItemCount(); ++row)
    {
        const TVeskFile* record = RecordOf(m_list->topLevelItem(row));
        if (record && record->path == path)
        {
            delete m_list->takeTopLevelItem(row);
            return;
        }
    }
}

void CVesk3FileManager::DeleteMarked()
{
    CollectMarked();
    int count = 0;
    int deepest = 0;
    for (const auto& record : m_records)
    {
        if (!record->marked)
            continue;
        ++count;
        deepest = std::max(deepest, record->depth);
    }
    if (count == 0)
        return;
    if (!m_connection.GetDevice() || !m_connection.HasSuperUserRights())
    {
        Message(StringId::IDS_MANAGER_DELETE_NO_RIGHTS, Platform::MB_ICONSTOP);
        return;
    }
    if (Platform::ShowMessageBox(this, LoadString(StringId::IDS_TREE_ASK_DELETE), QString(),
                                 Platform::MB_YESNOCANCEL | Platform::MB_ICONQUESTION) != Platform::IDYES)
        return;

    bool failed = false;
    {
        CProgressWnd progress(this, LoadString(StringId::IDS_DELETING), LoadString(StringId::IDS_CANCEL),
                              true);
        progress.SetText(QString());
        progress.SetRange(0, count, 1);
        // Deepest first: a folder's contents go before the folder.
        for (int depth = deepest; depth >= 0; --depth)
        {
            for (size_t i = 0; i < m_records.size();)
            {
                TVeskFile* record = m_records[i].get();
                if (!record->marked || record->depth != depth)
                {
                    ++i;
                    continue;
                }
                QString folder, base;
                SplitDevicePath(record->path, &folder, nullptr, &base, nullptr);
                progress.SetText(LoadString(StringId::IDS_DELETING_FILE) + folder + base);
                progress.StepIt();
                progress.PumpMessages(true);
                if (progress.Cancelled())
                    return;
                if (!m_connection.DeleteItem(record->path))
                {
                    failed = true;
                    record->marked = false;
                    ++i;
                    continue;
                }
                RemoveListRow(record->path);
                m_records.erase(m_records.begin() + qsizetype(i));
            }
        }
    }
    if (failed)
        Message(StringId::IDS_DELETE_FAILED, 0);
}

void CVesk3FileManager::OnListRightClick(const QPoint& pos)
{
    QTreeWidgetItem* item = m_list->itemAt(pos);
    if (!item)
        return;
    if (!item->isSelected())
    {
        m_list->clearSelection();
        item->setSelected(true);
        m_list->setCurrentItem(item);
    }
    Platform::ImageList images(16, 16);
    images.Add(Platform::BitmapTable::Instance().Get(IDB_MENU_IMAGES), Platform::Rgb(255, 255, 255));
    TwMenu menu;
    menu.SetImageSize(16, 16);
    menu.AppendItem(LoadString(StringId::IDS_DOWNLOAD), Platform::MF_STRING, menuDownload, &images,
                    kDownloadMenuImage);
    menu.AppendItem(QString(), Platform::MF_SEPARATOR, 0);
    menu.AppendItem(LoadString(StringId::IDS_TREE_DELETE), Platform::MF_STRING, menuDelete, &images,
                    kDeleteMenuImage);
    const QPoint at = m_list->viewport()->mapToGlobal(pos);
    const unsigned chosen =
        menu.TrackPopupMenu(Platform::TPM_LEFTALIGN | Platform::TPM_RETURNCMD, at.x(), at.y(), this);
    if (chosen == menuDownload)
        OnDownload();
    else if (chosen == menuDelete)
        DeleteMarked();
}

bool CVesk3FileManager::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool ctrl = (key->modifiers() & Qt::ControlModifier) != 0;
    if (key->key() == Qt::Key_Delete && !ctrl)
        DeleteMarked();
    else if (ctrl && key->key() == Qt::Key_A)
        m_list->selectAll();
    else
        return QDialog::eventFilter(watched, event);
    return true;
}
