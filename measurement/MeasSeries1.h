#pragma once
#include "measurement/HeldMaterial.h"
#include "measurement/MeasSeries.h"
#include "measurement/Resolution.h"
#include "measurement/SeriesLimits.h"
#include "measurement/SeriesSettings.h"
#include "measurement/SeriesWords.h"
#include "measurement/SparseVector.h"

#include <QString>

#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <type_traits>
#include <vector>

inline constexpr int MEAS_DEFAULT_CAPACITY = 9999;
inline constexpr int MEAS_MAX_CAPACITY = 16384;
inline constexpr int MEAS_MAX_COMMENT = 128;
inline constexpr int MEAS_MAX_ATTACHMENT = 4096;

// The one implementation of a measurement series. Readings are kept in measuring order
// as packed words in two sets (an indentation-tester probe evaluates every reading in
// normal and in ASTM B724 mode; the probe code's B724 bit picks the set in use). The
// corrected native values, the converted and rounded values, a sorted index and running
// sums are derived from the words and the settings and brought up to date on demand.
//
// Construction, readings and attachments: MeasSeries1.cpp; statistics:
// MeasSeries1Statistics.cpp; settings, conversion and limits: MeasSeries1Settings.cpp.
class CMeasSeries1 : public CMeasSeries
{
public:
    // A capacity of 0 or less gives MEAS_DEFAULT_CAPACITY, more than MEAS_MAX_CAPACITY
    // gives the maximum. A failed allocation leaves a series without capacity.
    explicit CMeasSeries1(int capacity = 0);
    // Reads one "M1" block (after its tag) from a stream or from memory; failed is set
    // when it could not be read.
    CMeasSeries1(StreamIO::CIoStream& stream, bool& failed);
    CMeasSeries1(const uint8_t* bytes, size_t size, bool& failed);
    CMeasSeries1(const CMeasSeries1& other);
    CMeasSeries1& operator=(const CMeasSeries1&) = delete;
    ~CMeasSeries1() override;

    void CopyFrom(const CMeasSeries1& other);
    bool Allocate(int capacity);
    void ResetSettings();
    // Derives native and converted values, sums and sorted index from the words.
    void Recalculate();
    // Maps the index-th reading of the filtered view to its raw index; a result outside
    // 0..n-1 means there is no such reading.
    int ResolveIndex(int index, int mask);
    float GetEffectiveStdDev();
    // The impact direction shared by every reading that is not excluded, 0 without such
    // readings, -2 when they differ. Kept until the readings or settings change.
    int GetCommonDirection();
    // Calls visit(value) or visit(value, angle) with the converted value (and the impact
    // direction) of every reading that is not excluded, in measuring order (readings
    // without a value give their marker).
    template <class Visit> void ForEachIncludedValue(Visit&& visit);
    // Returns the previous level in percent.
    float SetConfidenceLevel(float percent);
    float GetConfidenceLevel() const { return (m_confidence + 5000) * 0.01f; }
    uint8_t GetResolutionByte() const { return m_resolution; }
    uint8_t GetStatisticsMode() const { return m_statMode; }
    uint32_t GetDateTime() const { return m_dateTime; }
    const SPackedSerial& GetDeviceSerial() const { return m_deviceSerial; }
    int GetRecordIndex() const { return m_recordIndex; }
    int GetCompletionRule() const { return m_completionRule; }
    int GetCompletionCount() const { return m_completionCount; }
    QString GetComment() const { return Comment(); }
    using CMeasSeries::GetComment;

