#include "tests/support/PtyPair.h"

#include "platform/core/Clock.h"
#include "platform/core/SettingsStore.h"
#include "platform/io/SerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0)
        return;
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
    {
        ::close(m_master);
        m_master = -1;
        return;
    }
    char name[128];
    if (::ptsname_r(m_master, name, sizeof name) != 0)
    {
        ::close(m_master);
        m_master = -1;
        return;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    m_slaveHold = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    // The master side must pass bytes through untouched, as a cable does.
    termios t{};
    if (::tcgetattr(m_master, &t) == 0)
    {
        ::cfmakeraw(&t);
        ::tcsetattr(m_master, TCSANOW, &t);
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair()
{
    if (m_mappedCom)
        Platform::SettingsStore::Instance().DeleteValue(QString::fromLatin1(Platform::kPortsSettingsKey),
                                                        QStringLiteral("COM%1").arg(m_mappedCom));
    CloseMaster();
    if (m_slaveHold >= 0)
        ::close(m_slaveHold);
}

void PtyPair::MapToCom(uint32_t comNumber)
{
    auto& store = Platform::SettingsStore::Instance();
    const QString key = QString::fromLatin1(Platform::kPortsSettingsKey);
    store.CreateKey(key);
    store.Write(key, QStringLiteral("COM%1").arg(comNumber), m_slavePath);
    m_mappedCom = comNumber;
}

bool PtyPair::WriteMaster(const QByteArray& bytes)
{
    qsizetype done = 0;
    const uint64_t deadline = Platform::MonotonicMs() + 2000;
    while (done < bytes.size() && Platform::MonotonicMs() < deadline)
    {
        const ssize_t r =
            ::write(m_master, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (r > 0)
            done += r;
        else
        {
            pollfd p{m_master, POLLOUT, 0};
            ::poll(&p, 1, 10);
        }
    }
    return done == bytes.size();
}

QByteArray PtyPair::ReadMaster(int count, int timeoutMs)
{
    QByteArray out;
    const uint64_t deadline = Platform::MonotonicMs() + static_cast<uint64_t>(timeoutMs);
    while (out.size() < count)
    {
        char buffer[256];
        const ssize_t r = ::read(m_master, buffer, std::min<size_t>(sizeof buffer, count - out.size()));
        if (r > 0)
        {
            out.append(buffer, r);
            continue;
        }
        const uint64_t now = Platform::MonotonicMs();
        if (now >= deadline)
            break;
        pollfd p{m_master, POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(std::min<uint64_t>(deadline - now, 50)));
    }
    return out;
}

void PtyPair::CloseMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}
