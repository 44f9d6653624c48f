// Device replies: the first input byte picks an operation, the rest is everything the
// device answers, whatever the program wrote. Every length, count and check of the
// replies must hold against these bytes.
#include "device/Veskamon2Device.h"
#include "device/Veskora3SeDevice.h"
#include "device/VmCommands.h"
#include "platform/core/Codepage.h"
#include "platform/core/ErrorCodes.h"
#include "streamio/IoStream.h"
#include "tests/fuzz/FuzzStreams.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace
{
using Fuzz::ReplyStream;

class Sink : public StreamIO::CIoStream
{
public:
    bool Open(const QString&, uint32_t) override { return true; }
    void Close() override {}
    bool IsOpen() const override { return true; }
    uint32_t Read(void*, uint32_t) override { return 0; }
    uint32_t Write(const void*, uint32_t n) override { return n; }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t selector = data[0];
    ReplyStream stream(data + 1, size - 1);
    Device::CVmCommands commands(&stream);
    // Once the replies are used up or the time budget is spent, waits (resynchronisation,
    // mode changes) end at once.
    const Platform::CancelToken cancel = Platform::CancelToken::Create();
    stream.CancelWhenExhausted(cancel);
    commands.SetCancelToken(cancel);
    commands.SetLineEndMode((selector & 0x80) != 0, false);

    uint8_t buffer[300] = {};
    uint32_t count = 0;
    QByteArray answer;
    QString text;
    switch (selector & 0x7F)
    {
    case 0:
        commands.ExecuteTextCommand("ID", 100);
        break;
    case 1:
        commands.QueryText("GPOW", answer, 64, 100);
        break;
    case 2:
        commands.ListDirectory(0x3F, text);
        break;
    case 3:
        buffer[0] = 0x10;
        commands.SendBinaryCommand(0xF4, 2, buffer, 16, 100);
        break;
    case 4:
        commands.SendBinaryCommand(0xF3, 4, buffer, sizeof buffer, 100);
        break;
    case 5:
        commands.ExchangeBinaryData(0xD3, buffer, 2, count, 16, 100, -1, nullptr);
        break;
    case 6:
        commands.ExchangeBinaryData(0xD3, buffer, 2, count, sizeof buffer, 100, 1000, nullptr);
        break;
    case 7:
        commands.ExchangeShortBinary(0xF1, 0, buffer, 4, 100);
        commands.ReadDeviceCode();
        break;
    case 8:
    {
        Device::SLoginInfo login;
        login.userName = QStringLiteral("Admin");
        commands.Login(login);
        break;
    }
    case 9:
    {
        Device::SIdentity id;
        commands.QueryId(id);
        break;
    }
    case 10:
    {
        Sink sink;
        commands.DownloadFile(&sink, QStringLiteral("\\Persistent Storage\\vsm\\A.vsm"));
        break;
    }
    case 11:
    {
        uint32_t blockSize = 200;
        uint8_t status[2];
        commands.ReadDataBlock(buffer, blockSize, status);
        break;
    }
    case 12:
        commands.SetLineEndMode(false, true);
        break;
    case 13:
    {
        bool changed = false;
        commands.ChangeMode(0x14, changed, nullptr, 1);
        break;
    }
    case 14:
        commands.ProgramFlash(nullptr, 2, true);
        break;
    case 15:
    {
        const QString fields = DecodeCp1252(QByteArrayView(data + 1, qsizetype(size - 1)));
        Device::SplitIdentityFields(fields);
        uint32_t signature = 0;
        Device::ParseSignature(fields, signature);
        uint8_t id[8];
        Device::CVeskamon2Device::MakeProbeId(fields, id);
        break;
    }
    case 16:
    case 17:
    {
        // A whole identification as the search does it, for either tester.
        std::unique_ptr<Device::CVmDevice> device;
        if ((selector & 0x7F) == 16)
            device = std::make_unique<Device::CVeskora3SeDevice>();
        else
            device = std::make_unique<Device::CVeskamon2Device>();
        std::unique_ptr<StreamIO::CIoStream> owned = std::make_unique<ReplyStream>(data + 1, size - 1);
        if (device->Attach(owned, Device::portSerial))
        {
            Device::SIdentity id;
            device->Identify(id);
            device->GetInfoText();
        }
        break;
    }
    default:
        commands.UploadFile(QStringLiteral("\\x"), nullptr);
        break;
    }
    return 0;
}