    // CMeasSeries
    bool IsCustomConversion(bool original) const override;
    bool RegisterCustomConversion(bool original) override;
    bool GetCustomConversionFileName(bool original, QString& name) const override;
    bool WriteCustomConversion(bool original, StreamIO::CIoStream& stream) override;
    void FreeReadings(bool withPrivateRecord) override;
    bool IsUsable() const override { return true; }
    uint32_t Write(StreamIO::CIoStream& stream) override;
    void Clear() override;
    int GetCapacity() const override { return m_capacity; }
    bool IsEmpty() const override { return m_count == 0; }
    int AddReading(float value1, float value2, int angle, int fineAngle) override;
    int SetReading(int index, float value1, float value2, int angle, int fineAngle, int mask) override;
    bool ExcludeReading(int index, int mask) override;
    bool IncludeReading(int index, int mask) override;
    bool IsReadingExcluded(int index, int mask) override;
    bool RemoveLastReading() override;
    bool DeleteReading(int index, int mask) override;
    float GetValue(int rawIndex) override;
    float GetReading(int index, int* angle, int* fineAngle, int mask) override;
    float GetNativeValue(int index, int mask) override;
    float GetLowerLimitNative() const override { return Limits().GetLowerNative(); }
    float GetUpperLimitNative() const override { return Limits().GetUpperNative(); }
    int CheckReadingLimits(int index, int mask) override;
    bool SetReadingDirection(int index, int angle, int mask) override;
    bool ApplySettings(const SSeriesSettings& settings) override;
    bool RestoreReadingDirection(int index, int mask) override;
    int GetFirstDirection() override;
    int GetNextDirection() override;
    STargetScale GetTargetScale() const override { return m_target; }
    SMaterial GetMaterial() const override { return m_material; }
    SProbeId GetProbeId() const override { return m_probe; }
    bool IsConcrete() const override { return true; }
    bool GetSettings(SSeriesSettings& settings) override;
    bool GetOriginalSettings(SSeriesSettings& settings) override;
    bool GetTargetScaleNames(QString& shortName, QString& longName, bool imperial) const override;
    bool GetMaterialName(QString& name) const override;
    bool GetProbeName(QString& name) const override;
    bool SetDateTime(uint32_t dosDateTime, bool force) override;
    bool SetDeviceSerial(const SPackedSerial* serial) override;
    bool SetProbeId(const SProbeId& probe) override;
    bool SetConversion(const STargetScale& target, const SMaterial& material) override;
    bool SetLimits(float lower, float upper, int recordIndex) override;
    bool GetLimitScale(int* scale) const override;
    int SetSecondLimits(float& lower, float& upper, int recordIndex) override;
    bool SetResolution(int decimals, int step) override;
    bool RestoreOriginal() override;
    bool RestoreOriginalSettings() override;
    bool AreAllIncluded() const override;
    bool IsUnchanged(bool ignoreSecondLimits) const override;
    void SetImperial(bool imperial) override { m_imperial = imperial; }
    bool IsImperial() const override { return m_imperial; }
    int GetCount(int mask) override;
    float GetMean() override;
    float GetMedian() override;
    float GetMidRange() override;
    float GetStdDev() override;
    float GetMin() override;
    float GetMax() override;
    bool GetConvSourceRange(float& minimum, float& maximum) override;
    bool GetConvTargetRange(float& minimum, float& maximum, bool ordered) override;
    float GetConfidenceHalfWidth() override;
    float GetRange() override;
    float GetCp() override;
    float GetCpk() override;
    float GetCpLowerBound() override;
    float GetCpkLowerBound() override;
    int FindOutlier() override;
    int CheckMeanLimits() override;
    bool SetCompletionRule(int type, int count) override;
    bool IsComplete() override;
    bool SetComment(const QString& text) override;
    int GetCommentLength() const override { return int(Comment().size()); }
    int GetComment(char16_t* buffer, int size) const override;
    int GetMaxCommentLength() const override { return MEAS_MAX_COMMENT; }
    bool SetAttachment(int index, const uint8_t* bytes, int size, int mask) override;
    bool DeleteAttachment(int index, int mask) override;
    int GetAttachmentSize(int index, int mask) override;
    int GetAttachment(int index, uint8_t* buffer, int size, int mask) override;
    bool Read(StreamIO::CIoStream& stream) override;
    // As Read, from the block's bytes in memory (after the tag); the bytes are parsed
    // where they lie.
    bool ReadFromMemory(const uint8_t* bytes, size_t size);
    // The stored block, tag included, as Write writes it; false when the series cannot be
    // stored (no readings, or a conversion record a block cannot carry).
    bool BuildBlock(std::vector<uint8_t>& block);
    // True while the series holds the settings of a stored block whose conversion this
    // computer lacks: it shows its values in the probe's own scale meanwhile, and writes
    // those settings back unchanged until other settings are chosen for it.
    bool KeepsStoredSettings() const { return IsKeptBlock(); }
    bool AllocateEmpty(int count) override;

private:
    // The settings as measured (or last committed), beside the current ones.
    struct SOriginal
    {
        SProbeId probe;
        CHeldMaterial material;
        STargetScale target;
        uint32_t lowerWord = 0xFFFFFFFF;
        uint32_t upperWord = 0xFFFFFFFF;
        uint32_t secondLowerWord = 0xFFFFFFFF;
        uint32_t secondUpperWord = 0xFFFFFFFF;
        uint8_t resolution = 8;
        uint8_t statMode = 0;
        uint16_t confidence = 4500;
    };

