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
// Import: 200 and 2,000 small measurement files of one folder from disk. Goal: linear,
// 2,000 files within 12 times the time of 200.
#include "app/document/VeskDoc.h"
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
#include "platform/core/SettingsStore.h"
#include "platform/gui/MessageBox.h"
#include "platform/gui/ModalDialog.h"
#include "resources/BuiltInBitmaps.h"
#include "resources/BuiltInStrings.h"
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
#include <vector>
#include <memory>
#include <random>

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

class BenchMessages final : public Platform::MessageBoxService
{
public:
    int Show(QWidget*, const QString&, const QString&, uint32_t) override
    {
        ++shown;
        return Platform::IDOK;
    }
    int shown = 0;
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

// The simulator with the bench files, and the tester connected through the wizard.
struct STester
{
    STester()
    {
        sim.ClearFiles();
        for (int kind = 0; kind < 2; ++kind)
        {
            for (int i = 0; i < kDownloadFiles; ++i)
            {
                const QByteArray path = kVsmRoot + kKindFolders[kind] + ".DIR\\F" + QByteArray::number(i) + ".vsm";
                sim.AddFile(path, kind == 0 ? SeriesFile(kCurveReadings, kCurveBytes, uint32_t(i))
                                            : SeriesFile(kPlainReadings, 0, uint32_t(i)));
                paths[kind] << QString::fromLatin1(path);
            }
        }
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
    Sim::PortableTesterSim sim;
    QStringList paths[2];
    bool connected = false;
};

struct SEnvironment
{
    SEnvironment()
    {
        qputenv("VESKADOR_CONFIG_DIR", (config.Path()).toLocal8Bit());
        qputenv("XDG_DATA_HOME", (config.Path() + QStringLiteral("/data")).toLocal8Bit());
        RegisterBuiltInStrings();
        RegisterBuiltInBitmaps();
        StreamIO::StartStreamIO();
        Device::StartDeviceThread();
        previousDialogs = Platform::SetDialogService(&dialogs);
        previousMessages = Platform::SetMessageBoxService(&messages);
    }
    TempDir config;
    BenchDialogs dialogs;
    BenchMessages messages;
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

void BM_DownloadCommand(benchmark::State& state)
{
    STester& tester = Tester();
    if (!tester.connected)
    {
        state.SkipWithError("the simulated tester was not found");
        return;
    }
    const int kind = int(state.range(0));
    Environment().dialogs.chosenFolder = QString::fromLatin1(kKindFolders[kind]);
    state.SetLabel(QString::fromLatin1(kKindFolders[kind]).toLower().toStdString());
    for (auto _ : state)
    {
        CVeskDoc doc;
        CMeasurementDownload download(doc, CVeskoraConnection::Instance(), nullptr);
        download.DownloadMeasurementFiles(QStringLiteral("\\"));
        if (!download.FailedFiles().isEmpty() || doc.GetFolderCount() != 2)
            state.SkipWithError("files did not arrive");
        state.PauseTiming();
        doc.DeleteContents();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kDownloadFiles);
}
BENCHMARK(BM_DownloadCommand)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_DeviceDownloadFile(benchmark::State& state)
{
    STester& tester = Tester();
    Device::CVmDevice* device = CVeskoraConnection::Instance().GetDevice();
    if (!device)
    {
        state.SkipWithError("the simulated tester was not found");
        return;
    }
    const int kind = int(state.range(0));
    state.SetLabel(QString::fromLatin1(kKindFolders[kind]).toLower().toStdString());
    for (auto _ : state)
    {
        for (const QString& path : tester.paths[kind])
        {
            StreamIO::CRamStream ram;
            ram.Open(QStringLiteral("RAM:temp.vsm"),
                     StreamIO::STREAM_READ | StreamIO::STREAM_WRITE | StreamIO::STREAM_CREATE_ALWAYS);
            if (!device->DownloadFile(&ram, path))
                state.SkipWithError("a file did not arrive");
        }
    }
    state.SetItemsProcessed(state.iterations() * kDownloadFiles);
}
BENCHMARK(BM_DeviceDownloadFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

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

void BM_ImportFolder(benchmark::State& state)
{
    Environment();
    const int n = int(state.range(0));
    const QString folder = ImportFolder(n);
    for (auto _ : state)
    {
        CVeskDoc doc;
        CMeasurementImport import(doc, nullptr);
        import.ImportFiles({folder});
        if (!import.FailedFiles().isEmpty())
            state.SkipWithError("files were not imported");
        state.PauseTiming();
        doc.DeleteContents();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ImportFolder)->Arg(200)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    CVeskoraConnection::Instance().Disconnect();
    Device::StopDeviceThread();
    return 0;
}
