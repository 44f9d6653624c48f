#include "export/core/PictureStack.h"

#include <cstring>

bool CPictureStack::Create(int width, int height)
{
    m_rows = 0;
    m_picture = QImage(width, height, QImage::Format_RGB32);
    return !m_picture.isNull();
}

CPictureStack::NAppend CPictureStack::AppendRows(const QImage& piece)
{
    if (piece.isNull() || piece.width() != m_picture.width() || piece.height() > m_picture.height() - m_rows)
        return NAppend::DoesNotFit;
    const QImage rows =
        piece.format() == QImage::Format_RGB32 ? piece : piece.convertToFormat(QImage::Format_RGB32);
    const auto bytes = static_cast<std::size_t>(m_picture.width()) * 4;
    for (int y = 0; y < rows.height(); ++y)
        std::memcpy(m_picture.scanLine(m_rows + y), rows.constScanLine(y), bytes);
    m_rows += rows.height();
    return NAppend::Done;
}
