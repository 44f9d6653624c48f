#include "platform/core/AllocatorSettings.h"

#if __has_include(<malloc.h>)
#include <malloc.h>
#endif

namespace Platform
{
bool ApplyAllocatorSettings()
{
#if defined(M_TRIM_THRESHOLD) && defined(M_MMAP_THRESHOLD)
    return mallopt(M_TRIM_THRESHOLD, int(kTrimThreshold)) == 1 && mallopt(M_MMAP_THRESHOLD, int(kMmapThreshold)) == 1;
#else
    return false;
#endif
}
} // namespace Platform
