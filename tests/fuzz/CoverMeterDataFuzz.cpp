// The cover meter's data: binary data blocks and text data files as a download
// delivers them, single object records and sections, and the value texts.
#include "device/DelvaSmartDevice.h"
#include "platform/core/Codepage.h"
#include "tests/fuzz/FuzzStreams.h"

#include <QByteArray>

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    using Meter = Device::CDelvaSmartDevice;
    const uint8_t* rest = data + 1;
    const size_t n = size - 1;
    Meter meter;
    switch (data[0] % 4)
    {
    case 0:
    case 1:
    {
        // The download's answer: an extended reply carrying the bytes.
        QByteArray reply("\xEF\x00", 2);
        for (int i = 0; i < 3; ++i)
            reply.append(char((n >> (8 * i)) & 0xFF));
        reply.append(reinterpret_cast<const char*>(rest), qsizetype(n));
        std::unique_ptr<StreamIO::CIoStream> link = std::make_unique<Fuzz::ReplyStream>(
            reinterpret_cast<const uint8_t*>(reply.constData()), size_t(reply.size()));
        if (meter.Attach(link, Device::portSerial))
        {
            Meter::TDataFile file;
            meter.DownloadData(file, 19200, data[0] % 4 == 0);
            QString text;
            for (const Meter::TObjectData& object : file.objects)
                meter.ExportObjectText(object, text);
        }
        break;
    }
    case 2:
    {
        Meter::TObjectData object;
        meter.ParseObjectRecord(object, rest, n);
        QString text;
        if (meter.ExportObjectText(object, text) > 0)
            meter.ParseObjectText(object, text);
        break;
    }
    default:
    {
        const QString text = DecodeCp1252(QByteArrayView(rest, qsizetype(n)));
        Meter::TObjectData object;
        meter.ParseObjectText(object, text);
        for (int unit = 0; unit < 4; ++unit)
        {
            Meter::ParseCover(unit, text);
            Meter::ParseNeighborCorrection(unit, text);
        }
        Meter::EscapeText(Meter::EscapeText(text, true), false);
        Meter::HexTextToBytes(QByteArray(reinterpret_cast<const char*>(rest), qsizetype(n)));
        break;
    }
    }
    return 0;
}
