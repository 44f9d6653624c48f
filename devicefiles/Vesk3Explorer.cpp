#include "devicefiles/Vesk3Explorer.h"

#include "controls/ProgressWnd.h"
#include "controls/TwMenu.h"
#include "document/FolderPath.h"
#include "device/DeviceTypes.h"
#include "devicefiles/TesterTransfer.h"
#include "devicefiles/VeskoraConnection.h"
#include "devicefiles/core/DeviceFileTransfer.h"
#include "devicefiles/core/DeviceListing.h"
#include "platform/core/StringTable.h"
#include "platform/gui/BitmapTable.h"
#include "platform/gui/ImageList.h"
#include "platform/gui/MessageBox.h"
#include "platform/gui/PainterCanvas.h"
#include "platform/gui/PopupMenu.h"
#include "resources/StringIds.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QTreeWidget>

#include <QPointer>

#include <algorithm>
#include <climits>

using Platform::LoadString;

namespace
{
constexpr uint32_t IDB_MENU_IMAGES = 1312;
constexpr uint32_t IDB_FOLDER_UP = 1343;
// List images.
constexpr int kFileImage = 1;
// Menu images of the edit-command strip.
constexpr int kDownloadImage = 0;
constexpr int kCutImage = 1;
constexpr int kPasteImage = 3;
constexpr int kDeleteImage = 4;
constexpr int kRenameImage = 5;
constexpr int kNewFolderImage = 6;

constexpr int kInitialWidth = 440;
constexpr int kInitialHeight = 380;
// Layout: the list leaves these margins; the path frame runs from (42, 7) to y 31.
constexpr int kSideMargin = 4;
constexpr int kTopBottomMargin = 40;
constexpr int kFrameLeft = 42;
constexpr int kFrameTop = 7;
constexpr int kFrameBottom = 31;
constexpr int kButtonGap = 4;

constexpr int kCutRole = Qt::UserRole + 1;

const QString kFolderSuffix = QStringLiteral(".DIR\\");

// The characters a tester accepts in a name, besides letters and digits.
const QString kNameCharacters = QStringLiteral(". ,;+-()[]{}_=!@%$&#'~^");

int CountBackslashes(const QString& text)
{
    return int(text.count(u'\\'));
}

bool IsAsciiLetterOrDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9');
}

// "From:" and "To:" lines of a move, with the folder and base name of each path.
QString FromToText(const QString& from, const QString& to)
{
    QString fromFolder, fromBase, toFolder, toBase;
    SplitDevicePath(from, &fromFolder, nullptr, &fromBase, nullptr);
    SplitDevicePath(to, &toFolder, nullptr, &toBase, nullptr);
    return LoadString(StringId::IDS_FROM) + QStringLiteral("\t\t\t") + fromFolder + fromBase + u'\n' +
           LoadString(StringId::IDS_TO) + u'\t' + toFolder + toBase;
}

// Device paths match without regard to case on the tester.
bool SamePath(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool PathStartsWith(const QString& path, const QString& prefix)
{
    return path.startsWith(prefix, Qt::CaseInsensitive);
}
} // namespace

// Hands the committed name of a row to the explorer instead of writing it into the row:
// the row takes the name only when the tester renamed the item. The check runs as a
// queued call, outside the editor's own commit.
class CVesk3Explorer::RenameDelegate : public QStyledItemDelegate
{
public:
    explicit RenameDelegate(CVesk3Explorer& explorer) : QStyledItemDelegate(&explorer), m_explorer(explorer)
    {
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (editor)
            ++m_explorer.m_openEditors;
        return editor;
    }

    void destroyEditor(QWidget* editor, const QModelIndex& index) const override
    {
        --m_explorer.m_openEditors;
        QStyledItemDelegate::destroyEditor(editor, index);
    }

    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override
    {
        auto* line = qobject_cast<QLineEdit*>(editor);
        if (!line)
            return;
        TVeskFile* record = m_explorer.RecordOf(m_explorer.m_list->topLevelItem(index.row()));
        const QString name = line->text();
        QPointer<CVesk3Explorer> explorer(&m_explorer);
        QMetaObject::invokeMethod(
            &m_explorer,
            [explorer, record, name]
            {
                if (explorer)
                    explorer->OnEndLabelEdit(record, name);
            },
            Qt::QueuedConnection);
    }

private:
    CVesk3Explorer& m_explorer;
};

