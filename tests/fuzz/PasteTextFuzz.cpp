#include "grid/PasteText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

// Pasted text comes from any program: whatever it holds, it splits into lines and fields
// that together are never longer than the text up to its first NUL.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QString text(static_cast<qsizetype>(size / 2), Qt::Uninitialized);
    std::memcpy(text.data(), data, (size / 2) * 2);
    const std::vector<std::vector<QString>> lines = SplitPastedText(text);
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    const qsizetype used = nul >= 0 ? nul : text.size();
    qsizetype total = 0;
    for (const auto& line : lines)
        for (const QString& field : line)
            total += field.size();
    if (total > used || static_cast<qsizetype>(lines.size()) > used + 1)
        std::abort();
    return 0;
}
