#include "grid/PasteText.h"

std::vector<std::vector<QString>> SplitPastedText(QStringView text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul >= 0)
        text = text.left(nul);

    std::vector<std::vector<QString>> lines;
    qsizetype start = 0;
    while (true)
    {
        const qsizetype feed = text.indexOf(u'\n', start);
        const QStringView line = text.mid(start, (feed < 0 ? text.size() : feed) - start);
        if (feed >= 0 || !line.isEmpty())
        {
            std::vector<QString> fields;
            qsizetype pos = 0;
            while (pos < line.size())
            {
                qsizetype end = pos;
                while (end < line.size() && line[end] != u'\t' && line[end] != u',')
                    ++end;
                fields.push_back(line.mid(pos, end - pos).toString());
                pos = end + 1;
            }
            lines.push_back(std::move(fields));
        }
        if (feed < 0)
            break;
        start = feed + 1;
    }
    return lines;
}