    // Words of the set in use.
    uint32_t* ActiveSet() const { return m_useSet2 ? Set2() : Set1(); }
    // The two sets of capacity words each, one after the other in one block.
    uint32_t* Set1() const { return m_words.get(); }
    uint32_t* Set2() const { return m_words.get() + m_capacity; }
    bool SetUsedBy(const SProbeId& probe) const;
    void SelectActiveSet(const SProbeId& probe);

    void EnsureValid();
    void Invalidate(bool sums, bool sorted);
    void ClearCaches();
    void ClearCursor()
    {
        if (m_derived)
            m_derived->cursorFiltered = m_derived->cursorMask = m_derived->cursorRaw = -1;
    }
    int ResolveExisting(int index, int mask);
    int ReadingClass(int raw) const;
    float NativeOf(uint32_t word) const;
    // Sorted-index maintenance for the in-place updates.
    void SortedInsert(int raw);
    void SortedRemove(int raw);
    void SortedShiftDown(int raw);
    void BuildSortedIndex();
    // Grows a full series that did not get its capacity from the caller.
    bool GrowForAppend();
    bool Reallocate(int capacity);
    void FreeAttachment(int raw);
    void FreeAttachments();
    // The stored block of reading raw, or null. The slot array exists only once a
    // reading has an attachment, so series without curves carry no pointer per reading.
    const uint8_t* AttachmentBlock(int raw) const;
    // The slot of reading raw, creating the slot array on first use; null when memory
    // is short.
    std::unique_ptr<uint8_t[]>* AttachmentSlot(int raw);
    void ReleasePrivateRecord();
    void MarkModified() { m_modified = true; }
    const QString& Comment() const
    {
        static const QString none;
        return m_rare ? m_rare->comment : none;
    }
    void SetCommentText(QString text)
    {
        if (!text.isEmpty())
            Rare().comment = std::move(text);
        else if (m_rare)
            m_rare->comment = QString();
    }
    // The conversion record of the original settings as a stored block carried it.
    const std::vector<uint8_t>& PrivateRecord() const
    {
        static const std::vector<uint8_t> none;
        return m_rare ? m_rare->privateRecord : none;
    }
    void ClearPrivateRecordBytes()
    {
        if (m_rare)
            std::vector<uint8_t>().swap(m_rare->privateRecord);
    }

    // The stored block (MeasSeries1Block.cpp).
    // Where a block is read from: a stream, or its bytes in memory (after the tag) and how
    // far they are read; with the count of the block's bytes so far and its trailer.
    struct SBlockSource
    {
        StreamIO::CIoStream* stream = nullptr;
        const uint8_t* bytes = nullptr;
        size_t size = 0;
        size_t at = 0;
        uint32_t blockBytes = 0; // tag included
        int trailerLength = 0;
        uint8_t trailerValue = 0;
    };
    bool ReadGuarded(SBlockSource& src);
    uint32_t ReadBlockBytes(SBlockSource& src, void* buffer, uint32_t count);
    // The next count bytes of the block: where they lie when reading from memory, else
    // read into the scratch buffer. Null when the block holds fewer.
    const uint8_t* ReadBlockSpan(SBlockSource& src, uint32_t count, std::vector<uint8_t>& scratch);
    bool CheckTrailer(SBlockSource& src);
    bool ReadBlock(SBlockSource& src);
    bool ReadMaterialBlock(SBlockSource& src, CHeldMaterial& material, bool original, std::vector<uint8_t>* raw);
    bool AppendMaterialBlock(std::vector<uint8_t>& block, const SMaterial& material,
                             const STargetScale& target, bool original);
    bool IsKeptBlock() const { return m_keptInPlace || (m_rare && m_rare->kept); }
    void DropKeptBlock()
    {
        m_keptInPlace = false;
        if (m_rare)
            m_rare->kept.reset();
    }
    // The settings bytes kept in place (m_keptInPlace), and the original-settings section as
    // a block stores it (without a material block).
    std::array<uint8_t, 20> KeptInPlaceBytes() const;
    std::array<uint8_t, 24> OriginalSectionBytes() const;
    // Moves settings kept in place into a block of their own, before a field that gives them
    // back changes.
    void SeparateKeptBlock();

