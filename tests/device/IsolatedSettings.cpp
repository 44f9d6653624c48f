#include <QTemporaryDir>
#include <QtGlobal>

namespace
{
// Every test process gets a settings store of its own: the device tests map COM ports
// to pseudo-terminals, and test processes run in parallel.
struct IsolatedSettings
{
    QTemporaryDir dir;
    IsolatedSettings() { qputenv("VESKADOR_CONFIG_DIR", dir.path().toLocal8Bit()); }
};
IsolatedSettings g_isolatedSettings;
} // namespace
