#include "streamio/StreamIO.h"

#include "streamio/RamDisk.h"
#include "streamio/StreamTable.h"
#include "streamio/TransportStreams.h"

namespace StreamIO
{

void StartStreamIO()
{
    CRamDisk::SetInstance(std::make_shared<CRamDisk>(QStringLiteral("RAM:")));
    StartTransports();
}

void ShutdownStreamIO()
{
    StreamTable::AbortAllAndClear();
    // A stream beyond the table that still holds a file keeps its disk until it closes.
    CRamDisk::SetInstance(nullptr);
    ShutdownTransports();
}

} // namespace StreamIO
