#include "app/FlatSplitterWnd.h"

#include <QChildEvent>
#include <QSplitterHandle>

#include <climits>

CFlatSplitterWnd::CFlatSplitterWnd(Qt::Orientation orientation, QWidget* parent)
    : QSplitter(orientation, parent)
{
    setHandleWidth(kBarSize);
    setChildrenCollapsible(true);
    setOpaqueResize(true);
    // Shadow on the top and left, highlight on the bottom and right.
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(kBorder);
}

void CFlatSplitterWnd::SetHitTestEnabled(bool enabled)
{
    m_hitTest = enabled;
    ApplyHitTest();
}

void CFlatSplitterWnd::ApplyHitTest()
{
    for (int i = 0; i < count(); ++i)
    {
        QSplitterHandle* h = handle(i);
        if (!h)
            continue;
        // A bar that ignores the mouse shows no sizing cursor and cannot be dragged.
        h->setAttribute(Qt::WA_TransparentForMouseEvents, !m_hitTest);
        if (m_hitTest)
            h->setCursor(orientation() == Qt::Horizontal ? Qt::SplitHCursor : Qt::SplitVCursor);
        else
            h->setCursor(Qt::ArrowCursor);
    }
}

QSplitterHandle* CFlatSplitterWnd::createHandle()
{
    QSplitterHandle* h = QSplitter::createHandle();
    h->setAttribute(Qt::WA_TransparentForMouseEvents, !m_hitTest);
    if (!m_hitTest)
        h->setCursor(Qt::ArrowCursor);
    return h;
}

void CFlatSplitterWnd::childEvent(QChildEvent* event)
{
    QSplitter::childEvent(event);
    if (event->added())
        ApplyHitTest();
}

void CFlatSplitterWnd::SetPaneInfo(int index, int ideal, int minimum)
{
    if (index < 0)
        return;
    if (static_cast<size_t>(index) >= m_panes.size())
        m_panes.resize(static_cast<size_t>(index) + 1);
    m_panes[static_cast<size_t>(index)] = SPaneInfo{ideal, minimum};
}

CFlatSplitterWnd::SPaneInfo CFlatSplitterWnd::GetPaneInfo(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= m_panes.size())
        return {};
    return m_panes[static_cast<size_t>(index)];
}

std::vector<int> CFlatSplitterWnd::LayoutPanes(const std::vector<SPaneInfo>& panes, int size, int gap)
{
    const size_t n = panes.size();
    std::vector<int> cur(n, 0);
    if (n == 0)
        return cur;
    int left = size < 0 ? 0 : size;
    for (size_t i = 0; i + 1 < n; ++i)
        cur[i] = panes[i].ideal < panes[i].minimum ? 0 : panes[i].ideal;
    cur[n - 1] = INT_MAX;

    for (size_t i = 0; i < n; ++i)
    {
        if (left == 0)
        {
            cur[i] = 0;
            continue;
        }
        if (i != 0 && left < panes[i].minimum)
        {
            // Too little left for this pane: hide it and give the rest to the one before.
            cur[i] = 0;
            cur[i - 1] += left + 2;
            left = 0;
        }
        else if (cur[i] != 0)
        {
            if (left < cur[i])
            {
                cur[i] = left;
                left = 0;
            }
            else
            {
                left -= cur[i];
            }
        }
        if (i + 1 != n)
        {
            if (left > gap)
            {
                left -= gap;
            }
            else
            {
                cur[i] += left;
                if (cur[i] > gap - 1)
                    cur[i] -= gap - 1;
                left = 0;
            }
        }
    }
    return cur;
}

void CFlatSplitterWnd::RecalcLayout()
{
    const int n = count();
    if (n == 0)
        return;
    std::vector<SPaneInfo> infos(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        infos[static_cast<size_t>(i)] = GetPaneInfo(i);
    const QRect inside = contentsRect();
    const int total = orientation() == Qt::Horizontal ? inside.width() : inside.height();
    const std::vector<int> sizes = LayoutPanes(infos, total, kBarSize);
    QList<int> list;
    for (int s : sizes)
        list.append(s);
    setSizes(list);
}
