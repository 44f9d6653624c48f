#include "app/LocalTree.h"

#include "controls/TwMenu.h"
#include "document/FolderPath.h"
#include "document/VeskDoc.h"
#include "measurement/FolderData.h"
#include "platform/core/StringTable.h"
#include "platform/gui/BitmapTable.h"
#include "platform/gui/ImageList.h"
#include "platform/gui/MessageBox.h"
#include "platform/gui/PopupMenu.h"
#include "resources/StringIds.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

#include <memory>

using Platform::LoadString;
using Platform::MF_GRAYED;
using Platform::MF_SEPARATOR;
using Platform::MF_STRING;

CLocalTree::CLocalTree(QWidget* parent) : CMultiTree(parent)
{
    setObjectName(QStringLiteral("LocalTree"));
    setProperty("controlId", kControlId);
    setHeaderHidden(true);
    setFrameShape(QFrame::StyledPanel);
    setFocusPolicy(Qt::StrongFocus);
    // One folder at a time: the series page shows exactly one.
    SetMultiSelect(false);
    EnableDrag(false);
}

CLocalTree::~CLocalTree()
{
    if (m_doc)
    {
        m_doc->RemoveView(this);
        m_doc->RemoveCommandPeer(this);
    }
}

void CLocalTree::SetDocument(CVeskDoc* doc)
{
    if (m_doc)
    {
        m_doc->RemoveView(this);
        m_doc->RemoveCommandPeer(this);
    }
    m_doc = doc;
    if (m_doc)
    {
        m_doc->AddView(this);
        m_doc->AddCommandPeer(this);
    }
}

CFolderData* CLocalTree::FolderOf(const TreeItem* item) const
{
    return item ? reinterpret_cast<CFolderData*>(GetItemData(item)) : nullptr;
}

TreeItem* CLocalTree::ItemAt(const QPersistentModelIndex& index) const
{
    return index.isValid() ? itemFromIndex(QModelIndex(index)) : nullptr;
}

QPersistentModelIndex CLocalTree::Persist(TreeItem* item) const
{
    return item ? QPersistentModelIndex(indexFromItem(item)) : QPersistentModelIndex();
}

TreeItem* CLocalTree::Target() const
{
    TreeItem* target = ItemAt(m_target);
    return target ? target : GetSelectedItem();
}

QString CLocalTree::TopLabel() const
{
    if (!m_doc)
        return QString();
    // Without a project file the title is "Unnamed".
    if (m_doc->GetProjectPath().isEmpty())
        return m_doc->GetTitle(true);
    return m_doc->GetTitle(true) + QStringLiteral(".v3p");
}

QString CLocalTree::PathOf(const TreeItem* item) const
{
    QString path = GetItemPath(item);
    // Drop the project's own label: "\<title>\A\" -> "\A\".
    const qsizetype second = path.indexOf(u'\\', 1);
    return second < 0 ? QStringLiteral("\\") : path.mid(second);
}

TreeItem* CLocalTree::ChildByText(TreeItem* parent, const QString& text) const
{
    const int count = parent ? parent->childCount() : topLevelItemCount();
    for (int i = 0; i < count; ++i)
    {
        TreeItem* child = parent ? parent->child(i) : topLevelItem(i);
        if (child->text(0) == text)
            return child;
    }
    return nullptr;
}

TreeItem* CLocalTree::FindItem(const QString& folderPath) const
{
    TreeItem* item = TopItem();
    const QStringList parts = folderPath.split(u'\\', Qt::SkipEmptyParts);
    for (const QString& part : parts)
    {
        if (!item)
            break;
        item = ChildByText(item, part);
    }
    return item;
}

TreeItem* CLocalTree::CurrentFolderItem() const
{
    if (!m_doc || !m_doc->GetCurrentFolder())
        return nullptr;
    TreeItem* item = FindItem(m_doc->GetCurrentFolderPath());
    return item && FolderOf(item) == m_doc->GetCurrentFolder() ? item : nullptr;
}

