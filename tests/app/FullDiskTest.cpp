// Every writer of the program on a full disk (a small file system of its own, filled up),
// on a read-only file system and on a target that is not a regular file: the old file
// stays byte for byte, no temporary file is left, and the user is told which file failed
// and why.
#include "devicefiles/core/DeviceFileTransfer.h"
#include "export/core/ExportImage.h"
#include "export/core/GraphicExport.h"
#include "export/core/TextExport.h"
#include "export/encoder/xImage.h"
#include "platform/core/SafeFileWriter.h"
#include "platform/core/StringTable.h"
#include "resources/StringIds.h"
#include "streamio/IoStream.h"
#include "tests/app/AppTestSupport.h"
#include "tests/document/DocTestSupport.h"
#include "tests/export/FakeExportFeedback.h"
#include "tests/support/FileContents.h"
#include "tests/support/FullFileSystem.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>
#include <sys/sysmacros.h>

using FileContents::Bytes;
using FileContents::Entries;
using FileContents::Put;

namespace
{
const QByteArray kOld = "old";
const QString kNoSpace = QStringLiteral("(No space left on device)");




// A page of two series, each a grey picture, for the graphic export that encodes its one
// PNG as the series render.
class TwoGreyParts final : public GraphicExportPage
{
public:
    int GetPartCount() const override { return 2; }
    void ShowAllParts() override { m_rows = 2 * kRows; }
    void ShowPart(int, bool) override { m_rows = kRows; }
    long long GetShownWidth() const override { return kWidth; }
    long long GetShownHeight() const override { return m_rows; }
    bool Render(QImage* picture) override
    {
        *picture = QImage(kWidth, m_rows, QImage::Format_RGB32);
        picture->fill(qRgb(90, 90, 90));
        return true;
    }

private:
    static constexpr int kWidth = 200;
    static constexpr int kRows = 100;
    int m_rows = 0;
};

// A tester file of some kilobytes, as the download calls deliver it.
bool DeliverFile(StreamIO::CIoStream* out, const QString&)
{
    const QByteArray bytes(20000, 'L');
    return out->Write(bytes.constData(), uint32_t(bytes.size())) == uint32_t(bytes.size());
}

class FullDisk : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (int i = 1; i <= 3; ++i)
            ASSERT_TRUE(DocTest::AddSeries(doc, QStringLiteral("\\Hall\\S%1.vsm").arg(i), std::vector<float>(300, 500.0f)));
        doc.SetCurrentFolder(doc.LookupFolder(QStringLiteral("\\Hall\\")), QStringLiteral("\\Hall\\"), true);
        ASSERT_EQ(doc.GetSeriesCount(), 3);
    }

    // One writer: it writes to the target and gives what the user was told.
    using Writer = std::function<QString(const QString& target)>;

    QString TextExport(const QString& target, int where)
    {
        FakeExportFeedback feedback;
        feedback.replace = true;
        CTextExport exporter(doc, CTextExport::LayoutReport);
        const auto result = exporter.Run({0, 1, 2}, where, target, feedback);
        if (result == CTextExport::NResult::Done)
            return QString();
        return feedback.errors.empty() ? QStringLiteral("<no message>") : feedback.errors.front();
    }

    // Every writer of the program: the files beside each target (the target first), and
    // the writer, which gives what the user was told.
    struct WriterCase
    {
        const char* writer;
        QStringList oldFiles;
        Writer write;
    };
    std::vector<WriterCase> Writers()
    {
        return {
            {"text export, one file",
             {QStringLiteral("Export.csv")},
             [&](const QString& t) { return TextExport(t, CTextExport::TargetOneFile); }},
            {"text export, a file per series",
             {QStringLiteral("Export.csv"), QStringLiteral("Export2.csv"), QStringLiteral("Export3.csv")},
             [&](const QString& t) { return TextExport(t, CTextExport::TargetFilePerSeries); }},
            {"graphic export",
             {QStringLiteral("Page.png")},
             [&](const QString& t)
             {
                 CxImage image;
                 image.Create(200, 200, 24);
                 QString message;
                 return ExportImage::WriteFile(image, ExportImage::FormatCode(0), t, &message) ? QString() : message;
             }},
            {"graphic export, one PNG written as the series render",
             {QStringLiteral("Page.png")},
             [&](const QString& t)
             {
                 TwoGreyParts page;
                 FakeExportFeedback feedback;
                 const auto result = CGraphicExport::Run(page, CGraphicExport::TargetOneFile, 1, t, feedback);
                 if (result == CGraphicExport::NResult::Done)
                     return QString();
                 return feedback.errors.empty() ? QStringLiteral("<no message>") : feedback.errors.front();
             }},
            {"project save",
             {QStringLiteral("Project.v3p")},
             [&](const QString& t)
             {
                 boxes.boxes.clear();
                 return doc.SaveProject(t) ? QString() : boxes.boxes.empty() ? QStringLiteral("<no message>")
                                                                             : boxes.boxes.front().text;
             }},
            {"manager download and profiles backup",
             {QStringLiteral("profiles.pf3")},
             [&](const QString& t)
             {
                 QString message;
                 return DeviceFileTransfer::DownloadToLocalFile(DeliverFile, QStringLiteral("\\p\\profiles.bin"), t,
                                                                &message)
                            ? QString()
                            : message;
             }},
            {"LOG collection",
             {QStringLiteral("Log.txt")},
             [&](const QString& t)
             {
                 QString message;
                 return DeviceFileTransfer::CollectLogFiles(DeliverFile, {QStringLiteral("\\LOG\\a.log")}, t, {},
                                                            &message)
                                .complete
                            ? QString()
                            : message;
             }},
        };
    }

    // Each writer on a file system of its own, made ready by prepare: the old files stay
    // byte for byte, nothing is left beside them, and the message names the file and has
    // the reason.
    void CheckEveryWriter(const std::function<bool(const FullFileSystem&)>& prepare, const QString& reason,
                          const QString& notSaid)
    {
        TempDir dir;
        int row = 0;
        for (const WriterCase& c : Writers())
        {
            const QString folder = dir.File(QStringLiteral("row%1").arg(++row));
            FullFileSystem disk(folder);
            if (!disk.Mounted())
                GTEST_SKIP() << "a small file system cannot be mounted here: " << disk.Why().toStdString();
            for (const QString& name : c.oldFiles)
                Put(folder + u'/' + name, kOld);
            ASSERT_TRUE(prepare(disk)) << c.writer;
            const QStringList before = Entries(folder);
            const QString target = folder + u'/' + c.oldFiles.front();

            const QString told = c.write(target);
            EXPECT_FALSE(told.isEmpty()) << c.writer << ": reported as done";
            EXPECT_TRUE(told.contains(target) || told.contains(folder)) << c.writer << ": " << told.toStdString();
            EXPECT_TRUE(told.contains(reason)) << c.writer << ": " << told.toStdString();
            if (!notSaid.isEmpty())
            {
                EXPECT_FALSE(told.contains(notSaid)) << c.writer << ": " << told.toStdString();
            }
            for (const QString& name : c.oldFiles)
                EXPECT_EQ(Bytes(folder + u'/' + name), kOld) << c.writer << ": " << name.toStdString();
            EXPECT_EQ(Entries(folder), before) << c.writer << ": a temporary or empty file is left";
        }
    }

    AppEnvironment env;
    MessageBoxRecorder boxes;
    CVeskDoc doc;
};
} // namespace

