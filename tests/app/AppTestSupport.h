#pragma once
#include "app/Veskador3SE.h"
#include "platform/core/SettingsStore.h"
#include "resources/BuiltInBitmaps.h"
#include "resources/BuiltInStrings.h"
#include "tests/support/TempDir.h"

#include <QByteArray>

// Gives a test its own data folder and a settings store without the program's keys, and
// puts both back afterwards.
class AppEnvironment
{
public:
    AppEnvironment()
    {
        m_oldData = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", (m_dir.Path() + QStringLiteral("/data")).toUtf8());
        RegisterBuiltInStrings();
        RegisterBuiltInBitmaps();
        ClearSettings();
    }
    ~AppEnvironment()
    {
        ClearSettings();
        qputenv("XDG_DATA_HOME", m_oldData);
        RegisterBuiltInStrings();
    }
    AppEnvironment(const AppEnvironment&) = delete;
    AppEnvironment& operator=(const AppEnvironment&) = delete;

    static void ClearSettings()
    {
        auto& store = Platform::SettingsStore::Instance();
        store.DeleteKey(QStringLiteral("Software\\Velmor\\Veskador 3"));
        store.DeleteKey(QStringLiteral("Software\\Velmor\\DiZivavir"));
    }

    const TempDir& Dir() const { return m_dir; }
    QString DataFolder() const { return m_dir.Path() + QStringLiteral("/data/Velmor/Veskador 3/"); }

private:
    TempDir m_dir;
    QByteArray m_oldData;
};
