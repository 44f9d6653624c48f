#pragma once
// The stream layer and the device job thread for a test program, with every COM port
// mapped to a node that does not exist: no search of a test reaches a real device of this
// machine, and the simulators' pseudo-terminals are mapped by the tests themselves.
#include "device/DeviceThread.h"
#include "platform/core/SettingsStore.h"
#include "platform/io/SerialPort.h"
#include "streamio/StreamIO.h"

#include <QString>

#include <gtest/gtest.h>

inline void StartDeviceThreadAwayFromRealPorts()
{
    StreamIO::StartStreamIO();
    auto& store = Platform::SettingsStore::Instance();
    const QString key = QString::fromLatin1(Platform::kPortsSettingsKey);
    store.CreateKey(key);
    for (int port = 1; port <= 96; ++port)
        store.Write(key, QStringLiteral("COM%1").arg(port), QStringLiteral("/nonexistent/veskador-com%1").arg(port));
    ASSERT_TRUE(Device::StartDeviceThread());
}

class DeviceThreadEnvironment : public ::testing::Environment
{
public:
    void SetUp() override { StartDeviceThreadAwayFromRealPorts(); }
    void TearDown() override { Device::StopDeviceThread(); }
};
