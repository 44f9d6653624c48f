// Bringing measurements into a project.
//
// Download: 200 measurement files of about 50 KB through the main window's download
// command (listing, explorer, conversions, progress window, the document) from the
// simulated portable tester on TCP loopback, against loading the same files straight with
// the device library. Goal: the command within 1.5 times the straight loads. The files are
// series of 25 readings, each with a stored signal curve of 2 KB ("curves"); the same
// size made of 6,000 plain readings ("readings") shows what the document's statistics of
// a long series cost on top.
//
// Import: 2,000 small measurement files of one folder from disk against 200. Goal: linear,
// 2,000 files within 12 times the time of 200.
#include "document/VeskDoc.h"
#include "bench/BaselineRatio.h"
#include "bench/BenchApp.h"
#include "bench/BenchRun.h"
#include "bench/CountingBoxes.h"
#include "device/DeviceThread.h"
#include "device/VmDevice.h"
#include "devicefiles/DevSelectSheet.h"
#include "devicefiles/MeasurementDownload.h"
#include "devicefiles/MeasurementImport.h"
#include "devicefiles/Vesk3Explorer.h"
#include "devicefiles/VeskoraConnection.h"
#include "devicefiles/core/UpdateFtpClient.h"
#include "measurement/ConvTable.h"
#include "measurement/MeasSeries1.h"
#include "platform/core/AllocatorSettings.h"
#include "platform/core/SettingsStore.h"
#include "platform/gui/MessageBox.h"
#include "platform/gui/ModalDialog.h"
#include "streamio/RamStream.h"
#include "streamio/StreamIO.h"
#include "tests/support/ConvRecordBuilder.h"
#include "tests/support/TempDir.h"
#include "tests/support/sim/PortableTesterSim.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTreeWidget>

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <random>
#include <vector>

namespace
{
constexpr int kDownloadFiles = 200;
// Two kinds of 50 KB files: 25 readings with a 2 KB curve each, or 6,000 readings.
constexpr int kCurveReadings = 25;
constexpr int kCurveBytes = 2000;
constexpr int kPlainReadings = 6000;
const QByteArray kVsmRoot = "\\Persistent Storage\\vsm\\";
const char* const kKindFolders[] = {"Curves", "Readings"};

// The wizard finds the simulator; the explorer chooses the bench folder and downloads.
class BenchDialogs final : public Platform::DialogService
{
public:
    QString chosenFolder;

