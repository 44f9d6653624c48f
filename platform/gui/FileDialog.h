#pragma once
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

class QWidget;

namespace Platform
{

// Style flags of the file dialogs, with the values the program's callers combine.
enum FileDialogFlags : uint32_t
{
    OFN_OVERWRITEPROMPT = 0x0002,
    OFN_HIDEREADONLY = 0x0004,
    OFN_ALLOWMULTISELECT = 0x0200,
};

// What an open or save dialog asks. The filter is given as the program's resources hold
// it: pairs of description and patterns, each part ended by '|', the list by "||"
// ("Veskador 3 Project (*.v3p)|*.v3p|All Files (*.*)|*.*||").
struct FileDialogRequest
{
    bool save = false;
    QString initialFolder;
    QString fileName; // proposed name; may be a pattern such as "*.v3p"
    QString filter;
    QString defaultExtension; // without the period
    uint32_t flags = 0;
};

// Shows a modal file dialog. Tests install their own service, so no test waits on a
// modal loop.
class FileDialogService
{
public:
    virtual ~FileDialogService() = default;
    // The chosen path; nullopt when the user cancelled.
    virtual std::optional<QString> Show(QWidget* owner, const FileDialogRequest& request) = 0;
    // An open dialog in which several existing files can be chosen: the chosen paths in
    // the dialog's order. A service that offers only one file gives that one.
    virtual std::optional<QStringList> ShowMany(QWidget* owner, const FileDialogRequest& request)
    {
        const std::optional<QString> one = Show(owner, request);
        if (!one)
            return std::nullopt;
        return QStringList{*one};
    }
};

// Installs a service (null: the built-in one); returns the previous one.
FileDialogService* SetFileDialogService(FileDialogService* service);

// UI thread only.
std::optional<QString> ShowFileDialog(QWidget* owner, const FileDialogRequest& request);
std::optional<QStringList> ShowOpenFilesDialog(QWidget* owner, const FileDialogRequest& request);

} // namespace Platform
