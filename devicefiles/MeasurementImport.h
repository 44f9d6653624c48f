#pragma once
#include <QString>
#include <QStringList>

#include <memory>

class CProgressWnd;
class CVeskDoc;
class QWidget;

// The main window's import of measurement files (".vsm", any case) and folders from
// disk, chosen in a file dialog or dropped on the window. Each chosen item lands relative
// to its own parent folder: a file in the project's root folder, a folder's files at
// their place below that folder. A single project file (".v3p") is opened instead.
//
// It runs on the UI thread behind a progress window that counts first and can cancel
// between files. What was imported stays, also after a cancel; the batch ends by telling
// the document. Files are only read. Files that cannot be read (pipes and device nodes
// among them, which are never opened) are skipped and named in one message at the end.
// Links to folders are not followed (a link may lead back up).
class CMeasurementImport
{
public:
    // The window that owns the dialogs, the progress window and the messages.
    CMeasurementImport(CVeskDoc& doc, QWidget* parent);
    ~CMeasurementImport();
    CMeasurementImport(const CMeasurementImport&) = delete;
    CMeasurementImport& operator=(const CMeasurementImport&) = delete;

    // The file dialog (several measurement files), then ImportFiles.
    void OnImportMeasurements();
    // Local paths, files and folders, in the order given.
    void ImportFiles(const QStringList& paths);
    // The paths of a drop that are imported: a project file only as the only path.
    static QStringList CollectDroppedPaths(const QStringList& paths);

    // The measurement files below a folder, at any depth; -1 when the user cancelled.
    int CountImportFiles(const QString& folder);
    // Imports every measurement file below the folder relative to the base folder (which
    // ends with a separator); false when the user cancelled.
    bool ImportFolder(const QString& folder, const QString& baseFolder);

    // The files the last import could not read.
    const QStringList& FailedFiles() const { return m_failed; }

private:
    void ImportFile(const QString& path, const QString& baseFolder);
    // Pumps the progress window's messages; true when the user cancelled.
    bool Cancelled();

    CVeskDoc& m_doc;
    QWidget* m_parent;
    // The one owner of the import's progress window, for the whole import.
    std::unique_ptr<CProgressWnd> m_progress;
    QStringList m_failed;
};
