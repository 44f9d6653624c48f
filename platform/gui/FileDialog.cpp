#include "platform/gui/FileDialog.h"

#include "platform/gui/DialogFit.h"

#include <QApplication>
#include <QFileDialog>
#include <QStringList>

#include <atomic>

namespace Platform
{

namespace
{
// "Text (*.a)|*.a;*.b|..." to Qt's name filters: "Text (*.a *.b)". "*.*" means every
// file, which is "*" here.
QStringList NameFilters(const QString& filter)
{
    QStringList result;
    const QStringList parts = filter.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
    {
        QString text = parts[i].trimmed();
        if (text.isEmpty())
            break;
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (QString& p : patterns)
        {
            p = p.trimmed();
            if (p == QStringLiteral("*.*"))
                p = QStringLiteral("*");
        }
        const qsizetype open = text.lastIndexOf(u'(');
        if (open > 0 && text.endsWith(u')'))
            text = text.left(open).trimmed();
        result << text + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return result;
}

// Qt's dialog opens at a size of its own, which on a small or scaled screen reaches past
// the screen's edges with its buttons. It gets no more than the screen holds; its layout
// shrinks the lists first.
void FitToScreen(QFileDialog& dialog)
{
    const QSize room = ScreenRoom(&dialog);
    // Unless sized already, a window takes its size hint when shown.
    const QSize wanted = dialog.testAttribute(Qt::WA_Resized) ? dialog.size() : dialog.sizeHint();
    if (wanted.width() <= room.width() && wanted.height() <= room.height())
        return;
    dialog.setMinimumSize(dialog.minimumSizeHint().boundedTo(room));
    dialog.resize(wanted.boundedTo(room));
}

class QtFileDialogs final : public FileDialogService
{
public:
    std::optional<QString> Show(QWidget* owner, const FileDialogRequest& request) override
    {
        const std::optional<QStringList> files = Run(owner, request, false);
        if (!files)
            return std::nullopt;
        return files->front();
    }

    std::optional<QStringList> ShowMany(QWidget* owner, const FileDialogRequest& request) override
    {
        return Run(owner, request, true);
    }

private:
    static std::optional<QStringList> Run(QWidget* owner, const FileDialogRequest& request, bool many)
    {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
            return std::nullopt;
        QFileDialog dialog(owner);
        dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(request.save ? QFileDialog::AnyFile
                           : many       ? QFileDialog::ExistingFiles
                                        : QFileDialog::ExistingFile);
        dialog.setNameFilters(NameFilters(request.filter));
        if (!request.defaultExtension.isEmpty())
            dialog.setDefaultSuffix(request.defaultExtension);
        if (!request.initialFolder.isEmpty())
            dialog.setDirectory(request.initialFolder);
        if (!request.fileName.isEmpty() && !request.fileName.contains(u'*'))
            dialog.selectFile(request.fileName);
        if (!(request.flags & OFN_OVERWRITEPROMPT))
            dialog.setOption(QFileDialog::DontConfirmOverwrite);
        FitToScreen(dialog);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles();
    }
};

QtFileDialogs g_builtIn;
std::atomic<FileDialogService*> g_service{&g_builtIn};
} // namespace

FileDialogService* SetFileDialogService(FileDialogService* service)
{
    return g_service.exchange(service ? service : &g_builtIn);
}

std::optional<QString> ShowFileDialog(QWidget* owner, const FileDialogRequest& request)
{
    return g_service.load()->Show(owner, request);
}

std::optional<QStringList> ShowOpenFilesDialog(QWidget* owner, const FileDialogRequest& request)
{
    return g_service.load()->ShowMany(owner, request);
}

} // namespace Platform
