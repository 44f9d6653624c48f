#include "measurement/ConvTable.h"

#include "measurement/2PointConvFunction.h"
#include "measurement/IdentityConvFunction.h"
#include "measurement/IpolConvFunction.h"
#include "platform/core/ByteOrder.h"
#include "measurement/MeasValues.h"
#include "measurement/RatioConvFunction.h"
#include "measurement/ScaleCodes.h"

#include <cmath>
#include <cstring>
#include <new>
#include <vector>

namespace
{

constexpr int kMinCapacity = 8;
constexpr int kMaxCapacity = 810000;
// Renaming a colliding device record stops after this many taken names.
constexpr int kMaxRenames = 1000;

int EffectiveCapacity(int capacity)
{
    return (capacity >= kMinCapacity && capacity <= kMaxCapacity) ? capacity : CConvTable::kDefaultCapacity;
}

} // namespace

CConvTable::CConvTable(int capacity)
    : m_capacity(EffectiveCapacity(capacity)),
      m_slots(new (std::nothrow) Slot[static_cast<size_t>(m_capacity)]), m_enum(this),
      m_identity(std::make_unique<CIdentityConvFunction>()), m_ratio(std::make_unique<CRatioConvFunction>()),
      m_ipol(std::make_unique<CIpolConvFunction>()), m_twoPoint(std::make_unique<C2PointConvFunction>())
{
    // Without slots every operation fails.
    if (!m_slots)
        m_capacity = 0;
    AddIdentityRecords();
}

CConvTable::~CConvTable() = default;

CConvTable& CConvTable::Instance()
{
    static CConvTable table(kDefaultCapacity);
    return table;
}

int CConvTable::TakePrivateSlot()
{
    const int end = std::min(m_capacity, CONV_FIRST_SHARED_SLOT);
    for (int i = 0; i < end; ++i)
    {
        if (!m_slots[i].bytes)
        {
            m_highWater = std::max(m_highWater, i + 1);
            m_enum.Reset();
            return i;
        }
    }
    return -1;
}

int CConvTable::TakeSharedSlot()
{
    const int shared = m_capacity - CONV_FIRST_SHARED_SLOT;
    if (shared <= 0)
        return -1;
    int slot = (m_sharedCursor >= CONV_FIRST_SHARED_SLOT && m_sharedCursor < m_capacity)
                   ? m_sharedCursor
                   : CONV_FIRST_SHARED_SLOT;
    for (int tried = 0; tried < shared; ++tried)
    {
        if (!m_slots[slot].bytes)
        {
            m_sharedCursor = slot + 1 < m_capacity ? slot + 1 : CONV_FIRST_SHARED_SLOT;
            m_highWater = std::max(m_highWater, slot + 1);
            m_enum.Reset();
            return slot;
        }
        slot = slot + 1 < m_capacity ? slot + 1 : CONV_FIRST_SHARED_SLOT;
    }
    return -1;
}

void CConvTable::FreeSlot(int slot)
{
    Slot& s = m_slots[slot];
    s.bytes.reset();
    s = Slot();
    if (m_currentSlot == slot)
    {
        m_currentSlot = -1;
        m_current = nullptr;
    }
    if (slot >= CONV_FIRST_SHARED_SLOT)
        m_sharedCursor = slot + 1 < m_capacity ? slot + 1 : CONV_FIRST_SHARED_SLOT;
    m_enum.Reset();
}

bool CConvTable::FillSlot(int slot, const SConvRecordInfo& info, const uint8_t* record)
{
    Slot& s = m_slots[slot];
    s.bytes.reset(new (std::nothrow) uint8_t[info.length]);
    if (!s.bytes)
    {
        FreeSlot(slot);
        return false;
    }
    std::memcpy(s.bytes.get(), record, info.length);
    s.length = static_cast<uint16_t>(info.length);
    s.source = info.source;
    s.targetStd = static_cast<uint16_t>((info.target & 0x0FFF) | ((info.standard & 0x0F) << 12));
    s.matType = info.matType;
    s.matGroup = info.matGroup;
    s.type = info.type;
    return true;
}

