#include "streamio/FileVersionInfo.h"

#include "BuildVersion.h"
#include "platform/core/ResourceContainer.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QResource>

#include <atomic>
#include <optional>
#include <vector>

const std::array<const char*, CFileVersionInfo::stringCount> CFileVersionInfo::kStringKeys = {
    "CompanyName",      "FileDescription", "FileVersion",      "InternalName", "LegalCopyright",
    "OriginalFileName", "ProductName",     "ProductVersion",   "Comments",     "LegalTrademarks",
    "PrivateBuild",     "SpecialBuild",    "RequiredOSVersion"};

namespace
{

constexpr uint32_t kFixedSignature = 0xFEEF04BDu;
constexpr uint32_t kFixedStructVersion = 0x00010000u;
constexpr uint16_t kEnglishUnitedStates = 0x0409;
constexpr uint16_t kUnicodeCodePage = 1200;
constexpr uint32_t kFileTypeApplication = 1;

// A JSON number that is a whole number in 0..max, else nothing.
bool WholeNumber(const QJsonValue& value, uint64_t max, uint64_t& out)
{
    if (!value.isDouble())
        return false;
    const double d = value.toDouble();
    if (!(d >= 0 && d <= static_cast<double>(max)) || d != static_cast<double>(static_cast<uint64_t>(d)))
        return false;
    out = static_cast<uint64_t>(d);
    return true;
}

// Four 16-bit parts as the high and low 32 bits.
bool VersionParts(const QJsonValue& value, uint32_t& ms, uint32_t& ls)
{
    const QJsonArray parts = value.toArray();
    if (!value.isArray() || parts.size() != 4)
        return false;
    uint64_t p[4];
    for (int i = 0; i < 4; ++i)
        if (!WholeNumber(parts[i], 0xFFFF, p[i]))
            return false;
    ms = static_cast<uint32_t>(p[0] << 16 | p[1]);
    ls = static_cast<uint32_t>(p[2] << 16 | p[3]);
    return true;
}

// The fixed block of a record; false when it is missing or malformed.
bool ParseFixed(const QJsonValue& value, SFixedFileInfo& fixed)
{
    if (!value.isObject())
        return false;
    const QJsonObject o = value.toObject();
    SFixedFileInfo f;
    f.signature = kFixedSignature;
    f.structVersion = kFixedStructVersion;
    if (!VersionParts(o.value(QLatin1String("FileVersion")), f.fileVersionMS, f.fileVersionLS) ||
        !VersionParts(o.value(QLatin1String("ProductVersion")), f.productVersionMS, f.productVersionLS))
        return false;
    const std::pair<const char*, uint32_t*> numbers[] = {{"FileFlagsMask", &f.fileFlagsMask},
                                                         {"FileFlags", &f.fileFlags},
                                                         {"FileOS", &f.fileOS},
                                                         {"FileType", &f.fileType},
                                                         {"FileSubtype", &f.fileSubtype}};
    for (const auto& [key, field] : numbers)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        uint64_t n = 0;
        if (!v.isUndefined() && !WholeNumber(v, 0xFFFFFFFFu, n))
            return false;
        *field = static_cast<uint32_t>(n);
    }
    const QJsonValue date = o.value(QLatin1String("FileDate"));
    uint64_t d = 0;
    // A double holds whole numbers exactly up to 2^53: enough for any file date.
    if (!date.isUndefined() && !WholeNumber(date, uint64_t{1} << 53, d))
        return false;
    f.fileDateMS = static_cast<uint32_t>(d >> 32);
    f.fileDateLS = static_cast<uint32_t>(d);
    fixed = f;
    return true;
}

// The record inside a registered resource tree, or nothing.
QByteArray RecordFromResources(const QString& root)
{
    QFile file(QLatin1Char(':') + root + QLatin1String(CFileVersionInfo::kRecordResource));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool IsRunningProgram(const QString& path)
{
    const QString self = QCoreApplication::instance()
                             ? QCoreApplication::applicationFilePath()
                             : QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(self).canonicalFilePath();
}

} // namespace