TEST_F(FullDisk, EveryWriterKeepsTheOldFileAndTellsTheUser)
{
    CheckEveryWriter([](const FullFileSystem& disk) { return disk.Fill(); }, kNoSpace, QString());
}

// A write-protected medium: nothing was written, and the user hears that and why, not
// that the file was written only in part or that permission was missing.
TEST_F(FullDisk, AReadOnlyFileSystemIsNamedAndNothingIsWritten)
{
    CheckEveryWriter([](const FullFileSystem& disk) { return disk.MakeReadOnly(); },
                     QStringLiteral("(Read-only file system)"), Platform::LoadString(StringId::IDS_WRITE_FAILED));
}

// A device node chosen as the target stays a device node, and the export says why not.
TEST_F(FullDisk, ADeviceNodeIsNotReplaced)
{
    TempDir dir;
    const QString node = dir.File(QStringLiteral("null-device.csv"));
    if (::mknod(QFile::encodeName(node).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "no right to make a device node here";
    const QString told = TextExport(node, CTextExport::TargetOneFile);
    EXPECT_TRUE(told.startsWith(node + QStringLiteral("\n\n"))) << told.toStdString();
    EXPECT_TRUE(told.endsWith(QStringLiteral("(It is not an ordinary file (a folder or a device, for instance).)")))
        << told.toStdString();
    struct stat st{};
    ASSERT_EQ(::stat(QFile::encodeName(node).constData(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(Entries(dir.Path()), QStringList{QStringLiteral("null-device.csv")});
}
