#pragma once
#include "platform/gui/GdiTypes.h"

#include <QLineEdit>
#include <QPointer>

class CGridCtrl;

// Alignment styles of the editor, taken from the edited cell's format.
enum : unsigned
{
    ES_LEFT = 0x0,
    ES_CENTER = 0x1,
    ES_RIGHT = 0x2,
};

// The editor over a cell while its text is edited in place. It reports the end of the edit
// to the grid with the text and the key that ended it, then closes and deletes itself.
// Opened by the mouse or F2, arrows move the caret (with Ctrl they end the edit); opened by
// typing or by moving on from another cell, arrows end the edit, so that the grid can move
// on to the next cell.
class CInPlaceEdit : public QLineEdit
{
    Q_OBJECT
public:
    // Shown at once over the rectangle (client coordinates of the grid) with the keyboard
    // focus. The first key: 1 for the mouse and F2, else the key or character that started
    // the edit (a character is typed into the editor).
    CInPlaceEdit(CGridCtrl* parent, const Platform::Rect& rect, unsigned style, int id, int row, int col,
                 const QString& text, int firstKey);
    ~CInPlaceEdit() override;

    // Reports the edit to the grid and closes the editor; once only.
    void EndEdit();
    // Puts the text back and ends the edit as Esc does: the cell hears of no change.
    void CancelEdit();
    // The grid goes away: the editor reports nothing more.
    void Detach() { m_grid = nullptr; }

    int GetRow() const { return m_row; }
    int GetColumn() const { return m_col; }
    unsigned GetLastKey() const { return m_lastKey; }
    bool GetExitOnArrows() const { return m_exitOnArrows; }

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // The key-down and character steps of a key press; true when the key ended the edit.
    bool OnKeyDown(int key, Qt::KeyboardModifiers keys);
    void OnChar(int character);
    void Finish(unsigned key);
    void Grow();

    QPointer<CGridCtrl> m_grid;
    int m_id;
    int m_row;
    int m_col;
    QString m_initialText;
    unsigned m_lastKey = 0;
    bool m_exitOnArrows;
    bool m_ended = false;
    Platform::Rect m_rect;
};
