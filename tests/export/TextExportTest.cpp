#include "tests/controls/ScopedTimeZone.h"
#include "tests/export/FakeExportFeedback.h"
#include "tests/export/ImageReaders.h"
#include "tests/measurement/SeriesFixture.h"
#include "tests/support/TempDir.h"

#include "document/VeskDoc.h"
#include "export/core/TextExport.h"
#include "measurement/FolderData.h"
#include "measurement/MeasSeriesWrapper.h"
#include "resources/BuiltInStrings.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace
{
using NResult = CTextExport::NResult;

QByteArray ReadBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QString Utf16(const QByteArray& bytes)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
}

// The bytes of a file: the mark, then the text in UTF-16LE.
QByteArray FileBytes(const QString& text)
{
    QString withMark = QChar(CTextExport::kByteOrderMark) + text;
    QByteArray bytes;
    for (QChar c : withMark)
    {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

// Checks a file against its golden copy, or with VESKADOR_REFRESH_GOLDEN set writes it.
void ExpectGolden(const QString& path, const char* name)
{
    const QString golden = QStringLiteral(VESKADOR_GOLDEN_DIR "/") + QLatin1String(name);
    const QByteArray bytes = ReadBytes(path);
    if (qEnvironmentVariableIsSet("VESKADOR_REFRESH_GOLDEN"))
    {
        ASSERT_TRUE(WriteBytes(golden, bytes));
        return;
    }
    const QByteArray expected = ReadBytes(golden);
    ASSERT_FALSE(expected.isEmpty()) << golden.toStdString();
    EXPECT_EQ(Utf16(bytes).toStdString(), Utf16(expected).toStdString()) << name;
    EXPECT_EQ(bytes, expected) << name;
}

// Python's codecs read the file: the mark must be there, and it gives the lines.
QStringList PythonLines(const QString& path)
{
    const ToolResult r = RunTool(QStringLiteral("/usr/bin/python3"),
                                 {QStringLiteral("-c"),
                                  QStringLiteral("import sys\n"
                                                 "b = open(sys.argv[1], 'rb').read()\n"
                                                 "assert b[:2] == b'\\xff\\xfe'\n"
                                                 "t = b.decode('utf-16')\n"
                                                 "sys.stdout.buffer.write(t.encode('utf-8'))\n"),
                                  path});
    if (r.exitCode != 0)
        return {};
    return QString::fromUtf8(r.out).split(QStringLiteral("\r\n"));
}

QStringList Fields(const QString& line)
{
    return line.split(u'\t');
}

class TextExportTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { RegisterBuiltInStrings(); }

    enum
    {
        kHardened,
        kSemicolon,
        kEmpty,
        kDepth,
        kSeriesCount
    };

    void SetUp() override
    {
        using namespace SeriesFixture;
        auto folder = std::make_unique<CFolderData>();
        // Rebound probe, HRC = x / 8 - 30 over 320..880: 480 -> 30.0, 300 is below the range;
        // one reading without a value, one excluded.
        {
            auto s = NewSeries(kProbeD, kHRC);
            for (float v : {480.0f, 520.0f, 300.0f, MEAS_NO_VALUE, 560.0f, 600.0f})
                s->AddReading(v, v, 0, -1);
            s->ExcludeReading(5, 7);
            s->IncludeReading(3, 7); // a reading without a value that is not excluded
            s->CommitNew();
            s->SetLimits(25.0f, 45.0f, -1);
            s->SetComment(QStringLiteral("Batch 7 & \"hot\""));
            Add(*folder, "Hardened", std::move(s));
        }
        {
            auto s = NewSeries(kProbeD, kHRC);
            for (float v : {440.0f, 480.0f})
                s->AddReading(v, v, 0, -1);
            s->CommitNew();
            s->SetComment(QStringLiteral("tab\there\nnext line\r\nthird\rfourth; end"));
            Add(*folder, "a;b", std::move(s));
        }
        {
            auto s = NewSeries(kProbeD, kHRC);
            s->CommitNew();
            Add(*folder, "Empty", std::move(s));
        }
        // Indentation depths in micrometres shown in thousandths of an inch.
        {
            auto s = NewSeries(kProbeVk, kProbeVk);
            for (float v : {25.0f, 50.0f})   // whole micrometres at this resolution
                s->AddReading(v, v, 31, -2); // diameter correction off
            s->CommitNew();
            s->SetImperial(true);
            s->SetLimits(MEAS_NO_VALUE, 76.2f, -1);
            Add(*folder, "Depth", std::move(s));
        }
        ASSERT_TRUE(doc.AddFolder(QStringLiteral("\\Plant\\"), folder));
        doc.SetCurrentFolder(doc.LookupFolder(QStringLiteral("\\Plant\\")), QStringLiteral("\\Plant\\"),
                             true);
        ASSERT_EQ(doc.GetSeriesCount(), kSeriesCount);
        // Summer time is written one hour earlier; a winter stamp as it is; "not set" empty.
        doc.SetSeriesTime(kHardened, QDateTime(QDate(2023, 7, 14), QTime(10, 20, 30), Qt::LocalTime));
        doc.SetSeriesTime(kSemicolon, QDateTime(QDate(2024, 1, 15), QTime(8, 0, 0), Qt::LocalTime));
        doc.GetSeriesAt(kEmpty)->GetSeries()->SetDateTime(0xFFFFFFFF, true);
        doc.SetSeriesTime(kDepth, QDateTime(QDate(2022, 3, 1), QTime(12, 0, 0), Qt::LocalTime));
    }

    static void Add(CFolderData& folder, const char* name, std::unique_ptr<CMeasSeries1> series)
    {
        auto entry = std::make_unique<CMeasSeriesWrapper>();
        entry->SetName(QString::fromUtf8(name));
        entry->SetSeries(std::move(series));
        folder.AddSeries(std::move(entry), true);
    }

    NResult Run(int layout, int target, const QString& path, const std::vector<int>& series = {0, 1, 2, 3})
    {
        CTextExport exporter(doc, layout);
        return exporter.Run(series, target, path, feedback);
    }

    ScopedTimeZone zone{kCentralEurope};
    CVeskDoc doc;
    TempDir dir;
    FakeExportFeedback feedback;
};
} // namespace

