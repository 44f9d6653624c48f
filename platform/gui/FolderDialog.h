#pragma once
#include <QString>

class QWidget;

namespace Platform
{

// Flags of the folder dialog, with the values the program's callers combine.
enum FolderDialogFlags : unsigned
{
    // Only folders of the file system can be chosen.
    BIF_RETURNONLYFSDIRS = 0x0001,
    // An edit box in which the user can type a folder.
    BIF_EDITBOX = 0x0010,
    // The larger, resizable dialog.
    BIF_NEWDIALOGSTYLE = 0x0040,
};

struct FolderDialogRequest
{
    QWidget* owner = nullptr;
    // Shown above the tree; none when empty.
    QString title;
    unsigned flags = BIF_RETURNONLYFSDIRS;
    // The folder selected when the dialog opens; none when empty.
    QString startPath;
};

struct FolderDialogResult
{
    // False: the user cancelled.
    bool chosen = false;
    // The chosen item's file-system path; empty for an item that has none.
    QString path;
};

// Shows the modal folder dialog. Tests install their own service, so no test waits on a
// modal loop.
class FolderDialogService
{
public:
    virtual ~FolderDialogService() = default;
    virtual FolderDialogResult Browse(const FolderDialogRequest& request) = 0;
};

// Installs a service (null: the built-in one); returns the previous one.
FolderDialogService* SetFolderDialogService(FolderDialogService* service);

// UI thread only.
FolderDialogResult BrowseForFolder(const FolderDialogRequest& request);

} // namespace Platform
