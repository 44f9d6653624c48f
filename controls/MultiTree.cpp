#include "controls/MultiTree.h"

#include "platform/gui/Canvas.h"
#include "platform/gui/ContextMenuKey.h"
#include "platform/gui/ImageList.h"
#include "platform/gui/PainterCanvas.h"
#include "platform/gui/SystemLook.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <cmath>

namespace
{

// Item roles of the tree's own data.
constexpr int kDataRole = Qt::UserRole + 0x100;
constexpr int kImageRole = Qt::UserRole + 0x101;
constexpr int kSelectedImageRole = Qt::UserRole + 0x102;
constexpr int kStateRole = Qt::UserRole + 0x103;

// The bits kept on the item itself; selection and caret live in the view.
constexpr unsigned kStoredBits = TVIS_CUT | TVIS_DROPHILITED | TVIS_STATEIMAGEMASK;

// The drag image is made on this colour, which then becomes transparent.
constexpr QRgb kDragKey = qRgb(0, 255, 0);

bool Beyond(QPoint a, QPoint b)
{
    const int distance = QApplication::startDragDistance();
    return std::abs(a.x() - b.x()) >= distance || std::abs(a.y() - b.y()) >= distance;
}

// The selection colour stays off the branch lines and buttons.
class TreeStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == QStyle::SH_ItemView_ShowDecorationSelected)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

// Draws items with the tree's images (the selected one while selected, ghosted while cut),
// drop-highlighted items as selected, and hands an edited label to the tree.
class CMultiTree::Delegate : public QStyledItemDelegate
{
public:
    explicit Delegate(CMultiTree* tree) : QStyledItemDelegate(tree), m_tree(tree) {}

    void Prepare(QStyleOptionViewItem* option, const QModelIndex& index) const
    {
        initStyleOption(option, index);
    }

    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const unsigned state = index.data(kStateRole).toUInt();
        if (state & TVIS_DROPHILITED)
            option->state |= QStyle::State_Selected;
        if (!m_tree->m_images)
            return;
        const bool selected = m_tree->selectionModel()->isSelected(index);
        const int image = index.data(selected ? kSelectedImageRole : kImageRole).toInt();
        const QImage* picture = m_tree->m_images->GetImage(image);
        if (!picture)
            return;
        QIcon icon(QPixmap::fromImage(*picture));
        if (state & TVIS_CUT)
            icon = QIcon(icon.pixmap(picture->size(), QIcon::Disabled));
        option->icon = icon;
        option->decorationSize = picture->size();
        option->features |= QStyleOptionViewItem::HasDecoration;
    }

    // As on a classic tree, the selection colour covers the icon and the text only, not
    // the rest of the row.
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem narrow = option;
        const QRect label = m_tree->GetItemLabelRect(m_tree->itemFromIndex(index));
        if (!label.isEmpty() && label.top() == option.rect.top())
            narrow.rect.setRight(std::min(option.rect.right(), label.right()));
        QStyledItemDelegate::paint(painter, narrow, index);
    }

    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override
    {
        auto* line = qobject_cast<QLineEdit*>(editor);
        const QString text = line ? line->text() : QString();
        m_tree->EndLabelEdit(m_tree->itemFromIndex(index), &text);
    }

private:
    CMultiTree* m_tree;
};

CMultiTree::CMultiTree(QWidget* parent) : QTreeWidget(parent)
{
    setColumnCount(1);
    setHeaderHidden(true);
    // The tree keeps the selection itself; Qt's own selection and editing gestures stay off.
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setExpandsOnDoubleClick(false);
    setAutoScroll(false);
    setDragEnabled(false);
    setUniformRowHeights(true);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setItemDelegate(new Delegate(this));
    auto* look = new TreeStyle;
    look->setParent(this);
    setStyle(look);

    m_bandTimer.setInterval(kBandScrollMs);
    connect(&m_bandTimer, &QTimer::timeout, this,
            [this]
            {
                ScrollOutside(m_lastPos);
                TrackBand(m_lastPos);
            });
    m_hoverTimer.setInterval(kHoverExpandMs);
    connect(&m_hoverTimer, &QTimer::timeout, this, [this] { OnHoverTimer(); });
    m_dragScrollTimer.setInterval(kDragScrollMs);
    connect(&m_dragScrollTimer, &QTimer::timeout, this, [this] { OnDragScrollTimer(); });
    connect(this, &QTreeView::collapsed, this, [this](const QModelIndex& index) { OnCollapsed(index); });
    connect(model(), &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex& parent, int first, int last)
            { OnRowsAboutToBeRemoved(parent, first, last); });
}

CMultiTree::~CMultiTree()
{
    m_hoverTimer.stop();
    m_dragScrollTimer.stop();
    m_bandTimer.stop();
    delete m_dragWindow;
}

intptr_t CMultiTree::Notify(TreeNotify& notify)
{
    return m_notifyHandler ? m_notifyHandler(notify) : 0;
}

void CMultiTree::OnItemCopied(TreeItem*, TreeItem*)
{
}

bool CMultiTree::SetMultiSelect(bool on)
{
    const bool old = m_multiSelect;
    m_multiSelect = on;
    if (!on)
    {
        // Only the caret may stay selected.
        TreeItem* caret = GetSelectedItem();
        const bool caretSelected = caret && IsSelected(caret);
        for (TreeItem* item : VisibleItems())
            if (item != caret)
                SetSelectedDirect(item, false);
        if (caretSelected)
            SetSelectedDirect(caret, true);
    }
    return old;
}

// --- Items ------------------------------------------------------------------------------

