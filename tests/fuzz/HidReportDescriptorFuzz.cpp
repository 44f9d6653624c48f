#include "platform/io/HidReportDescriptor.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Platform::HidReportLengths lengths;
    Platform::ParseHidReportDescriptor(data, size, lengths);
    return 0;
}
