#pragma once
#include "devicefiles/core/VeskFile.h"

#include <QDialog>
#include <QString>

#include <functional>

class CProgressWnd;
class CVeskoraConnection;
class QKeyEvent;
class QTreeWidget;
class QTreeWidgetItem;
class TwMenu;

// What the dialogs over the portable tester's files have in common: a one-column list of
// the tester's records of one folder level, marking rows (a marked folder brings
// everything below it), deleting the marked records on the tester and the list's keys.
// The records belong to the dialog; each row holds the address of its record.
class CTesterFileDialog : public QDialog
{
    Q_OBJECT
public:
    const TVeskFileArray& Records() const { return m_records; }
    QTreeWidget* List() const { return m_list; }
    // The record a row shows, or null.
    TVeskFile* RecordOf(const QTreeWidgetItem* item) const;

    // Marks the records of the selected rows, see CollectMarkedRecords.
    virtual void CollectMarked() = 0;
    // Deletes the marked records on the tester, after asking, deepest first.
    void DeleteMarked();
    // The context menu at a point of the list's viewport.
    virtual void OnListRightClick(const QPoint& pos) = 0;

protected:
    // Creates the list under the column header columnTextId.
    CTesterFileDialog(QWidget* parent, CVeskoraConnection& connection, uint32_t columnTextId);
    ~CTesterFileDialog() override;

    virtual void LayoutControls() = 0;
    // Whether a delete may start at all (asked once something is marked).
    virtual bool MayDelete() { return true; }
    // After a delete ran: cancelled by the operator, or a record the tester did not delete.
    virtual void DeleteEnded(bool cancelled, bool failed) = 0;
    // Whether a key pressed on watched acts on the list (Delete and Ctrl+A, then OnListKey).
    virtual bool TakesKeysOf(const QObject* watched) const = 0;
    // A further key of the list: true when the dialog handled it.
    virtual bool OnListKey(const QKeyEvent*, bool /*ctrl*/) { return false; }

    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    bool HasRecord(const TVeskFile* record) const;
    QString StripRootPrefix(const QString& path) const;
    void RemoveListRow(const QString& path);
    // Marks the records of the selected rows (a folder with itself and everything below
    // it) and hands each to take as it is marked; every other record is unmarked.
    void CollectMarkedRecords(const std::function<void(const TVeskFile&)>& take);
    // Adds a row for each record of the folder's level below folder (relative to the root
    // prefix, ending with "\"): folders first, then files, each in record order. A file
    // row shows the file's base name, or with fileNameWithExtension its whole name.
    void AddRows(const QString& folder, int fileImage, bool fileNameWithExtension, Qt::ItemFlags extraFlags);
    // Shows text as the progress's next step and lets the operator act on it; false once
    // the operator cancelled.
    static bool NextStep(CProgressWnd& progress, const QString& text);
    // Selects the row at pos alone unless it is selected already; returns it or null.
    QTreeWidgetItem* SelectRowAt(const QPoint& pos);
    // Shows the menu at pos of the list's viewport and returns the chosen command.
    unsigned TrackMenu(TwMenu& menu, const QPoint& pos);

    // The role of a row's data that holds the address of its record.
    static constexpr int kRecordRole = Qt::UserRole;

    CVeskoraConnection& m_connection;
    TVeskFileArray m_records;
    QString m_rootPrefix;
    QTreeWidget* m_list = nullptr;
};
