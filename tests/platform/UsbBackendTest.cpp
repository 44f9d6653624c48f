#include "platform/io/UsbBackend.h"

#include "platform/core/ErrorCodes.h"
#include "tests/support/UsbBulkSimulator.h"

#include <gtest/gtest.h>

using namespace Platform;

TEST(UsbBackend, BulkInterfaceQualifiesByVendorAndOneBulkPair)
{
    UsbDeviceInfo d;
    d.path = QStringLiteral("usb:1-2");
    d.vendorId = 0x3A7C;
    UsbInterfaceInfo hid{0, {{0x81, 0x03, 8}}};
    UsbInterfaceInfo bulk{1, {{0x82, 0x02, 512}, {0x03, 0x02, 512}}};
    UsbInterfaceInfo twoIn{2, {{0x82, 0x02, 512}, {0x83, 0x02, 512}, {0x03, 0x02, 512}}};
    d.interfaces = {hid, twoIn, bulk};

    UsbBulkInterface found;
    ASSERT_TRUE(FindBulkInterface(d, {0x1234, 0x3A7C}, found));
    EXPECT_EQ(found.number, 1);
    EXPECT_EQ(found.inEndpoint, 0x82);
    EXPECT_EQ(found.outEndpoint, 0x03);

    EXPECT_FALSE(FindBulkInterface(d, {0x1234}, found));
    d.interfaces = {hid, twoIn};
    EXPECT_FALSE(FindBulkInterface(d, {0x3A7C}, found));
    d.interfaces = {bulk};
    d.error = Err::AccessDenied;
    EXPECT_FALSE(FindBulkInterface(d, {0x3A7C}, found));
}

TEST(UsbBackend, AnUnreadableDeviceDoesNotHideTheOthers)
{
    auto bus = UsbBulkSimulator::Install();
    bus->AddDevice({QStringLiteral("usb:1-1"), 0x3A7C, 1, 64, 0, false, true});
    bus->AddDevice({QStringLiteral("usb:1-2"), 0x3A7C, 1, 64, 0, true, true});
    bus->AddDevice({QStringLiteral("usb:1-3"), 0x0BDA, 1, 64, 0, false, true});
    bus->AddDevice({QStringLiteral("usb:1-4"), 0x3A7C, 1, 512, 2, false, true});
    bus->AddDevice({QStringLiteral("usb:1-5"), 0x3A7C, 1, 64, 0, false, false});

    QStringList paths;
    ASSERT_EQ(ListUsbBulkPaths({0x3A7C}, paths), Err::Success);
    EXPECT_EQ(paths, QStringList({QStringLiteral("usb:1-1:0"), QStringLiteral("usb:1-4:2")}));

    std::unique_ptr<UsbBulkDevice> device;
    ASSERT_EQ(OpenUsbBulkPath(QStringLiteral("usb:1-4:2"), device), Err::Success);
    EXPECT_EQ(device->InPacketSize(), 512);
    std::unique_ptr<UsbBulkDevice> second;
    EXPECT_EQ(OpenUsbBulkPath(QStringLiteral("usb:1-4:2"), second), Err::AccessDenied);
    EXPECT_EQ(OpenUsbBulkPath(QStringLiteral("usb:1-4:0"), second), Err::FileNotFound);
    EXPECT_EQ(OpenUsbBulkPath(QStringLiteral("usb:9-9:0"), second), Err::FileNotFound);
    EXPECT_EQ(OpenUsbBulkPath(QStringLiteral("garbage"), second), Err::FileNotFound);
}

TEST(UsbBackend, VendorListComesFromTheSettingsWithTheTesterAsDefault)
{
    EXPECT_EQ(UsbTesterVendorIds(), std::vector<uint16_t>({0x3A7C}));
}

TEST(UsbBackend, LibusbEnumerationRunsWhereverTheMachineAllows)
{
    // No tester can be attached here: an empty list is a valid answer, and so is a
    // machine without a USB bus at all, as long as the call comes back.
    std::vector<UsbDeviceInfo> devices;
    const uint32_t code = UsbBackend::Libusb()->Enumerate(devices);
    if (code == Err::Success)
    {
        for (const auto& d : devices)
            EXPECT_TRUE(d.path.startsWith(QStringLiteral("usb:")));
    }
    std::unique_ptr<UsbBulkDevice> device;
    EXPECT_NE(UsbBackend::Libusb()->Open(QStringLiteral("usb:250-9"), 0, 0x81, 0x02, device), Err::Success);
    EXPECT_EQ(device, nullptr);
}
