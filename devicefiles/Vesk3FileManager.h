#pragma once
#include "devicefiles/TesterFileDialog.h"

#include <QString>
#include <QStringList>

#include <cstdint>

class CVeskoraConnection;
class QPushButton;

// What sets one file manager apart from the others: its kind of tester file, its texts,
// its remembered local folder and the tester's folder of its uploads.
struct SFileManagerKind
{
    uint32_t fileKind;  // Device::NFileKind bit of the listing and the records
    uint32_t captionId; // dialog caption
    uint32_t columnId;  // header of the list's column
    uint32_t addTipId;  // tool tips of Add... and Download...
    uint32_t downloadTipId;
    int fileImage;         // list image of a file row
    QString folderSetting; // remembered local folder (a "\Settings" value)
    uint32_t nothingMarkedId;
    uint32_t downloadingId;  // progress caption and text of a download
    uint32_t downloadLineId; // progress line prefix of each file
    uint32_t downloadFailedId;
    uint32_t downloadDoneId;
    uint32_t filterNameId; // the Add... dialog's filter: name, pattern, extension
    QString filterPattern;
    QString defaultExtension;
    uint32_t uploadLineId; // also the progress caption of an upload
    uint32_t addingId;
    QString deviceFolder; // where uploads go on the tester
    uint32_t uploadFailedId;
    uint32_t uploadDoneId;
    uint32_t addNoRightsId;
};

// A modal dialog over one kind of file on the portable tester (customer conversions, help
// files, language libraries): it lists the tester's files of that kind at the top of their
// folder, downloads marked ones into a chosen local folder, adds local files (super-user
// only) and deletes files (super-user only). Every request goes to the tester held by the
// connection.
//
// A marked folder brings everything below it; a download recreates its subfolders below
// the chosen folder. Names from the tester become local names only when each part of the
// path is one safe path component, and a download replaces a local file only once it has
// arrived whole. Local names that would break the tester's commands are refused before
// anything is sent.
class CVesk3FileManager : public CTesterFileDialog
{
    Q_OBJECT
public:
    enum MenuCommand : unsigned
    {
        menuDownload = 1,
        menuDelete,
    };

    // listing: the tester's answer to the listing request of the kind.
    CVesk3FileManager(QWidget* parent, const SFileManagerKind& kind, const QString& listing,
                      CVeskoraConnection& connection);
    ~CVesk3FileManager() override;

    // Opens a manager of the kind over the held tester (connecting through the wizard when
    // none is held) and runs it. Without a tester it ends silently; a listing that cannot
    // be read is reported instead of showing an empty list.
    static void Run(QWidget* parent, const SFileManagerKind& kind, CVeskoraConnection& connection);

    const SFileManagerKind& Kind() const { return m_kind; }

    // The operations of the buttons, the context menu and the keys.
    void OnDownload();
    void OnAdd();
    void OnListRightClick(const QPoint& pos) override;

protected:
    void LayoutControls() override;
    bool MayDelete() override;
    void DeleteEnded(bool cancelled, bool failed) override;
    bool TakesKeysOf(const QObject* watched) const override;

private:
    void FillList(const QString& folder);
    void CollectMarked() override;
    void Refresh();
    void ParseInto(QString listing);
    QString RememberedFolder() const;
    // detail (a file that could not be written, say) follows the text after a blank line.
    void Message(uint32_t textId, unsigned icon, const QString& detail = QString());

    const SFileManagerKind& m_kind;
    QStringList m_markedPaths;
    QString m_currentFolder = QStringLiteral("\\");
    QPushButton* m_download = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_close = nullptr;
};
