#pragma once
#include <QString>

// Lets the user choose a local folder, starting at a given one.
class CFolderBrowser
{
public:
    // The new style adds an edit box in which the folder can be typed.
    void SetNewStyle(bool newStyle) { m_newStyle = newStyle; }

    // path: the start folder, and the chosen folder on return. 1 when the user chose a
    // folder that has a file-system path; 0 otherwise (Cancel included), path unchanged.
    int Browse(QString& path) const;

private:
    bool m_newStyle = false;
};
