#include "devicefiles/TesterFileDialog.h"

#include "controls/ProgressWnd.h"
#include "controls/TwMenu.h"
#include "document/FolderPath.h"
#include "devicefiles/TesterTransfer.h"
#include "devicefiles/VeskoraConnection.h"
#include "platform/core/StringTable.h"
#include "platform/gui/BitmapTable.h"
#include "platform/gui/ImageList.h"
#include "platform/gui/MessageBox.h"
#include "platform/gui/PopupMenu.h"
#include "resources/StringIds.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QTreeWidget>

#include <algorithm>

using Platform::LoadString;

namespace
{
constexpr uint32_t IDB_LIST_IMAGES = 1306;
constexpr int kFolderImage = 0;
constexpr int kColumnWidth = 200;
} // namespace

CTesterFileDialog::CTesterFileDialog(QWidget* parent, CVeskoraConnection& connection, uint32_t columnTextId)
    : QDialog(parent), m_connection(connection)
{
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("list"));
    m_list->setColumnCount(1);
    m_list->setHeaderLabels({LoadString(columnTextId)});
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
    m_list->installEventFilter(this);
    connect(m_list, &QTreeWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { OnListRightClick(pos); });
}

CTesterFileDialog::~CTesterFileDialog() = default;

TVeskFile* CTesterFileDialog::RecordOf(const QTreeWidgetItem* item) const
{
    if (!item)
        return nullptr;
    auto* record = reinterpret_cast<TVeskFile*>(item->data(0, kRecordRole).value<quintptr>());
    return HasRecord(record) ? record : nullptr;
}

bool CTesterFileDialog::HasRecord(const TVeskFile* record) const
{
    return record && std::any_of(m_records.begin(), m_records.end(),
                                 [record](const auto& r) { return r.get() == record; });
}

QString CTesterFileDialog::StripRootPrefix(const QString& path) const
{
    return path.startsWith(m_rootPrefix) ? path.mid(m_rootPrefix.size()) : path;
}

void CTesterFileDialog::RemoveListRow(const QString& path)
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

void CTesterFileDialog::AddRows(const QString& folder, int fileImage, bool fileNameWithExtension,
                                Qt::ItemFlags extraFlags)
{
    Platform::ImageList images(16, 16);
    images.Add(Platform::BitmapTable::Instance().Get(IDB_LIST_IMAGES), Platform::Rgb(255, 0, 0));
    const auto icon = [&images](int index)
    {
        const QImage* image = images.GetImage(index);
        return image ? QIcon(QPixmap::fromImage(*image)) : QIcon();
    };
    const int level = int(folder.count(u'\\'));
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
            else if (fileNameWithExtension)
                SplitDevicePath(rest, nullptr, nullptr, nullptr, &text);
            else
                SplitDevicePath(rest, nullptr, nullptr, &text, nullptr);
            auto* item = new QTreeWidgetItem(m_list, {text});
            item->setIcon(0, icon(folders ? kFolderImage : fileImage));
            item->setData(0, kRecordRole, QVariant::fromValue(reinterpret_cast<quintptr>(record.get())));
            if (extraFlags)
                item->setFlags(item->flags() | extraFlags);
        }
    }
}

void CTesterFileDialog::CollectMarkedRecords(const std::function<void(const TVeskFile&)>& take)
{
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
            take(*record);
            continue;
        }
        // A folder brings itself and everything below it.
        const QString folder = record->path;
        for (const auto& inner : m_records)
        {
            if (!inner->path.startsWith(folder))
                continue;
            inner->marked = true;
            take(*inner);
        }
    }
}

void CTesterFileDialog::DeleteMarked()
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
    if (count == 0 || !MayDelete())
        return;
    if (Platform::ShowMessageBox(this, LoadString(StringId::IDS_TREE_ASK_DELETE), QString(),
                                 Platform::MB_YESNOCANCEL | Platform::MB_ICONQUESTION) != Platform::IDYES)
        return;

    bool failed = false;
    bool cancelled = false;
    {
        CProgressWnd progress(this, LoadString(StringId::IDS_DELETING), LoadString(StringId::IDS_CANCEL),
                              true);
        progress.SetText(QString());
        progress.SetRange(0, count, 1);
        CTesterTransfer transfer(this, &progress);
        // Deepest first: a folder's contents go before the folder.
        for (int depth = deepest; depth >= 0 && !cancelled; --depth)
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
                if (!NextStep(progress, LoadString(StringId::IDS_DELETING_FILE) + folder + base))
                {
                    cancelled = true;
                    break;
                }
                const bool deleted = transfer.Run([connection = &m_connection, path = record->path]
                                                  { return connection->DeleteItem(path); });
                // Whether the tester still deleted the item is not known: its row stays.
                if (transfer.Cancelled())
                {
                    cancelled = true;
                    break;
                }
                if (!deleted)
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
    DeleteEnded(cancelled, failed);
}

bool CTesterFileDialog::NextStep(CProgressWnd& progress, const QString& text)
{
    progress.SetText(text);
    progress.StepIt();
    progress.PumpMessages(true);
    return !progress.Cancelled();
}

QTreeWidgetItem* CTesterFileDialog::SelectRowAt(const QPoint& pos)
{
    QTreeWidgetItem* item = m_list->itemAt(pos);
    if (item && !item->isSelected())
    {
        m_list->clearSelection();
        item->setSelected(true);
        m_list->setCurrentItem(item);
    }
    return item;
}

unsigned CTesterFileDialog::TrackMenu(TwMenu& menu, const QPoint& pos)
{
    const QPoint at = m_list->viewport()->mapToGlobal(pos);
    return menu.TrackPopupMenu(Platform::TPM_LEFTALIGN | Platform::TPM_RETURNCMD, at.x(), at.y(), this);
}

void CTesterFileDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    LayoutControls();
}

bool CTesterFileDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !TakesKeysOf(watched))
        return QDialog::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool ctrl = (key->modifiers() & Qt::ControlModifier) != 0;
    if (key->key() == Qt::Key_Delete && !ctrl)
        DeleteMarked();
    else if (ctrl && key->key() == Qt::Key_A)
        m_list->selectAll();
    else if (!OnListKey(key, ctrl))
        return QDialog::eventFilter(watched, event);
    return true;
}
