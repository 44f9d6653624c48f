#pragma once
// The projects the benchmarks open: 1, 10 and 100 folders of 100 indentation-tester series
// with 1000 readings each (every block carries both reading sets), about 0.8, 8 and 80 MB on
// disk; and 200,000 short series (200 folders of 1000 series of 10 readings). Each is built
// and saved once a process, with its series' conversion record added to the process's table.
#include "document/VeskDoc.h"
#include "measurement/ConvTable.h"
#include "measurement/FolderData.h"
#include "measurement/MeasSeries1.h"
#include "measurement/MeasSeriesWrapper.h"
#include "streamio/StreamIO.h"
#include "tests/support/ConvRecordBuilder.h"

#include <QDir>
#include <QFile>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace BenchProjects
{
inline constexpr int kSeriesPerFolder = 100;
inline constexpr int kReadings = 1000;
// The project of short series: folders of kShortPerFolder series of kShortReadings readings.
inline constexpr int kShortFolders = 200;
inline constexpr int kShortPerFolder = 1000;
inline constexpr int kShortReadings = 10;
// The benchmark argument that stands for the project of short series.
inline constexpr int kShortProject = -1;
inline constexpr int kProbeVk = 0x201;
inline constexpr int kHV = 2;
inline constexpr int kIso18265 = 2;

struct SStreamLayer
{
    SStreamLayer()
    {
        // Opening remembers the project folder: keep the user's own settings out of it.
        qputenv("VESKADOR_CONFIG_DIR",
                (QDir::tempPath() + QStringLiteral("/veskador-bench-config")).toLocal8Bit());
        StreamIO::StartStreamIO();
    }
    ~SStreamLayer() { StreamIO::ShutdownStreamIO(); }
};

inline QString ProjectPath(int folders)
{
    if (folders == kShortProject)
        return QDir::tempPath() + QStringLiteral("/veskador-bench-project-short.v3p");
    return QDir::tempPath() + QStringLiteral("/veskador-bench-project-%1.v3p").arg(folders);
}

inline int SeriesPerFolder(int folders)
{
    return folders == kShortProject ? kShortPerFolder : kSeriesPerFolder;
}

inline int ReadingsPerSeries(int folders)
{
    return folders == kShortProject ? kShortReadings : kReadings;
}

inline int FolderCount(int folders)
{
    return folders == kShortProject ? kShortFolders : folders;
}

// An indentation-depth series converted to Vickers, both reading sets filled.
// The conversion of the projects' series: indentation depth to Vickers, steel, ISO 18265.
inline std::vector<uint8_t> SeriesRecord()
{
    TestRecords::Header h;
    h.source = kProbeVk;
    h.target = kHV;
    h.matType = 1;
    h.standard = kIso18265;
    h.lo = 10.0f;
    h.hi = 100.0f;
    return TestRecords::Ratio(h, 0.0f, 1, 0, {1000.0f, -8.0f});
}

inline std::unique_ptr<CMeasSeriesWrapper> TemplateEntry(int readings)
{
    const std::vector<uint8_t> record = SeriesRecord();
    CConvTable& table = CConvTable::Instance();
    {
        CConvTable::Guard lock(table);
        table.AddRecord(record.data(), record.size(), false);
    }
    auto series = std::make_unique<CMeasSeries1>(readings);
    series->Clear();
    series->SetProbeId(SProbeId(kProbeVk, nullptr, -1));
    SMaterial steel;
    steel.Set(1, 0);
    series->SetConversion(STargetScale(kHV, kIso18265, 0), steel);
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> depth(15.0f, 95.0f);
    for (int i = 0; i < readings; ++i)
    {
        const float d = depth(rng);
        series->AddReading(d, d * 1.01f, 31, -1);
    }
    series->CommitNew();
    auto entry = std::make_unique<CMeasSeriesWrapper>();
    entry->SetName(QStringLiteral("Series"));
    entry->SetSeries(std::move(series));
    return entry;
}

// Builds the project of that many folders and saves it once; the document stays for the
// save benchmark.
inline CVeskDoc& BenchProject(int folders)
{
    static SStreamLayer layer;
    static std::map<int, std::unique_ptr<CVeskDoc>> docs;
    std::unique_ptr<CVeskDoc>& doc = docs[folders];
    if (!doc)
    {
        doc = std::make_unique<CVeskDoc>();
        const auto entry = TemplateEntry(ReadingsPerSeries(folders));
        for (int f = 0; f < FolderCount(folders); ++f)
        {
            const QString path = QStringLiteral("\\Site %1\\").arg(f, 3, 10, QLatin1Char('0'));
            doc->AddMeasurementFile(path, nullptr);
            CFolderData* folder = doc->LookupFolder(path);
            for (int s = 0; s < SeriesPerFolder(folders); ++s)
            {
                auto copy = std::make_unique<CMeasSeriesWrapper>(*entry);
                copy->SetName(QStringLiteral("Series %1").arg(s));
                folder->AddSeries(std::move(copy), true);
            }
        }
        doc->SaveProject(ProjectPath(folders));
    }
    return *doc;
}

// A plain read() of the whole file into memory that is already there, in the largest
// pieces the system takes; the seconds it took.
inline double PlainRead(const QString& path, std::vector<char>& into)
{
    const auto start = std::chrono::steady_clock::now();
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    size_t done = 0;
    for (ssize_t got = 1; fd >= 0 && got > 0 && done < into.size(); done += size_t(std::max<ssize_t>(got, 0)))
        got = ::read(fd, into.data() + done, into.size() - done);
    if (fd >= 0)
        ::close(fd);
    benchmark::DoNotOptimize(into.data());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Resident memory now and at its peak since the last reset, in bytes.
inline long long ProcStatus(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::stoll(line.substr(key.size())) * 1024;
    return 0;
}
} // namespace BenchProjects
