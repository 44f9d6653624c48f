#pragma once
#include "devicefiles/core/DeviceFileTransfer.h"

#include <QString>

#include <cstdint>

class CVeskoraConnection;
class QWidget;

// The main window's commands on the portable tester's own files: the three file managers,
// the LOG collection and the profiles backup and restore. Each works with the tester held
// by the connection, connecting through the wizard when none is held; every request to
// the tester runs off the UI thread behind a progress window (TesterTransfer.h).
//
// Local files are written through a temporary file and replace an existing file only
// when complete, so a failed or cancelled transfer keeps the user's file; a listing that
// cannot be read is reported as a failure. A LOG collection cut short keeps the LOG files
// that arrived, beside an existing collection file, and says where.
class CDeviceFileCommands
{
public:
    // parent owns the dialogs, progress windows and messages.
    CDeviceFileCommands(QWidget* parent, CVeskoraConnection& connection);

    void OnConversionsManager();
    void OnHelpFilesManager();
    void OnLanguageManager();
    // Every LOG file of the tester into one chosen collection file.
    void OnDownloadLogFiles();
    // The tester's profiles file unchanged into a chosen file.
    void OnBackupProfiles();
    // A chosen profiles file back to the tester (super-user only), which then restarts:
    // the connection ends.
    void OnRestoreProfiles();

private:
    // Connects (with the wizard when needed) and reads the listing of the kind.
    bool ListFiles(uint32_t kind, QString& listing);
    // detail (a file that could not be written, say) follows the text after a blank line.
    void Message(unsigned textId, unsigned icon, const QString& detail = QString());
    // Says how a LOG collection into file ended (writeError: why the file could not be written).
    void TellLogCollection(const DeviceFileTransfer::SLogCollection& collected, const QString& file,
                           const QString& writeError);

    QWidget* m_parent;
    CVeskoraConnection& m_connection;
};
