#include "app/Veskador3SE.h"

#include "app/AboutDlg.h"
#include "app/MainFrm.h"
#include "controls/ProgressWnd.h"
#include "device/DeviceThread.h"
#include "device/ReportMessage.h"
#include "platform/core/ResourceContainer.h"
#include "document/SettingsMessages.h"
#include "platform/core/SettingsStore.h"
#include "platform/core/StringTable.h"
#include "platform/gui/MessageBox.h"
#include "platform/gui/ModalDialog.h"
#include "resources/BuiltInBitmaps.h"
#include "resources/BuiltInStrings.h"
#include "resources/StringIds.h"
#include "streamio/StreamIO.h"

#include <QCoreApplication>
#include <QFile>
#include <QResource>

#include <exception>
#include <list>
#include <memory>
#include <optional>
#include <variant>

namespace
{
constexpr uint32_t IDS_DATE_FORMATS[4] = {1022, 1023, 1024, 1025};
constexpr uint32_t IDS_TIME_FORMATS[4] = {1030, 1031, 1032, 1033};
// Where a language pack keeps its texts: a JSON object of string id -> text.
const QString kPackStrings = QStringLiteral("/strings/table.json");
const QString kLanguageFileValue = QStringLiteral("LanguageFile");
const QString kDTFormatValue = QStringLiteral("DTFormat");
const QString kUpgradeToolKey = QStringLiteral("Software\\Velmor\\DiZivavir\\Settings");

// Module state of the settings.
QString g_languageFile;
uint32_t g_dtFormat = 0;
// The resource root of the language pack loaded last; packs stay registered.
QString g_languageRoot;
int g_packsLoaded = 0;
// The bytes of the registered packs, which Qt reads in place.
std::list<QByteArray> g_packBytes;

QString ProgramFile()
{
    return QCoreApplication::applicationFilePath();
}

void ShowWriteFailed()
{
    Settings::ShowWriteFailed(Platform::SettingsStore::Instance());
}

void WriteValue(const QString& name, const Platform::SettingsStore::Value& value)
{
    auto& store = Platform::SettingsStore::Instance();
    const QString key = AppSettingsKey();
    if (!store.CreateKey(key) || !store.Write(key, name, value))
        ShowWriteFailed();
}

// Replaces the texts of the table by the pack's, on top of the built-in ones; a pack text
// with other placeholders than the built-in one is passed over.
void ApplyPackStrings(const QString& root)
{
    QFile file(QLatin1Char(':') + root + kPackStrings);
    if (file.open(QIODevice::ReadOnly))
        Platform::StringTable::Instance().ApplyPack(file.readAll());
}

QString PatternOf(const uint32_t (&ids)[4], uint32_t index, uint32_t* id)
{
    const uint32_t chosen = index <= 3 ? ids[index] : ids[0];
    if (id)
        *id = chosen;
    return Platform::LoadString(chosen);
}
} // namespace

QString AppSettingsKey()
{
    return Platform::LoadString(StringId::IDS_PRODUCT_KEY) + QStringLiteral("\\Settings\\");
}

CVeskador3SEApp::SServices CVeskador3SEApp::DefaultServices()
{
    SServices s;
    s.startStreams = [] { StreamIO::StartStreamIO(); };
    s.startDeviceThread = [] { (void)Device::StartDeviceThread(); };
    // A job that did not end in time may still use its streams: the stream layer then
    // stays up, and the process's end takes it down.
    auto workerEnded = std::make_shared<bool>(true);
    s.stopDeviceThread = [workerEnded] { *workerEnded = Device::StopDeviceThread(); };
    s.stopStreams = [workerEnded]
    {
        if (*workerEnded)
            StreamIO::ShutdownStreamIO();
    };
    return s;
}

CVeskador3SEApp::CVeskador3SEApp() : m_services(DefaultServices())
{
}

CVeskador3SEApp::~CVeskador3SEApp() = default;

void CVeskador3SEApp::InitApplication()
{
    m_programVersion.ReadFromModule();
    if (!g_languageRoot.isEmpty())
        m_languageVersion.ReadFromModule(g_languageRoot);
}

