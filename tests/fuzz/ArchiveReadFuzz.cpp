// Feeds arbitrary bytes to the archive's readers: the first byte picks the byte order
// and buffer size, the rest is the stored data, and the data itself chooses which record
// to read next, until the archive reports the end of its data.
#include "platform/core/FileException.h"
#include "streamio/RamStream.h"
#include "streamio/StreamIO.h"
#include "streamio/VMArchive.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using namespace StreamIO;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    StartStreamIO();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (1u << 20))
        return 0;
    const uint8_t setup = data[0];
    const uint16_t mode = ARCHIVE_LOAD | ((setup & 1) ? ARCHIVE_BIG_ENDIAN : 0);
    const uint32_t bufferSize = (setup >> 1) * 7u; // 0 .. 889, below 16 taken as 16

    CRamStream stream;
    stream.Open(QStringLiteral("fuzz"), STREAM_READ | STREAM_WRITE | STREAM_CREATE_ALWAYS);
    stream.Write(data + 1, static_cast<uint32_t>(size - 1));
    try
    {
        CVMArchive archive(stream.GetHandle(), mode, bufferSize);
        std::vector<uint8_t> scratch;
        for (;;)
        {
            uint8_t op = 0;
            archive.ReadByte(op);
            uint16_t count = 0;
            uint32_t value = 0;
            QString text;
            switch (op % 7)
            {
            case 0:
                archive.ReadString(text);
                break;
            case 1:
                archive.ReadDWord(value);
                break;
            case 2:
                archive.ReadWord(count);
                break;
            case 3:
                archive.ReadWord(count);
                scratch.resize(size_t{count} * 2);
                archive.ReadWords(reinterpret_cast<uint16_t*>(scratch.data()), count);
                break;
            case 4:
                archive.ReadWord(count);
                scratch.resize(count);
                archive.ReadBytes(scratch.data(), count);
                break;
            case 5:
                archive.ReadWord(count);
                scratch.resize(count);
                archive.ReadChars(reinterpret_cast<char*>(scratch.data()), count);
                break;
            case 6:
                // In place when the buffer holds them: every byte given must be readable.
                archive.ReadWord(count);
                if (const uint8_t* bytes = archive.ReadInPlace(count))
                    scratch.assign(bytes, bytes + count);
                break;
            }
        }
    }
    catch (const CFileException&)
    {
        // The end of the data, or a record that does not fit: what the readers report.
    }
    return 0;
}
