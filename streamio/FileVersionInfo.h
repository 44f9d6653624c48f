#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstdint>
#include <span>
#include <utility>

// The fixed numeric part of a version record, laid out as the platform's fixed version
// block (52 bytes).
struct SFixedFileInfo
{
    uint32_t signature = 0;
    uint32_t structVersion = 0;
    uint32_t fileVersionMS = 0;
    uint32_t fileVersionLS = 0;
    uint32_t productVersionMS = 0;
    uint32_t productVersionLS = 0;
    uint32_t fileFlagsMask = 0;
    uint32_t fileFlags = 0;
    uint32_t fileOS = 0;
    uint32_t fileType = 0;
    uint32_t fileSubtype = 0;
    uint32_t fileDateMS = 0;
    uint32_t fileDateLS = 0;
};

// The version record of the program or of a language pack: the fixed part and thirteen
// strings in the translation that suits the user best.
//
// A version record is a small JSON document:
//   {"FixedFileInfo": {"FileVersion": [3,0,0,0], "ProductVersion": [3,0,0,0],
//                      "FileFlagsMask": n, "FileFlags": n, "FileOS": n, "FileType": n,
//                      "FileSubtype": n, "FileDate": n},
//    "Translations": [{"Language": 1033, "CodePage": 1200,
//                      "Strings": {"CompanyName": "...", ...}}]}
// The program's own record is built from the project's version; a language pack (a Qt
// binary resource file) carries one at kRecordResource.
class CFileVersionInfo
{
public:
    enum NString
    {
        CompanyName,
        FileDescription,
        FileVersion,
        InternalName,
        LegalCopyright,
        OriginalFileName,
        ProductName,
        ProductVersion,
        Comments,
        LegalTrademarks,
        PrivateBuild,
        SpecialBuild,
        RequiredOSVersion,
        stringCount
    };
    // The string keys, in NString order.
    static const std::array<const char*, stringCount> kStringKeys;
    // Where a resource file keeps its version record.
    static constexpr char kRecordResource[] = "/version/record.json";

    CFileVersionInfo() = default;

    // Zeroes the fixed part and empties every string.
    void Reset();

    // 1 when a version record was read, else 0 (and everything reset). The running
    // program's own file gives its own record; a Qt binary resource file gives the record
    // it carries; a damaged resource file gives 0.
    int ReadFromFile(const QString& path);
    // resourceRoot: where a loaded language pack's resources are registered; empty for
    // the program itself.
    int ReadFromModule(const QString& resourceRoot = QString());
    // Reads a record's bytes; the translation is chosen for the given language id.
    int ReadFromRecord(QByteArrayView record, uint16_t userLanguage);

    // Parts of the numeric versions: 3 = first (major) ... 0 = fourth; others give 0.
    uint16_t GetFileVersionPart(int index) const;
    uint16_t GetProductVersionPart(int index) const;
    const SFixedFileInfo& GetFixedInfo() const { return m_fixed; }

    QString GetString(NString which) const { return m_strings[which]; }
    QString GetFileDescription() const { return m_strings[FileDescription]; }
    QString GetFileVersionText() const { return m_strings[FileVersion]; }
    QString GetInternalName() const { return m_strings[InternalName]; }
    QString GetLegalCopyright() const { return m_strings[LegalCopyright]; }
    QString GetOriginalFileName() const { return m_strings[OriginalFileName]; }
    QString GetProductName() const { return m_strings[ProductName]; }
    QString GetProductVersionText() const { return m_strings[ProductVersion]; }
    QString GetComments() const { return m_strings[Comments]; }

    // The index of the (language id, code page) pair that suits a user of this language:
    // the same language, the same primary language, neutral, primary neutral, English
    // neutral, any English, else the first. The list must not be empty.
    static size_t ChooseTranslation(std::span<const std::pair<uint16_t, uint16_t>> translations,
                                    uint16_t userLanguage);
    // The user's language as a platform language id, from the process locale.
    static uint16_t UserDefaultLanguageId();

    // A record with one translation, as the program and language packs carry.
    static QByteArray BuildRecord(const SFixedFileInfo& fixed, uint16_t language, uint16_t codePage,
                                  const std::array<QString, stringCount>& strings);
    // The program's own record: version from the build, strings of the product.
    static QByteArray ProgramRecord();

private:
    SFixedFileInfo m_fixed;
    std::array<QString, stringCount> m_strings;
};
