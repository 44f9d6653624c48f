#pragma once
#include "measurement/CnvFile.h"
#include "measurement/ConvEnumerator.h"
#include "measurement/ConvRecord.h"
#include "platform/core/Lock.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace StreamIO
{
class CIoStream;
}
class CConvFunction;
class CIdentityConvFunction;
class CRatioConvFunction;
class CIpolConvFunction;
class C2PointConvFunction;

// First slot of the shared records (from conversion files, devices and the identity
// records); the slots below hold one private record per series that needs one.
inline constexpr int CONV_FIRST_SHARED_SLOT = 400000;

// The registry of every conversion record the program knows, and the one place where
// values are converted: a record is selected (loaded into the function object of its
// type) and then evaluated, with defined results outside its range.
//
// One re-entrant lock guards the table, its function objects and every enumerator. The
// operations do not take it themselves: a caller holds it around a selection and the
// conversions that rely on it, and around enumerations.
class CConvTable
{
public:
    static constexpr int kDefaultCapacity = 410000;

    // A capacity from 8 to 810000 is used as given, any other becomes 410000. The table
    // starts with one identity record per probe.
    explicit CConvTable(int capacity = kDefaultCapacity);
    ~CConvTable();
    CConvTable(const CConvTable&) = delete;
    CConvTable& operator=(const CConvTable&) = delete;

    // The program's one table.
    static CConvTable& Instance();

    void Lock() { m_lock.lock(); }
    void Unlock() { m_lock.unlock(); }

    // Holds the table's lock for a scope.
    class Guard
    {
    public:
        explicit Guard(CConvTable& table) : m_table(table) { m_table.Lock(); }
        ~Guard() { m_table.Unlock(); }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

    private:
        CConvTable& m_table;
    };

    // Adds a record (the bytes at hand must hold it). A shared record that collides with
    // one of the same or a higher revision is not added: the colliding slot is returned.
    // -1 when the record is refused or no slot is free.
    int AddRecord(const uint8_t* record, size_t available, bool isPrivate);
    // Adds a record from a device or a series block. An identical record, or one with the
    // same data under another name, is reused (index out, and that name out in the second
    // case); a colliding record with other data is added under a unique name (name out).
    // Returns the stored bytes when a new slot was filled, else nullptr.
    const uint8_t* AddDeviceRecord(const uint8_t* record, size_t available, int& index, QString& name,
                                   size_t& storedLength);
    void AddIdentityRecords();
    // Frees a shared slot above 400000; slot 400000 is never removed.
    bool RemoveRecord(int slot);
    bool GetRecordInfo(int slot, SConvRecordInfo& info) const;
    const uint8_t* GetRecord(int slot, size_t& length) const;
    // When the slot holds exactly the old bytes (as GetRecord gave them), it takes a copy of
    // the new record instead.
    bool ReplaceRecord(int slot, const uint8_t* oldBytes, const uint8_t* record, size_t available);
    // One past the highest slot ever used.
    int GetSlotCount() const { return m_highWater; }
    int GetCapacity() const { return m_capacity; }

    // Makes the slot's record the current conversion; false (and none current) when the
    // slot is empty or its record or base cannot be loaded.
    bool SelectRecord(int slot);
    int GetCurrentSlot() const { return m_currentSlot; }
    CConvFunction* GetCurrentFunction() const { return m_current; }
    float GetMinX() const { return m_current ? m_lo : 0.0f; }
    float GetMaxX() const { return m_current ? m_hi : 0.0f; }

    // Converts with the current record; outside its range the range sentinels, or with the
    // extrapolate flag a linear continuation.
    float Convert(float x, bool extrapolate);
    float ConvertInverse(float y, bool extrapolate);

    // Reads a conversion file from the stream's start and adds its records as shared
    // records; returns how many the table took or kept (0 when the file is refused, with
    // the reason in problem when one is given).
    int LoadCnvFile(StreamIO::CIoStream& stream, NCnvProblem* problem = nullptr);
    // Writes the slot's record as a single-record block; false for an empty slot or a
    // failed write.
    bool WriteCnvRecord(int slot, StreamIO::CIoStream& stream);
    // Reads the whole stream as a single-record block and adds its record as a device
    // record (see AddDeviceRecord); nullptr for a refused block.
    const uint8_t* ImportRecordBlock(StreamIO::CIoStream& stream, int& index, QString& name, size_t& length);

private:
    friend class CConvEnumerator;

    struct Slot
    {
        std::unique_ptr<uint8_t[]> bytes; // empty slot when null
        uint16_t length = 0;
        uint16_t source = 0;
        uint16_t targetStd = 0; // target in bits 0-11, standard mask in bits 12-15
        uint8_t matType = 0;
        uint8_t matGroup = 0;
        uint8_t type = 0;
    };

    bool IsValidSlot(int slot) const { return slot >= 0 && slot < m_highWater; }
    int TakePrivateSlot();
    int TakeSharedSlot();
    void FreeSlot(int slot);
    bool FillSlot(int slot, const SConvRecordInfo& info, const uint8_t* record);
    // The first record with the same identification (scales, material, standard), or -1.
    int FindColliding(const SConvRecordInfo& info, SConvRecordInfo& found);
    // A custom record of the same scales, material and standard already has this name.
    bool IsCustomNameTaken(const SConvRecordInfo& info);
    int PlaceShared(const SConvRecordInfo& info, const uint8_t* record);
    CConvFunction* FunctionOfType(uint8_t type) const;
    bool LoadSelection(int slot);
    float Inverse(float y);

    RecursiveLock m_lock;
    int m_capacity;
    std::unique_ptr<Slot[]> m_slots;
    int m_highWater = 0;
    int m_sharedCursor = CONV_FIRST_SHARED_SLOT;
    int m_currentSlot = -1;
    CConvFunction* m_current = nullptr;
    float m_lo = 0.0f; // range of the current function
    float m_hi = 0.0f;
    CConvEnumerator m_enum;
    std::unique_ptr<CIdentityConvFunction> m_identity;
    std::unique_ptr<CRatioConvFunction> m_ratio;
    std::unique_ptr<CIpolConvFunction> m_ipol;
    std::unique_ptr<C2PointConvFunction> m_twoPoint;
};