bool CVeskador3SEApp::InitInstance(const QStringList& arguments)
{
    RegisterBuiltInStrings();
    RegisterBuiltInBitmaps();
    if (!m_reporterInstalled)
    {
        // Reports show as message boxes on the UI thread, owned by the main window once
        // there is one.
        SetMessageReporter(
            [this](const SReport& report) {
                return Platform::ShowMessageBox(m_mainFrame.get(), report.text, report.caption, report.style);
            });
        m_reporterInstalled = true;
    }
    LoadSettings();
    LoadLanguageResources();

    try
    {
        if (m_services.startStreams)
            m_services.startStreams();
        if (m_services.startDeviceThread)
            m_services.startDeviceThread();
    }
    catch (const std::exception&)
    {
        // The built-in text has no placeholder, so the exception's own text is not shown.
        ReportMessage(reportFatal, Platform::LoadString(StringId::IDS_UNHANDLED_EXCEPTION),
                      QStringLiteral(__FILE__), __LINE__);
        return false;
    }

    m_mainFrame = std::make_unique<CMainFrame>(arguments);
    CProgressWnd::SetMainWindow(m_mainFrame.get());
    m_mainFrame->show();
    m_mainFrame->update();
    return true;
}

int CVeskador3SEApp::ExitInstance()
{
    m_mainFrame.reset();
    if (m_services.stopDeviceThread)
        m_services.stopDeviceThread();
    if (m_services.stopStreams)
        m_services.stopStreams();
    if (m_reporterInstalled)
    {
        SetMessageReporter({});
        m_reporterInstalled = false;
    }
    return 0;
}

void CVeskador3SEApp::LoadSettings()
{
    auto& store = Platform::SettingsStore::Instance();
    // A settings file that cannot be read is told about once; the program runs on.
    store.SetDamageReporter(&Settings::ShowDamage);
    const QString key = AppSettingsKey();
    if (!store.CreateKey(key))
    {
        // Defaults in memory, built-in texts.
        QCoreApplication::setOrganizationName(Platform::LoadString(StringId::IDS_REGISTRY_ROOT));
        return;
    }
    bool writeFailed = false;
    const auto language = store.ReadString(key, kLanguageFileValue);
    if (!language)
    {
        g_languageFile = ProgramFile();
        writeFailed |= !store.WriteDefault(key, kLanguageFileValue, g_languageFile);
    }
    else
    {
        g_languageFile = *language;
    }
    const auto format = store.ReadNumber(key, kDTFormatValue);
    if (!format)
    {
        g_dtFormat = 0;
        writeFailed |= !store.WriteDefault(key, kDTFormatValue, uint32_t{0});
    }
    else
    {
        g_dtFormat = *format;
    }
    if (writeFailed)
        ShowWriteFailed();
    QCoreApplication::setOrganizationName(Platform::LoadString(StringId::IDS_REGISTRY_ROOT));
}

void CVeskador3SEApp::LoadLanguageResources()
{
    m_languageVersion = m_programVersion;
    const qsizetype at = g_languageFile.indexOf(QStringLiteral(".rcc"));
    if (at <= 0)
    {
        // Back to the built-in texts.
        RegisterBuiltInStrings();
        return;
    }
    // Qt's resource reader trusts the file's offsets: a damaged pack never reaches it.
    Platform::SResourceFile file = Platform::ReadResourceFile(g_languageFile);
    if (file.state == Platform::SResourceFile::Damaged)
    {
        g_languageRoot.clear();
        RegisterBuiltInStrings();
        Platform::ShowMessageBox(Platform::LoadString(StringId::IDS_LANGUAGE_PACK_DAMAGED)
                                     .replace(QStringLiteral("%s"), g_languageFile),
                                 Platform::MB_OK | Platform::MB_ICONEXCLAMATION);
        return;
    }
    CFileVersionInfo program;
    if (file.state == Platform::SResourceFile::Ok && program.ReadFromModule())
    {
        // The checked bytes are what Qt maps, and they stay while the pack is registered.
        const QString root = QStringLiteral("/language-%1").arg(g_packsLoaded + 1);
        const auto* data = reinterpret_cast<const uchar*>(file.bytes.constData());
        CFileVersionInfo pack;
        if (QResource::registerResource(data, root))
        {
            if (pack.ReadFromModule(root) && pack.GetProductVersionPart(3) == program.GetProductVersionPart(3) &&
                pack.GetProductVersionPart(2) == program.GetProductVersionPart(2))
            {
                g_packBytes.push_back(std::move(file.bytes));
                ++g_packsLoaded;
                g_languageRoot = root;
                RegisterBuiltInStrings();
                ApplyPackStrings(root);
            }
            else
            {
                QResource::unregisterResource(data, root);
            }
        }
    }
    if (!g_languageRoot.isEmpty())
        m_languageVersion.ReadFromModule(g_languageRoot);
}

