#include "controls/FolderBrowser.h"

#include "platform/gui/FolderDialog.h"

int CFolderBrowser::Browse(QString& path) const
{
    Platform::FolderDialogRequest request;
    // No owner window, no title; only folders of the file system can be chosen. The start
    // path is handed over whole, however long it is.
    request.flags =
        m_newStyle ? Platform::BIF_RETURNONLYFSDIRS | Platform::BIF_EDITBOX | Platform::BIF_NEWDIALOGSTYLE
                   : Platform::BIF_RETURNONLYFSDIRS;
    request.startPath = path;
    const Platform::FolderDialogResult result = Platform::BrowseForFolder(request);
    if (!result.chosen || result.path.isEmpty())
        return 0;
    path = result.path;
    return 1;
}
