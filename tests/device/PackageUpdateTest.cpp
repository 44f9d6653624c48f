#include "device/BlockHeader.h"
#include "device/Contents.h"
#include "device/DeviceText.h"
#include "device/DeviceThread.h"
#include "device/PackageHeader.h"
#include "device/UpdateJob.h"
#include "device/Veskora3SeDevice.h"
#include "device/VmCommands.h"
#include "resources/BuiltInStrings.h"
#include "tests/device/UpdateRecorder.h"
#include "tests/support/PackageBuilder.h"
#include "tests/support/ScriptedStream.h"
#include "tests/support/sim/FrameEngine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using namespace Device;

namespace
{
QByteArray H(const char* hex)
{
    return QByteArray::fromHex(hex);
}

bool ReadPackage(const QByteArray& bytes, CPackageHeader& header)
{
    MemoryStream stream(bytes);
    return header.Read(stream);
}

PackageBuilder OneEntry(int blocks)
{
    PackageBuilder p;
    PackageBuilder::Entry e;
    e.blockCount = uint16_t(blocks);
    p.entries.push_back(e);
    for (int i = 0; i < blocks; ++i)
        p.blocks.push_back({QByteArray(10 + i, char('a' + i))});
    return p;
}

TEST(PackageHeaderTest, ReadsHeadEntriesAndTrailer)
{
    PackageBuilder p;
    p.contentsVersion = 7;
    p.requiredOs[0] = 2;
    p.requiredOs[1] = 1;
    p.deviceCode = 0x03010205;
    p.lowRevision = 0x20C;
    p.highRevision = 0x2FF;
    PackageBuilder::Entry os;
    os.flags = 0x02 | 0x60;
    os.kind = 2;
    os.version[0] = 4;
    os.version[1] = 5;
    os.version[2] = 6;
    os.name = "WCE";
    os.size = 5;
    os.blockCount = 2;
    PackageBuilder::Entry app;
    app.flags = 0x40 | 0x80;
    app.size = 5;
    app.firstBlock = 2;
    p.entries = {os, app};
    p.blocks.resize(3);

    CPackageHeader header;
    ASSERT_TRUE(ReadPackage(p.Build(), header));
    EXPECT_TRUE(header.IsComplete());
    EXPECT_EQ(header.Contents().m_version.Format(2), QStringLiteral("1.7"));
    EXPECT_EQ(header.BlockCount(), 3u);
    EXPECT_EQ(header.DeviceCode(), 0x03010205u);
    EXPECT_EQ(header.RequiredOsVersion().Format(4), QStringLiteral("2.1.0.0"));
    EXPECT_EQ(header.LowRevision(), 0x20C);
    EXPECT_EQ(header.HighRevision(), 0x2FF);
    EXPECT_EQ(header.CheckKind(), 2);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(header.KeptBytes()), 8), QByteArray("KEPT8BYT"));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(header.HeaderBlock()), 128), p.headerBlock);
    ASSERT_EQ(header.Contents().m_entries.size(), 2u);
    const SContentEntry& first = header.Contents().m_entries[0];
    EXPECT_EQ(first.kind, 2u);
    EXPECT_EQ(first.version.Format(4), QStringLiteral("4.5.6.0"));
    EXPECT_EQ(first.name, QStringLiteral("WCE"));
    EXPECT_EQ(first.sizeText, QStringLiteral("20 kB")); // 0x20 wins over 0x40
    EXPECT_EQ(first.blockCount, 2);
    const SContentEntry& second = header.Contents().m_entries[1];
    EXPECT_EQ(second.name, QString()); // no 0x02: the name characters are not valid
    EXPECT_EQ(second.sizeText, QStringLiteral("0.5 MB"));
    EXPECT_EQ(second.flags, 0xC0);
    EXPECT_EQ(second.firstBlock, 2);
}

