#include "grid/PageText.h"

#include <vector>

QString FormatPageText(const QString& format, int page, int pages)
{
    struct Piece
    {
        QString literal;
        bool isField = false;
        bool leftAlign = false;
        bool zeroPad = false;
        bool plus = false;
        bool space = false;
        int width = 0;
    };
    std::vector<Piece> pieces;
    int fields = 0;
    bool valid = true;
    QString literal;
    for (qsizetype i = 0; i < format.size() && valid; ++i)
    {
        if (format[i] != u'%')
        {
            literal += format[i];
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == u'%')
        {
            literal += u'%';
            ++i;
            continue;
        }
        Piece field;
        field.isField = true;
        qsizetype j = i + 1;
        for (; j < format.size(); ++j)
        {
            const QChar f = format[j];
            if (f == u'-')
                field.leftAlign = true;
            else if (f == u'0')
                field.zeroPad = true;
            else if (f == u'+')
                field.plus = true;
            else if (f == u' ')
                field.space = true;
            else if (f != u'#')
                break;
        }
        for (; j < format.size() && format[j].isDigit() && field.width < 100; ++j)
            field.width = field.width * 10 + format[j].digitValue();
        if (j >= format.size() || !(format[j] == u'd' || format[j] == u'i' || format[j] == u'u'))
        {
            valid = false;
            break;
        }
        pieces.push_back({literal});
        literal.clear();
        pieces.push_back(field);
        ++fields;
        i = j;
    }
    if (!valid || fields != 2)
        return QString::number(page) + u'/' + QString::number(pages);
    pieces.push_back({literal});

    QString out;
    int next = 0;
    for (const Piece& piece : pieces)
    {
        if (!piece.isField)
        {
            out += piece.literal;
            continue;
        }
        const int value = next++ == 0 ? page : pages;
        QString digits = QString::number(value < 0 ? -static_cast<long long>(value) : value);
        QString sign = value < 0     ? QStringLiteral("-")
                       : piece.plus  ? QStringLiteral("+")
                       : piece.space ? QStringLiteral(" ")
                                     : QString();
        const int pad = piece.width - static_cast<int>(sign.size() + digits.size());
        if (pad > 0 && piece.leftAlign)
            out += sign + digits + QString(pad, u' ');
        else if (pad > 0 && piece.zeroPad)
            out += sign + QString(pad, u'0') + digits;
        else if (pad > 0)
            out += QString(pad, u' ') + sign + digits;
        else
            out += sign + digits;
    }
    return out;
}