TreeItem* CMultiTree::InsertItem(const QString& text, int image, int selectedImage, TreeItem* parent,
                                 TreeInsertAt at)
{
    const int count = parent ? parent->childCount() : topLevelItemCount();
    auto childAt = [&](int i) { return parent ? parent->child(i) : topLevelItem(i); };
    int position = count;
    switch (at.kind)
    {
    case TreeInsertAt::First:
        position = 0;
        break;
    case TreeInsertAt::Last:
        break;
    case TreeInsertAt::Sort:
        // After every sibling that does not sort after the text.
        for (int i = 0; i < count; ++i)
            if (childAt(i)->text(0).compare(text, Qt::CaseInsensitive) > 0)
            {
                position = i;
                break;
            }
        break;
    case TreeInsertAt::After:
        for (int i = 0; i < count; ++i)
            if (childAt(i) == at.after)
            {
                position = i + 1;
                break;
            }
        break;
    }
    auto* item = new QTreeWidgetItem;
    item->setText(0, text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
    item->setData(0, kImageRole, image);
    item->setData(0, kSelectedImageRole, selectedImage);
    if (parent)
        parent->insertChild(position, item);
    else
        insertTopLevelItem(position, item);
    return item;
}

void CMultiTree::SetImageList(const Platform::ImageList* images)
{
    m_images = images;
    if (images)
        setIconSize(QSize(images->GetImageSize().cx, images->GetImageSize().cy));
    viewport()->update();
}

void CMultiTree::SetItemData(TreeItem* item, quintptr data)
{
    if (item)
        item->setData(0, kDataRole, QVariant::fromValue<quintptr>(data));
}

quintptr CMultiTree::GetItemData(const TreeItem* item) const
{
    return item ? item->data(0, kDataRole).value<quintptr>() : 0;
}

void CMultiTree::SetItemImage(TreeItem* item, int image, int selectedImage)
{
    if (!item)
        return;
    item->setData(0, kImageRole, image);
    item->setData(0, kSelectedImageRole, selectedImage);
}

int CMultiTree::GetItemImage(const TreeItem* item) const
{
    return item ? item->data(0, kImageRole).toInt() : -1;
}

int CMultiTree::GetItemSelectedImage(const TreeItem* item) const
{
    return item ? item->data(0, kSelectedImageRole).toInt() : -1;
}

void CMultiTree::DeleteItem(TreeItem* item)
{
    delete item;
}

TreeItem* CMultiTree::GetFirstVisibleItem() const
{
    return topLevelItemCount() > 0 ? topLevelItem(0) : nullptr;
}

TreeItem* CMultiTree::GetNextVisibleItem(TreeItem* item) const
{
    return item ? itemFromIndex(indexBelow(indexFromItem(item))) : nullptr;
}

TreeItem* CMultiTree::GetPrevVisibleItem(TreeItem* item) const
{
    return item ? itemFromIndex(indexAbove(indexFromItem(item))) : nullptr;
}

std::vector<TreeItem*> CMultiTree::VisibleItems() const
{
    std::vector<TreeItem*> items;
    for (TreeItem* item = GetFirstVisibleItem(); item; item = GetNextVisibleItem(item))
        items.push_back(item);
    return items;
}

QRect CMultiTree::GetItemLabelRect(TreeItem* item) const
{
    const QModelIndex index = indexFromItem(item);
    const QRect cell = visualRect(index);
    if (!index.isValid() || cell.isEmpty())
        return {};
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = cell;
    static_cast<Delegate*>(itemDelegate())->Prepare(&option, index);
    const QRect text = style()->subElementRect(QStyle::SE_ItemViewItemText, &option, this);
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    // Rounded up with a pixel to spare, so that the text laid out in exactly this width is
    // never elided.
    const int advance =
        static_cast<int>(std::ceil(QFontMetricsF(option.font).horizontalAdvance(option.text)));
    const int textWidth = advance + 1 + 2 * margin;
    int left = text.left();
    if (option.features & QStyleOptionViewItem::HasDecoration)
        left = style()->subElementRect(QStyle::SE_ItemViewItemDecoration, &option, this).left();
    const int right = std::min(cell.right(), text.left() + textWidth - 1);
    return QRect(QPoint(left, cell.top()), QPoint(std::max(left, right), cell.bottom()));
}

TreeItem* CMultiTree::HitTest(QPoint point, unsigned* flags) const
{
    unsigned result = 0;
    const QRect client = viewport()->rect();
    if (point.y() < client.top())
        result |= TVHT_ABOVE;
    if (point.y() > client.bottom())
        result |= TVHT_BELOW;
    if (point.x() < client.left())
        result |= TVHT_TOLEFT;
    if (point.x() > client.right())
        result |= TVHT_TORIGHT;
    TreeItem* item = nullptr;
    if (result == 0)
    {
        // The single column spans the width, so its right end finds the row of any point.
        const QModelIndex index = indexAt(QPoint(client.right(), point.y()));
        item = itemFromIndex(index);
        if (!item)
            result = TVHT_NOWHERE;
        else
        {
            const QRect cell = visualRect(index);
            const QRect label = GetItemLabelRect(item);
            if (point.x() < cell.left() || point.x() < label.left())
            {
                const bool hasButton = (rootIsDecorated() || item->parent()) &&
                                       (item->childCount() > 0 ||
                                        item->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator);
                result = hasButton && point.x() >= cell.left() - indentation() && point.x() < cell.left()
                             ? TVHT_ONITEMBUTTON
                             : TVHT_ONITEMINDENT;
            }
            else if (point.x() <= label.right())
            {
                QStyleOptionViewItem option;
                initViewItemOption(&option);
                option.rect = cell;
                static_cast<Delegate*>(itemDelegate())->Prepare(&option, index);
                const bool onIcon =
                    (option.features & QStyleOptionViewItem::HasDecoration) &&
                    point.x() <=
                        style()->subElementRect(QStyle::SE_ItemViewItemDecoration, &option, this).right();
                result = onIcon ? TVHT_ONITEMICON : TVHT_ONITEMLABEL;
            }
            else
                result = TVHT_ONITEMRIGHT;
        }
    }
    if (flags)
        *flags = result;
    return item;
}

bool CMultiTree::EditLabel(TreeItem* item)
{
    if (!item)
        return false;
    TreeNotify n;
    n.code = Notify::TVN_BEGINLABELEDIT;
    n.itemNew = item;
    n.dataNew = GetItemData(item);
    n.text = item->text(0);
    if (Notify(n) != 0)
        return false;
    scrollToItem(item);
    m_editing = IndexOf(item);
    if (!edit(indexFromItem(item), QAbstractItemView::AllEditTriggers, nullptr))
    {
        m_editing = QPersistentModelIndex();
        return false;
    }
    return true;
}

bool CMultiTree::IsEditingLabel() const
{
    return m_editing.isValid() && state() == QAbstractItemView::EditingState;
}

bool CMultiTree::EndLabelEdit(TreeItem* item, const QString* text)
{
    if (!item || ItemOf(m_editing) != item)
        return false;
    m_editing = QPersistentModelIndex();
    TreeNotify n;
    n.code = Notify::TVN_ENDLABELEDIT;
    n.itemNew = item;
    n.dataNew = GetItemData(item);
    if (text)
        n.text = *text;
    // A cancelled edit keeps the old text whatever the owner answers; an accepted one
    // takes the text as typed.
    const bool accepted = Notify(n) != 0 && text;
    if (accepted)
        item->setText(0, *text);
    return accepted;
}

void CMultiTree::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    if (hint == QAbstractItemDelegate::RevertModelCache)
        EndLabelEdit(ItemOf(m_editing), nullptr);
    QTreeWidget::closeEditor(editor, hint);
    m_editing = QPersistentModelIndex();
}

