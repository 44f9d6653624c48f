#pragma once
#include "devicefiles/core/VeskFile.h"

#include <QString>
#include <QStringList>

#include <vector>

class CVeskDoc;
class CVeskoraConnection;
class QWidget;

// The main window's download of the portable tester's measurement files into the project,
// together with the tester's customer conversions: the connection (with the wizard when
// no tester is held), the listing, the choice in the measurement file explorer, then the
// transfer file by file behind a progress window. Every request to the tester runs off
// the UI thread (TesterTransfer.h), so the window stays alive and Cancel ends the batch at
// once, also in the middle of a file; the files are added to the project on the UI thread
// as they arrive. What arrived stays, also after a cancel, and nothing of the file under
// way; the batch ends by telling the document, which marks the project modified and tells
// the views.
//
// A file the tester refuses or answers too late fails alone and the batch goes on; a file
// whose link was lost is asked for once more when the tester answers again; only a tester
// that no longer answers ends the batch. Failures are reported once, at the end: a listing
// that cannot be read, the files that did not arrive, and a tester that went away during
// the transfer (it is then dropped).
class CMeasurementDownload
{
public:
    // The window that owns the progress windows and messages.
    CMeasurementDownload(CVeskDoc& doc, CVeskoraConnection& connection, QWidget* parent);

    // Downloads into the project folder at targetFolder, which begins and ends with "\".
    // A chosen file lands at its place below the explorer's folder, moved below the
    // target: "Site.DIR\F.vsm" chosen at the tester's root lands in targetFolder + "Site\".
    void DownloadMeasurementFiles(const QString& targetFolder);

    // Reads every customer conversion of the tester into the conversion table and keeps
    // each as a single-record file in the local conversions folder, where the start-up
    // finds it again. Failures are silent; a cancel ends only this step.
    void DownloadCustomerConversions();

    // The files the last download could not bring (their tester paths).
    const QStringList& FailedFiles() const { return m_failed; }

private:
    // Downloads the chosen files into the project; true when the tester went away.
    bool TransferFiles(const std::vector<TVeskFile>& chosen, const QString& explorerFolder,
                       const QString& targetFolder, QStringList& notDownloaded);
    // Writes the record of the table slot as name into the local conversions folder,
    // replacing a file of that name only once the new one is complete.
    // writeError gets the message for the user when the file could not be written.
    bool StoreConversion(int slot, const QString& fileName, QString* writeError = nullptr);
    void ReportFailures(bool lost, const QStringList& notDownloaded);

    CVeskDoc& m_doc;
    CVeskoraConnection& m_connection;
    QWidget* m_parent;
    QStringList m_failed;
};
