#pragma once
// Fakes and small builders for the document tests.
#include "tests/measurement/SeriesFixture.h"

#include "document/DocView.h"
#include "document/VeskDoc.h"
#include "measurement/FolderData.h"
#include "measurement/MeasSeriesWrapper.h"
#include "streamio/RamStream.h"

#include <QFile>

#include <functional>
#include <vector>

// Records every hint; may run a reaction while it is told.
class FakeView final : public DocView
{
public:
    void OnDocUpdate(int hint) override
    {
        hints.push_back(hint);
        if (reaction)
            reaction(hint);
    }
    std::vector<int> hints;
    std::function<void(int)> reaction;
};

class FakePeer final : public DocCommandPeer
{
public:
    void OnDocCommand(uint32_t message) override { messages.push_back(message); }
    std::vector<uint32_t> messages;
};

namespace DocTest
{
inline constexpr uint32_t kRamFlags =
    StreamIO::STREAM_READ | StreamIO::STREAM_WRITE | StreamIO::STREAM_CREATE_ALWAYS;

// A rebound-probe series converted to HRC, with the readings in the probe's scale.
inline std::unique_ptr<CMeasSeries1> MakeSeries(const std::vector<float>& readings)
{
    auto series = SeriesFixture::NewSeries(SeriesFixture::kProbeD, SeriesFixture::kHRC);
    for (float v : readings)
        series->AddReading(v, v, 0, -1);
    series->CommitNew();
    return series;
}

// The series' stored block, as a measurement file holds it.
inline std::vector<uint8_t> BlockOf(CMeasSeries1& series)
{
    StreamIO::CRamStream ram;
    ram.Open(QStringLiteral("RAM:doctest.vsm"), kRamFlags);
    series.Write(ram);
    std::vector<uint8_t> bytes(ram.GetLength());
    ram.SetPosition(0);
    ram.Read(bytes.data(), uint32_t(bytes.size()));
    return bytes;
}

// Puts a measurement file holding the bytes into the document under the path.
inline bool AddFile(CVeskDoc& doc, const QString& path, const std::vector<uint8_t>& bytes)
{
    StreamIO::CRamStream ram;
    ram.Open(QStringLiteral("RAM:doctest.vsm"), kRamFlags);
    if (!bytes.empty())
        ram.Write(bytes.data(), uint32_t(bytes.size()));
    ram.SetPosition(0);
    return doc.AddMeasurementFile(path, &ram);
}

inline bool AddSeries(CVeskDoc& doc, const QString& path, const std::vector<float>& readings)
{
    return AddFile(doc, path, BlockOf(*MakeSeries(readings)));
}

// An entry whose series has no reading yet.
inline void AddEmptySeries(CFolderData& folder, const QString& name)
{
    auto entry = std::make_unique<CMeasSeriesWrapper>();
    entry->SetName(name);
    entry->SetSeries(MakeSeries({}));
    folder.AddSeries(std::move(entry), true);
}

inline QStringList FolderPaths(const CVeskDoc& doc)
{
    QStringList paths;
    for (auto pos = doc.GetFirstFolderPosition(); pos;)
    {
        QString path;
        CFolderData* folder = nullptr;
        doc.GetNextFolder(pos, path, folder);
        paths << path;
    }
    return paths;
}

inline QStringList SeriesNames(const CFolderData& folder)
{
    QStringList names;
    for (int i = 0; i < folder.GetSeriesCount(); ++i)
        names << folder.GetSeriesName(i);
    return names;
}

// The readings of a series in the probe's own scale.
inline std::vector<float> Readings(const CFolderData& folder, int index)
{
    std::vector<float> values;
    CMeasSeries1* series = folder.GetSeriesAt(index)->GetSeries();
    for (int i = 0; i < series->GetCount(7); ++i)
        values.push_back(series->GetNativeValue(i, 7));
    return values;
}

inline QByteArray FileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace DocTest
