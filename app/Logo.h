#pragma once
#include <QAbstractButton>

// The maker's logo as a bitmap button at the right end of the toolbar's row. It shows a
// hand cursor and a tooltip, puts its status text on the status line while the mouse is
// over it, and asks the main window to open the maker's home page when pressed. It hides
// itself whenever a toolbar button reaches it.
class CLogo : public QAbstractButton
{
    Q_OBJECT
public:
    static constexpr uint32_t kBitmapNormal = 140;
    static constexpr uint32_t kBitmapPressed = 141;

    // The parent is the dock bar: the toolbar whose row the logo sits in.
    explicit CLogo(QWidget* dockBar);

    // Takes the button images from the bitmap table and sizes the button to them.
    bool LoadBitmaps(uint32_t normal, uint32_t pressed);
    // Places the logo at the dock bar's right edge and shows it only while the last
    // control of the bar ends left of it.
    void Reposition();
    QWidget* GetDockBar() const;

    // The tooltip and status parts of the logo's string (after and before the line feed).
    static QString ToolTipText();
    static QString StatusText();

signals:
    // The main window opens the home page.
    void LogoClicked();
    // The mouse entered (with the status text) or left (with an empty text).
    void StatusTextChanged(const QString& text, bool entered);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    QSize sizeHint() const override;

private:
    QPixmap m_normal;
    QPixmap m_pressed;
};
