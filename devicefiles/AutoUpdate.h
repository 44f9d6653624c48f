#pragma once
#include "devicefiles/core/ProgramVersionCheck.h"
#include "devicefiles/core/UpdateFtpClient.h"
#include "platform/gui/WizardSheet.h"
#include "streamio/Version.h"

#include <QString>

class CPageDownload;
class CPageSearch;

// The update wizard: searches the update server for a newer program and, on Next,
// downloads the package with a progress bar into the user's downloads folder (or a file
// the user picks when that folder cannot be written). The package is checked and kept,
// the wizard says where it is and how to install it, and nothing downloaded is ever run;
// the program goes on running.
//
// The sheet has its own FTP client. Every wait for the server runs on a thread of its own
// (CUpdateJob), so the wizard stays responsive, and Cancel or closing the wizard ends a
// step at once: the client is aborted and a partly written file is removed. A sheet runs
// once.
class CAutoUpdate : public Platform::WizardSheet
{
    Q_OBJECT
public:
    // The running program's product name and version.
    explicit CAutoUpdate(QWidget* parent = nullptr);
    // Product name: names the server folder and the texts; running: the version to beat.
    CAutoUpdate(QWidget* parent, const QString& productName, CVersion running);
    ~CAutoUpdate() override;

    // Runs the wizard modally; true when a package was downloaded and kept. Every failure
    // is told once, on the page where it happened.
    bool RunWizard();

    // For the pages.
    CUpdateFtpClient& Client() { return m_client; }
    const QString& ProductName() const { return m_productName; }
    CVersion RunningVersion() const { return m_running; }
    const SUpdateSearch& Search() const { return m_search; }
    void SetSearch(const SUpdateSearch& search) { m_search = search; }
    // Where the package was kept; empty until then.
    const QString& SavedPath() const { return m_savedPath; }
    void SetSavedPath(const QString& path) { m_savedPath = path; }
    CPageSearch* SearchPage() const { return m_searchPage; }
    CPageDownload* DownloadPage() const { return m_downloadPage; }

    // The string table's line breaks ("\r\n") as a label shows them.
    static QString LabelText(QString text);

public slots:
    // Every way the wizard ends: the steps stop and the connection goes.
    void done(int result) override;

private:
    void StopEverything();

    QString m_productName;
    CVersion m_running;
    SUpdateSearch m_search;
    QString m_savedPath;
    CUpdateFtpClient m_client;
    CPageSearch* m_searchPage = nullptr;
    CPageDownload* m_downloadPage = nullptr;
};
