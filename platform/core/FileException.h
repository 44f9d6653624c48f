#pragma once
#include <QString>

#include <cstdint>
#include <exception>

// A failed file or stream operation: the Windows error number, the stream's name and
// a coarse cause derived from the number (as callers that only ask "not found?" or
// "end of file?" expect).
class CFileException : public std::exception
{
public:
    enum Cause
    {
        none,
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile
    };

    CFileException(uint32_t osError, QString fileName);
    CFileException(Cause cause, uint32_t osError, QString fileName);

    static Cause CauseFromError(uint32_t osError);
    [[noreturn]] static void ThrowOsError(uint32_t osError, const QString& fileName);

    uint32_t Error() const { return m_osError; }
    Cause GetCause() const { return m_cause; }
    const QString& FileName() const { return m_fileName; }

    // Short English description with the number and the name, for reports.
    QString Text() const;
    const char* what() const noexcept override;

private:
    Cause m_cause;
    uint32_t m_osError;
    QString m_fileName;
    QByteArray m_what;
};

// Out of memory while growing a buffer; callers that may reserve memory catch it.
class CMemoryException : public std::exception
{
public:
    const char* what() const noexcept override { return "out of memory"; }
};