TEST(PackageHeaderTest, RefusesWhatIsNotAValidPackage)
{
    struct Case
    {
        const char* name;
        std::function<void(PackageBuilder&)> change;
        int cut = 0; // bytes cut from the end of the built package
        bool ok = false;
    };
    const Case cases[] = {
        {"valid", [](PackageBuilder&) {}, 0, true},
        {"format 2", [](PackageBuilder& p) { p.format = 2; }},
        {"version field 2", [](PackageBuilder& p) { p.magicVersion = 2; }},
        {"no entries", [](PackageBuilder& p) { p.declaredEntries = 0; }},
        {"2001 entries", [](PackageBuilder& p) { p.declaredEntries = 2001; }},
        {"kind 12", [](PackageBuilder& p) { p.entries[0].kind = 12; }},
        {"entry without blocks", [](PackageBuilder& p) { p.entries[0].blockCount = 0; }},
        {"no blocks", [](PackageBuilder& p) { p.declaredBlocks = 0; }},
        {"check kind 3", [](PackageBuilder& p) { p.checkKind = 3; }},
        {"check kind 4", [](PackageBuilder& p) { p.checkKind = 4; }, 0, true},
        {"short trailer", [](PackageBuilder& p) { p.blocks.clear(); }, 1},
        {"fewer entries than declared", [](PackageBuilder& p) { p.declaredEntries = 2; }, 0, false},
    };
    for (const Case& c : cases)
    {
        PackageBuilder p = OneEntry(1);
        c.change(p);
        QByteArray bytes = p.Build();
        bytes.chop(c.cut);
        CPackageHeader header;
        EXPECT_EQ(ReadPackage(bytes, header), c.ok) << c.name;
    }
    CPackageHeader header;
    EXPECT_FALSE(ReadPackage(QByteArray("@Vm"), header));

    // The largest declared number of entries is read.
    PackageBuilder big = OneEntry(1);
    big.entries.assign(2000, big.entries[0]);
    ASSERT_TRUE(ReadPackage(big.Build(), header));
    EXPECT_EQ(header.Contents().m_entries.size(), 2000u);
}

// A device whose steps only record what the job asks of them; the data of a
// transferred block is taken from the package as the real step would.
class StepDevice : public CVmDevice
{
public:
    StepDevice() : CVmDevice(typeVeskora3) {}
    std::unique_ptr<CVmDevice> CreateInstance() const override { return std::make_unique<StepDevice>(); }
    bool Identify(SIdentity&) override { return true; }
    QString GetInfoText() override { return {}; }
    QString GetSerialNumber() const override { return {}; }
    bool GetVersions(CContents&) override { return true; }

    NError_code CheckUpdate(const CPackageHeader&) override { return Step("check"); }
    NError_code InitUpdate(const CPackageHeader&) override { return Step("init"); }
    NError_code EnterUpdateMode(const CPackageHeader&, const SBlockHeader&) override
    {
        suffixes.append(GetBlockSuffix());
        return Step("enter");
    }
    NError_code TransferBlock(const SBlockHeader& block) override
    {
        QByteArray data(qsizetype(block.Length()), '\0');
        m_dataSource->Read(data.data(), block.Length());
        transferred += data;
        return Step("transfer");
    }
    NError_code ProgramBlock(const SBlockHeader&) override { return Step("program"); }
    NError_code LeaveUpdateMode(const CPackageHeader&, const SBlockHeader&) override { return Step("leave"); }
    NError_code SkipBlock(const SBlockHeader& block) override
    {
        Step("skip");
        return CVmDevice::SkipBlock(block);
    }
    NError_code FinishUpdate() override { return Step("finish"); }
    bool Recover() override
    {
        ++recovers;
        return true;
    }

    NError_code Step(const char* name)
    {
        steps.append(QString::fromLatin1(name));
        if (failAt == QLatin1String(name) && --failAfter < 0)
            return failWith;
        return errNone;
    }

    QStringList steps;
    QStringList suffixes;
    QByteArray transferred;
    QString failAt;
    int failAfter = 0;
    NError_code failWith = errNone;
    int recovers = 0;
};

class UpdateJobTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterBuiltInStrings();
        ASSERT_NE(AttachScript(device), nullptr); // the base steps need a command object
    }
    void Run(const QByteArray& package, std::optional<std::vector<SContentEntry>> selection = {},
             NJobType kind = jobUpdate)
    {
        SUpdateJob job;
        job.kind = kind;
        job.callback = &recorder;
        job.device = &device;
        packageStream = std::make_shared<MemoryStream>(package);
        job.package = packageStream;
        job.selection = std::move(selection);
        RunUpdateJob(job);
    }
    StepDevice device;
    UpdateRecorder recorder;
    std::shared_ptr<MemoryStream> packageStream;
};

TEST_F(UpdateJobTest, BlocksRunThroughTheStepsWithProgressAndSuffixes)
{
    Run(OneEntry(4).Build(), {}, jobUpdateFlagged);
    ASSERT_TRUE(recorder.finished);
    EXPECT_EQ(recorder.result, 0);
    EXPECT_EQ(recorder.message, QString());
    EXPECT_EQ(device.steps.size(), 2 + 4 * 4 + 1);
    EXPECT_EQ(device.steps.mid(0, 6),
              QStringList({"check", "init", "enter", "transfer", "program", "leave"}));
    EXPECT_EQ(device.steps.last(), QStringLiteral("finish"));
    EXPECT_EQ(device.suffixes, QStringList({" [1/4]", " [2/4]", " [3/4]", " [4/4]"}));
    EXPECT_EQ(recorder.Overall(), std::vector<int32_t>({25, 50, 75, 100}));
    EXPECT_FALSE(recorder.WantsFineProgress());
    EXPECT_EQ(device.GetUpdateFlag(), 1);
    // What the device was lent goes back; the package is closed.
    EXPECT_EQ(device.GetCallback(), nullptr);
    EXPECT_EQ(device.TakeDataSource(), nullptr);
    EXPECT_FALSE(packageStream->IsOpen());
    EXPECT_EQ(device.transferred,
              QByteArray(10, 'a') + QByteArray(11, 'b') + QByteArray(12, 'c') + QByteArray(13, 'd'));

    // Fewer than four blocks: the steps report their own progress, the job none.
    UpdateRecorder fine;
    StepDevice second;
    ASSERT_NE(AttachScript(second), nullptr);
    SUpdateJob job;
    job.callback = &fine;
    job.device = &second;
    job.package = std::make_shared<MemoryStream>(OneEntry(1).Build());
    RunUpdateJob(job);
    EXPECT_EQ(fine.result, 0);
    EXPECT_TRUE(fine.WantsFineProgress());
    EXPECT_TRUE(fine.Overall().empty());
    EXPECT_EQ(second.suffixes, QStringList({QString()}));
    EXPECT_EQ(second.GetUpdateFlag(), 0);
}

TEST_F(UpdateJobTest, ASelectionSkipsTheBlocksOfEntriesMarkedSo)
{
    PackageBuilder p = OneEntry(5);
    p.entries[0].blockCount = 3;
    PackageBuilder::Entry skipped;
    skipped.flags = 0x80;
    skipped.firstBlock = 3;
    skipped.blockCount = 2;
    p.entries.push_back(skipped);
    CPackageHeader header;
    ASSERT_TRUE(ReadPackage(p.Build(), header));
    Run(p.Build(), header.Contents().m_entries);
    EXPECT_EQ(recorder.result, 0);
    EXPECT_EQ(device.steps.count(QStringLiteral("transfer")), 3);
    EXPECT_EQ(device.steps.count(QStringLiteral("skip")), 2);
    EXPECT_EQ(device.transferred, QByteArray(10, 'a') + QByteArray(11, 'b') + QByteArray(12, 'c'));
    // Skipping seeks over the data: the package ends read to its end.
    EXPECT_EQ(device.steps.last(), QStringLiteral("finish"));

    // Blocks that no entry of the selection reaches are skipped too.
    StepDevice other;
    ASSERT_NE(AttachScript(other), nullptr);
    UpdateRecorder r;
    SUpdateJob job;
    job.callback = &r;
    job.device = &other;
    job.package = std::make_shared<MemoryStream>(p.Build());
    job.selection = std::vector<SContentEntry>{header.Contents().m_entries[0]};
    RunUpdateJob(job);
    EXPECT_EQ(other.steps.count(QStringLiteral("transfer")), 3);
    EXPECT_EQ(other.steps.count(QStringLiteral("skip")), 2);
}