int CConvTable::PlaceShared(const SConvRecordInfo& info, const uint8_t* record)
{
    const int slot = TakeSharedSlot();
    if (slot < 0 || !FillSlot(slot, info, record))
        return -1;
    return slot;
}

int CConvTable::FindColliding(const SConvRecordInfo& info, SConvRecordInfo& found)
{
    const QString name = info.matType == MAT_CUSTOM ? info.Name() : QString();
    const int slot =
        m_enum.Find(found, info.source, info.matType, info.matGroup, info.target, info.standard, name);
    m_enum.Reset();
    return slot;
}

bool CConvTable::IsCustomNameTaken(const SConvRecordInfo& info)
{
    SConvRecordInfo found;
    bool taken = false;
    for (int slot = m_enum.Find(found, info.source, info.matType, info.matGroup, info.target, info.standard,
                                info.Name());
         slot >= 0 && !taken; slot = m_enum.Next(found))
        taken = found.matType == MAT_CUSTOM;
    m_enum.Reset();
    return taken;
}

int CConvTable::AddRecord(const uint8_t* record, size_t available, bool isPrivate)
{
    SConvRecordInfo info;
    if (m_capacity == 0 || !DecodeConvRecord(info, record, available))
        return -1;
    if (isPrivate)
    {
        const int slot = TakePrivateSlot();
        if (slot < 0 || !FillSlot(slot, info, record))
            return -1;
        return slot;
    }
    SConvRecordInfo found;
    const int colliding = FindColliding(info, found);
    if (colliding >= 0)
    {
        if (found.revision >= info.revision)
            return colliding;
        RemoveRecord(colliding);
    }
    return PlaceShared(info, record);
}

const uint8_t* CConvTable::AddDeviceRecord(const uint8_t* record, size_t available, int& index, QString& name,
                                           size_t& storedLength)
{
    index = -1;
    name.clear();
    storedLength = 0;
    SConvRecordInfo info;
    if (m_capacity == 0 || !DecodeConvRecord(info, record, available))
        return nullptr;

    std::vector<uint8_t> copy(record, record + info.length);
    SConvRecordInfo found;
    const int colliding = FindColliding(info, found);
    if (colliding >= 0)
    {
        const Slot& c = m_slots[colliding];
        if (c.length == copy.size() && std::memcmp(c.bytes.get(), copy.data(), copy.size()) == 0)
        {
            index = colliding;
            return nullptr;
        }
        // The same conversion may already be here under another name. Holes left by removed
        // records do not end the search.
        const int end = std::min(m_highWater, m_capacity);
        for (int slot = CONV_FIRST_SHARED_SLOT; slot < end; ++slot)
        {
            const Slot& s = m_slots[slot];
            if (s.bytes && IsSameConvData(s.bytes.get(), s.length, copy.data(), copy.size()))
            {
                SConvRecordInfo same;
                DecodeConvRecord(same, s.bytes.get(), s.length);
                index = slot;
                name = same.Name();
                return nullptr;
            }
        }
        // Another conversion under this name: store it under a name that no custom record
        // of the same scales and material holds yet, so that both stay selectable.
        for (int attempt = 0;; ++attempt)
        {
            const QString unique = MakeUniqueRecordName(copy.data(), copy.size());
            if (attempt >= kMaxRenames || unique.isEmpty() || RenameConvRecord(copy, unique) == 0 ||
                !DecodeConvRecord(info, copy.data(), copy.size()))
            {
                name.clear();
                return nullptr;
            }
            name = unique;
            if (!IsCustomNameTaken(info))
                break;
        }
    }
    const int slot = PlaceShared(info, copy.data());
    if (slot < 0)
        return nullptr;
    index = slot;
    storedLength = m_slots[slot].length;
    return m_slots[slot].bytes.get();
}

