#include "platform/gui/FolderDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>

namespace Platform
{
namespace
{

class QtFolderDialog final : public FolderDialogService
{
public:
    FolderDialogResult Browse(const FolderDialogRequest& request) override
    {
        // Our own dialog rather than the desktop's, so that the edit box can be left out
        // and the status line shows the folder under the selection.
        QFileDialog dialog(request.owner, request.title);
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        dialog.setOption(QFileDialog::ShowDirsOnly, true);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        if (!request.startPath.isEmpty())
        {
            const QFileInfo start(QDir::cleanPath(request.startPath));
            if (start.isDir())
            {
                dialog.setDirectory(start.absoluteDir());
                dialog.selectFile(start.absoluteFilePath());
            }
        }
        // Folders have no file types to choose.
        for (const char* name : {"fileTypeCombo", "fileTypeLabel"})
            if (auto* w = dialog.findChild<QWidget*>(QLatin1String(name)))
                w->hide();
        if (!(request.flags & BIF_EDITBOX))
        {
            for (const char* name : {"fileNameEdit", "fileNameLabel"})
                if (auto* w = dialog.findChild<QWidget*>(QLatin1String(name)))
                    w->hide();
        }
        if (!(request.flags & BIF_NEWDIALOGSTYLE))
        {
            if (auto* w = dialog.findChild<QWidget*>(QStringLiteral("newFolderButton")))
                w->hide();
        }
        auto* status = new QLabel(&dialog);
        if (QFileInfo(request.startPath).isDir())
            status->setText(QDir::toNativeSeparators(QDir::cleanPath(request.startPath)));
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
            grid->addWidget(status, grid->rowCount(), 0, 1, grid->columnCount());
        QObject::connect(&dialog, &QFileDialog::currentChanged, status,
                         [status](const QString& path)
                         {
                             if (QFileInfo(path).isDir())
                                 status->setText(QDir::toNativeSeparators(path));
                         });
        if (dialog.exec() != QDialog::Accepted)
            return {};
        const QStringList chosen = dialog.selectedFiles();
        return FolderDialogResult{true, chosen.isEmpty() ? QString() : chosen.front()};
    }
};

QtFolderDialog g_builtIn;
FolderDialogService* g_service = &g_builtIn;

} // namespace

FolderDialogService* SetFolderDialogService(FolderDialogService* service)
{
    FolderDialogService* previous = g_service;
    g_service = service ? service : &g_builtIn;
    return previous;
}

FolderDialogResult BrowseForFolder(const FolderDialogRequest& request)
{
    return g_service->Browse(request);
}

} // namespace Platform
