#include "seriesview/GraphSteps.h"

#include "platform/core/NumberText.h"

#include <algorithm>
#include <cmath>

const std::array<double, 69> NiceStepTable = {
    1e-11, 2e-11, 5e-11, 1e-10, 2e-10, 5e-10, 1e-9, 2e-9, 5e-9, 1e-8, 2e-8, 5e-8, 1e-7, 2e-7,
    5e-7,  1e-6,  2e-6,  5e-6,  1e-5,  2e-5,  5e-5, 1e-4, 2e-4, 5e-4, 1e-3, 2e-3, 5e-3, 1e-2,
    2e-2,  5e-2,  1e-1,  2e-1,  5e-1,  1e0,   2e0,  5e0,  1e1,  2e1,  5e1,  1e2,  2e2,  5e2,
    1e3,   2e3,   5e3,   1e4,   2e4,   5e4,   1e5,  2e5,  5e5,  1e6,  2e6,  5e6,  1e7,  2e7,
    5e7,   1e8,   2e8,   5e8,   1e9,   2e9,   5e9,  1e10, 2e10, 5e10, 1e11, 2e11, 5e11,
};

namespace
{

// Far more ticks than any chart can show.
constexpr size_t kMaxTicks = 100000;
constexpr int kLowestDecade = -11;
constexpr int kHighestDecade = 11;

// The format with the number of decimals written after its point.
QString WithDecimals(QString format, int decimals)
{
    const qsizetype point = format.indexOf(u'.');
    if (point < 0 || point + 1 >= format.size())
        return format;
    return format.replace(point + 1, 1, QString::number(decimals));
}

// Index of the first entry of the table that may serve a raw step in decade e: 5 x 10^(e-1).
qsizetype SearchStart(int e)
{
    const int index = 3 * (e - 1 - kLowestDecade) + 2;
    return std::clamp<qsizetype>(index, 0, NiceStepTable.size() - 1);
}

double NiceStep(double min, double max, int n, QString& format, bool xRule)
{
    format = QStringLiteral("%0.0lf");
    const double raw = (max - min) / (std::max(n, 2) - 1);
    if (!(raw > 0) || !std::isfinite(raw))
        return 0;
    const double e = std::floor(std::log10(raw));
    const int decade = static_cast<int>(std::clamp(e, -100.0, 100.0));
    qsizetype i = SearchStart(decade);
    while (i + 1 < static_cast<qsizetype>(NiceStepTable.size()) && NiceStepTable[i] < raw)
        ++i;
    const double step = NiceStepTable[i];
    if (decade < 0)
    {
        const int decimals = xRule ? -static_cast<int>(std::floor(std::log10(step))) : -decade;
        format = WithDecimals(format, std::max(decimals, 0));
    }
    return step;
}

void DefaultStep(double min, double max, double& step, double& halfStep, QString& format)
{
    step = 0;
    halfStep = 0;
    const double r = max - min;
    if (!(r > 0) || !std::isfinite(r))
        return;
    const double l = std::log10(r);
    double k = std::floor(l);
    double f = l - k;
    if (f < 0.69897)
    {
        k -= 1;
        f += 1;
    }
    if (k < kLowestDecade || k > kHighestDecade)
        return;
    const int decade = static_cast<int>(k);
    if (decade < 0)
        format = WithDecimals(format, -decade);
    const size_t ones = static_cast<size_t>(3 * (decade - kLowestDecade));
    if (f < 1.02119)
        step = NiceStepTable[ones];
    else if (f < 1.32222)
        step = NiceStepTable[ones + 1];
    else
        step = NiceStepTable[ones + 2];
    halfStep = step / 2;
}

} // namespace

double FirstTickAtOrAbove(double min, double step)
{
    const double q = std::abs(min) / step;
    if (q - std::floor(q) < 1e-19)
        return min;
    return std::ceil(min / step) * step;
}

std::vector<double> TickValues(double min, double max, double step)
{
    std::vector<double> ticks;
    if (!(step > 0) || !std::isfinite(step) || !std::isfinite(min) || !std::isfinite(max))
        return ticks;
    const double end = max + step / 1000000;
    for (double t = FirstTickAtOrAbove(min, step); t <= end && ticks.size() < kMaxTicks; t += step)
    {
        ticks.push_back(t);
        if (t + step == t)
            break;
    }
    return ticks;
}

double NiceStepX(double min, double max, int n, QString& format)
{
    return NiceStep(min, max, n, format, true);
}

double NiceStepY(double min, double max, int n, QString& format)
{
    return NiceStep(min, max, n, format, false);
}

void DefaultStepX(double min, double max, double& step, double& halfStep, QString& format)
{
    format = QStringLiteral("%0.0lf");
    DefaultStep(min, max, step, halfStep, format);
}

void DefaultStepY(double min, double max, double& step, double& halfStep, QString& format)
{
    format = QStringLiteral("%5.0lf");
    DefaultStep(min, max, step, halfStep, format);
}

QString FormatTickLabel(const QString& format, double value)
{
    QString out;
    bool converted = false;
    for (qsizetype i = 0; i < format.size(); ++i)
    {
        const QChar c = format[i];
        if (c != u'%')
        {
            out += c;
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == u'%')
        {
            out += u'%';
            ++i;
            continue;
        }
        // %[flags][width][.precision][l|L]f
        qsizetype j = i + 1;
        bool left = false, plus = false, blank = false, zero = false;
        for (; j < format.size(); ++j)
        {
            const QChar f = format[j];
            if (f == u'-')
                left = true;
            else if (f == u'+')
                plus = true;
            else if (f == u' ')
                blank = true;
            else if (f == u'0')
                zero = true;
            else if (f != u'#')
                break;
        }
        int width = 0;
        for (; j < format.size() && format[j].isDigit(); ++j)
            width = std::min(width * 10 + format[j].digitValue(), 1000);
        int precision = 6;
        if (j < format.size() && format[j] == u'.')
        {
            precision = 0;
            for (++j; j < format.size() && format[j].isDigit(); ++j)
                precision = std::min(precision * 10 + format[j].digitValue(), 300);
        }
        while (j < format.size() && (format[j] == u'l' || format[j] == u'L'))
            ++j;
        if (converted || j >= format.size() || (format[j] != u'f' && format[j] != u'F'))
        {
            // Not a conversion this formatter knows: shown as written.
            out += format.mid(i, j - i + 1);
            i = j;
            continue;
        }
        converted = true;
        QString number = Platform::FormatFixed(value, precision);
        QString sign;
        if (number.startsWith(u'-'))
        {
            sign = QStringLiteral("-");
            number.remove(0, 1);
        }
        else if (plus)
        {
            sign = QStringLiteral("+");
        }
        else if (blank)
        {
            sign = QStringLiteral(" ");
        }
        const qsizetype pad = std::max<qsizetype>(0, width - sign.size() - number.size());
        if (left)
            out += sign + number + QString(pad, u' ');
        else if (zero && std::isfinite(value))
            out += sign + QString(pad, u'0') + number;
        else
            out += QString(pad, u' ') + sign + number;
        i = j;
    }
    return out;
}
