#pragma once
#include <QToolBar>

// The main toolbar. Only a press on a real button reaches the toolbar's own handling: a
// press on a separator or the empty part, and every double click, are ignored, so the
// bar can never be dragged off or floated with the mouse.
class CToolBarExt : public QToolBar
{
    Q_OBJECT
public:
    static constexpr int kButtonSize = 37;

    explicit CToolBarExt(QWidget* parent = nullptr);

    // Cuts the strip into kButtonSize-square images and gives them, in order, to the
    // buttons (separators take none); white is transparent. `disabled` gives the images
    // of the disabled state.
    void SetButtonImages(const QImage& normal, const QImage& disabled);

    // The button widget of the command's action, or null.
    QWidget* ButtonOf(QAction* action) const { return widgetForAction(action); }

protected:
    void actionEvent(QActionEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    // The press that could start a double click, and whether the release of a swallowed
    // second press is still to come.
    QObject* m_lastPressed = nullptr;
    qint64 m_lastPressMs = -1;
    bool m_swallowRelease = false;
};
