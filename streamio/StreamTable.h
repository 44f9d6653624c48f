#pragma once
#include "streamio/IoStream.h"

#include <cstdint>

namespace StreamIO
{

// The process-wide table of live streams that gives every stream its handle. It does
// not own the streams. Its lock lives as long as the process, so a stream may leave the
// table at any time, even after ShutdownStreamIO.
class StreamTable
{
public:
    static constexpr uint32_t kMaxStreams = 1024;
    static constexpr uint32_t kSlotMask = 0x3FF;

    // Gives the stream the first free slot and a new generation; 0 when the table is full.
    static StreamHandle Register(CIoStream* stream);
    // Clears the handle's slot when it still holds this very stream.
    static void Unregister(const CIoStream* stream, StreamHandle handle);
    // The live stream of a handle, or null (also for a stale handle whose slot was reused).
    static CIoStream* Find(StreamHandle handle);
    // Aborts every registered stream and empties the table; the owners still delete them.
    static void AbortAllAndClear();
};

// The registered stream of a handle, or null.
CIoStream* FindStreamByHandle(StreamHandle handle);

// Closes the stream of a handle without deleting it: 0 when it closed, 6 for a handle
// without a stream, the code of a CFileException that Close raised, 13 for any other
// failure.
uint32_t CloseStreamByHandle(StreamHandle handle);
// The same call under the name the archive uses.
uint32_t CloseStreamHandle(StreamHandle handle);

} // namespace StreamIO