TreeItem* CLocalTree::EnsureItem(const QString& folderPath)
{
    const QStringList parts = (u'\\' + TopLabel() + folderPath).split(u'\\', Qt::SkipEmptyParts);
    TreeItem* item = nullptr;
    for (const QString& part : parts)
    {
        TreeItem* child = ChildByText(item, part);
        if (!child)
        {
            const int image = item ? kImageFolder : kImageProject;
            child = InsertItem(part, image, image, item, TVI_SORT);
        }
        item = child;
    }
    return item;
}

// Items whose folder is gone (a project opened or closed, a folder deleted or moved
// elsewhere) would keep pointing at freed folders; they lose their folder here, and go
// when nothing below them has one.
void CLocalTree::DropStaleItems()
{
    std::vector<TreeItem*> order;
    for (TreeItem* item = TopItem(); item; item = GetNextItem(item))
        order.push_back(item);
    for (TreeItem* item : order)
    {
        CFolderData* folder = FolderOf(item);
        if (folder && m_doc->LookupFolder(PathOf(item)) != folder)
            SetItemData(item, 0);
    }
    // Children come after their parents in the walk: go backwards so that a parent is
    // judged after its children.
    for (auto it = order.rbegin(); it != order.rend(); ++it)
    {
        TreeItem* item = *it;
        if (item != TopItem() && !FolderOf(item) && item->childCount() == 0)
            DeleteItem(item);
    }
}

void CLocalTree::OnDocUpdate(int)
{
    if (!m_doc)
        return;
    ++m_rebuildDepth;
    setUpdatesEnabled(false);
    if (!m_doc->HasFolders())
    {
        m_cutSource = m_copySource = m_target = QPersistentModelIndex();
        clear();
    }
    else
    {
        const QString label = TopLabel();
        if (TreeItem* top = TopItem(); top && top->text(0) != label)
            top->setText(0, label);
        for (CVeskDoc::FolderPosition pos = m_doc->GetFirstFolderPosition(); pos;)
        {
            QString path;
            CFolderData* folder = nullptr;
            m_doc->GetNextFolder(pos, path, folder);
            SetItemData(EnsureItem(path), reinterpret_cast<quintptr>(folder));
        }
        DropStaleItems();
        if (TreeItem* top = TopItem())
        {
            top->setExpanded(true);
            // The folder the document shows (a paste that made the project shows its
            // folder), else the project itself.
            if (!GetSelectedItem())
                SelectItem(CurrentFolderItem() ? CurrentFolderItem() : top);
        }
    }
    if (--m_rebuildDepth == 0)
        setUpdatesEnabled(true);
}

void CLocalTree::OnDocCommand(uint32_t message)
{
    RunCommand(message);
}

void CLocalTree::PostCommand(uint32_t message)
{
    QTimer::singleShot(0, this, [this, message] { RunCommand(message); });
}

void CLocalTree::RunCommand(uint32_t message)
{
    TreeItem* target = Target();
    switch (message)
    {
    case WM_CMD_CUT:
        OnCut(target);
        break;
    case WM_CMD_COPY:
        OnCopy(target);
        break;
    case WM_CMD_PASTE:
        OnPaste(target);
        break;
    case WM_CMD_DELETE:
        OnDelete(target);
        break;
    case WM_CMD_RENAME:
        OnRename(target);
        break;
    case WM_CMD_NEW_FOLDER:
        OnNewFolder(target);
        break;
    default:
        return;
    }
    m_target = QPersistentModelIndex();
}