TreeItem* CMultiTree::GetSelectedItem() const
{
    return currentItem();
}

bool CMultiTree::SelectItem(TreeItem* item, unsigned action)
{
    TreeItem* old = GetSelectedItem();
    if (item == old)
    {
        if (item)
            scrollToItem(item);
        return true;
    }
    TreeNotify n;
    n.code = Notify::TVN_SELCHANGING;
    n.action = action;
    n.itemOld = old;
    n.dataOld = GetItemData(old);
    n.itemNew = item;
    n.dataNew = GetItemData(item);
    if (Notify(n) != 0)
        return false;
    if (old)
        SetSelectedDirect(old, false);
    SetCaretDirect(item);
    if (item)
    {
        SetSelectedDirect(item, true);
        for (TreeItem* p = item->parent(); p; p = p->parent())
            p->setExpanded(true);
        scrollToItem(item);
    }
    n.code = Notify::TVN_SELCHANGED;
    Notify(n);
    return true;
}

void CMultiTree::SelectDropTarget(TreeItem* item)
{
    if (TreeItem* old = ItemOf(m_dropHilite))
        SetStateBitsDirect(old, 0, TVIS_DROPHILITED);
    m_dropHilite = IndexOf(item);
    if (item)
        SetStateBitsDirect(item, TVIS_DROPHILITED, TVIS_DROPHILITED);
}

TreeItem* CMultiTree::GetDropHilightItem() const
{
    return ItemOf(m_dropHilite);
}

// --- Selection --------------------------------------------------------------------------

bool CMultiTree::IsSelected(const TreeItem* item) const
{
    return item && selectionModel()->isSelected(indexFromItem(item));
}

unsigned CMultiTree::GetItemState(const TreeItem* item, unsigned mask) const
{
    if (!item)
        return 0;
    unsigned state = item->data(0, kStateRole).toUInt() & kStoredBits;
    if (IsSelected(item))
        state |= TVIS_SELECTED;
    if (item == currentItem())
        state |= TVIS_FOCUSED;
    return state & mask;
}

