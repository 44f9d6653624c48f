#include "platform/io/FtpListing.h"

#include <gtest/gtest.h>

#include <string>

using Platform::FtpEntry;
using Platform::FtpListingFormat;

namespace
{

const QDateTime kNow(QDate(2024, 3, 10), QTime(12, 0), Qt::UTC);

// "F name size time" or "D ..." per entry; time as ISO text or "-".
std::string Describe(const std::vector<FtpEntry>& entries)
{
    std::string out;
    for (const FtpEntry& e : entries)
    {
        out += e.isFolder ? "D " : "F ";
        out += e.name.toStdString() + ' ' + std::to_string(e.size) + ' ';
        out += e.time.isValid() ? e.time.toString(Qt::ISODate).toStdString() : std::string("-");
        out += '|';
    }
    return out;
}

struct Case
{
    const char* what;
    FtpListingFormat format;
    const char* text;
    const char* expected;
};

} // namespace

TEST(FtpListing, ReadsEachFormatAndLeavesOutWhatDoesNotFit)
{
    const Case cases[] = {
        {"machine listing", FtpListingFormat::Machine,
         "type=cdir;modify=20240101000000; .\r\n"
         "type=pdir;modify=20240101000000; ..\r\n"
         "modify=20240305081502;perm=r;size=2500000;type=file;unique=fe00; Veskador 3_V_3_1_0_0.exe\r\n"
         "Type=DIR;Modify=20231224180000.123; old builds\r\n"
         "type=OS.unix=slink:/x;size=1; link\r\n",
         "F Veskador 3_V_3_1_0_0.exe 2500000 2024-03-05T08:15:02Z|D old builds 0 2023-12-24T18:00:00Z|"},
        {"machine facts that do not hold", FtpListingFormat::Machine,
         "size=12x;type=file; bad size\n"
         "size=99999999999999999999;type=file; overflow\n"
         "type=file;modify=20241340000000; bad date\n"
         "no-blank-at-all\n"
         "type=file; \n"
         "type=file;size=3; a/b\n"
         "type=file;size=3; ok",
         "F bad date 0 -|F ok 3 -|"},
        {"unix lines, recent and older", FtpListingFormat::Text,
         "total 12\n"
         "-rw-r--r--   1 owner    group     1234 Mar 09 10:30 fw-V1.2.3_FW.lod\n"
         "-rw-r--r--   1 owner    group       17 Dec 24 23:59 last year.txt\n"
         "-rw-r--r--   1 ftp          56789 Jan  5  2021 no group\n"
         "drwxr-xr-x   2 owner    group     4096 Feb 01 09:00 sub\n"
         "lrwxrwxrwx   1 owner    group        9 Mar 01 08:00 current -> v3.exe\n"
         "crw-rw-rw-   1 root     root      1,  3 Mar 01 08:00 null\n",
         "F fw-V1.2.3_FW.lod 1234 2024-03-09T10:30:00Z|F last year.txt 17 2023-12-24T23:59:00Z|"
         "F no group 56789 2021-01-05T00:00:00Z|D sub 4096 2024-02-01T09:00:00Z|"
         "F current 9 2024-03-01T08:00:00Z|"},
        {"unix lines that do not fit", FtpListingFormat::Text,
         "-rw-r--r-- 1 o g 99999999999999999999 Mar 09 10:30 overflow\n"
         "-rw-r--r-- 1 o g 12 Mar 32 10:30 bad day\n"
         "-rw-r--r-- 1 o g 12 Mar 09 25:30 bad hour\n"
         "-rw-r--r-- 1 o g 12 Mar 09 10:30\n"
         "-rw 1 o g 12 Mar 09 10:30 short mode\n"
         "-rw-r--r-- 1 o g 12 Mar 09 10:30 ..\n"
         "-rw-r--r-- 1 o g 12 Mar 09 10:30 \xff\xfe name\n"
         "-rw-r--r-- 1 o g 12 Mar 09 10:30 bell\x07name\n",
         ""},
        {"windows lines", FtpListingFormat::Text,
         "03-05-24  08:15PM              2500001 Veskador 3_V_3_2_0_0.exe\r\n"
         "12-05-1999  12:01AM       <DIR>          aspnet client\r\n"
         "01-02-24  13:00                  5 twenty-four hour\r\n"
         "13-05-24  08:15PM                 1 bad month\r\n"
         "03-05-24  13:15PM                 1 bad hour\r\n",
         "F Veskador 3_V_3_2_0_0.exe 2500001 2024-03-05T20:15:00Z|D aspnet client 0 1999-12-05T00:01:00Z|"
         "F twenty-four hour 5 2024-01-02T13:00:00Z|"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Describe(Platform::ParseFtpListing(QByteArrayView(c.text), c.format, kNow)), c.expected);
    }
}

TEST(FtpListing, NamesMatchWildcardsCaseSensitively)
{
    struct Match
    {
        const char* pattern;
        const char* name;
        bool matches;
    };
    const Match cases[] = {
        {"*", "anything", true},
        {"*", "", true},
        {"*.lod", "fw-V1.2_OS.lod", true},
        {"*.lod", "fw-V1.2_OS.LOD", false},
        {"*.lod", "fw.lod.bak", false},
        {"a?c", "abc", true},
        {"a?c", "ac", false},
        {"*a*b", "xxaxxbxb", true},
        {"*a*b", "xxaxxbx", false},
        {"**x", "x", true},
        {"*a", "*ba", true},
        {"", "", true},
        {"", "a", false},
    };
    for (const Match& m : cases)
    {
        EXPECT_EQ(Platform::FtpNameMatches(QString::fromUtf8(m.pattern), QString::fromUtf8(m.name)),
                  m.matches)
            << m.pattern << " / " << m.name;
    }
}
