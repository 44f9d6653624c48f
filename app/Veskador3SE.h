#pragma once
#include "streamio/FileVersionInfo.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

class CMainFrame;

// The application object: reads the language and date-format settings, loads a fitting
// language pack, starts the stream layer and the device job thread, creates the main
// window, and stops everything again at the end. There is one, reached through theApp().
class CVeskador3SEApp
{
public:
    // What start-up and shutdown run besides the windows; tests replace them.
    struct SServices
    {
        std::function<void()> startStreams;
        std::function<void()> startDeviceThread;
        std::function<void()> stopDeviceThread;
        std::function<void()> stopStreams;
    };
    static SServices DefaultServices();

    CVeskador3SEApp();
    ~CVeskador3SEApp();
    CVeskador3SEApp(const CVeskador3SEApp&) = delete;
    CVeskador3SEApp& operator=(const CVeskador3SEApp&) = delete;

    void SetServices(SServices services) { m_services = std::move(services); }

    // Reads the program's version information.
    void InitApplication();
    // Start-up; false ends the program (ExitInstance still runs). The arguments are the
    // command line including the program's name.
    bool InitInstance(const QStringList& arguments);
    // Shutdown; returns the process exit code.
    int ExitInstance();

    // Reads LanguageFile and DTFormat and writes back the defaults of missing values.
    void LoadSettings();
    // Loads the language pack that LanguageFile names when its major and minor product
    // version equal the program's; otherwise keeps the texts in use (built-in ones when
    // LanguageFile names no pack).
    void LoadLanguageResources();

    // The About command.
    void OnAppAbout();

    CMainFrame* MainWindow() const { return m_mainFrame.get(); }
    const CFileVersionInfo& ProgramVersion() const { return m_programVersion; }
    const CFileVersionInfo& LanguageVersion() const { return m_languageVersion; }

private:
    SServices m_services;
    CFileVersionInfo m_programVersion;
    CFileVersionInfo m_languageVersion;
    std::unique_ptr<CMainFrame> m_mainFrame;
    bool m_reporterInstalled = false;
};

CVeskador3SEApp& theApp();

// The settings key of the program's own values (product key + "\Settings\").
QString AppSettingsKey();

// The date and time patterns DTFormat selects (bits 8-15 date, bits 0-7 time; an index
// above 3 counts as 0); the string id goes to `id` when given.
QString GetDateFormatString(uint32_t* id = nullptr);
QString GetTimeFormatString(uint32_t* id = nullptr);
uint32_t GetDateTimeFormat();
// Sets DTFormat and stores it.
void SaveDateTimeFormat(uint32_t value);
// DTFormat as the settings hold it now: another program window may have stored it since
// this one started.
uint32_t StoredDateTimeFormat();
// Changes the bits of mask in the stored DTFormat to those of bits and keeps the rest as
// stored (another window's date or time format); this window takes the result.
void ChangeDateTimeFormat(uint32_t mask, uint32_t bits);

// LanguageFile: the language pack in use, or the program file when the built-in texts
// are used. Setting it stores it and reloads the language resources.
void SetLanguageFile(const QString& path);
// With wholePath false only the file name (after the last separator).
QString GetLanguageFile(bool wholePath);

// Writes the device-upgrade program's language setting before it starts.
bool WriteUpgradeToolLanguage();
