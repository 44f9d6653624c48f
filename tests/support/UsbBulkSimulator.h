#pragma once
#include "platform/io/UsbBackend.h"

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// A scripted USB bus for the bulk stream and the device code above it. Each simulated
// device has one bulk interface; what the device sends is queued as transfers the
// device side makes (a host IN transfer takes at most one of them, or part of one: the
// rest stays on the device as it would in its FIFO), and what the host sends is
// collected. A responder can answer each host transfer, so a tester protocol can be
// played. Host IN transfers must ask for whole packets, as the bus demands.
// Install() makes it the process's USB backend until the simulator is destroyed.
class UsbBulkSimulator : public std::enable_shared_from_this<UsbBulkSimulator>
{
public:
    struct Device
    {
        QString path; // device path, e.g. "usb:1-2"
        uint16_t vendorId = 0x3A7C;
        uint16_t productId = 0x0001;
        uint16_t packetSize = 64;
        uint8_t interfaceNumber = 0;
        bool unreadable = false; // enumeration reports an error for it
        bool bulkPair = true;    // false: an interrupt endpoint in place of bulk IN
    };
    using Responder = std::function<void(const QByteArray& hostData, UsbBulkSimulator& bus)>;

    static std::shared_ptr<UsbBulkSimulator> Install();
    ~UsbBulkSimulator();

    void AddDevice(const Device& device);
    // The device at `path` sends `bytes` as one transfer.
    void Send(const QString& path, const QByteArray& bytes);
    QByteArray Received(const QString& path) const;
    void SetResponder(const QString& path, Responder responder);
    // A stalled pipe fails every transfer with a bus error until cleared.
    void SetStalled(const QString& path, bool stalled);
    // OUT transfers wait until their time-out: the device takes nothing.
    void SetOutBlocked(const QString& path, bool blocked);
    // The device disappears: transfers in progress and later ones fail, and it is no
    // longer listed.
    void Unplug(const QString& path);
    // How many host IN transfers were not a whole number of packets (should stay 0).
    int OddLengthReads() const;
    bool IsOpen(const QString& path) const;

private:
    struct State;
    class Backend;
    class Handle;
    UsbBulkSimulator() = default;
    State* Find(const QString& path) const;

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<std::unique_ptr<State>> m_devices;
    int m_oddReads = 0;
};
