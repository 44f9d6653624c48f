#include "grid/InPlaceEdit.h"

#include "grid/GridCtrl.h"
#include "platform/gui/VirtualKeys.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QKeyEvent>

using namespace Platform;

namespace
{
// Shared by all editors: ending one edit moves the focus, and another editor losing it
// must not end itself in the middle.
bool g_ending = false;

// A character for the editor, without a key: what typing it delivers.
void PostCharacter(QWidget* editor, int character)
{
    QCoreApplication::postEvent(
        editor, new QKeyEvent(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(character))));
}
} // namespace

CInPlaceEdit::CInPlaceEdit(CGridCtrl* parent, const Rect& rect, unsigned style, int id, int row, int col,
                           const QString& text, int firstKey)
    : QLineEdit(parent ? parent->viewport() : nullptr), m_grid(parent), m_id(id), m_row(row), m_col(col),
      m_initialText(text), m_exitOnArrows(firstKey != VK_LBUTTON), m_rect(rect)
{
    setObjectName(QStringLiteral("InPlaceEdit"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFrame(true);
    if (style & ES_RIGHT)
        setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    else if (style & ES_CENTER)
        setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    else
        setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    if (parent)
    {
        if (const Font* font = parent->GetDefaultCell(false, false)->GetFontObject())
            setFont(font->ToQFont());
    }
    setGeometry(rect.left, rect.top, rect.Width(), rect.Height());
    setText(text);
    show();
    setFocus(Qt::OtherFocusReason);

    switch (firstKey)
    {
    case VK_LBUTTON:
    case VK_RETURN:
        end(false);
        break;
    case VK_BACK:
        end(false);
        PostCharacter(this, firstKey);
        break;
    case VK_TAB:
    case VK_SPACE:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_END:
    case VK_HOME:
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
        selectAll();
        break;
    default:
        // The typed character replaces the text.
        selectAll();
        PostCharacter(this, firstKey);
        break;
    }
}

CInPlaceEdit::~CInPlaceEdit() = default;

bool CInPlaceEdit::event(QEvent* event)
{
    // The editor wants every key, Tab included; system characters go nowhere.
    if (event->type() == QEvent::KeyPress)
    {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() & Qt::AltModifier)
            return true;
        keyPressEvent(key);
        return true;
    }
    return QLineEdit::event(event);
}

void CInPlaceEdit::keyPressEvent(QKeyEvent* event)
{
    KeyStroke stroke = TranslateKeyPress(*event);
    // A character sent without a key (the first key of the edit, or one the cell passes
    // on) is taken as it is, control codes included.
    if (event->key() == 0)
        stroke.characters = event->text();
    if (stroke.virtualKey != 0 && OnKeyDown(stroke.virtualKey, event->modifiers()))
        return;
    if (stroke.characters.isEmpty())
    {
        // Navigation, Delete and the Ctrl shortcuts (clipboard, undo) as the line edit
        // knows them; a bare character event of our own has no key to handle.
        if (event->key() != 0)
            QLineEdit::keyPressEvent(event);
        return;
    }
    for (const QChar c : stroke.characters)
    {
        if (m_ended)
            break;
        OnChar(c.unicode());
    }
}

bool CInPlaceEdit::OnKeyDown(int key, Qt::KeyboardModifiers keys)
{
    switch (key)
    {
    case VK_PRIOR:
    case VK_NEXT:
    case VK_DOWN:
    case VK_UP:
    case VK_RIGHT:
    case VK_LEFT:
        if (m_exitOnArrows || (keys & Qt::ControlModifier))
        {
            Finish(static_cast<unsigned>(key));
            return true;
        }
        return false;
    default:
        return false;
    }
}

void CInPlaceEdit::OnChar(int character)
{
    if (character == VK_TAB || character == VK_RETURN)
    {
        Finish(static_cast<unsigned>(character));
        return;
    }
    if (character == VK_ESCAPE)
    {
        setText(m_initialText);
        Finish(static_cast<unsigned>(character));
        return;
    }
    if (character == VK_BACK)
    {
        backspace();
        return;
    }
    if (character < 0x20)
        return;
    insert(QString(QChar(character)));
    Grow();
}

void CInPlaceEdit::CancelEdit()
{
    if (m_ended)
        return;
    setText(m_initialText);
    Finish(static_cast<unsigned>(VK_ESCAPE));
}

void CInPlaceEdit::Grow()
{
    const int width = QFontMetrics(font()).horizontalAdvance(text() + QStringLiteral("  "));
    if (width <= m_rect.Width())
        return;
    int right = m_rect.left + width;
    if (m_grid)
        right = std::min(right, m_grid->GetClientRect().right);
    m_rect.right = right;
    setGeometry(m_rect.left, m_rect.top, m_rect.Width(), m_rect.Height());
}

void CInPlaceEdit::Finish(unsigned key)
{
    m_lastKey = key;
    // The focus goes back to the grid, which ends the edit; the call below ends it when the
    // window system moves no focus (an inactive window).
    if (m_grid)
        m_grid->setFocus(Qt::OtherFocusReason);
    EndEdit();
}

void CInPlaceEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    EndEdit();
}

void CInPlaceEdit::EndEdit()
{
    if (m_ended || g_ending)
        return;
    g_ending = true;
    m_ended = true;
    const QPointer<CInPlaceEdit> self(this);

    GRIDDISPINFO info;
    info.hwndFrom = this;
    info.idFrom = m_id;
    info.code = Notify::GRIDN_ENDLABELEDIT;
    info.item.mask = GVIF_TEXT | GVIF_PARAM;
    info.item.row = m_row;
    info.item.col = m_col;
    info.item.strText = text();
    info.item.lParam = static_cast<intptr_t>(m_lastKey);
    if (m_grid)
        m_grid->OnInPlaceEditEnded(info);

    g_ending = false;
    if (self)
        close();
}