void CVeskador3SEApp::OnAppAbout()
{
    CAboutDlg dialog(m_programVersion, m_languageVersion, m_mainFrame.get());
    Platform::ExecDialog(dialog);
}

CVeskador3SEApp& theApp()
{
    static CVeskador3SEApp app;
    return app;
}

QString GetDateFormatString(uint32_t* id)
{
    return PatternOf(IDS_DATE_FORMATS, (g_dtFormat >> 8) & 0xFF, id);
}

QString GetTimeFormatString(uint32_t* id)
{
    return PatternOf(IDS_TIME_FORMATS, g_dtFormat & 0xFF, id);
}

uint32_t GetDateTimeFormat()
{
    return g_dtFormat;
}

void SaveDateTimeFormat(uint32_t value)
{
    g_dtFormat = value;
    WriteValue(kDTFormatValue, value);
}

uint32_t StoredDateTimeFormat()
{
    const auto stored = Platform::SettingsStore::Instance().ReadStored(AppSettingsKey(), kDTFormatValue);
    return stored && std::holds_alternative<uint32_t>(*stored) ? std::get<uint32_t>(*stored) : g_dtFormat;
}

void ChangeDateTimeFormat(uint32_t mask, uint32_t bits)
{
    auto& store = Platform::SettingsStore::Instance();
    const QString key = AppSettingsKey();
    uint32_t changed = (g_dtFormat & ~mask) | (bits & mask);
    const bool written = store.CreateKey(key) &&
                         store.Modify(key, kDTFormatValue,
                                      [&](const std::optional<Platform::SettingsStore::Value>& stored)
                                      {
                                          const uint32_t base = stored && std::holds_alternative<uint32_t>(*stored)
                                                                    ? std::get<uint32_t>(*stored)
                                                                    : g_dtFormat;
                                          changed = (base & ~mask) | (bits & mask);
                                          return std::optional<Platform::SettingsStore::Value>(changed);
                                      });
    g_dtFormat = changed;
    if (!written)
        ShowWriteFailed();
}

void SetLanguageFile(const QString& path)
{
    g_languageFile = path;
    WriteValue(kLanguageFileValue, path);
    theApp().LoadLanguageResources();
}

QString GetLanguageFile(bool wholePath)
{
    if (g_languageFile.isEmpty())
        SetLanguageFile(ProgramFile());
    if (wholePath)
        return g_languageFile;
    const qsizetype cut = std::max(g_languageFile.lastIndexOf(u'\\'), g_languageFile.lastIndexOf(u'/'));
    return cut < 0 ? g_languageFile : g_languageFile.mid(cut + 1);
}

bool WriteUpgradeToolLanguage()
{
    auto& store = Platform::SettingsStore::Instance();
    if (!store.CreateKey(kUpgradeToolKey))
        return true;
    if (!store.Write(kUpgradeToolKey, kLanguageFileValue,
                     QStringLiteral("\\") + Platform::LoadString(StringId::IDS_UPGRADE_TOOL)))
        ShowWriteFailed();
    return true;
}