void CFileVersionInfo::Reset()
{
    m_fixed = SFixedFileInfo{};
    for (QString& s : m_strings)
        s.clear();
}

int CFileVersionInfo::ReadFromRecord(QByteArrayView record, uint16_t userLanguage)
{
    Reset();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(record.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return 0;
    const QJsonObject root = document.object();
    ParseFixed(root.value(QLatin1String("FixedFileInfo")), m_fixed);

    // Translations that are not well-formed are passed over.
    std::vector<std::pair<uint16_t, uint16_t>> ids;
    std::vector<QJsonObject> strings;
    for (const QJsonValue& entry : root.value(QLatin1String("Translations")).toArray())
    {
        const QJsonObject t = entry.toObject();
        uint64_t language = 0, codePage = 0;
        if (!WholeNumber(t.value(QLatin1String("Language")), 0xFFFF, language) ||
            !WholeNumber(t.value(QLatin1String("CodePage")), 0xFFFF, codePage))
            continue;
        ids.emplace_back(static_cast<uint16_t>(language), static_cast<uint16_t>(codePage));
        strings.push_back(t.value(QLatin1String("Strings")).toObject());
    }
    if (ids.empty())
        return 1; // a record without translations has the fixed part only
    const QJsonObject& chosen = strings[ChooseTranslation(ids, userLanguage)];
    for (int i = 0; i < stringCount; ++i)
        m_strings[i] = chosen.value(QLatin1String(kStringKeys[i])).toString();
    return 1;
}

int CFileVersionInfo::ReadFromModule(const QString& resourceRoot)
{
    if (resourceRoot.isEmpty())
        return ReadFromRecord(ProgramRecord(), UserDefaultLanguageId());
    const QByteArray record = RecordFromResources(resourceRoot);
    if (record.isEmpty())
    {
        Reset();
        return 0;
    }
    return ReadFromRecord(record, UserDefaultLanguageId());
}

int CFileVersionInfo::ReadFromFile(const QString& path)
{
    Reset();
    if (IsRunningProgram(path))
        return ReadFromModule();
    // The file is checked before Qt reads it (Qt trusts its offsets), then its checked
    // bytes are mapped under a root of their own while the record is read.
    const Platform::SResourceFile file = Platform::ReadResourceFile(path);
    if (file.state != Platform::SResourceFile::Ok)
        return 0;
    static std::atomic<unsigned> probes{0};
    const QString root = QStringLiteral("/version-probe-%1").arg(probes.fetch_add(1));
    const auto* data = reinterpret_cast<const uchar*>(file.bytes.constData());
    if (!QResource::registerResource(data, root))
        return 0;
    const QByteArray record = RecordFromResources(root);
    QResource::unregisterResource(data, root);
    if (record.isEmpty())
        return 0;
    return ReadFromRecord(record, UserDefaultLanguageId());
}

uint16_t CFileVersionInfo::GetFileVersionPart(int index) const
{
    switch (index)
    {
    case 3:
        return static_cast<uint16_t>(m_fixed.fileVersionMS >> 16);
    case 2:
        return static_cast<uint16_t>(m_fixed.fileVersionMS);
    case 1:
        return static_cast<uint16_t>(m_fixed.fileVersionLS >> 16);
    case 0:
        return static_cast<uint16_t>(m_fixed.fileVersionLS);
    default:
        return 0;
    }
}

uint16_t CFileVersionInfo::GetProductVersionPart(int index) const
{
    switch (index)
    {
    case 3:
        return static_cast<uint16_t>(m_fixed.productVersionMS >> 16);
    case 2:
        return static_cast<uint16_t>(m_fixed.productVersionMS);
    case 1:
        return static_cast<uint16_t>(m_fixed.productVersionLS >> 16);
    case 0:
        return static_cast<uint16_t>(m_fixed.productVersionLS);
    default:
        return 0;
    }
}

size_t CFileVersionInfo::ChooseTranslation(std::span<const std::pair<uint16_t, uint16_t>> translations,
                                           uint16_t userLanguage)
{
    const auto primary = [](uint16_t id) { return id & 0xFF; };
    const auto first = [&](auto matches) -> std::optional<size_t>
    {
        for (size_t i = 0; i < translations.size(); ++i)
            if (matches(translations[i].first))
                return i;
        return std::nullopt;
    };
    const std::optional<size_t> rules[] = {
        first([&](uint16_t id) { return id == userLanguage; }),
        first([&](uint16_t id) { return primary(id) == primary(userLanguage); }),
        first([](uint16_t id) { return id == 0; }),
        first([&](uint16_t id) { return primary(id) == 0; }),
        first([](uint16_t id) { return id == 0x0009; }),
        first([&](uint16_t id) { return primary(id) == 0x09; }),
    };
    for (const auto& rule : rules)
        if (rule)
            return *rule;
    return 0;
}

uint16_t CFileVersionInfo::UserDefaultLanguageId()
{
    // Primary language ids of the platform, and the sub-languages that differ from the
    // first one (sub-language 1) for the countries the testers are sold in.
    struct Primary
    {
        QLocale::Language language;
        uint16_t id;
    };
    static const Primary primaries[] = {
        {QLocale::Arabic, 0x01},     {QLocale::Bulgarian, 0x02},  {QLocale::Chinese, 0x04},
        {QLocale::Czech, 0x05},      {QLocale::Danish, 0x06},     {QLocale::German, 0x07},
        {QLocale::Greek, 0x08},      {QLocale::English, 0x09},    {QLocale::Spanish, 0x0A},
        {QLocale::Finnish, 0x0B},    {QLocale::French, 0x0C},     {QLocale::Hebrew, 0x0D},
        {QLocale::Hungarian, 0x0E},  {QLocale::Italian, 0x10},    {QLocale::Japanese, 0x11},
        {QLocale::Korean, 0x12},     {QLocale::Dutch, 0x13},      {QLocale::NorwegianBokmal, 0x14},
        {QLocale::Polish, 0x15},     {QLocale::Portuguese, 0x16}, {QLocale::Romanian, 0x18},
        {QLocale::Russian, 0x19},    {QLocale::Croatian, 0x1A},   {QLocale::Slovak, 0x1B},
        {QLocale::Swedish, 0x1D},    {QLocale::Thai, 0x1E},       {QLocale::Turkish, 0x1F},
        {QLocale::Indonesian, 0x21}, {QLocale::Ukrainian, 0x22},  {QLocale::Slovenian, 0x24},
        {QLocale::Estonian, 0x25},   {QLocale::Latvian, 0x26},    {QLocale::Lithuanian, 0x27},
        {QLocale::Vietnamese, 0x2A},
    };
    struct Sub
    {
        QLocale::Language language;
        QLocale::Territory territory;
        uint16_t sub;
    };
    static const Sub subs[] = {
        {QLocale::English, QLocale::UnitedKingdom, 2}, {QLocale::English, QLocale::Australia, 3},
        {QLocale::English, QLocale::Canada, 4},        {QLocale::English, QLocale::NewZealand, 5},
        {QLocale::English, QLocale::Ireland, 6},       {QLocale::English, QLocale::SouthAfrica, 7},
        {QLocale::German, QLocale::Switzerland, 2},    {QLocale::German, QLocale::Austria, 3},
        {QLocale::German, QLocale::Luxembourg, 4},     {QLocale::German, QLocale::Liechtenstein, 5},
        {QLocale::French, QLocale::Belgium, 2},        {QLocale::French, QLocale::Canada, 3},
        {QLocale::French, QLocale::Switzerland, 4},    {QLocale::French, QLocale::Luxembourg, 5},
        {QLocale::Italian, QLocale::Switzerland, 2},   {QLocale::Spanish, QLocale::Spain, 3},
        {QLocale::Spanish, QLocale::Mexico, 2},        {QLocale::Portuguese, QLocale::Portugal, 2},
        {QLocale::Dutch, QLocale::Belgium, 2},         {QLocale::Chinese, QLocale::China, 2},
        {QLocale::Chinese, QLocale::HongKong, 3},      {QLocale::Chinese, QLocale::Singapore, 4},
    };
    const QLocale locale = QLocale::system();
    for (const Primary& p : primaries)
    {
        if (p.language != locale.language())
            continue;
        uint16_t sub = 1;
        for (const Sub& s : subs)
            if (s.language == p.language && s.territory == locale.territory())
                sub = s.sub;
        return static_cast<uint16_t>(sub << 10 | p.id);
    }
    return kEnglishUnitedStates; // the C locale and languages without an id
}

QByteArray CFileVersionInfo::BuildRecord(const SFixedFileInfo& fixed, uint16_t language, uint16_t codePage,
                                         const std::array<QString, stringCount>& strings)
{
    const auto parts = [](uint32_t ms, uint32_t ls) {
        return QJsonArray{int(ms >> 16), int(ms & 0xFFFF), int(ls >> 16), int(ls & 0xFFFF)};
    };
    QJsonObject fixedObject{
        {QLatin1String("FileVersion"), parts(fixed.fileVersionMS, fixed.fileVersionLS)},
        {QLatin1String("ProductVersion"), parts(fixed.productVersionMS, fixed.productVersionLS)},
        {QLatin1String("FileFlagsMask"), double(fixed.fileFlagsMask)},
        {QLatin1String("FileFlags"), double(fixed.fileFlags)},
        {QLatin1String("FileOS"), double(fixed.fileOS)},
        {QLatin1String("FileType"), double(fixed.fileType)},
        {QLatin1String("FileSubtype"), double(fixed.fileSubtype)},
        {QLatin1String("FileDate"), double(uint64_t{fixed.fileDateMS} << 32 | fixed.fileDateLS)},
    };
    QJsonObject stringObject;
    for (int i = 0; i < stringCount; ++i)
        if (!strings[i].isEmpty())
            stringObject.insert(QLatin1String(kStringKeys[i]), strings[i]);
    const QJsonObject translation{{QLatin1String("Language"), language},
                                  {QLatin1String("CodePage"), codePage},
                                  {QLatin1String("Strings"), stringObject}};
    const QJsonObject root{{QLatin1String("FixedFileInfo"), fixedObject},
                           {QLatin1String("Translations"), QJsonArray{translation}}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QByteArray CFileVersionInfo::ProgramRecord()
{
    // The version comes from the build (the project's version); nothing else states it.
    SFixedFileInfo fixed;
    fixed.fileVersionMS = VESKADOR_VERSION_MAJOR << 16 | VESKADOR_VERSION_MINOR;
    fixed.fileVersionLS = VESKADOR_VERSION_PATCH << 16 | VESKADOR_VERSION_TWEAK;
    fixed.productVersionMS = fixed.fileVersionMS;
    fixed.productVersionLS = fixed.fileVersionLS;
    fixed.fileType = kFileTypeApplication;
    std::array<QString, stringCount> strings;
    strings[CompanyName] = QStringLiteral("Velmor SA");
    strings[FileDescription] = QStringLiteral("Veskador 3");
    strings[FileVersion] = QStringLiteral(VESKADOR_VERSION_TEXT);
    // The settings dialog lists the built-in language under the program's internal name.
    strings[InternalName] = QStringLiteral("English");
    strings[LegalCopyright] = QStringLiteral("Copyright (C) Velmor SA");
    strings[OriginalFileName] = QStringLiteral("veskador3");
    strings[ProductName] = QStringLiteral("Veskador 3");
    strings[ProductVersion] = QStringLiteral(VESKADOR_VERSION_TEXT);
    return BuildRecord(fixed, kEnglishUnitedStates, kUnicodeCodePage, strings);
}
