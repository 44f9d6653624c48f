#include "platform/gui/VirtualKeys.h"

#include <QKeyEvent>

namespace Platform
{
namespace
{

int VirtualKeyOf(int key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return key; // Qt's codes of letters and digits are their ASCII codes
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return key;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return VK_F1 + (key - Qt::Key_F1);
    switch (key)
    {
    case Qt::Key_Backspace:
        return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VK_RETURN;
    case Qt::Key_Escape:
        return VK_ESCAPE;
    case Qt::Key_Space:
        return VK_SPACE;
    case Qt::Key_PageUp:
        return VK_PRIOR;
    case Qt::Key_PageDown:
        return VK_NEXT;
    case Qt::Key_End:
        return VK_END;
    case Qt::Key_Home:
        return VK_HOME;
    case Qt::Key_Left:
        return VK_LEFT;
    case Qt::Key_Up:
        return VK_UP;
    case Qt::Key_Right:
        return VK_RIGHT;
    case Qt::Key_Down:
        return VK_DOWN;
    case Qt::Key_Insert:
        return VK_INSERT;
    case Qt::Key_Delete:
        return VK_DELETE;
    default:
        return 0;
    }
}

} // namespace

KeyStroke TranslateKeyPress(const QKeyEvent& event)
{
    KeyStroke stroke;
    stroke.virtualKey = VirtualKeyOf(event.key());
    const Qt::KeyboardModifiers mods = event.modifiers();
    stroke.system = mods & Qt::AltModifier;
    if (mods & (Qt::ControlModifier | Qt::AltModifier))
        return stroke;
    // Keys whose character Qt may leave out or spell differently.
    switch (stroke.virtualKey)
    {
    case VK_TAB:
    case VK_RETURN:
    case VK_ESCAPE:
    case VK_BACK:
        stroke.characters = QChar(stroke.virtualKey);
        return stroke;
    case VK_DELETE:
        return stroke;
    default:
        break;
    }
    for (const QChar c : event.text())
        if (c.unicode() >= 0x20 && c.unicode() != 0x7F)
            stroke.characters += c;
    return stroke;
}

} // namespace Platform
