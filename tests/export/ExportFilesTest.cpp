#include "export/core/ExportFiles.h"
#include "export/core/ExportFile.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

TEST(ExportFiles, TheNumberGoesBeforeTheRealSuffixAndAMissingSuffixIsAdded)
{
    const struct
    {
        const char* path;
        int number;
        const char* suffix;
        const char* expected;
    } cases[] = {
        {"/d/graph.png", 1, "png", "/d/graph1.png"},
        {"/d/graph.jpeg", 1, "jpg", "/d/graph1.jpeg"}, // not "graph.j1peg"
        {"/d/Export.csv", 12, "csv", "/d/Export12.csv"},
        {"/d/graph", 2, "png", "/d/graph2.png"}, // no suffix typed
        {"a", 1, "csv", "a1.csv"},               // shorter than a suffix
        {"/d.v2/x", 3, "bmp", "/d.v2/x3.bmp"},   // a dot in a folder is no suffix
        {"/d/.hidden", 1, "png", "/d/.hidden1.png"},
        {"/d/x.tar.gz", 1, "png", "/d/x.tar1.gz"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NumberedFileName(QString::fromLatin1(c.path), c.number, QString::fromLatin1(c.suffix)),
                  QString::fromLatin1(c.expected))
            << c.path;
    EXPECT_EQ(WithDefaultSuffix(QStringLiteral("/d/x"), QStringLiteral("csv")), QStringLiteral("/d/x.csv"));
    EXPECT_EQ(WithDefaultSuffix(QStringLiteral("/d/x.CSV"), QStringLiteral("csv")),
              QStringLiteral("/d/x.CSV"));
}

TEST(ExportFiles, AFileIsReplacedOnlyWhenCommittedWhole)
{
    TempDir dir;
    const QString path = dir.File(QStringLiteral("out.csv"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    {
        CExportFile file;
        ASSERT_TRUE(file.Open(path));
        ASSERT_TRUE(file.WriteText(u"\uFEFFab"));
        // Dropped without Commit: the old content stays, no temporary file remains.
    }
    QFile check(path);
    ASSERT_TRUE(check.open(QIODevice::ReadOnly));
    EXPECT_EQ(check.readAll(), QByteArray("old"));
    check.close();
    EXPECT_EQ(QDir(dir.Path()).entryList(QDir::Files), QStringList{QStringLiteral("out.csv")});

    CExportFile file;
    ASSERT_TRUE(file.Open(path));
    ASSERT_TRUE(file.WriteText(u"\uFEFFab"));
    ASSERT_TRUE(file.Commit());
    ASSERT_TRUE(check.open(QIODevice::ReadOnly));
    EXPECT_EQ(check.readAll(), QByteArray("\xFF\xFE"
                                          "a\0b\0",
                                          6));
    EXPECT_EQ(ExistingFiles({path, dir.File(QStringLiteral("none.csv"))}), QStringList{path});
}
