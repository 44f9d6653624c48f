#pragma once
#include "export/encoder/xRowSink.h"

#include <QImage>

// Stacks rendered pieces into one picture of a size known beforehand, from the top: the
// picture a graphic export puts on the clipboard, made a series at a time.
class CPictureStack final : public CxRowSink
{
public:
    // False when the picture cannot be had (too large for memory).
    bool Create(int width, int height);
    const QImage& Picture() const { return m_picture; }

    NAppend AppendRows(const QImage& piece) override;
    std::uint32_t GetRowCount() const override { return static_cast<std::uint32_t>(m_rows); }

private:
    QImage m_picture;
    int m_rows = 0;
};