void CConvTable::AddIdentityRecords()
{
    for (const SProbeTableRow* row = GetProbeTable(); row->code != 0; ++row)
    {
        if (!(row->max > 0.0f))
            continue;
        uint8_t record[16] = {};
        record[0] = convIdentity;
        record[1] = 0xFF; // any standard, revision 15
        record[2] = MAT_INDEPENDENT;
        WriteLe16(record + 3, row->code);
        WriteLe16(record + 5, row->code);
        record[7] = 0;
        WriteLeFloat(record + 8, row->min);
        WriteLeFloat(record + 12, row->max);
        AddRecord(record, sizeof record, false);
    }
}

bool CConvTable::RemoveRecord(int slot)
{
    if (slot <= CONV_FIRST_SHARED_SLOT || slot >= m_highWater || slot >= m_capacity || !m_slots[slot].bytes)
        return false;
    FreeSlot(slot);
    return true;
}

bool CConvTable::GetRecordInfo(int slot, SConvRecordInfo& info) const
{
    if (!IsValidSlot(slot) || !m_slots[slot].bytes)
    {
        info = SConvRecordInfo();
        return false;
    }
    return DecodeConvRecord(info, m_slots[slot].bytes.get(), m_slots[slot].length);
}

const uint8_t* CConvTable::GetRecord(int slot, size_t& length) const
{
    length = 0;
    if (!IsValidSlot(slot) || !m_slots[slot].bytes)
        return nullptr;
    length = m_slots[slot].length;
    return m_slots[slot].bytes.get();
}

bool CConvTable::ReplaceRecord(int slot, const uint8_t* oldBytes, const uint8_t* record, size_t available)
{
    if (!IsValidSlot(slot) || oldBytes == nullptr || m_slots[slot].bytes.get() != oldBytes)
        return false;
    SConvRecordInfo info;
    if (!DecodeConvRecord(info, record, available))
        return false;
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[info.length]);
    if (!bytes)
        return false;
    std::memcpy(bytes.get(), record, info.length);
    FillSlot(slot, info, bytes.get());
    // The loaded function may still hold the old record.
    if (m_currentSlot == slot)
    {
        m_currentSlot = -1;
        m_current = nullptr;
    }
    return true;
}

CConvFunction* CConvTable::FunctionOfType(uint8_t type) const
{
    switch (type)
    {
    case convIdentity:
        return m_identity.get();
    case convRatio:
        return m_ratio.get();
    case convIpol:
        return m_ipol.get();
    default:
        return nullptr;
    }
}

bool CConvTable::LoadSelection(int slot)
{
    const Slot& s = m_slots[slot];
    if (!s.bytes)
        return false;
    CConvFunction* function = nullptr;
    if (s.type == conv2Point)
    {
        if (!m_twoPoint->Load(s.bytes.get(), s.length))
            return false;
        SConvRecordInfo base;
        m_twoPoint->GetBaseRecordInfo(base);
        if (base.matType == MAT_CUSTOM)
            return false;
        SConvRecordInfo found;
        const int baseSlot =
            m_enum.Find(found, base.source, base.matType, base.matGroup, base.target, base.standard);
        m_enum.Reset();
        if (baseSlot < 0)
            return false;
        const Slot& b = m_slots[baseSlot];
        CConvFunction* baseFunction = FunctionOfType(b.type);
        if (baseFunction == nullptr || !baseFunction->Load(b.bytes.get(), b.length))
            return false;
        m_twoPoint->SetBase(baseFunction, false);
        function = m_twoPoint.get();
    }
    else
    {
        function = FunctionOfType(s.type);
        if (function == nullptr || !function->Load(s.bytes.get(), s.length))
            return false;
    }
    // Extrapolation divides by the width of the range; a two-point record whose range does
    // not overlap its base's has none.
    const float lo = function->GetMinX();
    const float hi = function->GetMaxX();
    if (!(hi > lo))
        return false;
    m_current = function;
    m_lo = lo;
    m_hi = hi;
    return true;
}