void CMultiTree::SetSelectedDirect(TreeItem* item, bool selected)
{
    if (!item)
        return;
    selectionModel()->select(indexFromItem(item),
                             selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

void CMultiTree::SetCaretDirect(TreeItem* item)
{
    selectionModel()->setCurrentIndex(item ? indexFromItem(item) : QModelIndex(),
                                      QItemSelectionModel::NoUpdate);
}

void CMultiTree::SetStateBitsDirect(TreeItem* item, unsigned state, unsigned mask)
{
    if (!item)
        return;
    mask &= kStoredBits;
    const unsigned old = item->data(0, kStateRole).toUInt();
    const unsigned bits = (old & ~mask) | (state & mask);
    if (bits != old)
        item->setData(0, kStateRole, bits);
}

bool CMultiTree::SetItemState(TreeItem* item, unsigned state, unsigned mask)
{
    if (!item)
        return false;
    if (!m_multiSelect)
    {
        if ((mask & TVIS_FOCUSED) && (state & TVIS_FOCUSED) && !SelectItem(item))
            return false;
        if (mask & TVIS_SELECTED)
            SetSelectedDirect(item, state & TVIS_SELECTED);
        SetStateBitsDirect(item, state, mask);
        return true;
    }

    unsigned work = mask;
    if (mask & TVIS_FOCUSED)
    {
        TreeItem* caret = GetSelectedItem();
        if (state & TVIS_FOCUSED)
        {
            const bool wasSelected = IsSelected(item);
            const bool caretWasSelected = caret && IsSelected(caret);
            if (caret && caret != item && caretWasSelected)
            {
                // Moving the caret would deselect the old one: clear it first and keep its
                // selection.
                SelectItem(nullptr);
                SetSelectedDirect(caret, true);
                viewport()->update();
            }
            if (!SelectItem(item))
                return false;
            work &= ~TVIS_FOCUSED;
            if ((mask & TVIS_SELECTED) && (state & TVIS_SELECTED) && (item != caret || caretWasSelected))
                work &= ~TVIS_SELECTED;
            else if (!(mask & TVIS_SELECTED) && !wasSelected)
            {
                // Only the focus was asked for: the caret move selected the item, undo that.
                work |= TVIS_SELECTED;
                state &= ~TVIS_SELECTED;
            }
        }
        else
        {
            work &= ~TVIS_FOCUSED;
            if (item == caret)
            {
                const bool wasSelected = IsSelected(item);
                SelectItem(nullptr);
                if (!(mask & TVIS_SELECTED) || (state & TVIS_SELECTED))
                {
                    if (wasSelected)
                        SetSelectedDirect(item, true);
                    work &= ~TVIS_SELECTED;
                }
            }
        }
    }

    if (work & TVIS_SELECTED)
    {
        const bool select = state & TVIS_SELECTED;
        TreeNotify n;
        n.code = Notify::TVN_SELCHANGING;
        if (select)
        {
            n.itemNew = item;
            n.dataNew = GetItemData(item);
        }
        else
        {
            n.itemOld = item;
            n.dataOld = GetItemData(item);
        }
        if (Notify(n) != 0)
            return false;
        SetSelectedDirect(item, select);
        n.code = Notify::TVN_SELCHANGED;
        Notify(n);
        work &= ~TVIS_SELECTED;
    }
    SetStateBitsDirect(item, state, work);
    return true;
}

void CMultiTree::SelectAll(bool select)
{
    SelectAll(select, nullptr);
}

void CMultiTree::SelectAll(bool select, TreeItem* except)
{
    for (TreeItem* item : VisibleItems())
        if (item != except && IsSelected(item) != select)
            SetItemState(item, select ? TVIS_SELECTED : 0, TVIS_SELECTED);
}

void CMultiTree::SelectRange(TreeItem* first, TreeItem* last, bool keepOthers)
{
    if (!first)
        first = last;
    if (!last)
        last = first;
    bool inside = false;
    TreeItem* end = nullptr;
    for (TreeItem* item : VisibleItems())
    {
        bool select = false;
        if (!inside && (item == first || item == last))
        {
            inside = true;
            end = item == first ? last : first;
            select = true;
            if (item == end)
                inside = false;
        }
        else if (inside)
        {
            select = true;
            if (item == end)
                inside = false;
        }
        if (select && !IsSelected(item))
            SetItemState(item, TVIS_SELECTED, TVIS_SELECTED);
        else if (!select && !keepOthers && IsSelected(item))
            SetItemState(item, 0, TVIS_SELECTED);
    }
}

TreeItem* CMultiTree::GetFirstSelectedItem() const
{
    for (TreeItem* item = GetFirstVisibleItem(); item; item = GetNextVisibleItem(item))
        if (IsSelected(item))
            return item;
    return nullptr;
}

void CMultiTree::GetSelectedList(std::vector<TreeItem*>& list) const
{
    list.clear();
    for (TreeItem* item = GetFirstVisibleItem(); item; item = GetNextVisibleItem(item))
        if (IsSelected(item))
            list.push_back(item);
}

// --- Utilities --------------------------------------------------------------------------

TreeItem* CMultiTree::GetNextItem(TreeItem* item) const
{
    if (!item)
        return GetFirstVisibleItem();
    if (item->childCount() > 0)
        return item->child(0);
    for (TreeItem* at = item; at; at = at->parent())
    {
        TreeItem* parent = at->parent();
        const int index = parent ? parent->indexOfChild(at) : indexOfTopLevelItem(at);
        const int count = parent ? parent->childCount() : topLevelItemCount();
        if (index + 1 < count)
            return parent ? parent->child(index + 1) : topLevelItem(index + 1);
    }
    return nullptr;
}

void CMultiTree::ClearCutState()
{
    for (TreeItem* item = GetNextItem(nullptr); item; item = GetNextItem(item))
        SetStateBitsDirect(item, 0, TVIS_CUT);
}

bool CMultiTree::IsChildOf(const TreeItem* ancestor, const TreeItem* item) const
{
    for (const TreeItem* at = item; at; at = at->parent())
        if (at == ancestor)
            return true;
    return false;
}

TreeItem* CMultiTree::CopyItem(TreeItem* source, TreeItem* parent, TreeInsertAt at)
{
    if (!source)
        return nullptr;
    TreeItem* item =
        InsertItem(source->text(0), GetItemImage(source), GetItemSelectedImage(source), parent, at);
    item->setChildIndicatorPolicy(source->childIndicatorPolicy());
    SetItemData(item, GetItemData(source));
    SetStateBitsDirect(item, GetItemState(source, TVIS_STATEIMAGEMASK), TVIS_STATEIMAGEMASK);
    OnItemCopied(source, item);
    return item;
}

TreeItem* CMultiTree::CopyBranch(TreeItem* source, TreeItem* parent, TreeInsertAt at)
{
    std::set<TreeItem*> made;
    return CopyBranch(source, parent, at, made);
}

TreeItem* CMultiTree::CopyBranch(TreeItem* source, TreeItem* parent, TreeInsertAt at,
                                 std::set<TreeItem*>& made)
{
    TreeItem* item = CopyItem(source, parent, at);
    if (!item)
        return nullptr;
    made.insert(item);
    // Copies made by this call are never copied again, so a branch copied into itself ends.
    std::vector<TreeItem*> children;
    for (int i = 0; i < source->childCount(); ++i)
        if (!made.count(source->child(i)))
            children.push_back(source->child(i));
    for (TreeItem* child : children)
        CopyBranch(child, item, TVI_SORT, made);
    return item;
}

QString CMultiTree::GetItemPath(const TreeItem* item) const
{
    QStringList texts;
    for (const TreeItem* at = item; at; at = at->parent())
        texts.prepend(at->text(0));
    QString path = QStringLiteral("\\");
    for (const QString& text : texts)
        path += text + u'\\';
    return path;
}

TreeItem* CMultiTree::ItemOf(const QPersistentModelIndex& index) const
{
    return index.isValid() ? itemFromIndex(QModelIndex(index)) : nullptr;
}

QPersistentModelIndex CMultiTree::IndexOf(TreeItem* item) const
{
    return item ? QPersistentModelIndex(indexFromItem(item)) : QPersistentModelIndex();
}

std::vector<TreeItem*> CMultiTree::DragList() const
{
    std::vector<TreeItem*> items;
    for (const QPersistentModelIndex& index : m_dragList)
        if (TreeItem* item = ItemOf(index))
            items.push_back(item);
    return items;
}

void CMultiTree::OnCollapsed(const QModelIndex& index)
{
    TreeItem* collapsed = itemFromIndex(index);
    TreeItem* caret = GetSelectedItem();
    if (!collapsed)
        return;
    const bool caretBelow = caret && caret != collapsed && IsChildOf(collapsed, caret);
    if (!m_multiSelect)
    {
        // The caret cannot stay hidden: the collapsed item takes it.
        if (caretBelow)
            SelectItem(collapsed);
        return;
    }
    // Items that are no longer visible lose their selection.
    std::vector<TreeItem*> pending{collapsed};
    while (!pending.empty())
    {
        TreeItem* at = pending.back();
        pending.pop_back();
        for (int i = 0; i < at->childCount(); ++i)
        {
            TreeItem* child = at->child(i);
            if (IsSelected(child))
                SetItemState(child, 0, TVIS_SELECTED);
            if (child->isExpanded())
                pending.push_back(child);
        }
    }
    if (caretBelow)
    {
        if (IsSelected(collapsed))
            SelectItem(collapsed);
        else
            SelectItem(nullptr);
    }
}

void CMultiTree::OnRowsAboutToBeRemoved(const QModelIndex& parent, int first, int last)
{
    // A deleted caret leaves no caret behind rather than a neighbour chosen silently.
    TreeItem* caret = GetSelectedItem();
    if (!caret)
        return;
    TreeItem* parentItem = itemFromIndex(parent);
    for (int row = first; row <= last; ++row)
    {
        TreeItem* removed = parentItem ? parentItem->child(row) : topLevelItem(row);
        if (removed && IsChildOf(removed, caret))
        {
            SetCaretDirect(nullptr);
            return;
        }
    }
}

// --- Mouse ------------------------------------------------------------------------------

void CMultiTree::mousePressEvent(QMouseEvent* event)
{
    const Qt::MouseButton button = event->button();
    if (m_mode != Mode::Idle || m_dragging || (button != Qt::LeftButton && button != Qt::RightButton))
        return;
    const QPoint pos = event->position().toPoint();
    unsigned flags = 0;
    TreeItem* item = HitTest(pos, &flags);
    m_lastPos = pos;
    if (item && (flags & TVHT_ONITEMBUTTON))
    {
        if (button == Qt::LeftButton)
            item->setExpanded(!item->isExpanded());
        return;
    }
    if (IsEditingLabel())
        setFocus(Qt::MouseFocusReason);
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (m_multiSelect && !(item && (flags & TVHT_ONITEM)))
    {
        StartBand(pos, button, mods);
        return;
    }
    if (!(flags & TVHT_ONITEM))
        item = nullptr;
    m_mode = Mode::ClickOrDrag;
    m_pressItem = IndexOf(item);
    m_pressPos = pos;
    m_pressButton = button;
    m_pressMods = mods;
    if (item)
        PressOnItem(item, button, mods);
}

void CMultiTree::PressOnItem(TreeItem* item, Qt::MouseButton button, Qt::KeyboardModifiers mods)
{
    if (!m_multiSelect)
    {
        if (button == Qt::LeftButton)
            SelectItem(item, TVC_BYMOUSE);
        return;
    }
    const bool ctrl = mods & Qt::ControlModifier;
    const bool shift = mods & Qt::ShiftModifier;
    if (button == Qt::LeftButton)
    {
        if (!shift)
        {
            // A plain press on a selected item keeps the selection until the release, so
            // that the whole selection can be dragged.
            if (!ctrl && !IsSelected(item))
            {
                SelectAll(false, item);
                SetItemState(item, TVIS_FOCUSED | TVIS_SELECTED, TVIS_FOCUSED | TVIS_SELECTED);
            }
            m_anchor = QPersistentModelIndex();
        }
        else
        {
            if (!ItemOf(m_anchor))
                m_anchor = IndexOf(GetSelectedItem());
            SelectRange(ItemOf(m_anchor), item, ctrl);
            SetItemState(item, TVIS_FOCUSED, TVIS_FOCUSED);
        }
    }
    else
    {
        if (!ctrl && !shift)
        {
            SelectAll(false, item);
            SetItemState(item, TVIS_FOCUSED | TVIS_SELECTED, TVIS_FOCUSED | TVIS_SELECTED);
        }
        else if (ctrl && !shift)
            m_anchor = IndexOf(item);
    }
}

void CMultiTree::ClickOnItem()
{
    TreeItem* item = ItemOf(m_pressItem);
    const bool left = m_pressButton == Qt::LeftButton;
    if (item && m_multiSelect && left && !(m_pressMods & Qt::ShiftModifier))
    {
        if (m_pressMods & Qt::ControlModifier)
        {
            const unsigned select = IsSelected(item) ? 0 : TVIS_SELECTED;
            SetItemState(item, TVIS_FOCUSED | select, TVIS_FOCUSED | TVIS_SELECTED);
        }
        else
        {
            SelectAll(false, item);
            SetItemState(item, TVIS_FOCUSED | TVIS_SELECTED, TVIS_FOCUSED | TVIS_SELECTED);
        }
    }
    setFocus(Qt::MouseFocusReason);
    TreeNotify n;
    n.code = left ? Notify::NM_CLICK : Notify::NM_RCLICK;
    Notify(n);
}

void CMultiTree::DragFromItem()
{
    TreeItem* item = ItemOf(m_pressItem);
    if (!item)
        return;
    const bool left = m_pressButton == Qt::LeftButton;
    if (m_multiSelect)
        SetItemState(item, TVIS_FOCUSED | TVIS_SELECTED, TVIS_FOCUSED | TVIS_SELECTED);
    if (m_noDragStyle)
        return;
    if (left && m_dragEnabled)
        BeginDrag(item, m_pressPos);
    TreeNotify n;
    n.code = left ? Notify::TVN_BEGINDRAG : Notify::TVN_BEGINRDRAG;
    n.action = TVC_BYMOUSE;
    n.itemNew = item;
    n.dataNew = GetItemData(item);
    n.ptDrag = m_pressPos;
    Notify(n);
}

void CMultiTree::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    m_lastPos = pos;
    if (m_dragging)
    {
        DragMove(pos);
        return;
    }
    switch (m_mode)
    {
    case Mode::ClickOrDrag:
        if (Beyond(pos, m_pressPos))
        {
            m_mode = Mode::Idle;
            DragFromItem();
            if (m_dragging)
                DragMove(pos);
        }
        break;
    case Mode::Band:
        TrackBand(pos);
        break;
    case Mode::Idle:
        break;
    }
}

void CMultiTree::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_dragging)
    {
        if (event->button() == Qt::LeftButton)
            EndDrag(true);
        return;
    }
    if (m_mode == Mode::ClickOrDrag && event->button() == m_pressButton)
    {
        m_mode = Mode::Idle;
        ClickOnItem();
    }
    else if (m_mode == Mode::Band)
        EndBand(false);
}