CVesk3Explorer::CVesk3Explorer(QWidget* parent, const QString& listing, CVeskoraConnection& connection)
    : CTesterFileDialog(parent, connection, StringId::IDS_FILES_COLUMN)
{
    setObjectName(QStringLiteral("Vesk3Explorer"));
    setWindowTitle(LoadString(StringId::IDS_EXPLORER_CAPTION));
    setSizeGripEnabled(true);

    m_list->setItemDelegate(new RenameDelegate(*this));
    connect(m_list, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { OpenFolder(item); });

    m_pathLabel = new QLabel(this);
    m_pathLabel->setObjectName(QStringLiteral("pathLabel"));
    m_pathLabel->setAutoFillBackground(true);
    QPalette white = m_pathLabel->palette();
    white.setColor(QPalette::Window, Qt::white);
    m_pathLabel->setPalette(white);

    m_up = new QToolButton(this);
    m_up->setObjectName(QStringLiteral("up"));
    m_up->setIcon(QIcon(QPixmap::fromImage(Platform::BitmapTable::Instance().Get(IDB_FOLDER_UP))));
    m_up->setToolTip(LoadString(StringId::IDS_FOLDER_UP_TIP));
    m_up->setEnabled(false);
    connect(m_up, &QToolButton::clicked, this, &CVesk3Explorer::OnFolderUp);

    m_download = new QPushButton(LoadString(StringId::IDS_DOWNLOAD), this);
    m_download->setObjectName(QStringLiteral("download"));
    m_download->setDefault(true);
    connect(m_download, &QPushButton::clicked, this, &CVesk3Explorer::OnDownload);
    m_cancel = new QPushButton(LoadString(StringId::IDS_CANCEL), this);
    m_cancel->setObjectName(QStringLiteral("cancel"));
    m_cancel->setAutoDefault(false);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    resize(kInitialWidth, kInitialHeight);
    LayoutControls();

    QString text = listing;
    ParseListing(text, Device::fileMeasurement, m_rootPrefix, m_records);
    FillList(m_currentPath);
    m_list->setFocus();
}

CVesk3Explorer::~CVesk3Explorer() = default;

QStringList CVesk3Explorer::GetSelectedPaths(QString& currentFolder) const
{
    currentFolder = m_rootPrefix + m_currentPath;
    QStringList paths;
    for (const TVeskFile& file : m_selected)
        paths << file.path;
    return paths;
}

std::vector<TVeskFile> CVesk3Explorer::GetSelectedFiles(QString& currentFolder) const
{
    currentFolder = m_rootPrefix + m_currentPath;
    return m_selected;
}

void CVesk3Explorer::LayoutControls()
{
    const QRect client = rect();
    const QRect list = client.adjusted(kSideMargin, kTopBottomMargin, -kSideMargin, -kTopBottomMargin);
    m_list->setGeometry(list);
    const int listRight = list.right() + 1;
    m_up->setGeometry(kSideMargin + 2, kFrameTop, kFrameLeft - kSideMargin - 6, kFrameBottom - kFrameTop);
    m_pathLabel->setGeometry(kFrameLeft + 1, kFrameTop + 1, std::max(0, listRight - 2 - kFrameLeft - 1),
                             kFrameBottom - kFrameTop - 2);
    const QSize buttonSize = m_cancel->sizeHint().expandedTo(m_download->sizeHint());
    const int buttonTop = list.bottom() + 1 + kButtonGap;
    m_cancel->setGeometry(listRight - kButtonGap - buttonSize.width(), buttonTop, buttonSize.width(),
                          buttonSize.height());
    m_download->setGeometry(m_cancel->x() - kButtonGap - buttonSize.width(), buttonTop, buttonSize.width(),
                            buttonSize.height());
    update(QRect(QPoint(kFrameLeft, kFrameTop), QPoint(listRight, kFrameBottom)));
}

void CVesk3Explorer::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    Platform::WidgetCanvas dc(this, event->region());
    dc.SelectBrush(Platform::Brush::Solid(Platform::Rgb(255, 255, 255)));
    dc.Rectangle({kFrameLeft, kFrameTop, m_list->geometry().right() + 1, kFrameBottom});
}

void CVesk3Explorer::FillList(const QString& path)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_list->setUpdatesEnabled(false);
    m_list->clear();

    QString folder;
    SplitDevicePath(path, &folder, nullptr, nullptr, nullptr);
    m_pathLabel->setText(folder);

    AddRows(path, kFileImage, false, Qt::ItemIsEditable);
    SetCutLook();
    m_list->setUpdatesEnabled(true);
    m_list->viewport()->update();
    QApplication::restoreOverrideCursor();
}