TEST_F(TextExportTest, OneFileMatchesTheGoldenFilesInBothLayouts)
{
    const struct
    {
        int layout;
        const char* golden;
    } cases[] = {{CTextExport::LayoutTable, "table.csv"}, {CTextExport::LayoutReport, "report.csv"}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.golden);
        const QString path = dir.File(QString::fromLatin1(c.golden));
        ASSERT_EQ(Run(c.layout, CTextExport::TargetOneFile, path), NResult::Done);
        EXPECT_TRUE(feedback.errors.empty());
        EXPECT_TRUE(ReadBytes(path).startsWith("\xFF\xFE"));
        ExpectGolden(path, c.golden);
        // The clipboard gets the same text without the mark.
        ASSERT_EQ(Run(c.layout, CTextExport::TargetClipboard, QString()), NResult::Done);
        ASSERT_TRUE(feedback.clipboardText);
        EXPECT_EQ(FileBytes(*feedback.clipboardText), ReadBytes(path));
    }
}

TEST_F(TextExportTest, FilePerSeriesHoldsTheHeaderAndOneRecordOfTheGoldenText)
{
    const QByteArray table = ReadBytes(QStringLiteral(VESKADOR_GOLDEN_DIR "/table.csv"));
    const QByteArray report = ReadBytes(QStringLiteral(VESKADOR_GOLDEN_DIR "/report.csv"));
    ASSERT_FALSE(table.isEmpty());
    ASSERT_FALSE(report.isEmpty());
    // (the decoding drops the byte-order mark)
    const QStringList tableLines = Utf16(table).split(QStringLiteral("\r\n"));
    const QStringList blocks = Utf16(report).split(CTextExport::ReportSeparator());
    ASSERT_EQ(blocks.size(), kSeriesCount);

    // Three of the series, numbered in export order whatever their place in the folder.
    const std::vector<int> chosen = {kSemicolon, kEmpty, kDepth};
    for (int layout : {CTextExport::LayoutTable, CTextExport::LayoutReport})
    {
        SCOPED_TRACE(layout);
        const QString path = dir.File(QStringLiteral("Export%1.csv").arg(layout ? "R" : "T"));
        ASSERT_EQ(Run(layout, CTextExport::TargetFilePerSeries, path, chosen), NResult::Done);
        EXPECT_FALSE(QFile::exists(path));
        for (int j = 1; j <= 3; ++j)
        {
            const int series = chosen[size_t(j - 1)];
            const QString expected =
                layout == CTextExport::LayoutTable
                    ? tableLines[0] + QStringLiteral("\r\n") + tableLines[series + 1] + QStringLiteral("\r\n")
                    : blocks[series];
            EXPECT_EQ(ReadBytes(dir.File(QStringLiteral("Export%1%2.csv").arg(layout ? "R" : "T").arg(j))),
                      FileBytes(expected));
        }
        EXPECT_FALSE(QFile::exists(dir.File(QStringLiteral("Export%14.csv").arg(layout ? "R" : "T"))));
    }
}

