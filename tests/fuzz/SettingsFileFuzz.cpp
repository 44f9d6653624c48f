// The settings file is user-editable text: loading any bytes must not crash, and what
// loads must survive a save and reload unchanged.
#include "platform/core/SettingsStore.h"

#include <QFile>

#include <cstdint>
#include <cstdlib>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString path = [] {
        char dir[] = "/tmp/veskador-fuzz-XXXXXX";
        return QString::fromLocal8Bit(::mkdtemp(dir)) + QStringLiteral("/registry.json");
    }();
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return 0;
        f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    Platform::SettingsStore store(path);
    const QString key = QStringLiteral("Software\\Velmor\\Veskador 3\\Settings");
    if (store.CreateKey(key) && store.Write(key, QStringLiteral("Probe"), uint32_t{1}))
    {
        Platform::SettingsStore again(path);
        if (again.ReadNumber(key, QStringLiteral("Probe")) != 1u)
            std::abort();
    }
    QFile::remove(path);
    QFile::remove(path + QStringLiteral(".bad"));
    return 0;
}