void CVesk3Explorer::OpenFolder(QTreeWidgetItem* item)
{
    TVeskFile* record = RecordOf(item);
    if (!record || !record->isFolder)
        return;
    m_currentPath = StripRootPrefix(record->path);
    m_up->setEnabled(true);
    FillList(m_currentPath);
}

void CVesk3Explorer::OnFolderUp()
{
    const int n = CountBackslashes(m_currentPath);
    m_currentPath = CutPathAtDepth(m_currentPath, n - 2);
    if (n - 1 <= 1)
        m_up->setEnabled(false);
    FillList(m_currentPath);
}

void CVesk3Explorer::CollectMarked()
{
    m_selected.clear();
    CollectMarkedRecords([this](const TVeskFile& record) { m_selected.push_back(record); });
}

void CVesk3Explorer::OnDownload()
{
    CollectMarked();
    accept();
}

void CVesk3Explorer::SetCutLook()
{
    const QColor cutColor = palette().color(QPalette::Disabled, QPalette::Text);
    for (int row = 0; row < m_list->topLevelItemCount(); ++row)
    {
        QTreeWidgetItem* item = m_list->topLevelItem(row);
        const TVeskFile* record = RecordOf(item);
        const bool cut = record && record->cut;
        item->setData(0, kCutRole, cut);
        item->setForeground(0, cut ? QBrush(cutColor) : QBrush());
    }
}

void CVesk3Explorer::CutMarked()
{
    CollectMarked();
    m_cutCount = 0;
    m_copyCount = 0;
    for (const auto& record : m_records)
    {
        record->cut = record->marked;
        record->copied = false;
        if (record->cut)
            ++m_cutCount;
    }
    SetCutLook();
}

void CVesk3Explorer::MoveRecordsBelow(const QString& oldFolder, const QString& newFolder, bool recomputeDepth)
{
    for (const auto& record : m_records)
    {
        if (!record->path.startsWith(oldFolder) || record->path == newFolder)
            continue;
        record->path = newFolder + record->path.mid(oldFolder.size());
        if (recomputeDepth)
        {
            QString rest = StripRootPrefix(record->path);
            if (rest.endsWith(u'\\'))
                rest.chop(1);
            record->depth = CountBackslashes(rest);
            record->cut = false;
        }
    }
}

void CVesk3Explorer::PasteMove()
{
    if (m_cutCount <= 0)
        return;
    int smallest = INT_MAX;
    for (const auto& record : m_records)
        if (record->cut)
            smallest = std::min(smallest, record->depth);
    std::vector<TVeskFile*> moving;
    for (const auto& record : m_records)
        if (record->cut && record->depth == smallest)
            moving.push_back(record.get());
    const QString destination = m_rootPrefix + m_currentPath;

    // A folder cannot go into itself or below itself: the tester would lose it.
    for (const TVeskFile* record : moving)
    {
        if (record->isFolder && PathStartsWith(destination, record->path))
        {
            ShowMessage(StringId::IDS_MOVE_INTO_ITSELF);
            return;
        }
    }

    CProgressWnd progress(this, LoadString(StringId::IDS_MOVING), LoadString(StringId::IDS_CANCEL), true);
    progress.SetText(QString());
    progress.SetRange(0, int(moving.size()), 1);
    CTesterTransfer transfer(this, &progress);
    bool cancelled = false;
    for (TVeskFile* record : moving)
    {
        QString oldPath = record->path;
        if (record->isFolder)
            oldPath.chop(1);
        const QString name = oldPath.mid(oldPath.lastIndexOf(u'\\') + 1);
        QString newPath = destination + name;
        if (record->isFolder)
        {
            oldPath += u'\\';
            newPath += u'\\';
        }
        if (!NextStep(progress, FromToText(oldPath, newPath)))
        {
            cancelled = true;
            break;
        }
        const bool moved = transfer.Run([connection = &m_connection, oldPath, newPath]
                                         { return connection->MoveItem(oldPath, newPath); });
        // Whether the tester still moved the item is not known: its record stays cut.
        if (transfer.Cancelled())
        {
            cancelled = true;
            break;
        }
        if (!moved)
        {
            ShowMessage(StringId::IDS_MOVE_FAILED);
            continue;
        }
        record->path = newPath;
        record->cut = false;
        record->copied = false;
        record->marked = false;
        QString rest = StripRootPrefix(newPath);
        if (record->isFolder)
            rest.chop(1);
        record->depth = CountBackslashes(rest);
        if (record->isFolder)
            MoveRecordsBelow(oldPath, newPath, true);
    }
    // What was not moved stays cut after a cancel; a completed paste ends the cut.
    m_cutCount = 0;
    m_copyCount = 0;
    for (const auto& record : m_records)
    {
        if (!cancelled)
            record->cut = false;
        if (record->cut)
            ++m_cutCount;
    }
    FillList(m_currentPath);
}

