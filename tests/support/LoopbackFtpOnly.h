#pragma once
#include "platform/io/FtpBackend.h"

#include <memory>

// Tests reach no FTP server but one on this machine: a connect to any other address
// fails at once, as with a server that cannot be reached. So whatever asks the maker's
// update server (a main window's start-up check, unless the test points it at its own
// server) never leaves the machine and never waits. GUI test programs install it in
// main(); a test that needs other transport settings wraps its backend in it.
class LoopbackFtpOnly final : public Platform::FtpBackend
{
public:
    explicit LoopbackFtpOnly(std::shared_ptr<Platform::FtpBackend> real) : m_real(std::move(real)) {}

    uint32_t Connect(const Platform::FtpServerAddress& server, const QString& user, const QString& password,
                     std::unique_ptr<Platform::FtpConnection>& connection, QString& errorText,
                     const std::shared_ptr<Platform::FtpAbort>& abort = nullptr) override;

    static bool IsLoopback(const QString& host);
    // Installs the guard around libcurl with its default time-outs.
    static void Install();

private:
    std::shared_ptr<Platform::FtpBackend> m_real;
};