TEST_F(TextExportTest, EveryFieldKeepsItsColumnAndEveryReadingIsWritten)
{
    const QString path = dir.File(QStringLiteral("t.csv"));
    ASSERT_EQ(Run(CTextExport::LayoutTable, CTextExport::TargetOneFile, path), NResult::Done);
    const QStringList lines = PythonLines(path);
    ASSERT_EQ(lines.size(), 1 + kSeriesCount + 1); // the last line break ends the text
    EXPECT_TRUE(lines.last().isEmpty());
    const QStringList header = Fields(lines[0]);
    ASSERT_EQ(header.size(), 29); // 28 titles, each followed by a TAB
    constexpr int kFirstReading = 27;

    // Name "a;b" and a comment with TAB, line breaks and ';' stay in their columns.
    const QStringList semicolon = Fields(lines[1 + kSemicolon]);
    ASSERT_EQ(semicolon.size(), kFirstReading + 2 + 1);
    EXPECT_EQ(semicolon[0], QStringLiteral("a;b"));
    EXPECT_EQ(semicolon[3], QStringLiteral("tab&#9here&#13next line&#13third&#13fourth; end"));
    EXPECT_EQ(semicolon[14], QStringLiteral("off"));
    EXPECT_EQ(semicolon[15], QStringLiteral("off"));
    EXPECT_EQ(semicolon[1], QStringLiteral("2024-01-15")); // winter: as stored
    EXPECT_EQ(semicolon[2], QStringLiteral("08:00:00"));

    // Every reading that is not excluded, the one without a value too ("--"), in order;
    // out of the conversion's range: "noCnv". The count of readings with a value would
    // have lost the last one.
    ASSERT_EQ(doc.GetSeriesReadingCount(kHardened), 4);
    const QStringList hardened = Fields(lines[1 + kHardened]);
    EXPECT_EQ(hardened.mid(kFirstReading),
              (QStringList{QStringLiteral("30.0"), QStringLiteral("35.0"), QStringLiteral("noCnv"),
                           QStringLiteral("--"), QStringLiteral("40.0"), QString()}));
    EXPECT_EQ(hardened[1], QStringLiteral("2023-07-14")); // summer: one hour earlier
    EXPECT_EQ(hardened[2], QStringLiteral("09:20:30"));
    EXPECT_EQ(hardened[3], QStringLiteral("Batch 7 &amp &quothot&quot"));
    EXPECT_EQ(hardened[14], QStringLiteral("45.0"));
    EXPECT_EQ(hardened[15], QStringLiteral("25.0"));
    EXPECT_EQ(hardened[16], QStringLiteral("3")); // readings in the range only

    // "Date not set" leaves date and time empty; no readings: "--" statistics.
    const QStringList empty = Fields(lines[1 + kEmpty]);
    ASSERT_EQ(empty.size(), kFirstReading + 1);
    EXPECT_EQ(empty[1], QString());
    EXPECT_EQ(empty[2], QString());
    EXPECT_EQ(empty[17], QStringLiteral("--"));

    // Depths in thousandths of an inch; Cp and its kin are never converted.
    const QStringList depth = Fields(lines[1 + kDepth]);
    EXPECT_EQ(depth[14], QStringLiteral("3.00"));
    EXPECT_EQ(depth[15], QStringLiteral("off"));
    EXPECT_EQ(depth.mid(kFirstReading, 2), (QStringList{QStringLiteral("0.98"), QStringLiteral("1.97")}));
}

