#include "measurement/ScaleCodes.h"

#include "platform/core/StringTable.h"

#include <iterator>

namespace
{

// The 20 N codes 0x211 and 0x231 have no row: their range and short names are not known,
// so every test that goes through this table rejects them.
const SProbeTableRow kProbeTable[] = {
    {0x101, 0.0f, 999.0f, "D", "HLD"},      {0x102, 0.0f, 999.0f, "S", "HLS"},
    {0x103, 0.0f, 999.0f, "D+15", "HLD15"}, {0x104, 0.0f, 999.0f, "E", "HLE"},
    {0x105, 0.0f, 999.0f, "C", "HLC"},      {0x106, 0.0f, 999.0f, "G", "HLG"},
    {0x107, 0.0f, 999.0f, "DL", "HLDL"},    {0x108, 0.0f, 999.0f, "SVP40", "HLSVP"},
    {0x10F, 0.0f, 999.0f, "CAL", "HL"},     {0x201, 0.0f, 100.0f, "VK#5", "um"},
    {0x221, 0.0f, 100.0f, "VK#5", "um"},    {0, 0.0f, 0.0f, "", ""},
};

const SScaleTableRow kScaleTable[] = {
    {1, "HB"},    {2, "HV"},   {3, "HRB"},    {4, "HRC"},    {5, "HS"},   {6, "MPa"},  {7, "HRA"},
    {8, "HMMRC"}, {9, "HRBN"}, {10, "HR15N"}, {11, "HR15T"}, {12, "HRE"}, {13, "HRH"}, {0, ""},
};

struct SNameIds
{
    uint16_t code;
    uint32_t shortId;
    uint32_t longId;
};

// Target scales 1-13, then the rebound probes' scales.
const SNameIds kScaleNameIds[] = {
    {1, 16306, 16323},     {2, 16307, 16324},     {3, 16308, 16325},     {4, 16309, 16326},
    {5, 16310, 16327},     {6, 16311, 16328},     {7, 16312, 16329},     {8, 16376, 16378},
    {9, 16377, 16379},     {10, 16385, 16386},    {11, 16387, 16388},    {12, 16389, 16390},
    {13, 16391, 16392},    {0x101, 16313, 16330}, {0x102, 16314, 16331}, {0x103, 16315, 16332},
    {0x104, 16316, 16333}, {0x105, 16317, 16334}, {0x106, 16318, 16335}, {0x107, 16319, 16336},
    {0x108, 16320, 16337}, {0x10F, 16321, 16338},
};

struct SProbeNameId
{
    uint16_t code;
    uint32_t id;
};

const SProbeNameId kProbeLongNameIds[] = {
    {0x101, 16342}, {0x102, 16343}, {0x103, 16344}, {0x104, 16345}, {0x105, 16346},
    {0x106, 16347}, {0x107, 16348}, {0x108, 16349}, {0x10F, 16350}, {0x201, 16382},
    {0x221, 16382}, {0x211, 16383}, {0x231, 16383},
};

constexpr uint32_t kIdNoScaleShort = 16340;
constexpr uint32_t kIdNoScaleLong = 16341;
constexpr uint32_t kIdUnknownProbe = 16352;
constexpr uint32_t kIdMicrometreShort = 16380;
constexpr uint32_t kIdMicrometreLong = 16381;
constexpr uint32_t kIdMilShort = 16393;
constexpr uint32_t kIdMilLong = 16394;
constexpr uint32_t kIdCustomerDefined = 16375;
constexpr uint32_t kIdBenchSteel = 16384;
constexpr uint32_t kIdMaterialIndependent = 16374;

constexpr int kScaleMpa = 6;
constexpr int kScaleHb = 1;

uint16_t Code16(int code)
{
    return static_cast<uint16_t>(code);
}

const SProbeTableRow* FindProbeRow(int code)
{
    const uint16_t c = Code16(code);
    if (c == 0)
        return nullptr;
    for (const SProbeTableRow* row = kProbeTable; row->code != 0; ++row)
        if (row->code == c)
            return row;
    return nullptr;
}

const SScaleTableRow* FindScaleRow(int code)
{
    const uint16_t c = Code16(code);
    if (c == 0)
        return nullptr;
    for (const SScaleTableRow* row = kScaleTable; row->code != 0; ++row)
        if (row->code == c)
            return row;
    return nullptr;
}

} // namespace

const SProbeTableRow* GetProbeTable()
{
    return kProbeTable;
}

const SScaleTableRow* GetScaleTable()
{
    return kScaleTable;
}

float GetProbeMin(int code)
{
    const SProbeTableRow* row = FindProbeRow(code);
    return row ? row->min : 0.0f;
}

