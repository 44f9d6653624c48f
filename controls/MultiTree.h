#pragma once
#include "platform/gui/ControlNotify.h"

#include <QPersistentModelIndex>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QTreeWidget>

#include <cstdint>
#include <functional>
#include <set>
#include <vector>

namespace Platform
{
class ImageList;
}

using TreeItem = QTreeWidgetItem;

// Item state bits.
inline constexpr unsigned TVIS_FOCUSED = 0x0001;
inline constexpr unsigned TVIS_SELECTED = 0x0002;
inline constexpr unsigned TVIS_CUT = 0x0004;
inline constexpr unsigned TVIS_DROPHILITED = 0x0008;
inline constexpr unsigned TVIS_STATEIMAGEMASK = 0xF000;

// Notifications of the tree to its owner, besides Notify::NM_CLICK and NM_RCLICK.
namespace Notify
{
inline constexpr int TVN_SELCHANGING = -450;
inline constexpr int TVN_SELCHANGED = -451;
inline constexpr int TVN_BEGINDRAG = -456;
inline constexpr int TVN_BEGINRDRAG = -457;
inline constexpr int TVN_BEGINLABELEDIT = -459;
inline constexpr int TVN_ENDLABELEDIT = -460;
} // namespace Notify

// What caused a caret change.
inline constexpr unsigned TVC_UNKNOWN = 0;
inline constexpr unsigned TVC_BYMOUSE = 1;
inline constexpr unsigned TVC_BYKEYBOARD = 2;

// Results of CMultiTree::HitTest.
inline constexpr unsigned TVHT_NOWHERE = 0x0001;
inline constexpr unsigned TVHT_ONITEMICON = 0x0002;
inline constexpr unsigned TVHT_ONITEMLABEL = 0x0004;
inline constexpr unsigned TVHT_ONITEM = 0x0046;
inline constexpr unsigned TVHT_ONITEMINDENT = 0x0008;
inline constexpr unsigned TVHT_ONITEMBUTTON = 0x0010;
inline constexpr unsigned TVHT_ONITEMRIGHT = 0x0020;
inline constexpr unsigned TVHT_ABOVE = 0x0100;
inline constexpr unsigned TVHT_BELOW = 0x0200;
inline constexpr unsigned TVHT_TORIGHT = 0x0400;
inline constexpr unsigned TVHT_TOLEFT = 0x0800;

struct TreeNotify
{
    int code = 0;
    unsigned action = TVC_UNKNOWN;
    // The item losing the selection (or the caret) and the one gaining it, with their data.
    TreeItem* itemOld = nullptr;
    quintptr dataOld = 0;
    TreeItem* itemNew = nullptr;
    quintptr dataNew = 0;
    // Where the button went down, for the drag notifications.
    QPoint ptDrag;
    // The edited text at the end of a label edit; null when the edit was cancelled.
    QString text;
};

// Where an item is inserted among its siblings.
struct TreeInsertAt
{
    enum Kind
    {
        First,
        Last,
        Sort,
        After,
    };
    Kind kind = Last;
    TreeItem* after = nullptr;
    TreeInsertAt(Kind k) : kind(k) {}
    TreeInsertAt(TreeItem* item) : kind(After), after(item) {}
};
inline const TreeInsertAt TVI_FIRST{TreeInsertAt::First};
inline const TreeInsertAt TVI_LAST{TreeInsertAt::Last};
inline const TreeInsertAt TVI_SORT{TreeInsertAt::Sort};

// A tree of text items with images and data that can select several items: Ctrl and Shift
// with the mouse and the arrow keys, a rubber band drawn beside the items, and a drag of
// the selected items with a composite image, hover-expand and auto-scroll. With
// multi-selection off it behaves as a plain tree with one selected item (the caret).
//
// The selection is each item's selected bit (the view's selection model); the caret is the
// view's current item. Changes of the selected bit made by the tree itself are announced to
// the owner with TVN_SELCHANGING (a non-zero answer cancels) and TVN_SELCHANGED.
class CMultiTree : public QTreeWidget
{
public:
    explicit CMultiTree(QWidget* parent = nullptr);
    ~CMultiTree() override;

    // The owner's handler of notifications (the parent window's). A derived tree handles
    // them itself by overriding Notify.
    void SetNotifyHandler(std::function<intptr_t(const TreeNotify&)> handler)
    {
        m_notifyHandler = std::move(handler);
    }

    // Returns the old value. Off keeps only the caret selected.
    bool SetMultiSelect(bool on);
    bool IsMultiSelect() const { return m_multiSelect; }
    void EnableDrag(bool on) { m_dragEnabled = on; }
    // The no-drag style: no TVN_BEGINDRAG / TVN_BEGINRDRAG at all.
    void SetDisableDragDrop(bool on) { m_noDragStyle = on; }

    // --- Items, as the tree control offers them.
    TreeItem* InsertItem(const QString& text, int image, int selectedImage, TreeItem* parent = nullptr,
                         TreeInsertAt at = TVI_LAST);
    void SetImageList(const Platform::ImageList* images);
    void SetItemData(TreeItem* item, quintptr data);
    quintptr GetItemData(const TreeItem* item) const;
    void SetItemImage(TreeItem* item, int image, int selectedImage);
    int GetItemImage(const TreeItem* item) const;
    int GetItemSelectedImage(const TreeItem* item) const;
    // Deletes the item with its children.
    void DeleteItem(TreeItem* item);
    TreeItem* GetNextVisibleItem(TreeItem* item) const;
    TreeItem* GetPrevVisibleItem(TreeItem* item) const;
    TreeItem* GetFirstVisibleItem() const;
    // The item at a point of the viewport; flags receives TVHT_ bits.
    TreeItem* HitTest(QPoint point, unsigned* flags = nullptr) const;
    // The item's icon and text, in viewport coordinates.
    QRect GetItemLabelRect(TreeItem* item) const;
    // Starts editing the item's text (TVN_BEGINLABELEDIT, then TVN_ENDLABELEDIT).
    bool EditLabel(TreeItem* item);
    bool IsEditingLabel() const;
    // The caret, made visible; the plain tree's selection (TVN_SELCHANGING, TVN_SELCHANGED).
    bool SelectItem(TreeItem* item, unsigned action = TVC_UNKNOWN);
    TreeItem* GetSelectedItem() const;
    // Drop highlight of one item (none: cleared).
    void SelectDropTarget(TreeItem* item);
    TreeItem* GetDropHilightItem() const;

