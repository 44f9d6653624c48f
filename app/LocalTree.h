#pragma once
#include "controls/MultiTree.h"
#include "document/DocView.h"

#include <QPersistentModelIndex>
#include <QPoint>

class CFolderData;
class CVeskDoc;

// The tree of the project's folders in the left pane. The project is the single top item;
// every other item stands for the folder whose path is the chain of item texts below it.
// Selecting an item makes its folder current; the tree also creates, renames, deletes,
// cuts, copies and pastes folders, and hands a series paste to the series page.
class CLocalTree final : public CMultiTree, public DocView, public DocCommandPeer
{
public:
    static constexpr int kControlId = 1304;
    static constexpr unsigned kMenuBitmap = 1312;
    // Command ids of the context menu.
    enum : unsigned
    {
        kMenuCut = 3,
        kMenuCopy = 4,
        kMenuPaste = 5,
        kMenuDelete = 6,
        kMenuRename = 7,
        kMenuNewFolder = 8,
    };
    static constexpr int kImageFolder = 0;
    static constexpr int kImageProject = 3;

    explicit CLocalTree(QWidget* parent = nullptr);
    ~CLocalTree() override;

    // Registers the tree with the document as a view and as a command peer.
    void SetDocument(CVeskDoc* doc);
    CVeskDoc* GetDocument() const { return m_doc; }

    // DocView: rebuilds the items from the document's folders.
    void OnDocUpdate(int hint) override;
    // DocCommandPeer: a command relayed by the series page, run at once.
    void OnDocCommand(uint32_t message) override;

    // Runs an edit command (WM_CMD_...) on the command target, or on the caret item.
    void RunCommand(uint32_t message);
    // Queues an edit command, as the menu and the keys do.
    void PostCommand(uint32_t message);

    TreeItem* TopItem() const { return topLevelItemCount() ? topLevelItem(0) : nullptr; }
    // The item whose folder path is the given one; null when there is none.
    TreeItem* FindItem(const QString& folderPath) const;
    CFolderData* FolderOf(const TreeItem* item) const;

protected:
    intptr_t Notify(TreeNotify& notify) override;
    void OnItemCopied(TreeItem* source, TreeItem* newItem) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // The tree's edit keys (Ctrl+C/V/X, Delete) are its own while it has the keyboard, not
    // the main window's Edit commands for the series page.
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    TreeItem* Target() const;
    // The item of the document's current folder; null when it has none.
    TreeItem* CurrentFolderItem() const;
    TreeItem* ItemAt(const QPersistentModelIndex& index) const;
    QPersistentModelIndex Persist(TreeItem* item) const;
    QString TopLabel() const;
    // The folder path of an item from its place in the tree.
    QString PathOf(const TreeItem* item) const;
    TreeItem* ChildByText(TreeItem* parent, const QString& text) const;
    TreeItem* EnsureItem(const QString& folderPath);
    void DropStaleItems();
    void ShowContextMenu();

    void OnCut(TreeItem* target);
    void OnCopy(TreeItem* target);
    void OnPaste(TreeItem* target);
    void OnDelete(TreeItem* target);
    void OnRename(TreeItem* target);
    void OnNewFolder(TreeItem* target);
    bool PasteIntoItself(TreeItem* source, TreeItem* target);
    bool EndRename(TreeItem* item, const QString& text);

    CVeskDoc* m_doc = nullptr;
    QPersistentModelIndex m_cutSource;
    QPersistentModelIndex m_copySource;
    QPersistentModelIndex m_target;
    QPoint m_rightClickPos;
    int m_rebuildDepth = 0;
};