TEST_F(UpdateJobTest, AFailingStepEndsTheJobWithItsMessage)
{
    device.failAt = QStringLiteral("transfer");
    device.failAfter = 1;
    device.failWith = errUpload;
    Run(OneEntry(3).Build());
    EXPECT_EQ(recorder.result, errUpload);
    EXPECT_EQ(recorder.message, device.GetErrorText(errUpload));
    EXPECT_TRUE(recorder.message.startsWith(QStringLiteral("An error occurred during data upload process.")));
    EXPECT_EQ(device.recovers, 1);
    EXPECT_EQ(device.steps.count(QStringLiteral("transfer")), 2);
    EXPECT_FALSE(device.steps.contains(QStringLiteral("finish")));
    EXPECT_EQ(device.GetCallback(), nullptr);
    EXPECT_FALSE(packageStream->IsOpen());
}

TEST_F(UpdateJobTest, PackagesThatCannotBeReadEndWithAFileReadError)
{
    // Not a package; and a package whose block headers stop short of its block count.
    PackageBuilder shortHeaders = OneEntry(2);
    shortHeaders.declaredBlocks = 50000;
    for (const QByteArray& bytes : {QByteArray("no package at all"), shortHeaders.Build().left(300)})
    {
        StepDevice d;
        ASSERT_NE(AttachScript(d), nullptr);
        UpdateRecorder r;
        SUpdateJob job;
        job.callback = &r;
        job.device = &d;
        job.package = std::make_shared<MemoryStream>(bytes);
        RunUpdateJob(job);
        EXPECT_EQ(r.result, errFileRead);
        EXPECT_EQ(r.message, QStringLiteral("An error occurred during file read."));
        EXPECT_TRUE(d.steps.isEmpty());
        EXPECT_EQ(d.recovers, 1);
    }
}

TEST_F(UpdateJobTest, AStreamFailureEndsTheJobAsACommunicationError)
{
    auto package = std::make_shared<MemoryStream>(OneEntry(2).Build());
    package->ThrowAt(230); // inside the block data (from byte 227)
    SUpdateJob job;
    job.callback = &recorder;
    job.device = &device;
    job.package = package;
    RunUpdateJob(job);
    EXPECT_EQ(recorder.result, errCommunication);
    EXPECT_EQ(recorder.message, QStringLiteral("A communication error occurred during the device Update."));
    EXPECT_EQ(device.recovers, 0);
    EXPECT_EQ(device.GetCallback(), nullptr);
}

TEST_F(UpdateJobTest, NothingHappensWithoutCallbackDeviceOrPackage)
{
    SUpdateJob job;
    job.device = &device;
    job.package = std::make_shared<MemoryStream>(OneEntry(1).Build());
    RunUpdateJob(job);
    EXPECT_TRUE(device.steps.isEmpty());

    // A device that has a callback already refuses the job's: error 1, and its own
    // callback stays.
    UpdateRecorder other;
    ASSERT_TRUE(device.SetCallback(&other));
    Run(OneEntry(1).Build());
    EXPECT_EQ(recorder.result, errGeneral);
    EXPECT_EQ(device.GetCallback(), &other);
}