    // --- Selection.
    unsigned GetItemState(const TreeItem* item, unsigned mask) const;
    bool SetItemState(TreeItem* item, unsigned state, unsigned mask);
    bool IsSelected(const TreeItem* item) const;
    void SelectAll(bool select);
    void SelectAll(bool select, TreeItem* except);
    void SelectRange(TreeItem* first, TreeItem* last, bool keepOthers);
    TreeItem* GetFirstSelectedItem() const;
    void GetSelectedList(std::vector<TreeItem*>& list) const;

    // --- Utilities.
    // The next item in tree order; none gives the first top-level item.
    TreeItem* GetNextItem(TreeItem* item) const;
    void ClearCutState();
    bool IsChildOf(const TreeItem* ancestor, const TreeItem* item) const;
    TreeItem* CopyItem(TreeItem* source, TreeItem* parent, TreeInsertAt at);
    TreeItem* CopyBranch(TreeItem* source, TreeItem* parent, TreeInsertAt at);
    // "\" followed by every text from the top level down, each with a backslash.
    QString GetItemPath(const TreeItem* item) const;

    // --- Drag state.
    bool IsDragging() const { return m_dragging; }
    // The items being dragged (those still present).
    std::vector<TreeItem*> DragList() const;
    // The drag image while a drag runs (green already made transparent), and its hotspot.
    const QImage& DragImage() const { return m_dragImage; }
    QPoint DragHotspot() const { return m_dragHotspot; }
    bool IsBanding() const { return m_mode == Mode::Band && m_bandStarted; }
    QRect BandRect() const;

    // Timer intervals.
    static constexpr int kBandScrollMs = 75;
    static constexpr int kHoverExpandMs = 2000;
    static constexpr int kDragScrollMs = 80;

protected:
    // Sends a notification to the owner; the answer is the handler's (0 without one).
    virtual intptr_t Notify(TreeNotify& notify);
    // Called by CopyItem after a new item was made from the source.
    virtual void OnItemCopied(TreeItem* source, TreeItem* newItem);

    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyboardSearch(const QString& search) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    class Delegate;
    friend class Delegate;
    enum class Mode
    {
        Idle,
        ClickOrDrag,
        Band,
    };

    void SetSelectedDirect(TreeItem* item, bool selected);
    void SetCaretDirect(TreeItem* item);
    void SetStateBitsDirect(TreeItem* item, unsigned state, unsigned mask);
    std::vector<TreeItem*> VisibleItems() const;
    TreeItem* ItemOf(const QPersistentModelIndex& index) const;
    QPersistentModelIndex IndexOf(TreeItem* item) const;
    bool EndLabelEdit(TreeItem* item, const QString* text);

    TreeItem* CopyBranch(TreeItem* source, TreeItem* parent, TreeInsertAt at, std::set<TreeItem*>& made);
    void OnCollapsed(const QModelIndex& index);
    void OnRowsAboutToBeRemoved(const QModelIndex& parent, int first, int last);

    void PressOnItem(TreeItem* item, Qt::MouseButton button, Qt::KeyboardModifiers mods);
    void ClickOnItem();
    void DragFromItem();
    void StartBand(QPoint pos, Qt::MouseButton button, Qt::KeyboardModifiers mods);
    void TrackBand(QPoint pos);
    void EndBand(bool escaped);
    QPoint ContentOffset() const;
    void ScrollOutside(QPoint pos);

    void BeginDrag(TreeItem* source, QPoint point);
    void DragMove(QPoint pos);
    void EndDrag(bool expandTarget);
    void OnHoverTimer();
    void OnDragScrollTimer();

    bool m_multiSelect = true;
    bool m_dragEnabled = true;
    bool m_noDragStyle = false;
    const Platform::ImageList* m_images = nullptr;
    std::function<intptr_t(const TreeNotify&)> m_notifyHandler;
    QPersistentModelIndex m_anchor;

    // Mouse gesture in progress.
    Mode m_mode = Mode::Idle;
    QPersistentModelIndex m_pressItem;
    QPoint m_pressPos;
    Qt::MouseButton m_pressButton = Qt::NoButton;
    Qt::KeyboardModifiers m_pressMods;
    QPoint m_lastPos;

    // Rubber band: its fixed corner in content coordinates, the selection it started from.
    bool m_bandStarted = false;
    QPoint m_bandOrigin;
    std::set<QPersistentModelIndex> m_remembered;
    QTimer m_bandTimer;

    // Drag of the selected items.
    bool m_dragging = false;
    std::vector<QPersistentModelIndex> m_dragList;
    QPersistentModelIndex m_dragSource;
    QPersistentModelIndex m_dropTarget;
    QPersistentModelIndex m_dropHilite;
    QImage m_dragImage;
    QPoint m_dragHotspot;
    QPointer<QWidget> m_dragWindow;
    QTimer m_hoverTimer;
    QTimer m_dragScrollTimer;

    QPersistentModelIndex m_editing;
};
