// Conversion files and single-record blocks as they come from disk or a tester.
#include "measurement/CnvFile.h"
#include "measurement/ConvTable.h"
#include "streamio/RamStream.h"
#include "streamio/StreamIO.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool started = [] {
        StreamIO::StartStreamIO();
        return true;
    }();
    (void)started;
    static CConvTable table(CONV_FIRST_SHARED_SLOT + 64);
    CConvTable::Guard guard(table);

    std::vector<uint8_t> block(data, data + size);
    ParseCnvRecordBlock(block.empty() ? nullptr : block.data(), block.size());

    StreamIO::CRamStream stream;
    stream.Open(QStringLiteral("RAM:fuzz.cnv"),
                StreamIO::STREAM_READ | StreamIO::STREAM_WRITE | StreamIO::STREAM_CREATE_ALWAYS);
    if (size > 0)
        stream.Write(data, static_cast<uint32_t>(size));
    table.LoadCnvFile(stream);
    int index = -1;
    QString name;
    size_t length = 0;
    table.ImportRecordBlock(stream, index, name, length);
    stream.Close();

    // Keep the table small: only the identity records stay.
    for (int s = CONV_FIRST_SHARED_SLOT + 11; s < table.GetSlotCount(); ++s)
        table.RemoveRecord(s);
    return 0;
}