intptr_t CLocalTree::Notify(TreeNotify& notify)
{
    switch (notify.code)
    {
    case Notify::TVN_SELCHANGED:
        if (m_doc && notify.itemNew && IsSelected(notify.itemNew))
        {
            if (CFolderData* folder = FolderOf(notify.itemNew))
            {
                // The rebuild's own choice of item (after an open, a close, a folder that
                // went) is no change the user made to the project.
                if (m_rebuildDepth > 0)
                    m_doc->FollowFolder(folder, folder->GetName(), false);
                else
                    m_doc->SetCurrentFolder(folder, folder->GetName(), false);
            }
        }
        break;
    case Notify::NM_RCLICK:
        ShowContextMenu();
        break;
    case Notify::TVN_BEGINLABELEDIT:
        // The project's label is its title, not a folder name.
        return notify.itemNew == TopItem() ? 1 : 0;
    case Notify::TVN_ENDLABELEDIT:
        if (notify.text.isNull())
            return 0;
        return EndRename(notify.itemNew, notify.text) ? 1 : 0;
    default:
        break;
    }
    return CMultiTree::Notify(notify);
}

void CLocalTree::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton)
        m_rightClickPos = event->position().toPoint();
    CMultiTree::mousePressEvent(event);
}

bool CLocalTree::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride)
    {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool ctrl =
            (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) == Qt::ControlModifier;
        if ((ctrl && (key->key() == Qt::Key_C || key->key() == Qt::Key_V || key->key() == Qt::Key_X)) ||
            (key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier))
        {
            event->accept();
            return true;
        }
    }
    return CMultiTree::event(event);
}

void CLocalTree::keyPressEvent(QKeyEvent* event)
{
    if (event->modifiers() & Qt::ControlModifier)
    {
        const uint32_t message = event->key() == Qt::Key_C   ? WM_CMD_COPY
                                 : event->key() == Qt::Key_V ? WM_CMD_PASTE
                                 : event->key() == Qt::Key_X ? WM_CMD_CUT
                                                             : 0;
        if (message)
        {
            PostCommand(message);
            event->accept();
            return;
        }
    }
    if (event->key() == Qt::Key_F2)
        PostCommand(WM_CMD_RENAME);
    else if (event->key() == Qt::Key_Delete)
        PostCommand(WM_CMD_DELETE);
    CMultiTree::keyPressEvent(event);
}

void CLocalTree::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    // A right click has had its menu from the button's release already.
    if (event->reason() == QContextMenuEvent::Mouse)
        return;
    // The Menu key and Shift+F10: the menu of the item with the caret, or of the project
    // when there is none.
    const TreeItem* caret = GetSelectedItem();
    m_rightClickPos = caret ? visualItemRect(caret).center() : QPoint(-1, -1);
    ShowContextMenu();
}

void CLocalTree::ShowContextMenu()
{
    if (!m_doc)
        return;
    TreeItem* item = HitTest(m_rightClickPos);
    m_target = Persist(item);
    const bool folder = item && item != TopItem();

    Platform::ImageList images(16, 16);
    const QImage strip = Platform::BitmapTable::Instance().Get(kMenuBitmap);
    if (!strip.isNull())
        images.Add(strip, Platform::Rgb(255, 255, 255));

    TwMenu menu;
    menu.SetImageSize(16, 16);
    if (folder)
    {
        menu.AppendItem(LoadString(StringId::IDS_TREE_CUT), MF_STRING, kMenuCut, &images, 1);
        menu.AppendItem(LoadString(StringId::IDS_TREE_COPY), MF_STRING, kMenuCopy, &images, 2);
    }
    menu.AppendItem(LoadString(StringId::IDS_TREE_PASTE),
                    MF_STRING | (m_doc->IsClipboardPending() ? 0u : MF_GRAYED), kMenuPaste, &images, 3);
    if (folder)
    {
        menu.AppendItem(QString(), MF_SEPARATOR, 0);
        menu.AppendItem(LoadString(StringId::IDS_TREE_DELETE), MF_STRING, kMenuDelete, &images, 4);
        menu.AppendItem(LoadString(StringId::IDS_TREE_RENAME), MF_STRING, kMenuRename, &images, 5);
    }
    menu.AppendItem(QString(), MF_SEPARATOR, 0);
    menu.AppendItem(LoadString(StringId::IDS_TREE_NEW_FOLDER), MF_STRING, kMenuNewFolder, &images, 6);

    const QPoint at = viewport()->mapToGlobal(m_rightClickPos);
    const unsigned chosen = menu.TrackPopupMenu(
        Platform::TPM_LEFTALIGN | Platform::TPM_TOPALIGN | Platform::TPM_RETURNCMD, at.x(), at.y(), this);
    static constexpr uint32_t kMessages[] = {WM_CMD_CUT,    WM_CMD_COPY,   WM_CMD_PASTE,
                                             WM_CMD_DELETE, WM_CMD_RENAME, WM_CMD_NEW_FOLDER};
    if (chosen >= kMenuCut && chosen <= kMenuNewFolder)
        PostCommand(kMessages[chosen - kMenuCut]);
    else
        // A dismissed menu must not leave the clicked item as the target of a later key.
        m_target = QPersistentModelIndex();
}

