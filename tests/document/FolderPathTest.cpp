#include "document/FolderPath.h"

#include <gtest/gtest.h>

TEST(FolderPath, NormalizeGivesLeadingAndTrailingBackslash)
{
    const struct
    {
        const char* in;
        const char* out;
    } cases[] = {
        {"", "\\"},       {"\\", "\\"},       {"A", "\\A\\"},       {"\\A", "\\A\\"},
        {"A\\", "\\A\\"}, {"\\A\\", "\\A\\"}, {"A\\B", "\\A\\B\\"}, {"\\\\", "\\"},
        {"\\A\\\\B\\\\", "\\A\\B\\"}, {"A\\\\\\B", "\\A\\B\\"},
    };
    for (const auto& c : cases)
    {
        QString path = QString::fromLatin1(c.in);
        const QString copy = NormalizeFolderPath(path);
        EXPECT_EQ(path, QString::fromLatin1(c.out)) << c.in;
        EXPECT_EQ(copy, path) << c.in;
    }
}

TEST(FolderPath, SplitDevicePath)
{
    const struct
    {
        const char* path;
        const char* folder;
        const char* innermost;
        const char* base;
        const char* file;
    } cases[] = {
        {"\\Persistent Storage\\vsm\\Site A.DIR\\Shaft 3.vsm", "\\Site A\\", "Site A", "Shaft 3",
         "Shaft 3.vsm"},
        {"\\Persistent Storage\\cnv\\Custom.cnv", "\\", "", "Custom", "Custom.cnv"},
        {"\\Persistent Storage\\vsm\\A.DIR\\B.DIR\\f.g.vsm", "\\A\\B\\", "B", "f.g", "f.g.vsm"},
        // Only the tester's two roots are dropped.
        {"\\Persistent Storage\\log\\x.log", "\\Persistent Storage\\log\\", "log", "x", "x.log"},
        {"\\A\\x", "\\A\\", "A", "", "x"},
        {"\\A\\B\\", "\\A\\B\\", "B", "", ""},
        {"Shaft 3.vsm", "", "", "", ""},
        {"", "", "", "", ""},
    };
    for (const auto& c : cases)
    {
        QString folder, innermost, base, file;
        SplitDevicePath(QString::fromLatin1(c.path), &folder, &innermost, &base, &file);
        EXPECT_EQ(folder, QString::fromLatin1(c.folder)) << c.path;
        EXPECT_EQ(innermost, QString::fromLatin1(c.innermost)) << c.path;
        EXPECT_EQ(base, QString::fromLatin1(c.base)) << c.path;
        EXPECT_EQ(file, QString::fromLatin1(c.file)) << c.path;
    }

    // Outputs the caller does not ask for are skipped.
    QString base;
    SplitDevicePath(QStringLiteral("\\A\\x.vsm"), nullptr, nullptr, &base, nullptr);
    EXPECT_EQ(base, QStringLiteral("x"));
}
