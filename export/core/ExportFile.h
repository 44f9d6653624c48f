#pragma once
#include <QSaveFile>
#include <QString>
#include <QStringView>

#include <cstddef>

// A file an export writes. The bytes go to a temporary file in the target's folder, which
// replaces the target only when Commit succeeds, so a failed or broken-off export never
// leaves a truncated file that looks complete, and an existing file stays as it was.
// After a failure ErrorMessage() says what went wrong, naming the file.
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

    const QString& Path() const { return m_path; }
    // Whether the failure happened when the file was created (not while writing).
    bool FailedToOpen() const { return m_openFailed; }
    // The message for the user after a failure: the file's path, then what went wrong.
    QString ErrorMessage() const;

private:
    bool Fail();

    QSaveFile m_file;
    QString m_path;
    QString m_reason;
    bool m_open = false;
    bool m_openFailed = false;
};
