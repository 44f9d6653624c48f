#pragma once
#include "devicefiles/TesterFileDialog.h"

#include <QString>
#include <QStringList>

#include <vector>

class CVeskoraConnection;
class QLabel;
class QPushButton;
class QToolButton;
class QTreeWidgetItem;

// The modal dialog in which the operator picks the portable tester's measurement files to
// download. It shows the tester's measurement folder one level at a time (folders first,
// then files, each in listing order) and says which device paths were chosen; the download
// belongs to the command that opened it.
//
// It also manages the tester's measurement folders in place: Cut and Paste move items,
// Delete, Rename and New folder. Each goes straight to the tester held by the connection,
// and the records are updated in place; the listing is never asked for again.
//
// Keys act on the list only while it has the focus and no name is being edited, so that a
// name editor keeps Delete and the clipboard keys for its text.
class CVesk3Explorer : public CTesterFileDialog
{
    Q_OBJECT
public:
    // Commands of the context menu.
    enum MenuCommand : unsigned
    {
        menuDownload = 1,
        menuCut,
        menuPaste,
        menuDelete,
        menuRename,
        menuNewFolder,
    };

    // The listing is the tester's answer to a listing of measurement files.
    CVesk3Explorer(QWidget* parent, const QString& listing, CVeskoraConnection& connection);
    ~CVesk3Explorer() override;

    // After Download: the chosen device paths, in collection order (a chosen folder brings
    // every record below it). currentFolder receives the full device path of the folder
    // shown, against which the chosen paths are relative.
    QStringList GetSelectedPaths(QString& currentFolder) const;
    // The same as records, so that the caller can tell folders from files by their flag.
    std::vector<TVeskFile> GetSelectedFiles(QString& currentFolder) const;

    const QString& RootPrefix() const { return m_rootPrefix; }
    // The folder shown, relative to the root prefix: "\" or "\Site.DIR\".
    const QString& CurrentPath() const { return m_currentPath; }
    int CutCount() const { return m_cutCount; }

    // The operations of the buttons, the context menu and the keys.
    void OnDownload();
    void OnFolderUp();
    void OpenFolder(QTreeWidgetItem* item);
    void CollectMarked() override;
    void CutMarked();
    void PasteMove();
    void NewFolder();
    // Starts editing the name of the focused row.
    void StartRename();
    bool IsEditingName() const { return m_openEditors > 0; }
    // The context menu at a point of the list's viewport.
    void OnListRightClick(const QPoint& pos) override;

    // A name the tester takes (DeviceFileTransfer::DeviceNameFault finds no fault) of only
    // letters, digits and ". ,;+-()[]{}_=!@%$&#'~^".
    static bool CheckName(const QString& name);

protected:
    void paintEvent(QPaintEvent* event) override;
    void LayoutControls() override;
    void DeleteEnded(bool cancelled, bool failed) override;
    bool TakesKeysOf(const QObject* watched) const override;
    bool OnListKey(const QKeyEvent* key, bool ctrl) override;

private:
    class RenameDelegate;

    void FillList(const QString& path);
    // The edited name of a row, as the editor committed it.
    void OnEndLabelEdit(TVeskFile* record, const QString& name);
    // Every record below oldFolder (both ending with "\") follows it to newFolder.
    void MoveRecordsBelow(const QString& oldFolder, const QString& newFolder, bool recomputeDepth);
    // A folder name of the folder shown that no record uses yet.
    QString FreeFolderName() const;
    void SetCutLook();
    void ShowMessage(uint32_t textId);

    QString m_currentPath = QStringLiteral("\\");
    std::vector<TVeskFile> m_selected; // the last collection, in its order
    int m_cutCount = 0;
    int m_copyCount = 0;
    // Name editors open on the list.
    int m_openEditors = 0;
    QLabel* m_pathLabel = nullptr;
    QPushButton* m_download = nullptr;
    QPushButton* m_cancel = nullptr;
    QToolButton* m_up = nullptr;
};