    // Statistics helpers.
    static constexpr int kNoCommonDirection = std::numeric_limits<int>::min();
    void FirstAndLast(float& first, float& last);
    enum NLimitState
    {
        limitOff,
        limitBelow,
        limitInside,
        limitAbove
    };
    NLimitState ClassifyLimit(float limit) const;
    float RawVariance() const;

    // The two pairs of limits. A series read from a block keeps only the stored limit words
    // until a pair is first asked for: most series of a large project are never looked at.
    // The pairs then follow from the words through the series' conversion record, as the
    // read would have set them.
    struct SLimitPair
    {
        explicit SLimitPair(CConvTable& table) : first(table), second(table) {}
        CSeriesLimits first;
        CSeriesLimits second;
    };
    CSeriesLimits& Limits() const { return LimitPair().first; }
    CSeriesLimits& SecondLimits() const { return LimitPair().second; }
    SLimitPair& LimitPair() const;
    // Sets both pairs from the stored words now, while the record they were read for is
    // still the series' own.
    void MaterializeLimits() const { (void)LimitPair(); }
    // The derived arrays (native and converted values, sorted index) exist only once the
    // derived values were first brought up to date; then they are sized to the capacity.
    bool HasDerivedArrays() const { return m_derived && !m_derived->native.empty(); }
    void AllocateDerivedArrays();

    // What follows from the words and the settings: the derived arrays, the running sums,
    // the statistics kept until the next change and the cursor of the filtered view. Made
    // on first use; a series without it (one only read) has nothing derived that is valid.
    struct SDerived
    {
        // Empty until first needed, then of the capacity (HasDerivedArrays).
        std::vector<float> native;
        std::vector<float> converted;
        std::vector<uint16_t> sorted;
        int sortedCount = 0;
        int belowCount = 0;
        bool sumsValid = false;
        bool sortedValid = false;
        bool falling = false;
        int valuedCount = 0;
        int statCount = 0;
        float shift = 0.0f;
        float sum = 0.0f;
        float sumSquares = 0.0f;
        float mean = MEAS_NO_VALUE;
        float stdDev = MEAS_NO_VALUE;
        float halfWidth = MEAS_NO_VALUE;
        float cp = MEAS_NO_VALUE;
        float cpk = MEAS_NO_VALUE;
        float cpLower = MEAS_NO_VALUE;
        float cpkLower = MEAS_NO_VALUE;
        // The common direction, or kNoCommonDirection while not known.
        int commonDirection = kNoCommonDirection;
        int cursorFiltered = -1;
        int cursorMask = -1;
        int cursorRaw = -1;
    };
    SDerived& D() const
    {
        if (!m_derived)
            m_derived = std::make_unique<SDerived>();
        return *m_derived;
    }

    // Settings helpers (conversion-table lock held by the caller).
    int FindRecord(const SProbeId& probe, const SMaterial& material, const STargetScale& target);
    void EncodeLimitWords();
    void EncodeSecondLimitWords();
    void StoreOriginalLimits();
    bool RestoreSettingsTail(bool changed);