bool CConvTable::SelectRecord(int slot)
{
    if (IsValidSlot(slot) && slot < m_capacity)
    {
        if (slot == m_currentSlot)
            return true;
        m_currentSlot = -1;
        m_current = nullptr;
        if (LoadSelection(slot))
        {
            m_currentSlot = slot;
            return true;
        }
        return false;
    }
    m_currentSlot = -1;
    m_current = nullptr;
    return false;
}

float CConvTable::Convert(float x, bool extrapolate)
{
    if (m_current == nullptr || std::isnan(x) || x == MEAS_NO_VALUE)
        return MEAS_NO_VALUE;
    CConvFunction& f = *m_current;
    const float lo = m_lo;
    const float hi = m_hi;
    if (lo <= x && x <= hi)
        return f.Evaluate(x);
    if (x < lo)
    {
        if (!extrapolate || x == MEAS_BELOW_RANGE)
            return MEAS_BELOW_RANGE;
        const float y0 = f.Evaluate(lo);
        const float s = (f.Evaluate(hi) - y0) / (hi - lo);
        if (lo > 0.1f && s >= 0.0f)
            return y0 * x / lo; // proportional through the origin
        const float x1 = lo + (hi - lo) * 0.01f;
        return (f.Evaluate(x1) - y0) * (x - lo) / (x1 - lo) + y0;
    }
    if (!extrapolate || x == MEAS_ABOVE_RANGE)
        return MEAS_ABOVE_RANGE;
    const float y1 = f.Evaluate(hi);
    const float s = (y1 - f.Evaluate(lo)) / (hi - lo);
    const float xm = hi - (hi - lo) * 0.01f;
    const float s2 = (y1 - f.Evaluate(xm)) / (hi - xm);
    const float slope = (s > s2 && s2 > 0.0f) ? s2 : s;
    return (x - hi) * slope + y1;
}

float CConvTable::ConvertInverse(float y, bool extrapolate)
{
    if (m_current == nullptr || std::isnan(y) || y == MEAS_NO_VALUE)
        return MEAS_NO_VALUE;
    const float lo = m_lo;
    const float hi = m_hi;
    if (!extrapolate)
    {
        // A value the function does not reach inside its range lies beyond the nearer end;
        // the root search alone would answer 0.0, a valid-looking input.
        const float fa = m_current->Evaluate(lo) - y;
        const float fb = m_current->Evaluate(hi) - y;
        if (!(std::fabs(fa) < 0.001f) && !(std::fabs(fb) < 0.001f) && fa * fb > 0.0f)
            return std::fabs(fa) <= std::fabs(fb) ? MEAS_BELOW_RANGE : MEAS_ABOVE_RANGE;
        const float x = m_current->EvaluateInverse(y);
        if (x < lo)
            return MEAS_BELOW_RANGE;
        if (x > hi)
            return MEAS_ABOVE_RANGE;
        return x;
    }
    if (y == MEAS_BELOW_RANGE || y == MEAS_ABOVE_RANGE)
        return y;
    return Inverse(y);
}

float CConvTable::Inverse(float y)
{
    // Secant search on the extrapolated function, so targets beyond the record's values
    // get inputs beyond its range.
    float a = m_lo;
    float b = m_hi;
    float x = b;
    float previous = 0.0f;
    for (int round = 0; round < 10; ++round)
    {
        const float ga = Convert(a, true) - y;
        const float gb = Convert(b, true) - y;
        if (ga == 0.0f)
            return a;
        if (gb == 0.0f)
            return b;
        if (std::fabs(b - a) * 1e-6f >= std::fabs(gb - ga))
            return (a + b) * 0.5f;
        x = a - (b - a) * ga / (gb - ga);
        if (round > 0 && x == previous)
            return x;
        if (!(std::fabs(b - x) > std::fabs(a - x)))
            a = b;
        b = x;
        previous = x;
    }
    return x;
}
