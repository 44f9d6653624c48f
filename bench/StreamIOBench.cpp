#include "streamio/Checksum.h"
#include "streamio/RamStream.h"
#include "streamio/StreamIO.h"
#include "streamio/VMArchive.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <vector>

using namespace StreamIO;

namespace
{

constexpr size_t kSize = size_t{64} << 20;
constexpr uint32_t kRecordDWords = 7;

const bool kStarted = []
{
    StartStreamIO();
    return true;
}();

const std::vector<uint8_t>& RandomBytes()
{
    static const std::vector<uint8_t> bytes = []
    {
        std::vector<uint8_t> b(kSize);
        std::mt19937_64 random(1);
        for (size_t i = 0; i < b.size(); i += 8)
        {
            const uint64_t v = random();
            std::memcpy(b.data() + i, &v, 8);
        }
        return b;
    }();
    return bytes;
}

// The goal: Crc32 at least half as fast as zlib's crc32 on the same 64 MiB.
void Crc32Sliced(benchmark::State& state)
{
    const auto& data = RandomBytes();
    for (auto _ : state)
        benchmark::DoNotOptimize(Crc32(data.data(), data.size(), 0xFFFFFFFFu));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(Crc32Sliced)->Unit(benchmark::kMillisecond);

void Crc32Zlib(benchmark::State& state)
{
    const auto& data = RandomBytes();
    for (auto _ : state)
        benchmark::DoNotOptimize(::crc32(0, data.data(), static_cast<uInt>(data.size())));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(Crc32Zlib)->Unit(benchmark::kMillisecond);

// The archive goal: storing and loading 64 MiB of mixed DWORDs and strings in a RAM file
// within 10x of a plain memcpy of the same bytes.
const QString& RecordText()
{
    static const QString text = QStringLiteral("HV10 reading"); // 12 code units
    return text;
}
constexpr size_t kRecordBytes = kRecordDWords * 4 + 3 + 12 * 2;
constexpr size_t kRecords = kSize / kRecordBytes;

void StoreRecords(CIoStream& stream)
{
    CVMArchive archive(stream.GetHandle(), 0, 1024);
    for (size_t r = 0; r < kRecords; ++r)
    {
        for (uint32_t i = 0; i < kRecordDWords; ++i)
            archive.WriteDWord(static_cast<uint32_t>(r) + i);
        archive.WriteString(RecordText());
    }
    archive.Close();
}

constexpr uint32_t kShared =
    STREAM_READ | STREAM_WRITE | STREAM_OPEN_ALWAYS | STREAM_SHARE_READ | STREAM_SHARE_WRITE;

void ArchiveStore(benchmark::State& state)
{
    for (auto _ : state)
    {
        CRamStream stream;
        stream.Open(QStringLiteral("bench-store"), kShared);
        StoreRecords(stream); // the last close frees the file
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kRecords * kRecordBytes));
}
BENCHMARK(ArchiveStore)->Unit(benchmark::kMillisecond);

void ArchiveLoad(benchmark::State& state)
{
    CRamStream holder; // keeps the file alive between the readers
    holder.Open(QStringLiteral("bench-load"), kShared);
    {
        CRamStream writer;
        writer.Open(QStringLiteral("bench-load"), kShared);
        StoreRecords(writer);
    }
    for (auto _ : state)
    {
        CRamStream reader;
        reader.Open(QStringLiteral("bench-load"), kShared);
        CVMArchive archive(reader.GetHandle(), ARCHIVE_LOAD, 1024);
        uint32_t sum = 0;
        QString text;
        for (size_t r = 0; r < kRecords; ++r)
        {
            for (uint32_t i = 0; i < kRecordDWords; ++i)
            {
                uint32_t v;
                archive.ReadDWord(v);
                sum += v;
            }
            archive.ReadString(text);
        }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(text);
        archive.Close();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kRecords * kRecordBytes));
}
BENCHMARK(ArchiveLoad)->Unit(benchmark::kMillisecond);

void MemcpySameBytes(benchmark::State& state)
{
    const size_t n = kRecords * kRecordBytes;
    const auto& source = RandomBytes();
    std::vector<uint8_t> target(n, 1);
    for (auto _ : state)
    {
        std::memcpy(target.data(), source.data(), n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}
BENCHMARK(MemcpySameBytes)->Unit(benchmark::kMillisecond);

} // namespace
