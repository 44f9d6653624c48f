#include "streamio/StreamIO.h"

#include "streamio/StreamTable.h"
#include "streamio/TransportStreams.h"

namespace StreamIO
{

void StartStreamIO()
{
    StartTransports();
}

void ShutdownStreamIO()
{
    StreamTable::AbortAllAndClear();
    ShutdownTransports();
}

} // namespace StreamIO
