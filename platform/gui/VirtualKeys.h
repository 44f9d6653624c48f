#pragma once
#include <QString>

class QKeyEvent;

// Keys as the keyboard handling of the program's controls reads them: a key-down with a
// virtual-key code, then the characters it types as separate messages. Qt delivers both in
// one key event; TranslateKeyPress splits it once, so the handlers keep that order.
namespace Platform
{

enum : int
{
    VK_LBUTTON = 0x01,
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_PRIOR = 0x21,
    VK_NEXT = 0x22,
    VK_END = 0x23,
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_INSERT = 0x2D,
    VK_DELETE = 0x2E,
    VK_F1 = 0x70,
    VK_F2 = 0x71,
};

struct KeyStroke
{
    // The key-down's code (letters and digits are their upper-case ASCII codes); 0 for a
    // key without one.
    int virtualKey = 0;
    // The characters typed, one message per UTF-16 unit: Tab, Enter, Esc and Backspace as
    // their control codes; nothing while Ctrl or Alt is held, nothing for Delete.
    QString characters;
    // Alt held: a system key, which the controls leave to the window system.
    bool system = false;
};

KeyStroke TranslateKeyPress(const QKeyEvent& event);

} // namespace Platform
