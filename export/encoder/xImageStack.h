#pragma once
#include "export/encoder/xRowSink.h"

class CxImage;

// Fills a 24-bit image's rows from the top, piece after piece (CxImage::PasteRows), for the
// formats that are written from the whole picture.
class CxImageStack final : public CxRowSink
{
public:
    explicit CxImageStack(CxImage& image) : m_image(image) {}

    NAppend AppendRows(const QImage& piece) override;
    std::uint32_t GetRowCount() const override { return m_rows; }

private:
    CxImage& m_image;
    std::uint32_t m_rows = 0;
};
