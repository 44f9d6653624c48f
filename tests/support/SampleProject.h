#pragma once
// Projects of made-up series for the series page's tests, its benchmarks and for trying the
// program by hand (vesk_sample_project), with the conversion records they rely on.
#include "tests/measurement/SeriesFixture.h"

#include "document/VeskDoc.h"
#include "measurement/FolderData.h"
#include "measurement/MeasSeriesWrapper.h"
#include "streamio/DosDateTime.h"

#include <QDateTime>
#include <QFile>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace SampleProject
{
// A rebound-probe series (readings in the probe's scale) converting to the target by the
// standard, with a time stamp.
inline std::unique_ptr<CMeasSeries1> Rebound(int target, const std::vector<float>& readings,
                                             const QDateTime& time, int standard = 1)
{
    auto series = SeriesFixture::NewSeries(SeriesFixture::kProbeD, target, standard);
    for (float v : readings)
        series->AddReading(v, v, 0, -1);
    series->CommitNew();
    series->SetDateTime(TimeToDosDateTime(time), true);
    return series;
}

// An indentation-tester series showing depths (micrometres).
inline std::unique_ptr<CMeasSeries1> Depths(const std::vector<float>& depths, const QDateTime& time)
{
    auto series = SeriesFixture::NewSeries(SeriesFixture::kProbeVk, SeriesFixture::kProbeVk, 2);
    for (float d : depths)
        series->AddReading(d, d, 31, -1);
    series->CommitNew();
    series->SetDateTime(TimeToDosDateTime(time), true);
    return series;
}

// Puts a series under the name into the folder at the path (made when missing) and
// returns its entry.
inline CMeasSeriesWrapper* Add(CVeskDoc& doc, const QString& folderPath, const QString& name,
                               std::unique_ptr<CMeasSeries1> series)
{
    doc.AddMeasurementFile(folderPath, nullptr);
    CFolderData* folder = doc.LookupFolder(folderPath);
    auto entry = std::make_unique<CMeasSeriesWrapper>();
    entry->SetName(name);
    entry->SetSeries(std::move(series));
    CMeasSeriesWrapper* raw = entry.get();
    folder->AddSeries(std::move(entry), true);
    return raw;
}

// Fills a folder with `count` copies of a rebound series, named "Series 1" and so on, with
// readings and time stamps that differ from copy to copy.
inline void FillFolder(CVeskDoc& doc, const QString& folderPath, int count)
{
    doc.AddMeasurementFile(folderPath, nullptr);
    CFolderData* folder = doc.LookupFolder(folderPath);
    const QDateTime start(QDate(2023, 3, 1), QTime(8, 0));
    for (int i = 0; i < count; ++i)
    {
        const float base = 400.0f + float((i * 37) % 400);
        auto entry = std::make_unique<CMeasSeriesWrapper>();
        entry->SetName(QStringLiteral("Series %1").arg(i + 1));
        entry->SetSeries(
            Rebound(SeriesFixture::kHRC, {base, base + 12.0f, base + 5.0f}, start.addSecs(i * 61)));
        folder->AddSeries(std::move(entry), true);
    }
}

// Fills a folder with `count` series of mixed kinds, named "Series 1" and so on: rebound
// series in HRC (three readings) and in HV (four), and indentation-tester depths (three),
// the kinds spread over the folder, and time stamps out of order, so that sorting by the
// probe or by the time moves rows. Every series is open when `open`.
inline void FillMixedFolder(CVeskDoc& doc, const QString& folderPath, int count, bool open)
{
    doc.AddMeasurementFile(folderPath, nullptr);
    CFolderData* folder = doc.LookupFolder(folderPath);
    const QDateTime start(QDate(2023, 3, 1), QTime(8, 0));
    for (int i = 0; i < count; ++i)
    {
        const float base = 400.0f + float((i * 37) % 400);
        // A prime stride over the folder: each time stamp once, none in order.
        const QDateTime when = start.addSecs(qint64((int64_t(i) * 7919) % std::max(1, count)) * 61);
        std::unique_ptr<CMeasSeries1> series;
        switch ((uint32_t(i) * 2654435761u >> 16) % 3)
        {
        case 0:
            series = Rebound(SeriesFixture::kHRC, {base, base + 12.0f, base + 5.0f}, when);
            break;
        case 1:
            series = Rebound(SeriesFixture::kHV, {base, base + 9.0f, base - 4.0f, base + 2.0f}, when);
            break;
        default:
            series = Depths({base / 10.0f, base / 10.0f + 1.5f, base / 10.0f - 0.5f}, when);
            break;
        }
        auto entry = std::make_unique<CMeasSeriesWrapper>();
        entry->SetName(QStringLiteral("Series %1").arg(i + 1));
        entry->SetSeries(std::move(series));
        if (open)
            entry->SetExpanded(1);
        folder->AddSeries(std::move(entry), true);
    }
}

// A standard conversion file of the fixture's records, as the program loads it from its
// conversions folder (no checksum, not scrambled).
inline bool WriteStandardCnv(const QString& path)
{
    using SeriesFixture::LinearRecord;
    const std::vector<std::vector<uint8_t>> records = {
        LinearRecord(SeriesFixture::kProbeD, SeriesFixture::kHRC, 1, 0, 1, 320.0f, 880.0f, -30.0f, 0.125f),
        LinearRecord(SeriesFixture::kProbeD, SeriesFixture::kHV, 1, 0, 1, 300.0f, 900.0f, -400.0f, 2.0f),
        LinearRecord(SeriesFixture::kProbeVk, SeriesFixture::kHV, 1, 0, 2, 10.0f, 100.0f, 1000.0f, -8.0f),
    };
    QByteArray payload;
    for (const auto& record : records)
    {
        payload.append(char(record.size() & 0xFF));
        payload.append(char(record.size() >> 8));
        payload.append(reinterpret_cast<const char*>(record.data()), qsizetype(record.size()));
    }
    QByteArray bytes("@cNV@", 5);
    bytes.append(char(1)); // version
    bytes.append(char(1)); // header revision
    bytes.append(char(0));
    bytes.append(char(0));
    const uint32_t total = uint32_t(16 + payload.size());
    bytes.append(char(total & 0xFF));
    bytes.append(char((total >> 8) & 0xFF));
    bytes.append(char((total >> 16) & 0xFF));
    bytes.append(char(0)); // flags: no checksum
    bytes.append(char(0));
    bytes.append(char(records.size()));
    bytes.append(char(0));
    bytes.append(payload);
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}
} // namespace SampleProject
