#include "platform/core/FileException.h"

#include "platform/core/ErrorCodes.h"

CFileException::CFileException(uint32_t osError, QString fileName)
    : CFileException(CauseFromError(osError), osError, std::move(fileName))
{
}

CFileException::CFileException(Cause cause, uint32_t osError, QString fileName)
    : m_cause(cause), m_osError(osError), m_fileName(std::move(fileName))
{
    m_what = Text().toUtf8();
}

CFileException::Cause CFileException::CauseFromError(uint32_t e)
{
    switch (e)
    {
    case Err::Success:
        return none;
    case Err::FileNotFound:
        return fileNotFound;
    case Err::PathNotFound:
    case Err::InvalidName:
        return badPath;
    case Err::TooManyOpenFiles:
        return tooManyOpenFiles;
    case Err::AccessDenied:
    case Err::WriteProtect:
    case Err::FileExists:
    case Err::AlreadyExists:
    case Err::NoAccess:
        return accessDenied;
    case Err::InvalidHandle:
        return invalidFile;
    case Err::Seek:
    case Err::NegativeSeek:
    case Err::SeekOnDevice:
        return badSeek;
    case Err::WriteFault:
    case Err::ReadFault:
    case Err::NotReady:
    case Err::BadCommand:
    case Err::GenFailure:
        return hardIO;
    case Err::SharingViolation:
        return sharingViolation;
    case Err::LockViolation:
        return lockViolation;
    case Err::DiskFull:
    case Err::HandleDiskFull:
    case Err::FileTooLarge:
        return diskFull;
    case Err::HandleEof:
        return endOfFile;
    default:
        return genericException;
    }
}

void CFileException::ThrowOsError(uint32_t osError, const QString& fileName)
{
    throw CFileException(osError, fileName);
}

QString CFileException::Text() const
{
    return QStringLiteral("Error %1 on \"%2\"").arg(m_osError).arg(m_fileName);
}

const char* CFileException::what() const noexcept
{
    return m_what.constData();
}
