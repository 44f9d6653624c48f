#include "streamio/StreamTable.h"

#include "platform/core/ErrorCodes.h"
#include "platform/core/FileException.h"
#include "platform/core/Lock.h"

#include <vector>

namespace StreamIO
{
namespace
{

constexpr uint32_t kGenerationStep = StreamTable::kMaxStreams;
constexpr uint32_t kLastGeneration = 0xFFFFFC00u;

struct TableState
{
    // Re-entrant: an Abort during shutdown may delete or create another stream.
    RecursiveLock lock;
    std::vector<CIoStream*> entries;
    uint32_t generation = kGenerationStep;
};

TableState& State()
{
    // Never destroyed: streams held by static objects leave the table after main returns.
    static TableState* state = new TableState;
    return *state;
}

} // namespace

StreamHandle StreamTable::Register(CIoStream* stream)
{
    TableState& t = State();
    RecursiveLockGuard guard(t.lock);
    size_t slot = 0;
    while (slot < t.entries.size() && t.entries[slot] != nullptr)
        ++slot;
    if (slot >= kMaxStreams)
        return 0;
    if (slot == t.entries.size())
        t.entries.push_back(nullptr);
    t.entries[slot] = stream;
    const StreamHandle handle = static_cast<uint32_t>(slot) | (t.generation & ~kSlotMask);
    t.generation = t.generation == kLastGeneration ? kGenerationStep : t.generation + kGenerationStep;
    return handle;
}

void StreamTable::Unregister(const CIoStream* stream, StreamHandle handle)
{
    if (handle == 0)
        return;
    TableState& t = State();
    RecursiveLockGuard guard(t.lock);
    const size_t slot = handle & kSlotMask;
    if (slot < t.entries.size() && t.entries[slot] == stream)
        t.entries[slot] = nullptr;
}

CIoStream* StreamTable::Find(StreamHandle handle)
{
    if (handle == 0)
        return nullptr;
    TableState& t = State();
    RecursiveLockGuard guard(t.lock);
    const size_t slot = handle & kSlotMask;
    if (slot >= t.entries.size())
        return nullptr;
    CIoStream* stream = t.entries[slot];
    if (stream == nullptr || stream->GetHandle() != handle)
        return nullptr;
    return stream;
}

void StreamTable::AbortAllAndClear()
{
    TableState& t = State();
    RecursiveLockGuard guard(t.lock);
    // By index: an Abort may unregister streams on this thread.
    for (size_t i = 0; i < t.entries.size(); ++i)
    {
        if (CIoStream* stream = t.entries[i])
            stream->Abort();
    }
    t.entries.clear();
    t.entries.shrink_to_fit();
}

CIoStream* FindStreamByHandle(StreamHandle handle)
{
    return StreamTable::Find(handle);
}

uint32_t CloseStreamByHandle(StreamHandle handle)
{
    CIoStream* stream = StreamTable::Find(handle);
    if (stream == nullptr)
        return Err::InvalidHandle;
    try
    {
        stream->Close();
    }
    catch (const CFileException& e)
    {
        return e.Error();
    }
    catch (const std::exception&)
    {
        return Err::InvalidData;
    }
    return Err::Success;
}

uint32_t CloseStreamHandle(StreamHandle handle)
{
    return CloseStreamByHandle(handle);
}

} // namespace StreamIO
