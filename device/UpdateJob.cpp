#include "device/UpdateJob.h"

#include "device/BlockHeader.h"
#include "device/Callback.h"
#include "device/DeviceText.h"
#include "device/PackageHeader.h"
#include "device/VmDevice.h"
#include "platform/core/FileException.h"
#include "streamio/IoStream.h"

#include <algorithm>
#include <exception>

namespace Device
{

namespace
{
// Whatever leaves the job, the device gives back the callback, the package and the
// cancel token it was lent, and the package is closed.
class Lending
{
public:
    Lending(CVmDevice& device, StreamIO::CIoStream& package, const Platform::CancelToken& cancel)
        : m_device(device), m_package(package), m_ownToken(device.GetCancelToken())
    {
        m_device.SetCancelToken(cancel);
        m_tokenLent = true;
    }
    ~Lending() { Return(); }
    Lending(const Lending&) = delete;
    Lending& operator=(const Lending&) = delete;

    bool LendCallback(CCallback* callback)
    {
        m_callbackLent = m_device.SetCallback(callback);
        return m_callbackLent;
    }
    bool LendPackage()
    {
        m_packageLent = m_device.SetDataSource(&m_package);
        return m_packageLent;
    }
    void Return()
    {
        if (m_packageLent)
            m_device.TakeDataSource();
        m_packageLent = false;
        m_package.Abort();
        if (m_callbackLent)
            m_device.TakeCallback();
        m_callbackLent = false;
        if (m_tokenLent)
            m_device.SetCancelToken(m_ownToken);
        m_tokenLent = false;
    }

private:
    CVmDevice& m_device;
    StreamIO::CIoStream& m_package;
    const Platform::CancelToken m_ownToken;
    bool m_callbackLent = false;
    bool m_packageLent = false;
    bool m_tokenLent = false;
};

// Which blocks a content selection takes (1) and skips (0). Blocks no entry reaches
// are not part of the selection and are skipped.
std::vector<uint8_t> SelectBlocks(const CPackageHeader& package, const std::vector<SContentEntry>& selection,
                                  size_t blockCount)
{
    std::vector<uint8_t> selected(blockCount, 0);
    size_t current = 0;
    const size_t entries = std::min<size_t>(selection.size(), package.DeclaredEntries());
    for (size_t i = 0; i < entries && current < blockCount; ++i)
    {
        const SContentEntry& entry = selection[i];
        size_t end = size_t(entry.firstBlock) + entry.blockCount;
        end = std::min(std::max(end, current + 1), blockCount);
        const uint8_t mark = (entry.flags & 0x80) ? 0 : 1;
        for (; current < end; ++current)
            selected[current] = mark;
    }
    return selected;
}

NError_code RunSteps(const SUpdateJob& job, CVmDevice& device, CCallback& callback, Lending& lending,
                     const LinkWatch& watch)
{
    const auto watchLink = [&](bool on)
    {
        if (watch)
            watch(on ? device.GetStream() : nullptr);
    };
    if (job.kind == jobUpdateFlagged)
        device.SetUpdateFlag(1);
    if (!lending.LendCallback(&callback) || !lending.LendPackage())
        return errGeneral;

    StreamIO::CIoStream& package = *job.package;
    CPackageHeader header;
    if (!header.Read(package))
        return errFileRead;
    // The block headers are read one by one: the count in the trailer is only believed
    // as far as the package really holds headers.
    std::vector<SBlockHeader> blocks;
    const uint32_t count = header.BlockCount();
    for (uint32_t i = 0; i < count; ++i)
    {
        uint8_t raw[SBlockHeader::kSize];
        if (!StreamIO::ReadExactly(package, raw, SBlockHeader::kSize))
            return errFileRead;
        blocks.push_back(SBlockHeader::FromBytes(raw));
    }
    const std::vector<uint8_t> selected = job.selection ? SelectBlocks(header, *job.selection, blocks.size())
                                                        : std::vector<uint8_t>(blocks.size(), 1);

    watchLink(true);
    NError_code code = device.CheckUpdate(header);
    if (code == errNone)
        code = device.InitUpdate(header);
    if (code != errNone)
        return code;

    const uint8_t fine = count < 4 ? 1 : 0;
    callback.m_fineProgress = fine;
    if (job.callback != &callback)
        job.callback->m_fineProgress = fine;

    for (uint32_t i = 0; i < count; ++i)
    {
        const SBlockHeader& block = blocks[i];
        watchLink(true);
        if (!selected[i])
        {
            code = device.SkipBlock(block);
            if (code != errNone)
                return code;
            continue;
        }
        device.SetBlockSuffix(
            count == 1 ? QString()
                       : DeviceText(Ids::BlockSuffix, {QString::number(i + 1), QString::number(count)}));
        if (!fine)
            callback.OnProgress(int32_t(uint64_t(i + 1) * 100 / count), 1, 0);
        code = device.EnterUpdateMode(header, block);
        if (code == errNone)
            code = device.TransferBlock(block);
        if (code == errNone)
            code = device.ProgramBlock(block);
        if (code == errNone)
            code = device.LeaveUpdateMode(header, block);
        if (code != errNone)
            return code;
    }
    watchLink(false);
    return device.FinishUpdate();
}
} // namespace

void RunUpdateJob(const SUpdateJob& job, CCallback* reportTo, const LinkWatch& watch,
                  const Platform::CancelToken& cancel)
{
    if (!job.callback || !job.device || !job.package)
        return;
    CCallback& callback = reportTo ? *reportTo : *job.callback;
    CVmDevice& device = *job.device;
    Lending lending(device, *job.package, cancel);
    NError_code code = errNone;
    try
    {
        code = RunSteps(job, device, callback, lending, watch);
    }
    catch (const CFileException&)
    {
        if (watch)
            watch(nullptr);
        lending.Return();
        callback.OnJobFinished(DeviceText(Ids::CommunicationError), errCommunication);
        return;
    }
    if (watch)
        watch(nullptr);
    if (code != errNone)
    {
        try
        {
            device.Recover();
        }
        catch (const std::exception&)
        {
        }
    }
    lending.Return();
    callback.OnJobFinished(code == errNone ? QString() : device.GetErrorText(code), code);
}

} // namespace Device
