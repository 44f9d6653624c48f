#pragma once
#include "measurement/ConvEnumerator.h"
#include "measurement/ImpactCorrection.h"
#include "measurement/Material.h"
#include "measurement/MeasValues.h"
#include "measurement/PackedSerial.h"
#include "measurement/ProbeId.h"
#include "measurement/TargetScale.h"

#include <QString>

#include <cstdint>
#include <memory>

class CConvTable;
struct SSeriesSettings;

namespace StreamIO
{
class CIoStream;
}

// A measurement series as the rest of the program sees it: readings with their filter
// masks, settings, limits, statistics, comment, attachments and the stored block.
// Every operation that takes a reading index takes a filter mask with it: 1 readings in
// the conversion's range, 2 excluded readings, 4 readings outside the range, 7 the raw
// index. The operations without a stated answer of their own are pure.
class CMeasSeries
{
public:
    CMeasSeries();
    CMeasSeries(const CMeasSeries&) = delete;
    CMeasSeries& operator=(const CMeasSeries&) = delete;

    // Custom conversions (a conversion whose material is the customer's own).
    virtual bool IsCustomConversion(bool original) const = 0;
    virtual bool RegisterCustomConversion(bool original) = 0;
    virtual bool GetCustomConversionFileName(bool original, QString& name) const = 0;
    // Writes the customer conversion as a single-record file; true only when all of it was
    // written.
    virtual bool WriteCustomConversion(bool original, StreamIO::CIoStream& stream) = 0;

    virtual ~CMeasSeries();

    virtual void FreeReadings(bool withPrivateRecord) = 0;
    virtual bool IsUsable() const = 0;
    virtual uint32_t Write(StreamIO::CIoStream& stream) = 0;

    // New and modified state. While new, settings changes also become the originals.
    virtual void Clear();
    virtual void SetNew();
    virtual bool IsNew() const;
    virtual bool IsModified() const;
    virtual void CommitNew();

    virtual int GetCapacity() const = 0;
    virtual bool IsEmpty() const = 0;
    virtual int AddReading(float value1, float value2, int angle, int fineAngle) = 0;
    virtual int SetReading(int index, float value1, float value2, int angle, int fineAngle, int mask) = 0;
    virtual bool ExcludeReading(int index, int mask) = 0;
    virtual bool IncludeReading(int index, int mask) = 0;
    virtual bool IsReadingExcluded(int index, int mask) = 0;
    virtual bool RemoveLastReading() = 0;
    virtual bool DeleteReading(int index, int mask) = 0;
    virtual float GetValue(int rawIndex) = 0;
    virtual float GetReading(int index, int* angle, int* fineAngle, int mask) = 0;
    virtual float GetNativeValue(int index, int mask) = 0;
    virtual float GetLowerLimitNative() const = 0;
    virtual float GetUpperLimitNative() const = 0;
    virtual int CheckReadingLimits(int index, int mask) = 0;
    virtual bool SetReadingDirection(int index, int angle, int mask) = 0;
    virtual bool ApplySettings(const SSeriesSettings& settings) = 0;
    virtual bool RestoreReadingDirection(int index, int mask) = 0;
    virtual int GetFirstDirection() = 0;
    virtual int GetNextDirection() = 0;
    virtual STargetScale GetTargetScale() const = 0;
    virtual SMaterial GetMaterial() const = 0;
    virtual SProbeId GetProbeId() const = 0;
    virtual bool IsConcrete() const;
    virtual bool GetSettings(SSeriesSettings& settings) = 0;
    virtual bool GetOriginalSettings(SSeriesSettings& settings) = 0;
    virtual CConvEnumerator& GetConvEnumerator();
    virtual bool GetTargetScaleNames(QString& shortName, QString& longName, bool imperial) const = 0;
    virtual bool GetMaterialName(QString& name) const = 0;
    virtual bool GetProbeName(QString& name) const = 0;
    virtual bool SetDateTime(uint32_t dosDateTime, bool force) = 0;
    virtual bool SetDeviceSerial(const SPackedSerial* serial) = 0;
    virtual bool SetProbeId(const SProbeId& probe) = 0;
    virtual bool SetConversion(const STargetScale& target, const SMaterial& material) = 0;
    virtual bool SetLimits(float lower, float upper, int recordIndex) = 0;
    virtual bool GetLimitScale(int* scale) const = 0;
    virtual int SetSecondLimits(float& lower, float& upper, int recordIndex) = 0;
    virtual bool SetResolution(int decimals, int step) = 0;
    virtual bool RestoreOriginal() = 0;
    virtual bool RestoreOriginalSettings() = 0;
    virtual bool AreAllIncluded() const = 0;
    virtual bool IsUnchanged(bool ignoreSecondLimits) const = 0;
    virtual void SetImperial(bool imperial) = 0;
    virtual bool IsImperial() const = 0;
    virtual int GetCount(int mask) = 0;

    // Statistics of the converted values in the target scale; MEAS_NO_VALUE when they
    // cannot be formed.
    virtual float GetMean();
    virtual float GetMedian();
    virtual float GetMidRange();
    virtual float GetStdDev();
    virtual float GetMin();
    virtual float GetMax();
    virtual bool GetConvSourceRange(float& minimum, float& maximum) = 0;
    virtual bool GetConvTargetRange(float& minimum, float& maximum, bool ordered) = 0;
    virtual float GetConfidenceHalfWidth();
    virtual float GetRange();
    virtual float GetCp();
    virtual float GetCpk();
    virtual float GetCpLowerBound();
    virtual float GetCpkLowerBound();
    virtual int FindOutlier();
    virtual int CheckMeanLimits();
    virtual bool SetCompletionRule(int type, int count);
    virtual bool IsComplete();

    virtual bool SetComment(const QString& text);
    virtual int GetCommentLength() const;
    virtual int GetComment(char16_t* buffer, int size) const;
    virtual int GetMaxCommentLength() const;

    virtual bool SetAttachment(int index, const uint8_t* bytes, int size, int mask);
    virtual bool DeleteAttachment(int index, int mask);
    virtual int GetAttachmentSize(int index, int mask);
    virtual int GetAttachment(int index, uint8_t* buffer, int size, int mask);

    // Reads one "M1" block whose tag has been consumed.
    virtual bool Read(StreamIO::CIoStream& stream) = 0;
    virtual bool AllocateEmpty(int count) = 0;

protected:
    // The series' enumerator, made on first use. Between two uses it holds nothing but
    // the private slot, so a series without one may let it go (DropIdleEnumerator).
    CConvEnumerator& Enumerator();
    // The series' private slot in the table, -1 without one.
    int PrivateSlot() const { return m_enumerator ? m_enumerator->GetPrivateSlot() : -1; }
    void DropIdleEnumerator();

    // The program's one conversion table.
    static CConvTable& Table();
    std::unique_ptr<CConvEnumerator> m_enumerator;
    // Re-targeted whenever the probe changes; turns a reading's direction into the
    // correction added before conversion. Held in place: it is a few words, and a heap
    // block of its own cost every series of a large project more than the object.
    CImpactCorrection m_correction;
    bool m_new = false;
    bool m_modified = false;
};
