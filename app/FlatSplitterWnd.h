#pragma once
#include <QSplitter>

#include <vector>

// The main window's splitters: thin bars (5 pixels), a 1-pixel sunken border, and a
// switch that makes the bars ignore the mouse so that they cannot be dragged.
//
// Panes are laid out from their ideal and minimum sizes (SetPaneInfo, then RecalcLayout)
// rather than from the user's last drag.
class CFlatSplitterWnd : public QSplitter
{
    Q_OBJECT
public:
    static constexpr int kBarSize = 5;
    static constexpr int kBorder = 1;

    struct SPaneInfo
    {
        int ideal = 0;
        int minimum = 0;
    };

    explicit CFlatSplitterWnd(Qt::Orientation orientation, QWidget* parent = nullptr);

    void SetHitTestEnabled(bool enabled);
    bool IsHitTestEnabled() const { return m_hitTest; }

    // Ideal and minimum size of pane `index` along the splitter's orientation.
    void SetPaneInfo(int index, int ideal, int minimum);
    SPaneInfo GetPaneInfo(int index) const;
    // Sizes the panes from their infos over the space inside the border.
    void RecalcLayout();

    // The sizes the panes get from their infos within `size` pixels: a pane whose ideal
    // is below its minimum collapses, the last pane takes the rest, a pane for which less
    // than its minimum remains is hidden and what is left (plus 2) goes to the pane
    // before it, and a gap of `gap` pixels follows each pane but the last while there is
    // room.
    static std::vector<int> LayoutPanes(const std::vector<SPaneInfo>& panes, int size, int gap);

protected:
    QSplitterHandle* createHandle() override;
    void childEvent(QChildEvent* event) override;

private:
    void ApplyHitTest();

    bool m_hitTest = true;
    std::vector<SPaneInfo> m_panes;
};