void CVesk3Explorer::DeleteEnded(bool, bool failed)
{
    m_cutCount = int(std::count_if(m_records.begin(), m_records.end(), [](const auto& r) { return r->cut; }));
    FillList(m_currentPath);
    if (failed)
        ShowMessage(StringId::IDS_DELETE_FAILED);
}

bool CVesk3Explorer::CheckName(const QString& name)
{
    if (DeviceFileTransfer::DeviceNameFault(name) != DeviceFileTransfer::NameFault::none)
        return false;
    return std::all_of(name.begin(), name.end(),
                       [](QChar c) { return IsAsciiLetterOrDigit(c) || kNameCharacters.contains(c); });
}

void CVesk3Explorer::StartRename()
{
    QTreeWidgetItem* item = m_list->currentItem();
    if (!item || !RecordOf(item))
        return;
    m_list->scrollToItem(item);
    m_list->editItem(item, 0);
}

void CVesk3Explorer::OnEndLabelEdit(TVeskFile* record, const QString& name)
{
    if (!HasRecord(record))
        return;
    if (name.trimmed().isEmpty())
    {
        ShowMessage(StringId::IDS_ENTER_NAME);
        return;
    }
    if (DeviceFileTransfer::DeviceNameFault(name) == DeviceFileTransfer::NameFault::blank)
    {
        ShowMessage(StringId::IDS_NAME_ONLY_PERIODS);
        return;
    }
    if (!CheckName(name))
    {
        ShowMessage(StringId::IDS_INVALID_CHARACTER);
        ShowMessage(StringId::IDS_RENAME_FAILED);
        return;
    }
    // The name goes between the last backslash and the last period; the extension (".vsm",
    // ".DIR") stays.
    QString path = record->path;
    const bool folder = record->isFolder;
    if (folder)
        path.chop(1);
    const qsizetype slash = path.lastIndexOf(u'\\');
    const qsizetype dot = path.lastIndexOf(u'.');
    if (slash < 0 || dot < 0 || dot < slash)
    {
        ShowMessage(StringId::IDS_RENAME_FAILED);
        return;
    }
    QString newPath = path.left(slash + 1) + name + path.mid(dot);
    if (folder)
        newPath += u'\\';
    // The name as it was: the tester would be asked to move the item onto itself.
    if (newPath == record->path)
        return;
    bool renamed = false;
    {
        CTesterTransfer transfer(this, nullptr);
        renamed = transfer.Run([connection = &m_connection, oldPath = record->path, newPath]
                               { return connection->MoveItem(oldPath, newPath); });
        if (transfer.Cancelled())
            return;
    }
    // The record may have gone while the tester worked (the window kept turning).
    if (!HasRecord(record))
        return;
    if (!renamed)
    {
        ShowMessage(StringId::IDS_RENAME_FAILED);
        return;
    }
    const QString oldPath = record->path;
    record->path = newPath;
    if (folder)
        MoveRecordsBelow(oldPath, newPath, false);
    for (int row = 0; row < m_list->topLevelItemCount(); ++row)
    {
        QTreeWidgetItem* item = m_list->topLevelItem(row);
        if (RecordOf(item) == record)
            item->setText(0, name);
    }
}

QString CVesk3Explorer::FreeFolderName() const
{
    const QString base = LoadString(StringId::IDS_NEW_FOLDER_NAME);
    const QString folder = m_rootPrefix + m_currentPath;
    for (int n = 1;; ++n)
    {
        const QString name = n == 1 ? base : QStringLiteral("%1 (%2)").arg(base).arg(n);
        const QString path = folder + name + kFolderSuffix;
        if (std::none_of(m_records.begin(), m_records.end(),
                         [&path](const auto& r) { return SamePath(r->path, path); }))
            return name;
    }
}

