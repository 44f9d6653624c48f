#include "measurement/ConvRecord.h"

#include "platform/core/ByteOrder.h"
#include "measurement/ScaleCodes.h"

#include <algorithm>
#include <cstring>

namespace
{

constexpr size_t kNameOffset = 8;

size_t HeaderLength(int nameLength)
{
    return 16 + 2 * static_cast<size_t>(nameLength);
}

} // namespace

QString SConvRecordInfo::Name() const
{
    size_t n = 0;
    while (n < std::size(name) && name[n] != 0)
        ++n;
    return QString::fromUtf16(name, static_cast<qsizetype>(n));
}

bool DecodeConvRecord(SConvRecordInfo& info, const uint8_t* r, size_t available)
{
    info = SConvRecordInfo();
    if (r == nullptr || available < kNameOffset)
        return false;

    const uint8_t type = r[0];
    if (type > conv2Point)
        return false;
    const int matType = r[2] & 0x0F;
    const int matGroup = r[2] >> 4;
    if ((matType > 9 && matType != MAT_INDEPENDENT) || matGroup > 3)
        return false;
    const uint16_t source = ReadLe16(r + 3);
    const uint16_t target = ReadLe16(r + 5);
    if (!IsProbeCode(source) || !IsScaleCode(target))
        return false;
    const int n = r[7];
    if (n > CONV_NAME_MAX || (n == 0 && matType == MAT_CUSTOM))
        return false;
    const size_t header = HeaderLength(n);
    if (available < header)
        return false;

    const float lo = ReadLeFloat(r + kNameOffset + 2 * n);
    const float hi = ReadLeFloat(r + kNameOffset + 2 * n + 4);
    const float pmin = GetProbeMin(source);
    const float pmax = GetProbeMax(source);
    if (!(pmin >= 0.0f && pmax <= 4095.0f && pmin < pmax))
        return false;
    if (!(lo >= pmin && hi <= pmax && hi - lo >= (pmax - pmin) * 0.01f))
        return false;

    size_t data = 0;
    switch (type)
    {
    case convIdentity:
        break;
    case convRatio:
    {
        if (available < header + 6)
            return false;
        const size_t numerator = r[header + 4] & 0x7F;
        const size_t denominator = r[header + 5] & 0x1F;
        data = 6 + 4 * (numerator + denominator + 1);
        break;
    }
    case convIpol:
        if (available < header + 1)
            return false;
        data = 1 + 8 * static_cast<size_t>(r[header]);
        break;
    default:
        data = 14;
        break;
    }
    const size_t length = header + data;
    if (length > CONV_RECORD_MAX_LENGTH || length > available)
        return false;

    info.source = source;
    info.matType = static_cast<uint8_t>(matType);
    info.matGroup = static_cast<uint8_t>(matGroup);
    info.target = target;
    info.standard = (r[1] & 0x0F) == 0 ? 15 : (r[1] & 0x0F);
    for (int i = 0; i < n; ++i)
        info.name[i] = ReadLe16(r + kNameOffset + 2 * i);
    info.minX = lo;
    info.maxX = hi;
    info.revision = r[1] >> 4;
    info.type = type;
    info.length = static_cast<uint32_t>(length);
    return true;
}

bool IsSameConvData(const uint8_t* a, size_t aAvailable, const uint8_t* b, size_t bAvailable)
{
    SConvRecordInfo ia, ib;
    if (!DecodeConvRecord(ia, a, aAvailable) || !DecodeConvRecord(ib, b, bAvailable))
        return false;
    if (ia.matType != MAT_CUSTOM || ib.matType != MAT_CUSTOM)
        return false;
    if (std::memcmp(a, b, 7) != 0)
        return false;
    const size_t aTail = kNameOffset + 2 * size_t(a[7]);
    const size_t bTail = kNameOffset + 2 * size_t(b[7]);
    const size_t aRest = ia.length - aTail;
    const size_t bRest = ib.length - bTail;
    return aRest == bRest && std::memcmp(a + aTail, b + bTail, aRest) == 0;
}

size_t RenameConvRecord(std::vector<uint8_t>& record, const QString& newName)
{
    const qsizetype newLength = newName.size();
    if (newLength < 1 || newLength > CONV_NAME_MAX || record.size() < kNameOffset)
        return 0;
    if ((record[2] & 0x0F) != MAT_CUSTOM)
        return 0;
    const int oldLength = record[7];
    const size_t oldEnd = kNameOffset + 2 * size_t(oldLength);
    if (oldLength < 1 || oldLength > CONV_NAME_MAX || record.size() < oldEnd)
        return 0;

    std::vector<uint8_t> tail(record.begin() + static_cast<ptrdiff_t>(oldEnd), record.end());
    record.resize(kNameOffset + 2 * size_t(newLength));
    for (qsizetype i = 0; i < newLength; ++i)
        WriteLe16(record.data() + kNameOffset + 2 * i, newName[i].unicode());
    record.insert(record.end(), tail.begin(), tail.end());
    record[7] = static_cast<uint8_t>(newLength);
    return record.size();
}

QString MakeUniqueRecordName(const uint8_t* record, size_t available)
{
    SConvRecordInfo info;
    if (!DecodeConvRecord(info, record, available))
        return QString();
    QString name = info.Name();

    // A trailing "(n)" or "()" is counted on; any other name gets "(2)".
    long long number = 2;
    const qsizetype close = name.indexOf(QLatin1Char(')'));
    const qsizetype open = name.indexOf(QLatin1Char('('));
    if (close >= 0 && close == name.size() - 1 && open >= 0 && open < close)
    {
        const QStringView inner = QStringView(name).mid(open + 1, close - open - 1);
        const bool digits =
            std::all_of(inner.begin(), inner.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
        if (digits)
        {
            long long n = 0;
            for (QChar c : inner)
                n = std::min(n * 10 + (c.unicode() - u'0'), 999999999LL); // names hold at most 31 digits
            name.truncate(open);
            number = n + 1;
        }
    }
    const QString suffix = QLatin1Char('(') + QString::number(number) + QLatin1Char(')');
    if (name.size() + suffix.size() > 15)
        name.truncate(16 - suffix.size());
    return name + suffix;
}
