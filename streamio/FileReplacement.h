#pragma once
#include "streamio/FileStream.h"

#include <QString>

#include <memory>

namespace StreamIO
{

// A disk file written in place of another. The new content goes to a temporary file
// beside the file it replaces, which takes the file's place on Commit, once it is complete
// and on disk; until then (and for good after a failure, Discard or destruction without
// Commit) the previous file stays byte for byte and the temporary file is removed.
//
// The replacement keeps the file's identity: a symbolic link is followed, so the link
// stays and the file it names is replaced, and the new file gets the previous file's
// permission bits and, where the system permits, its group.
//
// Failures raise CFileException with the name the caller gave: 5 for a folder or a file
// we may not write, the open's code for a temporary file that cannot be made.
class CFileReplacement
{
public:
    explicit CFileReplacement(const QString& path);
    ~CFileReplacement();
    CFileReplacement(const CFileReplacement&) = delete;
    CFileReplacement& operator=(const CFileReplacement&) = delete;

    // The temporary file, open for reading and writing; valid until Commit or Discard.
    CFileStream& Stream() { return *m_stream; }
    // Closes the temporary file, which pushes its data to the disk, and renames it over
    // the file. On failure the temporary file is removed and the exception raised.
    void Commit();
    void Discard();
    // The file that is replaced, with symbolic links followed.
    const QString& Target() const { return m_target; }

private:
    QString m_name;      // as the caller gave it
    QString m_target;    // the file to replace
    QString m_temporary; // the file written meanwhile; empty once committed or discarded
    std::unique_ptr<CFileStream> m_stream;
};

} // namespace StreamIO
