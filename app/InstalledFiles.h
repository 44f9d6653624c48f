#pragma once
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// The program file's folder, with a trailing separator; empty when the path has none.
QString GetModuleFolder();

// Opens a web page in the user's browser; tests replace it. Returns whether it opened.
using WebPageOpener = std::function<bool(const QString& address)>;
WebPageOpener SetWebPageOpener(WebPageOpener opener);
bool OpenWebPage(const QString& address);

// Files the program ships (the manual, the help of the upgrade tool) lie beside the
// program or, when it is installed under a prefix (prefix/bin/veskador3), in
// prefix/share/veskador3/.
namespace InstalledFiles
{
// The folders searched, in order, each with a trailing separator; programFolder ends in
// a separator as GetModuleFolder() gives it.
QStringList SearchFolders(const QString& programFolder);

// The full path of the first file of that name in the search folders; empty when none
// holds it.
QString Find(const QString& name, const QString& programFolder);

// Opens the shipped file with the desktop's opener, or says that it is not installed
// (a message box that names the folders searched). Returns whether it was found.
bool Open(QWidget* owner, const QString& name, const QString& programFolder);

// Open for the program's manual in the program's folder: the help of the Help menu and of F1.
bool OpenManual(QWidget* owner);
} // namespace InstalledFiles