    int Exec(QDialog& dialog) override
    {
        dialog.setResult(QDialog::Rejected);
        dialog.show();
        if (auto* sheet = dynamic_cast<CDevSelectSheet*>(&dialog))
        {
            sheet->Button(Platform::WizardButton::next)->click();
            QPushButton* finish = sheet->Button(Platform::WizardButton::finish);
            QElapsedTimer waited;
            waited.start();
            while (!(finish->isVisible() && finish->isEnabled()) && waited.elapsed() < 30000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            finish->click();
        }
        else if (auto* explorer = dynamic_cast<CVesk3Explorer*>(&dialog))
        {
            QTreeWidget* list = explorer->List();
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                list->topLevelItem(i)->setSelected(list->topLevelItem(i)->text(0) == chosenFolder);
            explorer->OnDownload();
        }
        if (dialog.isVisible())
            dialog.reject();
        return dialog.result();
    }
};

// A rebound-probe series with the readings, each with a curve of that many bytes (0: none),
// as a measurement file holds it.
QByteArray SeriesFile(int readings, int curveBytes, uint32_t seed)
{
    auto series = std::make_unique<CMeasSeries1>(readings);
    series->Clear();
    series->SetProbeId(SProbeId(0x101, nullptr, -1));
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> value(300.0f, 900.0f);
    for (int i = 0; i < readings; ++i)
    {
        const float v = value(rng);
        series->AddReading(v, v, 0, -1);
    }
    if (curveBytes > 0)
    {
        std::vector<uint8_t> curve(static_cast<size_t>(curveBytes));
        for (uint8_t& b : curve)
            b = uint8_t(rng());
        for (int i = 0; i < readings; ++i)
            series->SetAttachment(i, curve.data(), curveBytes, 7);
    }
    series->CommitNew();
    StreamIO::CRamStream ram;
    ram.Open(QStringLiteral("RAM:bench.vsm"),
             StreamIO::STREAM_READ | StreamIO::STREAM_WRITE | StreamIO::STREAM_CREATE_ALWAYS);
    series->Write(ram);
    QByteArray bytes(qsizetype(ram.GetLength()), '\0');
    ram.SetPosition(0);
    ram.Read(bytes.data(), uint32_t(bytes.size()));
    return bytes;
}

// The simulator and the tester connected through the wizard. The tester holds the 200
// files of one kind at a time, so that its listing is that of 200 files.
struct STester
{
    STester()
    {
        for (int kind = 0; kind < 2; ++kind)
        {
            for (int i = 0; i < kDownloadFiles; ++i)
            {
                const QByteArray path =
                    kVsmRoot + kKindFolders[kind] + ".DIR\\F" + QByteArray::number(i) + ".vsm";
                files[kind].push_back(kind == 0 ? SeriesFile(kCurveReadings, kCurveBytes, uint32_t(i))
                                                : SeriesFile(kPlainReadings, 0, uint32_t(i)));
                paths[kind] << QString::fromLatin1(path);
            }
        }
        Hold(0);
        const QString address = QStringLiteral("127.0.0.77");
        sim.Engine().ServeTcp(address, 3728);
        auto& store = Platform::SettingsStore::Instance();
        const QString key = QStringLiteral("Software\\Velmor\\Veskador 3\\ConnWizard\\Veskora\\");
        store.CreateKey(key);
        store.Write(key, QStringLiteral("CommPort"), uint32_t(Device::portEthernet));
        store.Write(key, QStringLiteral("IP Address"), address);
        // The firmware check of the connection must not leave the machine.
        const QString update = QString::fromLatin1(kUpdateServerSettingsKey);
        store.CreateKey(update);
        store.Write(update, QStringLiteral("FtpServer"), QStringLiteral("127.0.0.1"));
        store.Write(update, QStringLiteral("FtpPort"), uint32_t(1));
        connected = CVeskoraConnection::Instance().Connect();
    }
    // The tester holds the files of this kind only.
    void Hold(int kind)
    {
        sim.ClearFiles();
        for (int i = 0; i < kDownloadFiles; ++i)
            sim.AddFile(paths[kind][i].toLatin1(), files[kind][size_t(i)]);
    }
    Sim::PortableTesterSim sim;
    QStringList paths[2];
    std::vector<QByteArray> files[2];
    bool connected = false;
};

struct SEnvironment
{
    SEnvironment()
    {
        qputenv("VESKADOR_CONFIG_DIR", (config.Path()).toLocal8Bit());
        qputenv("XDG_DATA_HOME", (config.Path() + QStringLiteral("/data")).toLocal8Bit());
        StreamIO::StartStreamIO();
        Device::StartDeviceThread();
        previousDialogs = Platform::SetDialogService(&dialogs);
        previousMessages = Platform::SetMessageBoxService(&messages);
    }
    TempDir config;
    BenchDialogs dialogs;
    CountingBoxes messages{Platform::IDOK};
    Platform::DialogService* previousDialogs = nullptr;
    Platform::MessageBoxService* previousMessages = nullptr;
};

SEnvironment& Environment()
{
    static SEnvironment environment;
    return environment;
}

STester& Tester()
{
    Environment();
    static STester tester;
    return tester;
}

// The command and, beside it in every iteration, the straight loads of the same files
// (counter x_device_download: the command's time over theirs; goal 1.5 at most).
void BM_DownloadCommand(benchmark::State& state)
{
    STester& tester = Tester();
    Device::CVmDevice* device = CVeskoraConnection::Instance().GetDevice();
    if (!tester.connected || !device)
    {
        state.SkipWithError("the simulated tester was not found");
        return;
    }
    const int kind = int(state.range(0));
    tester.Hold(kind);
    Environment().dialogs.chosenFolder = QString::fromLatin1(kKindFolders[kind]);
    state.SetLabel(QString::fromLatin1(kKindFolders[kind]).toLower().toStdString());
    bool complete = true;
    const auto command = [&]
    {
        CVeskDoc doc;
        CMeasurementDownload download(doc, CVeskoraConnection::Instance(), nullptr);
        download.DownloadMeasurementFiles(QStringLiteral("\\"));
        complete = complete && download.FailedFiles().isEmpty() && doc.GetFolderCount() == 2;
    };
    const auto straight = [&]
    {
        for (const QString& path : tester.paths[kind])
        {
            StreamIO::CRamStream ram;
            ram.Open(QStringLiteral("RAM:temp.vsm"),
                     StreamIO::STREAM_READ | StreamIO::STREAM_WRITE | StreamIO::STREAM_CREATE_ALWAYS);
            complete = device->DownloadFile(&ram, path) && complete;
        }
    };
    const BaselineTimes times = TimeAgainstBaseline(state, command, straight);
    if (!complete)
        state.SkipWithError("files did not arrive");
    state.SetItemsProcessed(state.iterations() * kDownloadFiles);
    state.counters["x_device_download"] = times.Ratio();
}
BENCHMARK(BM_DownloadCommand)->Arg(0)->Arg(1)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

// A folder of n small measurement files, made once per size.
QString ImportFolder(int n)
{
    static std::map<int, std::unique_ptr<TempDir>> folders;
    auto& dir = folders[n];
    if (!dir)
    {
        dir = std::make_unique<TempDir>();
        QDir().mkpath(dir->File(QStringLiteral("data")));
        const QByteArray bytes = SeriesFile(10, 0, 5);
        for (int i = 0; i < n; ++i)
        {
            QFile file(dir->File(QStringLiteral("data/M%1.vsm").arg(i)));
            file.open(QIODevice::WriteOnly);
            file.write(bytes);
        }
    }
    return dir->File(QStringLiteral("data"));
}

// 2,000 files and, beside them in every iteration, 200 (counter x_200_files: goal 12 at
// most, where 10 is linear).
void BM_ImportFolder(benchmark::State& state)
{
    Environment();
    bool complete = true;
    const auto import = [&](int n)
    {
        CVeskDoc doc;
        CMeasurementImport command(doc, nullptr);
        command.ImportFiles({ImportFolder(n)});
        complete = complete && command.FailedFiles().isEmpty();
    };
    ImportFolder(200);
    ImportFolder(2000);
    const BaselineTimes times = TimeAgainstBaseline(
        state, [&] { import(2000); }, [&] { import(200); });
    if (!complete)
        state.SkipWithError("files were not imported");
    state.SetItemsProcessed(state.iterations() * 2000);
    state.counters["x_200_files"] = times.Ratio();
}
BENCHMARK(BM_ImportFolder)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

// Its own main: the tester is disconnected and the device thread stopped at the end.
int main(int argc, char** argv)
{
    Platform::ApplyAllocatorSettings();
    BenchApp();
    const int result = RunBenchmarks(argc, argv);
    CVeskoraConnection::Instance().Disconnect();
    Device::StopDeviceThread();
    return result;
}
