#include "seriesview/WrappedText.h"

#include "platform/gui/Canvas.h"

#include <QString>

#include <vector>

using namespace Platform;

namespace
{

constexpr int kMargin = 10;

bool IsSeparator(QChar c)
{
    return c == u' ' || c == u'.' || c == u'\n';
}

// Words and single separators (blank, full stop, line feed), alternating.
std::vector<QString> Tokens(QStringView text)
{
    std::vector<QString> tokens;
    QString current;
    for (QChar c : text)
    {
        if (c == u'\r')
            continue;
        current += c;
        if (!IsSeparator(c))
            continue;
        if (current.size() > 1)
        {
            tokens.push_back(current.left(current.size() - 1));
            tokens.push_back(QString(c));
        }
        else
        {
            tokens.push_back(current);
        }
        current.clear();
    }
    if (!current.isEmpty())
        tokens.push_back(current);
    return tokens;
}

} // namespace

Size DrawWrappedText(Canvas& dc, Point origin, int width, QStringView text)
{
    const int limit = width - 2 * kMargin;
    const int left = origin.x + kMargin;
    int y = origin.y + kMargin;
    int offset = 0;
    for (const QString& token : Tokens(text))
    {
        const Size extent = dc.GetTextExtent(token);
        if (token == u"\n")
        {
            y += extent.cy;
            offset = 0;
        }
        else if (offset + extent.cx < limit)
        {
            dc.TextOut(left + offset, y, token);
            offset += extent.cx;
        }
        else if (extent.cx < limit)
        {
            y += extent.cy;
            dc.TextOut(left, y, token);
            offset = extent.cx;
        }
        else
        {
            // Wider than a line: as many characters as fit, then on the next line.
            QString piece;
            for (QChar c : token)
            {
                const QString longer = piece + c;
                if (offset + dc.GetTextExtent(longer).cx > limit)
                {
                    if (!piece.isEmpty())
                        dc.TextOut(left + offset, y, piece);
                    y += extent.cy;
                    offset = 0;
                    piece = QString(c);
                }
                else
                {
                    piece = longer;
                }
            }
            dc.TextOut(left + offset, y, piece);
            offset += dc.GetTextExtent(piece).cx;
        }
    }
    // Margins above and below the lines.
    const int lastLine = y - (origin.y + kMargin);
    return {width, lastLine + dc.GetTextExtent(u"A").cy + 2 * kMargin};
}
