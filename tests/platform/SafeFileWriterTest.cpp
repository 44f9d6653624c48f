#include "platform/core/SafeFileWriter.h"

#include "platform/core/ErrorCodes.h"
#include "platform/core/StringTable.h"
#include "resources/BuiltInStrings.h"
#include "resources/StringIds.h"
#include "tests/support/FileContents.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <iostream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

using Platform::SafeFileWriter;

using FileContents::Bytes;
using FileContents::Entries;
using FileContents::Put;

namespace
{
const QByteArray kOld = "old";




// Writes bytes through the writer as the program's writers do.
bool WriteWhole(SafeFileWriter& writer, const QString& path, const QByteArray& bytes)
{
    return writer.Open(path) && writer.Write(bytes) && writer.Commit();
}
} // namespace

TEST(SafeFileWriter, ReplacesTheFileOnlyWhenEverythingIsWritten)
{
    TempDir dir;
    const QString target = dir.File(QStringLiteral("Export.csv"));
    Put(target, kOld);
    ::chmod(QFile::encodeName(target).constData(), 0640);
    // A temporary file an interrupted earlier write left behind.
    Put(target + SafeFileWriter::kTemporarySuffix, "half of an earlier write");

    SafeFileWriter writer;
    ASSERT_TRUE(writer.Open(target));
    EXPECT_EQ(Bytes(target), kOld) << "nothing changes before Commit";
    ASSERT_TRUE(writer.Write(QByteArray("new content")));
    ASSERT_TRUE(writer.Commit());
    EXPECT_EQ(Bytes(target), QByteArray("new content"));
    EXPECT_EQ(Entries(dir.Path()), QStringList{"Export.csv"}) << "the stale temporary file is gone too";
    struct stat st{};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << "the previous file's permissions";
    // ... and its owner can always read the new file back (the bits, as root reads any file).
    const std::pair<mode_t, mode_t> modes[] = {{0200, 0600}, {0220, 0620}, {0622, 0622}, {0700, 0700}};
    for (const auto& [old, rewritten] : modes)
    {
        ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), old), 0);
        ASSERT_TRUE(WriteWhole(writer, target, "again")) << old;
        ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, rewritten) << old;
    }
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0640), 0);

    // A link stays a link; the file it names is replaced.
    const QString link = dir.File(QStringLiteral("link.csv"));
    ASSERT_TRUE(QFile::link(target, link));
    ASSERT_TRUE(WriteWhole(writer, link, "through the link"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(Bytes(target), QByteArray("through the link"));

    // Without Commit the previous file stays.
    {
        SafeFileWriter dropped;
        ASSERT_TRUE(dropped.Open(target));
        ASSERT_TRUE(dropped.Write(QByteArray("never")));
    }
    EXPECT_EQ(Bytes(target), QByteArray("through the link"));
    EXPECT_EQ(Entries(dir.Path()), (QStringList{"Export.csv", "link.csv"}));
}

// A full disk (here a file-size limit), a sync that fails, a target that is not a regular
// file, a folder that is not there: the old file stays byte for byte, nothing is left
// behind, and the message names the file and the reason. Every target lies in the test's
// own folder: a refusal that breaks replaces nothing else.
TEST(SafeFileWriter, AFailureKeepsTheOldFileAndSaysWhy)
{
    RegisterBuiltInStrings();
    TempDir dir;
    // The null device's node, made here; empty where nodes may not be made.
    QString node = dir.File(QStringLiteral("null-device"));
    if (::mknod(QFile::encodeName(node).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
    {
        std::cout << "[  NOTE    ] no right to make a device node here: that case is left out\n";
        node.clear();
    }
    const QString fifo = dir.File(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(QDir().mkpath(dir.File(QStringLiteral("folder.csv"))));
    const QString socketPath = dir.File(QStringLiteral("sock"));
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketName = QFile::encodeName(socketPath);
    ASSERT_LT(size_t(socketName.size()), sizeof(address.sun_path));
    std::copy(socketName.begin(), socketName.end(), address.sun_path);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);

    const auto plain = [](SafeFileWriter& w, const QString& path) { return WriteWhole(w, path, "new"); };
    const QString notRegular = Platform::LoadString(StringId::IDS_NOT_A_REGULAR_FILE);
    struct Case
    {
        const char* what;
        QString target;
        std::function<bool(SafeFileWriter&, const QString&)> write;
        uint32_t error;
        bool openFailed;
        QString reason;
    };
    const QByteArray big(64 * 1024, 'x');
    const Case cases[] = {
        {"a full disk at write",
         dir.File(QStringLiteral("full.csv")),
         [&](SafeFileWriter& w, const QString& path)
         {
             FileSizeLimit limit(16384);
             return WriteWhole(w, path, big);
         },
         Err::FileTooLarge, false, QStringLiteral("File too large")},
        {"a small file that may not grow past two bytes",
         dir.File(QStringLiteral("small.csv")),
         [&](SafeFileWriter& w, const QString& path)
         {
             FileSizeLimit limit(2);
             return WriteWhole(w, path, "0123456789");
         },
         Err::FileTooLarge, false, QStringLiteral("File too large")},
        {"a sync that fails",
         dir.File(QStringLiteral("unsynced.csv")),
         [&](SafeFileWriter& w, const QString& path)
         {
             w.SetSync(
                 [](int)
                 {
                     errno = EIO;
                     return -1;
                 });
             return WriteWhole(w, path, "new");
         },
         Err::GenFailure, false, QStringLiteral("Input/output error")},
        {"a device node", node, plain, Err::AccessDenied, true, notRegular},
        {"a pipe", fifo, plain, Err::AccessDenied, true, notRegular},
        {"a socket", socketPath, plain, Err::AccessDenied, true, notRegular},
        {"a folder", dir.File(QStringLiteral("folder.csv")), plain, Err::AccessDenied, true, notRegular},
        {"a folder that is not there", dir.File(QStringLiteral("none/x.csv")), plain, Err::FileNotFound, true,
         QStringLiteral("No such file or directory")},
    };
    for (const Case& c : cases)
    {
        if (c.target.isEmpty())
            continue;
        const bool regular = !QFileInfo::exists(c.target) || QFileInfo(c.target).isFile();
        if (regular && QFileInfo(c.target).dir().exists())
            Put(c.target, kOld);
        const QStringList before = Entries(dir.Path());
        SafeFileWriter writer;
        EXPECT_FALSE(c.write(writer, c.target)) << c.what;
        EXPECT_EQ(writer.Error(), c.error) << c.what;
        EXPECT_EQ(writer.FailedToOpen(), c.openFailed) << c.what;
        EXPECT_EQ(writer.Reason(), c.reason) << c.what;
        const QString message = writer.ErrorMessage();
        EXPECT_TRUE(message.startsWith(c.target + QStringLiteral("\n\n"))) << c.what;
        EXPECT_TRUE(message.endsWith(QStringLiteral("(") + c.reason + QStringLiteral(")"))) << c.what;
        if (regular && QFileInfo::exists(c.target))
        {
            EXPECT_EQ(Bytes(c.target), kOld) << c.what;
        }
        EXPECT_EQ(Entries(dir.Path()), before) << c.what << ": nothing left behind";
    }
    if (!node.isEmpty())
    {
        struct stat st{};
        ASSERT_EQ(::stat(QFile::encodeName(node).constData(), &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode)) << "the node stays a node";
    }
    ::close(sock);
}
