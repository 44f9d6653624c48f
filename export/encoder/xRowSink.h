#pragma once
#include <cstdint>

class QImage;

// Takes the rows of one picture from the top down, a rendered piece at a time: the graphic
// export stacks its parts into one picture through it, whether the picture is kept whole
// (CxImageStack) or encoded as the rows come (CxPngRowWriter).
class CxRowSink
{
public:
    enum class NAppend
    {
        Done,
        // Nothing taken: the piece has another width, more rows than are left, or pixels
        // that do not become 24 bits.
        DoesNotFit,
        // The rows could not be written; the sink takes no more.
        Failed,
    };

    virtual ~CxRowSink() = default;
    // Puts the piece below the rows taken so far.
    virtual NAppend AppendRows(const QImage& piece) = 0;
    // Rows taken so far.
    virtual std::uint32_t GetRowCount() const = 0;
};