void CMultiTree::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || m_mode != Mode::Idle)
        return;
    unsigned flags = 0;
    TreeItem* item = HitTest(event->position().toPoint(), &flags);
    // A double click opens or closes the item, on its button as on its label.
    if (item && (flags & (TVHT_ONITEM | TVHT_ONITEMBUTTON)))
        item->setExpanded(!item->isExpanded());
}

// --- Rubber band ------------------------------------------------------------------------

QPoint CMultiTree::ContentOffset() const
{
    // Vertical scrolling goes by items of the first item's height.
    const int line = topLevelItemCount() > 0 ? rowHeight(indexFromItem(topLevelItem(0))) : 0;
    return QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value() * line);
}

void CMultiTree::StartBand(QPoint pos, Qt::MouseButton button, Qt::KeyboardModifiers mods)
{
    setFocus(Qt::MouseFocusReason);
    m_mode = Mode::Band;
    m_bandStarted = false;
    m_pressButton = button;
    m_pressMods = mods;
    m_pressPos = pos;
    m_bandOrigin = pos + ContentOffset();
    m_remembered.clear();
    if (mods & (Qt::ControlModifier | Qt::ShiftModifier))
        for (TreeItem* item : VisibleItems())
            if (IsSelected(item))
                m_remembered.insert(IndexOf(item));
    m_bandTimer.start();
}

