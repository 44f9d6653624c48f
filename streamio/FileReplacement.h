#pragma once
#include "platform/core/SafeFileWriter.h"
#include "streamio/FileStream.h"

#include <QString>

#include <memory>

namespace StreamIO
{

// A disk file written in place of another, through a stream (the project archive reads
// back what it wrote). It follows Platform::SafeFileWriter's procedure and temporary
// name: the new content goes to a temporary file beside the file it replaces, which takes
// the file's place on Commit, once it is complete and on disk; until then (and for good
// after a failure, Discard or destruction without Commit) the previous file stays byte for
// byte and the temporary file is removed. Links are followed and the previous file's
// permission bits and group are kept.
//
// Failures raise CFileException with the name the caller gave: 5 for a folder, a device
// node or a file we may not write, the open's code for a temporary file that cannot be
// made.
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
    const QString& Target() const { return m_plan.target; }

private:
    QString m_name; // as the caller gave it
    // The file to replace and the one written meanwhile (empty once committed or
    // discarded).
    Platform::SafeFileWriter::SPlan m_plan;
    std::unique_ptr<CFileStream> m_stream;
};

} // namespace StreamIO
