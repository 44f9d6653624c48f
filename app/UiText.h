#pragma once
#include <cstdint>

class QObject;

// The shell's user-visible texts come from the string table by id, so that a language
// pack replaces them. A text set here remembers its id, and Retranslate sets it again from
// the table after the language has changed, without building the windows anew.
namespace UiText
{
// Sets the text of a menu (title), action (text; a shortcut hint after a tab is dropped,
// the shortcut itself shows it), label, button, frame (title) or window (caption).
void Set(QObject* target, uint32_t textId);

// Sets every remembered text of the object and of its children again.
void Retranslate(QObject* root);
} // namespace UiText
