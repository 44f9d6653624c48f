// The settings file is user-editable text: loading any bytes must not crash, and what
// loads must survive a save and reload unchanged. The file lives in memory, as the store
// on disk would read and write it, so the run leaves nothing behind.
#include "platform/core/SettingsStore.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using Platform::SettingsStore;
    SettingsStore store(SettingsStore::InMemory{},
                        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    const QString key = QStringLiteral("Software\\Velmor\\Veskador 3\\Settings");
    // Start-up defaults (held in memory over a damaged file), then a real change.
    if (store.CreateKey(key) && store.WriteDefault(key, QStringLiteral("Top"), uint32_t{0x80000000u}) &&
        store.Write(key, QStringLiteral("Probe"), uint32_t{1}))
    {
        SettingsStore again(SettingsStore::InMemory{}, store.FileBytes());
        if (again.ReadNumber(key, QStringLiteral("Probe")) != 1u)
            std::abort();
        for (const QString& name : store.ValueNames(key))
            if (again.Read(key, name) != store.Read(key, name))
                std::abort();
    }
    return 0;
}