void CVesk3Explorer::NewFolder()
{
    // The name comes from the language in use, so it is checked as a typed one is.
    const QString name = FreeFolderName();
    if (!CheckName(name))
    {
        ShowMessage(StringId::IDS_NEW_FOLDER_FAILED);
        return;
    }
    const QString path = m_rootPrefix + m_currentPath + name + kFolderSuffix;
    bool created = false;
    {
        CTesterTransfer transfer(this, nullptr);
        created = transfer.Run([connection = &m_connection, path] { return connection->CreateFolder(path); });
        if (transfer.Cancelled())
            return;
    }
    if (!created)
    {
        ShowMessage(StringId::IDS_NEW_FOLDER_FAILED);
        return;
    }
    auto record = std::make_unique<TVeskFile>();
    record->index = 0;
    record->depth = CountBackslashes(m_currentPath);
    record->isFolder = true;
    record->path = path;
    TVeskFile* added = record.get();
    m_records.push_back(std::move(record));
    FillList(m_currentPath);
    // The operator names the folder at once.
    for (int row = 0; row < m_list->topLevelItemCount(); ++row)
    {
        QTreeWidgetItem* item = m_list->topLevelItem(row);
        if (RecordOf(item) != added)
            continue;
        m_list->clearSelection();
        m_list->setCurrentItem(item);
        m_list->scrollToItem(item);
        m_list->editItem(item, 0);
        break;
    }
}

void CVesk3Explorer::OnListRightClick(const QPoint& pos)
{
    QTreeWidgetItem* item = SelectRowAt(pos);

    Platform::ImageList images(16, 16);
    images.Add(Platform::BitmapTable::Instance().Get(IDB_MENU_IMAGES), Platform::Rgb(255, 255, 255));
    TwMenu menu;
    menu.SetImageSize(16, 16);
    const unsigned pasteFlags =
        Platform::MF_STRING | (m_cutCount > 0 || m_copyCount > 0 ? 0u : unsigned(Platform::MF_GRAYED));
    if (item)
    {
        menu.AppendItem(LoadString(StringId::IDS_DOWNLOAD), Platform::MF_STRING, menuDownload, &images,
                        kDownloadImage);
        menu.AppendItem(QString(), Platform::MF_SEPARATOR, 0);
        menu.AppendItem(LoadString(StringId::IDS_TREE_CUT), Platform::MF_STRING, menuCut, &images, kCutImage);
        menu.AppendItem(LoadString(StringId::IDS_TREE_PASTE), pasteFlags, menuPaste, &images, kPasteImage);
        menu.AppendItem(QString(), Platform::MF_SEPARATOR, 0);
        menu.AppendItem(LoadString(StringId::IDS_TREE_DELETE), Platform::MF_STRING, menuDelete, &images,
                        kDeleteImage);
        menu.AppendItem(LoadString(StringId::IDS_TREE_RENAME), Platform::MF_STRING, menuRename, &images,
                        kRenameImage);
    }
    else
    {
        menu.AppendItem(LoadString(StringId::IDS_TREE_PASTE), pasteFlags, menuPaste, &images, kPasteImage);
        menu.AppendItem(QString(), Platform::MF_SEPARATOR, 0);
        menu.AppendItem(LoadString(StringId::IDS_TREE_NEW_FOLDER), Platform::MF_STRING, menuNewFolder,
                        &images, kNewFolderImage);
    }
    switch (TrackMenu(menu, pos))
    {
    case menuDownload:
        OnDownload();
        break;
    case menuCut:
        CutMarked();
        break;
    case menuPaste:
        PasteMove();
        break;
    case menuDelete:
        DeleteMarked();
        break;
    case menuRename:
        StartRename();
        break;
    case menuNewFolder:
        NewFolder();
        break;
    default:
        break;
    }
}

bool CVesk3Explorer::TakesKeysOf(const QObject* watched) const
{
    // Only keys the list itself receives: a name editor is a child of its own and keeps
    // its keys.
    return watched == m_list && m_openEditors == 0;
}

bool CVesk3Explorer::OnListKey(const QKeyEvent* key, bool ctrl)
{
    if (ctrl && key->key() == Qt::Key_X)
        CutMarked();
    else if (ctrl && key->key() == Qt::Key_V)
        PasteMove();
    else if (key->key() == Qt::Key_F2)
        StartRename();
    else
        return false;
    return true;
}

void CVesk3Explorer::ShowMessage(uint32_t textId)
{
    Platform::ShowMessageBox(this, LoadString(textId), QString(), Platform::MB_OK);
}