    // A project holds many series: the members are ordered so that they pack tightly.
    SPackedSerial m_deviceSerial{};
    uint16_t m_confidence = 4500;
    uint32_t m_dateTime = 0xFFFFFFFF;
    SProbeId m_probe;
    int m_recordIndex = -1;
    CHeldMaterial m_material;
    STargetScale m_target;
    uint32_t m_lowerWord = 0xFFFFFFFF;
    uint32_t m_upperWord = 0xFFFFFFFF;
    uint32_t m_secondLowerWord = 0xFFFFFFFF;
    uint32_t m_secondUpperWord = 0xFFFFFFFF;
    float m_z = 1.6448536f;
    // Made on first use (LimitPair); until then, with m_limitsFromWords, the words stand
    // for them.
    mutable std::unique_ptr<SLimitPair> m_limitPair;
    SOriginal m_orig;
    // A stored block whose conversion is not on this computer: its settings bytes are
    // kept as read (the series shows its values in the probe's own scale meanwhile), so
    // that writing the series gives them back unchanged until the user picks settings.
    struct SKeptSettings
    {
        std::array<uint8_t, 20> head{};     // material, target, standard, four limit words
        std::vector<uint8_t> materialBlock; // with its length word; may be empty
        std::vector<uint8_t> original;      // the original-settings section; may be empty
    };
    // What few series hold, in one block made when first needed: the settings bytes of a
    // block kept as read (none unless kept), the conversion record of the original
    // settings as a stored block carried it (PrivateRecord), the comment (Comment).
    struct SRare
    {
        std::unique_ptr<SKeptSettings> kept;
        std::vector<uint8_t> privateRecord;
        QString comment;
    };
    SRare& Rare()
    {
        if (!m_rare)
            m_rare = std::make_unique<SRare>();
        return *m_rare;
    }
    std::unique_ptr<SRare> m_rare;
    // Both reading sets (Set1, Set2); null without capacity.
    std::unique_ptr<uint32_t[]> m_words;
    mutable std::unique_ptr<SDerived> m_derived;
    // Each block: 32-bit little-endian length, then the bytes. Empty, or one slot per
    // reading of the capacity.
    CSparseVector<std::unique_ptr<uint8_t[]>> m_attachments;
    int m_capacity = 0;
    int m_count = 0;
    int m_highestAttachment = -1;
    int16_t m_completionRule = 0;
    int16_t m_completionCount = 0; // at most MEAS_DEFAULT_CAPACITY
    mutable bool m_limitsFromWords = false;
    uint8_t m_resolution = 8;
    uint8_t m_statMode = 0;
    // A capacity the caller chose keeps the sliding window; one taken from a copy or a
    // stored block grows instead, so that measuring on never drops a reading.
    bool m_explicitCapacity = true;
    bool m_useSet2 = false;
    bool m_imperial = false;
    // Settings kept as read (see SKeptSettings) in place, as most such blocks allow (those
    // without a material block): the material, the limit words and the originals give them
    // back, as none of them changes while they are kept, and the target scale stored, which
    // the series shows as the probe's own meanwhile, is kept here.
    bool m_keptInPlace = false;
    bool m_keptOriginalSection = false;
    uint8_t m_keptStandard = 0; // the standard byte as stored
    uint16_t m_keptScale = 0;
};

template <class Visit> void CMeasSeries1::ForEachIncludedValue(Visit&& visit)
{
    EnsureValid();
    const uint32_t* set = ActiveSet();
    for (int raw = 0; raw < m_count; ++raw)
    {
        if (SeriesWords::IsExcluded(set[raw]))
            continue;
        if constexpr (std::is_invocable_v<Visit, float, int>)
            visit(D().converted[raw], SeriesWords::Direction(set[raw], nullptr));
        else
            visit(D().converted[raw]);
    }
}

// Reads the tag "M1" and the block behind it from a stream open for reading. As new, the
// series is a cleared one of the default capacity; otherwise it is sized to the block.
// None for another tag or a block that does not read.
std::unique_ptr<CMeasSeries1> CreateMeasSeries(StreamIO::CIoStream& stream, bool asNew);
// The same from bytes in memory, which may go on beyond the block.
std::unique_ptr<CMeasSeries1> CreateMeasSeries(const uint8_t* bytes, size_t size, bool asNew);
