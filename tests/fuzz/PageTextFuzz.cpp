#include "grid/PageText.h"

#include <cstddef>
#include <cstdint>

// The page format comes from a language pack: any text must format without reading
// arguments that are not there.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString format =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(data), static_cast<qsizetype>(size / 2));
    const QString text = FormatPageText(format, 3, 12);
    (void)text.size();
    return 0;
}
