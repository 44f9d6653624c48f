#include "export/encoder/xImageStack.h"

#include "export/encoder/xImage.h"

#include <QImage>

CxImageStack::NAppend CxImageStack::AppendRows(const QImage& piece)
{
    if (!m_image.PasteRows(piece, m_rows))
        return NAppend::DoesNotFit;
    m_rows += static_cast<std::uint32_t>(piece.height());
    return NAppend::Done;
}
