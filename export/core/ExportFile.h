#pragma once
#include "platform/core/SafeFileWriter.h"

#include <QString>
#include <QStringView>

#include <cstddef>

// A file an export writes, through Platform::SafeFileWriter: the bytes go to a temporary
// file in the target's folder, which replaces the target only when Commit succeeds, so a
// failed or broken-off export never leaves a truncated file that looks complete, and an
// existing file stays as it was. After a failure ErrorMessage() says what went wrong,
// naming the file.
class CExportFile
{
public:
    CExportFile() = default;
    CExportFile(const CExportFile&) = delete;
    CExportFile& operator=(const CExportFile&) = delete;
    // Drops the temporary file unless committed.
    ~CExportFile();

    bool Open(const QString& path);
    bool Write(const void* data, std::size_t size);
    // UTF-16 little-endian, as the text exports write it.
    bool WriteText(QStringView text);
    // Makes the written bytes the target file.
    bool Commit();
    void Cancel();

    const QString& Path() const { return m_file.Path(); }
    // Whether the failure happened when the file was created (not while writing).
    bool FailedToOpen() const { return m_file.FailedToOpen(); }
    // Whether opening, a write or the commit failed.
    bool Failed() const { return m_file.Error() != 0; }
    // The message for the user after a failure: the file's path, then what went wrong.
    QString ErrorMessage() const { return m_file.ErrorMessage(); }

private:
    Platform::SafeFileWriter m_file;
};
