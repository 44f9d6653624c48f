#pragma once
#include <QObject>
#include <QString>

#include <functional>

class QProcess;

// The separate device-upgrade program, started for the portable tester. Where it lives on
// this machine is a setting: the string "UpgradeToolPath" under the program's
// "\Settings" key, an absolute path of an executable file. Without one the tool counts as
// not installed.
//
// It is started directly (program and argument list, no shell) and not waited for on the
// UI thread: the finished call comes from the event loop when the tool's process ends.
class CUpgradeTool : public QObject
{
public:
    static inline const QString kPathSetting = QStringLiteral("UpgradeToolPath");

    CUpgradeTool() = default;
    ~CUpgradeTool() override;

    // The configured tool, when it is an absolute path of an executable file; else empty.
    static QString InstalledPath();

    // Starts the tool at path for the portable tester; finished runs once when it ends or
    // could not start. False (and finished never runs) when it is already running.
    bool Start(const QString& path, std::function<void()> finished);
    bool IsRunning() const { return m_process != nullptr; }

private:
    void OnEnded();

    QProcess* m_process = nullptr;
    std::function<void()> m_finished;
};