// A device whose check waits until the job is aborted.
class WaitingDevice : public StepDevice
{
public:
    NError_code CheckUpdate(const CPackageHeader&) override
    {
        checking.store(true);
        for (int i = 0; i < 3000 && !AbortRequested(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return AbortRequested() ? errAborted : errNone;
    }
    std::atomic<bool> checking{false};
};

TEST_F(UpdateJobTest, AnAbortEndsTheRunningUpdateAndDropsTheQueuedOnes)
{
    WaitingDevice first;
    ASSERT_NE(AttachScript(first), nullptr);
    UpdateRecorder firstRecorder;
    SUpdateJob job;
    job.callback = &firstRecorder;
    job.device = &first;
    job.package = std::make_shared<MemoryStream>(OneEntry(1).Build());
    ASSERT_TRUE(PostUpdateJob(job));
    job.callback = &recorder;
    job.device = &device;
    job.package = std::make_shared<MemoryStream>(OneEntry(1).Build());
    job.kind = jobUpdateFlagged;
    ASSERT_TRUE(PostUpdateJob(job));
    for (int i = 0; i < 1000 && !first.checking.load(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(first.checking.load());
    AbortDeviceJobs(8000);
    ASSERT_TRUE(firstRecorder.WaitFinished(5000));
    EXPECT_EQ(firstRecorder.result, errAborted);
    EXPECT_EQ(firstRecorder.message, QStringLiteral("The process was aborted by the user."));
    EXPECT_EQ(first.recovers, 1);
    EXPECT_FALSE(first.GetCancelToken().IsCancelled()); // the device is its owner's again
    // The queued update never ran and reported nothing; its device was recovered.
    EXPECT_FALSE(recorder.finished);
    EXPECT_TRUE(device.steps.isEmpty());
    EXPECT_EQ(device.recovers, 1);
    EXPECT_EQ(device.GetUpdateFlag(), 0);
    EXPECT_FALSE(PostUpdateJob(SUpdateJob())); // nothing to update
    StopDeviceThread();
}

// A device whose check takes its time and listens for no abort.
class DeafDevice : public StepDevice
{
public:
    NError_code CheckUpdate(const CPackageHeader&) override
    {
        checking.store(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(3000));
        return errNone;
    }
    std::atomic<bool> checking{false};
};

// The stream layer goes down right after the thread stops: the stop must end the running
// job first, and say so when it cannot.
TEST_F(UpdateJobTest, StoppingTheThreadEndsTheRunningJobOrSaysItCouldNot)
{
    const auto startCheck = [](StepDevice& target, UpdateRecorder& reports, std::atomic<bool>& checking)
    {
        SUpdateJob job;
        job.callback = &reports;
        job.device = &target;
        job.package = std::make_shared<MemoryStream>(OneEntry(1).Build());
        ASSERT_TRUE(PostUpdateJob(job));
        for (int i = 0; i < 1000 && !checking.load(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(checking.load());
    };

    WaitingDevice waiting;
    ASSERT_NE(AttachScript(waiting), nullptr);
    startCheck(waiting, recorder, waiting.checking);
    auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(StopDeviceThread());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1500));

    // The abandoned job finishes alone after the test: what it was lent stays.
    static DeafDevice deaf;
    static UpdateRecorder deafReports;
    ASSERT_NE(AttachScript(deaf), nullptr);
    startCheck(deaf, deafReports, deaf.checking);
    started = std::chrono::steady_clock::now();
    EXPECT_FALSE(StopDeviceThread());
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_GE(waited, std::chrono::milliseconds(1900));
    EXPECT_LT(waited, std::chrono::milliseconds(2900));
}

// The base steps on the wire: the device code, the mode change into the block's mode
// with the header block, the transfer in blocks with CRC-32, programming, and the
// change back.
TEST(BaseUpdateStepsTest, OneBlockUpdateIsByteExact)
{
    RegisterBuiltInStrings();
    StepDevice plain; // only for the text of a code
    struct BaseDevice : CVmDevice
    {
        BaseDevice() : CVmDevice(typeVeskora3) {}
        std::unique_ptr<CVmDevice> CreateInstance() const override { return nullptr; }
        bool Identify(SIdentity&) override { return true; }
        QString GetInfoText() override { return {}; }
        QString GetSerialNumber() const override { return {}; }
        bool GetVersions(CContents&) override { return true; }
    } device;
    ScriptedStream* s = AttachScript(device);
    ASSERT_NE(s, nullptr);

    PackageBuilder p = OneEntry(1);
    p.deviceCode = 0x11223344;
    const QByteArray data(100, '\x42');
    p.blocks[0] = {data, 0x05, 0x4C, 0x01};
    s->Expect(H("C0F1"), H("0444332211"));
    s->Expect(H("C2F40005"), H("0101"));
    s->Expect(H("C2F40105"), H("0100"));
    s->Expect(H("C2F40305"), H("03140000"));
    s->Expect(H("C2F40205"));
    s->Expect(H("C2F40105"), H("0101"));
    s->Expect(H("C1F800") + p.headerBlock + Sim::SimCheckValue(p.headerBlock, 4), H("00"));
    s->Expect(H("C9F80101") + H("64000000") + H("008000"));
    s->Expect(data + Sim::SimCheckValue(data, 4), H("00"));
    s->Expect(H("C1F804"), H("03E80300"));
    s->Expect(H("C1F802"), H("00"));
    s->Expect(H("C2F4000C"), H("0101"));
    s->Expect(H("C2F4010C"), H("0100"));
    s->Expect(H("C2F4030C"), H("03140000"));
    s->Expect(H("C2F4020C"));
    s->Expect(H("C2F4010C"), H("0101"));

    UpdateRecorder recorder;
    SUpdateJob job;
    job.callback = &recorder;
    job.device = &device;
    job.package = std::make_shared<MemoryStream>(p.Build());
    RunUpdateJob(job);
    EXPECT_EQ(s->Mismatch(), QString());
    EXPECT_TRUE(s->Done());
    EXPECT_EQ(recorder.result, 0) << recorder.message.toStdString();
    EXPECT_TRUE(device.IsHeaderSent());
    EXPECT_EQ(recorder.statuses,
              QStringList({"Perform some device checks.", "Do device specific initializations.",
                           "Set the device into the appropriate operation mode.",
                           "Transfer datablock to the device.", "Write datablock.",
                           "Set the device into the appropriate operation mode.",
                           "Finished the device update successfully."}));
    // Programming announced its duration in mode 2 (fine progress: one block).
    EXPECT_NE(
        std::find(recorder.progress.begin(), recorder.progress.end(), UpdateRecorder::Progress{0, 2, 2000}),
        recorder.progress.end());

    // A device code of -1 (no answer) ends the job as a communication error with the
    // restart hint; another code as a type mismatch.
    for (const auto& [answer, code] :
         {std::pair{QByteArray(), errCommunication}, std::pair{H("0401000000"), errDeviceType}})
    {
        BaseDevice d;
        ScriptedStream* t = AttachScript(d);
        t->Expect(H("C0F1"), answer);
        UpdateRecorder r;
        SUpdateJob j;
        j.callback = &r;
        j.device = &d;
        j.package = std::make_shared<MemoryStream>(p.Build());
        RunUpdateJob(j);
        EXPECT_EQ(r.result, code);
        EXPECT_EQ(r.message, d.GetErrorText(code));
    }
    EXPECT_TRUE(plain.GetErrorText(errCommunication).contains(DeviceText(Ids::RestartHint)));

    // A tester that refuses the header block on each of its tries ends the job at the mode
    // change, and is led back to its normal mode.
    BaseDevice refusing;
    ScriptedStream* t = AttachScript(refusing);
    t->Expect(H("C0F1"), H("0444332211"));
    t->Expect(H("C2F40005"), H("0101"));
    t->Expect(H("C2F40105"), H("0100"));
    t->Expect(H("C2F40305"), H("03140000"));
    t->Expect(H("C2F40205"));
    t->Expect(H("C2F40105"), H("0101"));
    for (int attempt = 0; attempt < 3; ++attempt)
    {
        t->Expect(H("C1F800") + p.headerBlock + Sim::SimCheckValue(p.headerBlock, 4), H("F3"));
        t->Expect(H("C8F6000555 5AAAAFFFF0"), H("F0")); // before the next try, and to recover
    }
    t->Expect(H("C2F4000C"), H("0101"));
    t->Expect(H("C2F4010C"), H("0100"));
    t->Expect(H("C2F4030C"), H("03140000"));
    t->Expect(H("C2F4020C"));
    t->Expect(H("C2F4010C"), H("0101"));
    UpdateRecorder r;
    SUpdateJob j;
    j.callback = &r;
    j.device = &refusing;
    j.package = std::make_shared<MemoryStream>(p.Build());
    RunUpdateJob(j);
    EXPECT_TRUE(t->Mismatch().isEmpty()) << t->Mismatch().toStdString();
    EXPECT_TRUE(t->Done());
    EXPECT_EQ(r.result, errInfoBlock);
    EXPECT_FALSE(refusing.IsHeaderSent());
}

// The portable tester checks hardware revision (letters A-H, 11 bits of the bounds) and
// operating system; it programs an operating-system block in progress mode 3 and asks
// the device for its programming time-out.
TEST(PortableUpdateTest, PackageChecksAndProgramming)
{
    RegisterBuiltInStrings();
    struct Case
    {
        const char* revision;
        const char* os;
        uint16_t low;
        uint16_t high;
        uint16_t required[3];
        NError_code result;
    };
    const Case cases[] = {
        {"c12", "2.1.0", 0x20C, 0, {0, 0, 0}, errNone},
        {"C11", "2.1.0", 0x20C, 0, {0, 0, 0}, errHardwareRevision},
        {"I1", "2.1.0", 0x001, 0, {0, 0, 0}, errHardwareRevision},
        {"C12", "2.1.0", 0xF80C, 0, {0, 0, 0}, errNone}, // only 11 bits of the bound count
        {"C12", "2.1.0", 0x100, 0x20B, {0, 0, 0}, errHardwareRevision},
        {"12", "2.1.0", 0x100, 0, {0, 0, 0}, errHardwareRevision},
        {"C12", "2.1.0", 0, 0, {2, 0, 0}, errNone},
        {"C12", "2.1.0", 0, 0, {3, 0, 0}, errOsVersion},
        {"C12", "3.1.0", 0, 0, {2, 0, 0}, errOsVersion},
        {"C12", "2 . 1 . 0", 0, 0, {2, 0, 0}, errNone},
    };
    for (const Case& c : cases)
    {
        CVeskora3SeDevice device;
        ScriptedStream* s = AttachScript(device);
        PackageBuilder p = OneEntry(1);
        p.deviceCode = 0x03010205;
        p.lowRevision = c.low;
        p.highRevision = c.high;
        std::copy(std::begin(c.required), std::end(c.required), p.requiredOs);
        CPackageHeader header;
        ASSERT_TRUE(ReadPackage(p.Build(), header));
        s->Expect(H("C0F1"), H("0405020103"));
        s->Expect(H("10"), H("06"));
        s->Expect("EC?\r", "0\r");
        s->Expect(H("10"), H("06"));
        s->Expect("@ID@\r",
                  QByteArray("Veskora 3;") + c.revision + ";V3-1;03010205;1.4.2;" + c.os + ";EN;UTC\r");
        EXPECT_EQ(device.CheckUpdate(header), c.result) << c.revision << " " << c.os;
        EXPECT_EQ(s->Mismatch(), QString());
    }

    CVeskora3SeDevice device;
    ScriptedStream* s = AttachScript(device);
    UpdateRecorder recorder;
    recorder.m_fineProgress = 1;
    ASSERT_TRUE(device.SetCallback(&recorder));
    SBlockHeader block;
    block.bytes[11] = 0x40;
    block.bytes[12] = 0x02; // an operating-system block
    s->Expect(H("C1F804"), H("03B80B00"));
    s->Expect(H("C1F803"), H("03307500"));
    s->Expect(H("C1F802"), H("00"));
    EXPECT_EQ(device.ProgramBlock(block), errNone);
    EXPECT_EQ(s->Mismatch(), QString());
    EXPECT_EQ(recorder.progress.back(), (UpdateRecorder::Progress{0, 3, 3000}));
    // The programming time-out the device gave (30000 ms) is the read time-out.
    EXPECT_EQ(s->ReadTimeout(), 30000u);
    // Without the program bit nothing is sent.
    block.bytes[11] = 0x0C;
    EXPECT_EQ(device.ProgramBlock(block), errNone);
    device.TakeCallback();
}

} // namespace