float GetProbeMax(int code)
{
    const SProbeTableRow* row = FindProbeRow(code);
    return row ? row->max : 0.0f;
}

bool IsProbeCode(int code)
{
    return FindProbeRow(code) != nullptr;
}

int GetFirstProbeCode(int& cursor)
{
    cursor = 1;
    return kProbeTable[0].code;
}

int GetNextProbeCode(int& cursor)
{
    constexpr int rows = static_cast<int>(std::size(kProbeTable)) - 1;
    if (cursor < 0 || cursor >= rows)
        return 0;
    return kProbeTable[cursor++].code;
}

bool IsBenchProbeCode(int code)
{
    return (Code16(code) & 0xFF00) == 0x0200;
}

bool IsDepthScale(int code)
{
    const uint16_t c = Code16(code);
    return c == 513 || c == 529 || c == 545 || c == 561;
}

QString GetProbeShortName(int code)
{
    const SProbeTableRow* row = FindProbeRow(code);
    return row ? QString::fromLatin1(row->shortName) : QString();
}

bool IsScaleCode(int code)
{
    return FindScaleRow(code) != nullptr || IsProbeCode(code);
}

QString GetScaleShortName(int code)
{
    if (const SScaleTableRow* row = FindScaleRow(code))
        return QString::fromLatin1(row->shortName);
    if (const SProbeTableRow* row = FindProbeRow(code))
        return QString::fromLatin1(row->scaleName);
    return QString();
}

bool GetScaleNames(int code, QString& shortName, QString& longName, bool imperial)
{
    const uint16_t c = Code16(code);
    if (c == 0 || c == 0xFFFF)
    {
        shortName = Platform::LoadString(kIdNoScaleShort);
        longName = Platform::LoadString(kIdNoScaleLong);
        return true;
    }
    if (IsDepthScale(c))
    {
        shortName = Platform::LoadString(imperial ? kIdMilShort : kIdMicrometreShort);
        longName = Platform::LoadString(imperial ? kIdMilLong : kIdMicrometreLong);
        return true;
    }
    for (const SNameIds& ids : kScaleNameIds)
    {
        if (ids.code == c)
        {
            shortName = Platform::LoadString(ids.shortId);
            longName = Platform::LoadString(ids.longId);
            return true;
        }
    }
    shortName = QStringLiteral("Error");
    longName = QStringLiteral("Error");
    return false;
}

int GetScaleDecimals(int code, bool imperial)
{
    const uint16_t c = Code16(code);
    if (IsDepthScale(c))
        return imperial ? 2 : 1;
    switch (c)
    {
    case 3: // HRB
    case 4: // HRC
    case 5: // HS
    case 7: // HRA
    case 8: // HMMRC
        return 1;
    default:
        return 0;
    }
}

bool GetProbeLongName(int code, QString& name)
{
    const uint16_t c = Code16(code);
    for (const SProbeNameId& entry : kProbeLongNameIds)
    {
        if (entry.code == c)
        {
            name = Platform::LoadString(entry.id);
            return true;
        }
    }
    name = Platform::LoadString(kIdUnknownProbe);
    return false;
}

QString GetConversionStandardName(int mask)
{
    switch (mask)
    {
    case CONV_STD_DEFAULT:
    case 15:
        return QStringLiteral("default");
    case CONV_STD_ISO_18265:
        return QStringLiteral("ISO 18265");
    case CONV_STD_ASTM_E140:
        return QStringLiteral("ASTM E140");
    case CONV_STD_CUSTOM_J:
        return QStringLiteral("Custom J");
    default:
        return QStringLiteral("unknown");
    }
}

QString GetMaterialTypeText(int type, bool bench)
{
    if (type == 1 && bench)
        return Platform::LoadString(kIdBenchSteel);
    if (type >= 1 && type <= 9)
        return Platform::LoadString(16360 + static_cast<uint32_t>(type - 1));
    if (type == MAT_INDEPENDENT)
        return Platform::LoadString(kIdMaterialIndependent);
    return QString();
}

bool GetMaterialGroupName(int type, int variant, int targetScale, QString& name, bool bench)
{
    const uint16_t target = Code16(targetScale);
    if (type == 1 && target == kScaleMpa && variant >= 1 && variant <= 3)
    {
        name = Platform::LoadString(16369 + static_cast<uint32_t>(variant - 1));
        return true;
    }
    if (type == 6 && target == kScaleHb && (variant == 0 || variant == 1))
    {
        name = Platform::LoadString(16372 + static_cast<uint32_t>(variant));
        return true;
    }
    if ((type >= 1 && type <= 9) || type == MAT_INDEPENDENT)
    {
        name = GetMaterialTypeText(type, bench);
        return true;
    }
    name = Platform::LoadString(kIdCustomerDefined);
    return false;
}