void CLocalTree::OnCut(TreeItem* target)
{
    ClearCutState();
    if (!target || target == TopItem())
        return;
    SetItemState(target, TVIS_CUT, TVIS_CUT);
    m_cutSource = Persist(target);
    m_copySource = QPersistentModelIndex();
    m_doc->SetFolderCutPending(true);
}

void CLocalTree::OnCopy(TreeItem* target)
{
    ClearCutState();
    if (!target || target == TopItem())
        return;
    m_copySource = Persist(target);
    m_cutSource = QPersistentModelIndex();
    m_doc->SetFolderCopyPending(true);
}

bool CLocalTree::PasteIntoItself(TreeItem* source, TreeItem* target)
{
    if (target != source && !IsChildOf(source, target))
        return false;
    Platform::ShowMessageBox(this, LoadString(StringId::IDS_TREE_PASTE_INTO_CHILD), QString(),
                             Platform::MB_OK);
    return true;
}

void CLocalTree::OnPaste(TreeItem* target)
{
    if (!m_doc || !target)
        return;
    if (m_doc->IsSeriesCopyPending())
    {
        m_doc->PushCurrentFolder();
        if (CFolderData* folder = FolderOf(target))
            m_doc->SetCurrentFolder(folder, folder->GetName(), true);
        m_doc->SendToCommandPeers(this, WM_CMD_PASTE);
        m_doc->PopCurrentFolder();
        return;
    }
    ClearCutState();
    if (TreeItem* source = ItemAt(m_copySource))
    {
        if (!PasteIntoItself(source, target))
            CopyBranch(source, target, TVI_SORT);
        return;
    }
    TreeItem* source = ItemAt(m_cutSource);
    if (!source || PasteIntoItself(source, target))
        return;
    CFolderData* cut = FolderOf(source);
    CFolderData* into = FolderOf(target);
    if (!cut || !into)
        return;
    QString oldPath = cut->GetName();
    QString name = oldPath.chopped(1);
    name = name.mid(name.lastIndexOf(u'\\') + 1);
    QString newPath = into->GetName() + name + u'\\';
    // Every view rebuilds, this tree too: the rebuild creates the items at the new place.
    if (newPath == oldPath || !m_doc->MoveFolders(oldPath, newPath))
        return;
    // The cut folder has gone to its new place: the pending cut ends with it.
    m_cutSource = QPersistentModelIndex();
    m_doc->SetFolderCutPending(false);
    if (TreeItem* old = FindItem(oldPath); old && old != TopItem())
        DeleteItem(old);
}