QRect CMultiTree::BandRect() const
{
    if (!IsBanding())
        return {};
    return QRect(m_bandOrigin - ContentOffset(), m_lastPos).normalized();
}

void CMultiTree::TrackBand(QPoint pos)
{
    if (m_mode != Mode::Band)
        return;
    m_lastPos = pos;
    const bool ctrl = m_pressMods & Qt::ControlModifier;
    const bool shift = m_pressMods & Qt::ShiftModifier;
    if (!m_bandStarted)
    {
        if (!Beyond(pos, m_pressPos))
            return;
        m_bandStarted = true;
        if (!ctrl && !shift)
            SelectAll(false);
    }
    const QRect band = BandRect();
    for (TreeItem* item : VisibleItems())
    {
        QRect row = visualRect(indexFromItem(item));
        row.setLeft(0);
        row.setRight(std::max(row.right(), viewport()->width() - 1));
        const QPersistentModelIndex index = IndexOf(item);
        const bool remembered = m_remembered.count(index) > 0;
        bool select = remembered;
        if (!row.isEmpty() && row.intersects(band))
        {
            if (!remembered)
                select = true;
            else if (ctrl)
                select = false;
            else
            {
                select = true;
                m_remembered.erase(index);
            }
        }
        if (IsSelected(item) != select)
            SetItemState(item, select ? TVIS_SELECTED : 0, TVIS_SELECTED);
    }
    viewport()->update();
}

