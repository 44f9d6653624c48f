#include "platform/core/ErrorCodes.h"
#include "platform/core/FileException.h"

#include <gtest/gtest.h>

#include <cerrno>

TEST(Errors, PosixErrorsMapToTheirWindowsNumbers)
{
    struct Case
    {
        int posix;
        uint32_t expected;
    } cases[] = {{ENOENT, 2}, {EACCES, 5}, {EROFS, 19}, {EBADF, 6}, {EEXIST, 80}, {ENOSPC, 112},
                 {ETIMEDOUT, 1460}, {ENODEV, 1167}, {EIO, 31}, {12345, 31}};
    for (const Case& c : cases)
        EXPECT_EQ(ErrorFromErrno(c.posix), c.expected) << "errno " << c.posix;
    // A failed save tells the reason of the number it carries: it must be the one the
    // system gave.
    for (const int posix : {ENOENT, EACCES, EROFS, ENOSPC, EFBIG})
        EXPECT_EQ(ErrnoFromError(ErrorFromErrno(posix)), posix) << "errno " << posix;
    EXPECT_EQ(SocketErrorFromErrno(ECONNRESET), 10054u);
    EXPECT_EQ(SocketErrorFromErrno(ECONNABORTED), 10053u);
    EXPECT_EQ(SocketErrorFromErrno(ECONNREFUSED), 10061u);
}

TEST(Errors, FileExceptionCarriesCodeNameAndCause)
{
    try
    {
        CFileException::ThrowOsError(Err::FileNotFound, QStringLiteral("C:\\x.vsm"));
        FAIL() << "no exception";
    }
    catch (const CFileException& e)
    {
        EXPECT_EQ(e.Error(), 2u);
        EXPECT_EQ(e.FileName(), QStringLiteral("C:\\x.vsm"));
        EXPECT_EQ(e.GetCause(), CFileException::fileNotFound);
    }
    EXPECT_EQ(CFileException::CauseFromError(Err::HandleEof), CFileException::endOfFile);
    EXPECT_EQ(CFileException::CauseFromError(Err::SharingViolation), CFileException::sharingViolation);
    EXPECT_EQ(CFileException::CauseFromError(Err::Timeout), CFileException::genericException);
}
