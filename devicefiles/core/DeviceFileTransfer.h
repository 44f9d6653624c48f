#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

namespace StreamIO
{
class CIoStream;
}

// Moving single files between the portable tester and the local disk, for the file
// managers, the LOG collection and the profiles backup and restore.
//
// Names that come from the tester are not trusted on the local disk, and local names are
// not trusted in the tester's commands: both are checked before anything is written or
// sent. A local file is never truncated before its new contents are complete: everything
// is written to a temporary file beside it and renamed over it on success, so a failed or
// cancelled transfer leaves the user's file as it was and no partial file behind.
//
// The transfers themselves go through calls that the caller binds to its connection, so
// this code needs no window and no connection of its own. Everything runs on the caller's
// thread.
namespace DeviceFileTransfer
{
// The tester's download request: the file's bytes appended to the stream at its position.
using DownloadCall = std::function<bool(StreamIO::CIoStream* destination, const QString& devicePath)>;
// The tester's upload request: the stream's bytes from its position as the device file.
using UploadCall = std::function<bool(const QString& devicePath, StreamIO::CIoStream* source)>;
// Called before each file of a collection with its number (0 upwards); false cancels.
using FileStep = std::function<bool(int index, const QString& devicePath)>;

// The name after the last backslash of a device path (empty for a folder's path).
QString DeviceFileName(const QString& devicePath);

// A name that is one component of a local path: not empty, not "." or "..", and without
// "/", "\" or control characters.
bool IsSafeLocalName(const QString& name);

// Why a name cannot be one tester name (a file or folder in the folder it goes to) that
// stands between the double quotes of the tester's commands. Every name the program sends
// as a new name (an upload, a rename, a new folder) is checked here first.
enum class NameFault
{
    none,
    blank,            // empty, or only spaces and periods ("..", "..."), after trimming
    quoteOrLineBreak, // '"', CR or LF: would end the quotes or the command line
    separator,        // '\' or '/': the tester reads either as a folder
    control,          // another control character
};
NameFault DeviceNameFault(const QString& name);

// A local file name that becomes one tester name in the folder of its kind.
bool IsSafeUploadName(const QString& name);

// The local place of a device file or folder below the folder a listing was made of:
// relativePath is the device path without the listing's root prefix ("\B1.cnv",
// "\Old.DIR\B1.cnv", "\Old.DIR\"), and a folder's ".DIR" is dropped locally, so
// "\Old.DIR\B1.cnv" lands at localFolder + "/Old/B1.cnv". Empty when any component of
// the path is not a safe local name: nothing may land outside localFolder.
QString LocalTargetPath(const QString& localFolder, const QString& relativePath);

// Downloads one device file into bytes; false when the tester refused or the link failed.
bool DownloadToMemory(const DownloadCall& download, const QString& devicePath, QByteArray& bytes);

// Sends bytes as the device file; false when the tester refused, the link failed or the
// size lies outside what the tester takes (1 byte to Device's upload limit).
bool UploadFromMemory(const UploadCall& upload, const QString& devicePath, const QByteArray& bytes);

// Reads a local file for an upload; false when it cannot be read. Of a file larger than
// the tester takes only one byte more than its limit is read, so that UploadFromMemory
// refuses it without holding the whole file.
bool ReadUploadFile(const QString& localPath, QByteArray& bytes);

// Replaces localPath with bytes through a temporary file in the same folder
// (Platform::SafeFileWriter). When the local file could not be written, writeError gets
// the message for the user, naming the file and the reason.
bool WriteLocalFile(const QString& localPath, const QByteArray& bytes, QString* writeError = nullptr);

// Downloads one device file into localPath, which is replaced only on success; writeError
// as for WriteLocalFile.
bool DownloadToLocalFile(const DownloadCall& download, const QString& devicePath, const QString& localPath,
                         QString* writeError = nullptr);

// The separator block that goes before each file of a LOG collection: a line feed, 147
// "-", a line feed, the device path (each UTF-16 unit as its low byte), a line feed, 147
// "-" and a line feed.
QByteArray LogFileHeader(const QString& devicePath);

// How a LOG collection ended.
struct SLogCollection
{
    bool complete = false; // every LOG file arrived and the collection file holds them all
    int kept = 0;          // the LOG files that arrived and are kept
    QString keptIn;        // the file that holds them; empty when nothing was kept
};

// The name a partial collection gets beside an existing collection file: "Veskora3.log"
// gives "Veskora3 (partial).log", then "Veskora3 (partial 2).log" and so on, the first
// that is free (up to "(partial 1000)", which is taken again after that).
QString PartialCollectionPath(const QString& localPath);

// Collects the tester's LOG files (paths as listed; folder paths, ending in a backslash,
// are skipped) into one collection file: for each file its header, then its bytes. A
// file that did not arrive whole is left out. Complete, the collection replaces the file
// at localPath. Cut short by a failure or a cancel by step, the files that arrived are
// kept all the same: in localPath when there was no file there, otherwise in a partial
// file beside it (PartialCollectionPath), so an earlier collection is never replaced by
// a partial one. Nothing is written when no file arrived. A file that cannot be written
// gives an empty result and writeError as for WriteLocalFile.
SLogCollection CollectLogFiles(const DownloadCall& download, const QStringList& paths, const QString& localPath,
                               const FileStep& step, QString* writeError = nullptr);

// The one profiles file of a profiles listing: the first file path that ends in
// "profiles.bin" exactly (case-sensitive, so "newProfiles.bin" is not it); empty when none.
QString FindProfilesFile(const QStringList& paths);
} // namespace DeviceFileTransfer