void CMultiTree::ScrollOutside(QPoint pos)
{
    const QRect client = viewport()->rect();
    if (pos.y() < client.top())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (pos.y() > client.bottom())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    if (pos.x() < client.left())
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (pos.x() > client.right())
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
}

void CMultiTree::EndBand(bool escaped)
{
    m_bandTimer.stop();
    const bool modifier = m_pressMods & (Qt::ControlModifier | Qt::ShiftModifier);
    if (escaped || (!m_bandStarted && !modifier))
        SelectAll(false);
    m_bandStarted = false;
    m_mode = Mode::Idle;
    m_remembered.clear();
    viewport()->update();
    TreeNotify n;
    n.code = m_pressButton == Qt::LeftButton ? Notify::NM_CLICK : Notify::NM_RCLICK;
    Notify(n);
}

void CMultiTree::paintEvent(QPaintEvent* event)
{
    QTreeWidget::paintEvent(event);
    if (!IsBanding())
        return;
    // The band is a one-pixel inverted frame, drawn over the items.
    Platform::WidgetCanvas dc(viewport(), event->region());
    const QRect band = BandRect();
    const Platform::Rect r{band.left(), band.top(), band.right() + 1, band.bottom() + 1};
    dc.InvertRect({r.left, r.top, r.right, r.top + 1});
    if (r.Height() > 1)
        dc.InvertRect({r.left, r.bottom - 1, r.right, r.bottom});
    if (r.Height() > 2)
    {
        dc.InvertRect({r.left, r.top + 1, r.left + 1, r.bottom - 1});
        if (r.Width() > 1)
            dc.InvertRect({r.right - 1, r.top + 1, r.right, r.bottom - 1});
    }
}

// --- Keys and focus ---------------------------------------------------------------------

void CMultiTree::keyPressEvent(QKeyEvent* event)
{
    if (Platform::IsContextMenuKey(*event))
    {
        // The menu belongs to the item with the caret, as a right click on it would.
        const TreeItem* caret = GetSelectedItem();
        const QPoint at = caret ? visualItemRect(caret).center() : QPoint();
        Platform::SendKeyboardContextMenu(viewport(), at);
        return;
    }
    const int key = event->key();
    if (key == Qt::Key_Escape && m_mode == Mode::Band)
    {
        EndBand(true);
        return;
    }
    if (key == Qt::Key_Escape && m_dragging)
    {
        EndDrag(false);
        return;
    }
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (m_multiSelect && (key == Qt::Key_Up || key == Qt::Key_Down))
    {
        TreeItem* old = GetSelectedItem();
        TreeItem* target = !old                ? GetFirstVisibleItem()
                           : key == Qt::Key_Up ? GetPrevVisibleItem(old)
                                               : GetNextVisibleItem(old);
        if (!target)
            return;
        const bool ctrl = mods & Qt::ControlModifier;
        const bool shift = mods & Qt::ShiftModifier;
        if (shift)
        {
            if (!ItemOf(m_anchor))
                m_anchor = IndexOf(old);
            SelectRange(ItemOf(m_anchor), target, false);
            SetItemState(target, TVIS_FOCUSED, TVIS_FOCUSED);
        }
        else if (ctrl)
            SetItemState(target, TVIS_FOCUSED, TVIS_FOCUSED);
        else
        {
            m_anchor = QPersistentModelIndex();
            SelectAll(false);
            SetItemState(target, TVIS_FOCUSED | TVIS_SELECTED, TVIS_FOCUSED | TVIS_SELECTED);
        }
        scrollToItem(target);
        return;
    }
    CursorAction action;
    switch (key)
    {
    case Qt::Key_Up:
        action = MoveUp;
        break;
    case Qt::Key_Down:
        action = MoveDown;
        break;
    case Qt::Key_Home:
        action = MoveHome;
        break;
    case Qt::Key_End:
        action = MoveEnd;
        break;
    case Qt::Key_PageUp:
        action = MovePageUp;
        break;
    case Qt::Key_PageDown:
        action = MovePageDown;
        break;
    case Qt::Key_Left:
        action = MoveLeft;
        break;
    case Qt::Key_Right:
        action = MoveRight;
        break;
    default:
        QTreeWidget::keyPressEvent(event);
        return;
    }
    TreeItem* caret = GetSelectedItem();
    if (!caret)
    {
        SelectItem(GetFirstVisibleItem(), TVC_BYKEYBOARD);
        return;
    }
    // Left closes the caret's branch or goes to its parent; Right opens it or goes to its
    // first child.
    TreeItem* target = nullptr;
    if (action == MoveLeft)
    {
        if (caret->isExpanded() && caret->childCount() > 0)
            caret->setExpanded(false);
        else
            target = caret->parent();
    }
    else if (action == MoveRight)
    {
        if (caret->childCount() > 0 && !caret->isExpanded())
            caret->setExpanded(true);
        else if (caret->childCount() > 0)
            target = caret->child(0);
    }
    else
        target = itemFromIndex(moveCursor(action, mods));
    if (target)
        SelectItem(target, TVC_BYKEYBOARD);
}

void CMultiTree::keyboardSearch(const QString& search)
{
    // The next visible item whose text starts with the typed letter, wrapping around.
    if (search.isEmpty())
        return;
    const std::vector<TreeItem*> items = VisibleItems();
    if (items.empty())
        return;
    const auto at = std::find(items.begin(), items.end(), GetSelectedItem());
    const size_t start = at == items.end() ? 0 : static_cast<size_t>(at - items.begin()) + 1;
    for (size_t i = 0; i < items.size(); ++i)
    {
        TreeItem* item = items[(start + i) % items.size()];
        if (item->text(0).startsWith(search, Qt::CaseInsensitive))
        {
            SelectItem(item, TVC_BYKEYBOARD);
            return;
        }
    }
}