TEST_F(TextExportTest, ReportWritesDateNotSetAsNoValueAndSeparatesBlocksOnce)
{
    const QString text = CTextExport(doc, CTextExport::LayoutReport).BuildText({kEmpty, kHardened});
    ASSERT_EQ(CTextExport::ReportSeparator().size(), 445);
    EXPECT_EQ(text.count(CTextExport::ReportSeparator()), 1);
    EXPECT_FALSE(text.startsWith(QStringLiteral("\r\n")));
    EXPECT_TRUE(text.endsWith(QStringLiteral("\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("    Date                                 \t\t\t--\r\n")));
    EXPECT_TRUE(
        text.contains(QStringLiteral("    Time                                 \t\t\t'09:20:30\r\n")));
    // An empty series' block ends with the dash line.
    const QString first = text.left(text.indexOf(CTextExport::ReportSeparator()));
    EXPECT_TRUE(first.endsWith(QStringLiteral("--------------------\t--------------------\t"
                                              "--------------------\t--------------------\r\n")));
}

TEST_F(TextExportTest, NothingChosenSaysSoAndWritesNothing)
{
    for (int target :
         {CTextExport::TargetOneFile, CTextExport::TargetFilePerSeries, CTextExport::TargetClipboard})
    {
        SCOPED_TRACE(target);
        feedback = FakeExportFeedback();
        EXPECT_EQ(Run(CTextExport::LayoutTable, target, dir.File(QStringLiteral("n.csv")), {}),
                  NResult::NothingToExport);
        EXPECT_EQ(feedback.notices.size(), 1u);
        EXPECT_FALSE(feedback.clipboardText);
        EXPECT_TRUE(QDir(dir.Path()).isEmpty());
    }
}

TEST_F(TextExportTest, FilePerSeriesAsksAboutTheFilesItReplaces)
{
    const QString path = dir.File(QStringLiteral("Export.csv"));
    ASSERT_TRUE(WriteBytes(path, "chosen"));
    ASSERT_TRUE(WriteBytes(dir.File(QStringLiteral("Export2.csv")), "old"));

    feedback.replace = false;
    EXPECT_EQ(Run(CTextExport::LayoutTable, CTextExport::TargetFilePerSeries, path, {0, 1}),
              NResult::Declined);
    ASSERT_EQ(feedback.questions.size(), 1u);
    EXPECT_EQ(feedback.questions[0], QStringList{dir.File(QStringLiteral("Export2.csv"))});
    EXPECT_FALSE(QFile::exists(dir.File(QStringLiteral("Export1.csv"))));
    EXPECT_EQ(ReadBytes(dir.File(QStringLiteral("Export2.csv"))), "old");

    feedback.replace = true;
    EXPECT_EQ(Run(CTextExport::LayoutTable, CTextExport::TargetFilePerSeries, path, {0, 1}), NResult::Done);
    EXPECT_TRUE(ReadBytes(dir.File(QStringLiteral("Export2.csv"))).startsWith("\xFF\xFE"));
    EXPECT_EQ(ReadBytes(path), "chosen");
}

TEST_F(TextExportTest, AFileThatCannotBeWrittenIsNamedAndNothingHalfWrittenStays)
{
    // A folder that does not exist: the file cannot be created.
    const QString missing = dir.File(QStringLiteral("no/such/folder/x.csv"));
    EXPECT_EQ(Run(CTextExport::LayoutTable, CTextExport::TargetOneFile, missing), NResult::Failed);
    ASSERT_EQ(feedback.errors.size(), 1u);
    EXPECT_TRUE(feedback.errors[0].contains(missing));
    EXPECT_TRUE(feedback.errors[0].contains(QStringLiteral("File could not be created or opened!")));

    // A full disk, made by a file-size limit: the old file keeps its content and no
    // temporary file is left behind.
    const QString path = dir.File(QStringLiteral("old.csv"));
    ASSERT_TRUE(WriteBytes(path, "previous export"));
    feedback = FakeExportFeedback();
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 200;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const NResult result = Run(CTextExport::LayoutReport, CTextExport::TargetOneFile, path);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(result, NResult::Failed);
    ASSERT_EQ(feedback.errors.size(), 1u);
    EXPECT_TRUE(feedback.errors[0].contains(path));
    EXPECT_EQ(ReadBytes(path), "previous export");
    EXPECT_EQ(QDir(dir.Path()).entryList(QDir::Files), QStringList{QStringLiteral("old.csv")});
}

TEST_F(TextExportTest, ClipboardThatCannotBeHadIsReported)
{
    feedback.clipboardFails = true;
    EXPECT_EQ(Run(CTextExport::LayoutTable, CTextExport::TargetClipboard, QString()), NResult::Failed);
    ASSERT_EQ(feedback.errors.size(), 1u);
    EXPECT_EQ(feedback.errors[0], QStringLiteral("Copy to Clipboard failed!"));
}
