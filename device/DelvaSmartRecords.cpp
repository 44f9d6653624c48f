// The cover meter's value codes, their texts, and the binary object records.
#include "device/DelvaSmartDevice.h"
#include "device/ScanText.h"
#include "platform/core/ByteOrder.h"
#include "platform/core/Codepage.h"
#include "platform/core/NumberText.h"

#include <cstring>

namespace Device
{

namespace
{
struct Band
{
    int upTo; // the highest raw diameter of the band
    int label;
};

// Bar-diameter labels by raw diameter (mm), per unit system.
constexpr Band kMetric[] = {{0, 0},   {5, 5},   {6, 6},   {7, 7},   {8, 8},   {9, 9},   {10, 10},
                            {11, 11}, {13, 12}, {15, 14}, {17, 16}, {19, 18}, {21, 20}, {23, 22},
                            {26, 25}, {30, 28}, {34, 32}, {38, 36}, {42, 40}, {47, 44}, {60, 50}};
constexpr Band kAstm[] = {{0, 0},   {8, 2},   {11, 3},  {14, 4},  {17, 5},  {20, 6},
                          {23, 7},  {27, 8},  {30, 9},  {33, 10}, {36, 11}, {39, 12},
                          {42, 13}, {46, 14}, {49, 15}, {54, 16}, {60, 18}};
constexpr Band kJapanese[] = {{0, 0},   {7, 6},   {9, 9},   {11, 10}, {14, 13}, {17, 16},
                              {20, 19}, {23, 22}, {27, 25}, {30, 29}, {33, 32}, {36, 35},
                              {39, 38}, {42, 41}, {46, 44}, {49, 48}, {54, 51}, {60, 57}};

template <size_t N> int Label(const Band (&bands)[N], int raw)
{
    for (const Band& band : bands)
        if (raw <= band.upTo)
            return band.label;
    return 0;
}

// Correction texts of the inch unit system, by value / 10.
constexpr double kInchCorrections[] = {0.0, 0.0, 0.0, 0.0, 0.0, 2.0, 2.4, 2.8, 3.2, 3.6, 4.0, 4.4, 4.8, 5.2};

// A zero-terminated 8-bit text inside its field.
QString FieldText(const uint8_t* record, int offset, int size)
{
    const auto* start = record + offset;
    const auto* zero = static_cast<const uint8_t*>(std::memchr(start, 0, size_t(size)));
    return DecodeCp1252(QByteArrayView(start, zero ? zero - start : size));
}
} // namespace

QString CDelvaSmartDevice::FormatBarDiameter(int unitSystem, int rawDiameter)
{
    if (rawDiameter < 0 || rawDiameter > 60)
        rawDiameter = 0;
    int label = 0;
    switch (unitSystem)
    {
    case 0:
        label = Label(kMetric, rawDiameter);
        break;
    case 1:
    case 2:
        label = Label(kAstm, rawDiameter);
        break;
    case 3:
        label = Label(kJapanese, rawDiameter);
        break;
    default:
        break;
    }
    return QString::number(label);
}

QString CDelvaSmartDevice::FormatNeighborCorrection(int unitSystem, int value)
{
    if (value == 0)
        return QStringLiteral("-");
    if (unitSystem == 1)
    {
        int index = value / 10;
        if (index < 0 || index > 13)
            index = 0;
        return Platform::FormatFixed(kInchCorrections[index], 1);
    }
    return Platform::FormatFixed(value, 0);
}

int CDelvaSmartDevice::ParseCover(int unitSystem, const QString& text)
{
    if (text.contains(QLatin1String("n/a")))
        return 255;
    if (unitSystem == 1)
    {
        const std::optional<double> scanned = ScanDouble(text);
        // Read as a float, as the instrument writes it (a value far out of range is
        // refused before it would overflow a float).
        if (!scanned || *scanned > 1000.0 || *scanned < 0.0)
            return -1;
        const auto inches = float(*scanned);
        if (double(inches) > 10.04)
            return -1;
        return int(double(inches) * 25.4 + 0.5);
    }
    const std::optional<int32_t> mm = ScanInt(text);
    if (!mm || *mm > 255 || *mm < 0)
        return -1;
    return *mm;
}

int CDelvaSmartDevice::ParseNeighborCorrection(int unitSystem, const QString& text)
{
    if (text.contains(QLatin1Char('-')))
        return 0;
    if (unitSystem == 1)
    {
        const std::optional<double> scanned = ScanDouble(text);
        if (!scanned || *scanned > 1000.0)
            return -1;
        const auto inches = float(*scanned);
        if (double(inches) > 5.2)
            return -1;
        if (inches < 2.0f)
            return 0;
        const float mm = inches * 25.0f;
        return int(mm);
    }
    const std::optional<int32_t> mm = ScanInt(text);
    if (!mm || *mm > 150 || *mm < 0)
        return -1;
    return *mm;
}

QString CDelvaSmartDevice::EscapeText(const QString& text, bool escape)
{
    QString out = text;
    if (escape)
    {
        out.replace(QLatin1String("&"), QLatin1String("&amp"));
        out.replace(QLatin1String("\r\n"), QLatin1String("&#13"));
        out.replace(QLatin1String("\n"), QLatin1String("&#13"));
        out.replace(QLatin1String("\""), QLatin1String("&quot"));
        out.replace(QLatin1String("\t"), QLatin1String("&#9"));
        return out;
    }
    out.replace(QLatin1String("&#9"), QLatin1String("\t"));
    out.replace(QLatin1String("&quot"), QLatin1String("\""));
    out.replace(QLatin1String("&#13"), QLatin1String("\r\n"));
    out.replace(QLatin1String("&amp"), QLatin1String("&"));
    return out;
}

bool CDelvaSmartDevice::ParseObjectRecord(TObjectData& object, const uint8_t* record, size_t size) const
{
    if (!record || size < kRecordSize)
        return false;
    object.version = CVersion((uint64_t(record[0]) << 32) | record[1]);
    object.identity.typeName = FieldText(record, 2, 16);
    object.identity.serialNumber = FieldText(record, 18, 16);
    object.identity.version = FieldText(record, 34, 9);
    object.hardwareIndex = FieldText(record, 43, 5);
    object.signature = FieldText(record, 48, 9);
    object.unitSystem = record[57];
    object.rawDefaultBarDiameter = record[59];
    object.correction = record[60];
    object.storageMode = record[58] == 'A' ? 1 : record[58] == 'M' ? 0 : 255;
    object.objectNumber = int16_t(ReadLe16(record + 61));
    const int count = record[63];
    if (count > kMaxMeasurements)
        return false;
    object.measurements.clear();
    for (int i = 1; i <= count; ++i)
        object.measurements.push_back({uint8_t(i), record[64 + i - 1], record[163 + i - 1]});
    return true;
}

bool CDelvaSmartDevice::ParseBinaryBlock(TDataFile& file, const uint8_t* data, uint32_t size) const
{
    if (size < kBlockHeadSize || data[0] != 1 || ReadLe16(data + 3) != kRecordSize)
        return false;
    const uint32_t records = ReadLe16(data + 1);
    // The records the count announces must all be there.
    if (uint64_t(records) * kRecordSize > size - kBlockHeadSize)
        return false;
    file.version = CVersion(uint64_t(1) << 32);
    bool allParsed = true;
    for (uint32_t i = 0; i < records; ++i)
    {
        TObjectData object;
        if (ParseObjectRecord(object, data + kBlockHeadSize + i * kRecordSize, kRecordSize))
            file.objects.push_back(std::move(object));
        else
            allParsed = false;
    }
    return allParsed;
}

} // namespace Device