void CMultiTree::focusInEvent(QFocusEvent* event)
{
    // Not the item view's own handling, which would make the first item current.
    QWidget::focusInEvent(event);
    for (TreeItem* item : VisibleItems())
        if (IsSelected(item))
            viewport()->update(visualRect(indexFromItem(item)));
}

void CMultiTree::focusOutEvent(QFocusEvent* event)
{
    QTreeWidget::focusOutEvent(event);
    for (TreeItem* item : VisibleItems())
        if (IsSelected(item))
            viewport()->update(visualRect(indexFromItem(item)));
}

// --- Drag -------------------------------------------------------------------------------

void CMultiTree::BeginDrag(TreeItem* source, QPoint point)
{
    m_dragSource = IndexOf(source);
    std::vector<TreeItem*> selected;
    GetSelectedList(selected);
    if (selected.empty())
        selected.push_back(source);

    // One picture of all selected items where they stand, on a colour that then turns
    // transparent.
    QRect bounds;
    std::vector<QRect> labels;
    for (TreeItem* item : selected)
    {
        QRect r = GetItemLabelRect(item);
        labels.push_back(r);
        bounds = bounds.united(r.adjusted(0, 0, 16, 0));
    }
    QImage picture(bounds.size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    picture.fill(kDragKey);
    {
        Platform::ImageCanvas dc(picture);
        dc.SelectFont(Platform::Font(Platform::GetMessageFont()));
        dc.SetBkMode(Platform::TRANSPARENT);
        dc.SetTextColor(Platform::GetSysColor(Platform::COLOR_WINDOWTEXT));
        for (size_t i = 0; i < selected.size(); ++i)
        {
            const QRect r = labels[i].translated(-bounds.topLeft());
            if (r.isEmpty())
                continue;
            dc.FillSolidRect({r.left(), r.top(), r.right() + 1, r.bottom() + 1},
                             Platform::GetSysColor(Platform::COLOR_WINDOW));
            int x = r.left() + 1;
            if (m_images)
            {
                const int image = GetItemImage(selected[i]);
                const Platform::Size size = m_images->GetImageSize();
                if (m_images->Draw(dc, image, {x, r.top() + (r.height() - size.cy) / 2},
                                   Platform::ILD_NORMAL))
                    x += size.cx + 3;
            }
            const Platform::Size extent = dc.GetTextExtent(selected[i]->text(0));
            dc.TextOut(x, r.top() + (r.height() - extent.cy) / 2, selected[i]->text(0));
        }
    }
    m_dragImage = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < m_dragImage.height(); ++y)
    {
        auto* line = reinterpret_cast<QRgb*>(m_dragImage.scanLine(y));
        for (int x = 0; x < m_dragImage.width(); ++x)
            if ((line[x] & 0xFFFFFF) == (kDragKey & 0xFFFFFF))
                line[x] = 0;
    }
    m_dragHotspot = point - bounds.topLeft();

    m_dragList.clear();
    for (TreeItem* item : selected)
        m_dragList.push_back(IndexOf(item));
    m_dragging = true;

    auto* window = new QLabel(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput);
    window->setAttribute(Qt::WA_TranslucentBackground);
    window->setAttribute(Qt::WA_TransparentForMouseEvents);
    window->setPixmap(QPixmap::fromImage(m_dragImage));
    window->resize(m_dragImage.size());
    window->move(viewport()->mapToGlobal(point) - m_dragHotspot);
    window->show();
    m_dragWindow = window;

    SelectAll(false);
    m_dragScrollTimer.start();
}

void CMultiTree::DragMove(QPoint pos)
{
    if (m_dragWindow)
        m_dragWindow->move(viewport()->mapToGlobal(pos) - m_dragHotspot);
    unsigned flags = 0;
    TreeItem* item = HitTest(pos, &flags);
    if (item && (flags & TVHT_ONITEM) && ItemOf(m_dropTarget) != item)
    {
        SelectDropTarget(item);
        m_dropTarget = IndexOf(item);
        m_hoverTimer.start();
    }
}

void CMultiTree::OnHoverTimer()
{
    TreeItem* target = ItemOf(m_dropTarget);
    if (!m_dragging || !target || GetDropHilightItem() != target || target->childCount() == 0)
        return;
    if (m_dragWindow)
        m_dragWindow->hide();
    target->setExpanded(true);
    if (m_dragWindow)
        m_dragWindow->show();
}

void CMultiTree::OnDragScrollTimer()
{
    // Near the bottom or top edge, or a little beyond it, the view scrolls a line.
    const int y = m_lastPos.y();
    const int height = viewport()->height();
    if (y > height - 10 && y < height + 60)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    else if (y > -60 && y < 10)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
}

void CMultiTree::EndDrag(bool expandTarget)
{
    m_dragging = false;
    m_mode = Mode::Idle;
    m_hoverTimer.stop();
    m_dragScrollTimer.stop();
    delete m_dragWindow;
    m_dragImage = QImage();
    TreeItem* target = ItemOf(m_dropTarget);
    SelectDropTarget(nullptr);
    if (expandTarget && target && target != ItemOf(m_dragSource))
        target->setExpanded(true);
    m_dragList.clear();
    m_dropTarget = QPersistentModelIndex();
    m_dragSource = QPersistentModelIndex();
}