void CLocalTree::OnItemCopied(TreeItem* source, TreeItem* newItem)
{
    const CFolderData* original = FolderOf(source);
    if (!original || !m_doc)
    {
        SetItemData(newItem, 0);
        return;
    }
    auto copy = std::make_unique<CFolderData>(*original);
    const QString path = PathOf(newItem);
    QString finalPath = path;
    copy->SetName(finalPath);
    // The tree places the copied items itself while it copies the branch.
    for (int n = 2; !m_doc->AddFolder(finalPath, copy, this); ++n)
    {
        finalPath = path.chopped(1) + QStringLiteral("(%1)\\").arg(n);
        copy->SetName(finalPath);
    }
    CFolderData* entered = m_doc->LookupFolder(finalPath);
    const QString element = finalPath.chopped(1).mid(finalPath.chopped(1).lastIndexOf(u'\\') + 1);
    newItem->setText(0, element);
    SetItemData(newItem, reinterpret_cast<quintptr>(entered));
}

void CLocalTree::OnDelete(TreeItem* target)
{
    if (!m_doc || !target || target == TopItem())
        return;
    if (Platform::ShowMessageBox(this, LoadString(StringId::IDS_TREE_ASK_DELETE), QString(),
                                 Platform::MB_YESNOCANCEL) != Platform::IDYES)
        return;
    CFolderData* folder = FolderOf(target);
    const QPersistentModelIndex keep = Persist(target);
    if (TreeItem* previous = GetPrevVisibleItem(target))
        SelectItem(previous);
    if (!folder)
        return;
    QString path = folder->GetName();
    if (m_doc->DeleteFolders(path, this))
    {
        if (TreeItem* gone = ItemAt(keep))
            DeleteItem(gone);
    }
}

void CLocalTree::OnRename(TreeItem* target)
{
    if (target && target != TopItem())
        EditLabel(target);
}

bool CLocalTree::EndRename(TreeItem* item, const QString& text)
{
    CFolderData* folder = FolderOf(item);
    if (!m_doc || !folder || item == TopItem())
        return false;
    // A backslash would split the name into nested folders once the project is saved and
    // opened again.
    if (!IsValidFolderName(text))
    {
        Platform::ShowMessageBox(this, LoadString(StringId::IDS_BAD_FOLDER_NAME), QString(),
                                 Platform::MB_OK | Platform::MB_ICONEXCLAMATION);
        return false;
    }
    QString oldPath = folder->GetName();
    const QString parent = oldPath.left(oldPath.chopped(1).lastIndexOf(u'\\') + 1);
    QString newPath = parent + text + u'\\';
    if (newPath == oldPath)
        return true;
    if (m_doc->LookupFolder(newPath))
    {
        Platform::ShowMessageBox(this, LoadString(StringId::IDS_FOLDER_EXISTS).replace(QStringLiteral("%s"), text), QString(),
                                 Platform::MB_OK | Platform::MB_ICONEXCLAMATION);
        return false;
    }
    // The edited item shows the new name already.
    return m_doc->MoveFolders(oldPath, newPath, this);
}

void CLocalTree::OnNewFolder(TreeItem* target)
{
    if (!m_doc)
        return;
    const CFolderData* base = FolderOf(target);
    const QString basePath = base ? base->GetName() : QString();
    QString candidate;
    // Among count + 1 names one is free, so the loop ends even if the document refuses.
    const size_t limit = m_doc->GetFolderCount() + 2;
    bool created = false;
    for (size_t n = 1; n <= limit && !created; ++n)
    {
        candidate = basePath + QStringLiteral("New Folder");
        if (n > 1)
            candidate += QStringLiteral("(%1)").arg(n);
        candidate += u'\\';
        NormalizeFolderPath(candidate);
        created = m_doc->AddMeasurementFile(candidate, nullptr);
    }
    if (!created)
        return;
    CFolderData* folder = m_doc->LookupFolder(candidate);
    m_doc->AddMeasurementFile(QString(), nullptr);
    TreeItem* item = FindItem(candidate);
    if (!item)
        item = EnsureItem(candidate);
    SetItemData(item, reinterpret_cast<quintptr>(folder));
    m_target = Persist(item);
    scrollToItem(item);
    EditLabel(item);
}
