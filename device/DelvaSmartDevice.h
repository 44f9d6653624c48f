#pragma once
#include "device/SRecordDevice.h"
#include "streamio/Version.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace Device
{

// The cover meter "Delvaquint" (type 3) on a serial line: identification by "@ID@" with
// the bootloader's answer as fallback, the S-record bootloader with programming states
// 1 and 2, a baud switch ("BR"), and the download of its stored objects as binary
// records or as its text data file, which it can also write.
class CDelvaSmartDevice : public CSRecordDevice
{
public:
    // One measurement of an object.
    struct TMeas
    {
        uint8_t number = 0;      // 1-99 within the object
        uint8_t cover = 255;     // mm; 255 not available
        uint8_t rawDiameter = 0; // mm, 1-60; 0 not available
    };

    // One stored object with the instrument's identification and settings.
    struct TObjectData
    {
        CVersion version;
        SIdentity identity; // instrument name, software version, serial number
        QString hardwareIndex;
        QString signature;
        uint8_t unitSystem = 255;  // 0 metric, 1 ASTM inch, 2 ASTM mm, 3 Japanese; 255 not set
        uint8_t storageMode = 255; // 0 manual, 1 automatic; 255 not set
        uint8_t rawDefaultBarDiameter = 0;
        uint8_t correction = 0; // neighbouring-bar correction in mm; 0 none
        QString comment;
        QString objectName;
        int64_t date = 0; // seconds since 1970; 0 none
        int16_t objectNumber = 0;
        std::vector<TMeas> measurements;
    };

    // One download.
    struct TDataFile
    {
        CVersion version;
        std::vector<TObjectData> objects;
    };

    static constexpr uint32_t kRecordSize = 262;
    static constexpr uint32_t kBlockHeadSize = 5;
    static constexpr uint32_t kBinaryAnswerSize = 144100;
    static constexpr uint32_t kTextAnswerSize = 5000000;
    static constexpr int kMaxObjects = 500;
    static constexpr int kMaxMeasurements = 99;
    static constexpr int kWritePolls = 100;

    CDelvaSmartDevice();

    NError_code InitUpdate(const CPackageHeader& package) override;
    NError_code EnterUpdateMode(const CPackageHeader& package, const SBlockHeader& block) override;
    NError_code FinishUpdate() override;
    bool EnterProgramming() override;

    // Commands 0xD2 with one parameter character; accepted when no status byte came.
    virtual QString RequestText();
    virtual bool SendCommand1();
    virtual bool SendCommand2();
    // '0', the first text, ';', the second; together at most 45 characters.
    virtual bool SendTextPair(const QString& first, const QString& second);
    virtual bool SendParameter4060(bool flag);
    virtual uint8_t QueryStatusByte();
    virtual bool SendCommand6();
    // 0x02, then polls 0x05 until the instrument reports 0 (50 polls at most).
    virtual bool RunCommand2();
    // Writes A5A5 at 1128, then polls the word until its bit 0 clears (kWritePolls at
    // most); false when it never does.
    virtual bool WriteWordAt1128();
    virtual bool ReadBlockAt1000(uint8_t block[44]);
    // Downloads every stored object at the given baud (the port returns to 19200
    // afterwards). A download answered by the status 0xF3 (nothing stored) succeeds.
    virtual bool DownloadData(TDataFile& file, uint32_t baud, bool binary);
    // The text data file's section of one object; the number of characters written, 0
    // (nothing written) for an unknown unit system or storage mode.
    virtual int ExportObjectText(const TObjectData& object, QString& out) const;
    // Reads one section of a text data file (without its "<eof>").
    virtual bool ParseObjectText(TObjectData& object, const QString& section) const;
    virtual bool EnterProgrammingState1();
    virtual bool EnterProgrammingState2();
    // Fills an object from one binary object record of kRecordSize bytes.
    virtual bool ParseObjectRecord(TObjectData& object, const uint8_t* record, size_t size) const;

    // Value texts shared by the binary records, the text data file and the export.
    static QString FormatBarDiameter(int unitSystem, int rawDiameter);
    static QString FormatNeighborCorrection(int unitSystem, int value);
    static int ParseCover(int unitSystem, const QString& text);
    static int ParseNeighborCorrection(int unitSystem, const QString& text);
    // Quotes a free text of the data file (escape) or reads it back.
    static QString EscapeText(const QString& text, bool escape);
    // Appends up to four texts; the number of characters appended.
    static int AppendTexts(QString& out, const QString& a, const QString& b = {}, const QString& c = {},
                           const QString& d = {});
    // Pairs of upper-case hexadecimal digits into bytes ('a'-'d' before a pair skipped).
    static QByteArray HexTextToBytes(const QByteArray& text);
    // The text data file's date: day.month.year  hour:minute:second in local time.
    static QString FormatDate(int64_t date);

private:
    bool SetBaudRate(uint32_t baud);
    // Command 0xD2 with the parameters in buffer; the answer in the same buffer.
    int32_t Command(const QByteArray& params, uint8_t* buffer, uint32_t room);
    bool WriteRaw(const char* bytes, uint32_t count);
    bool ParseBinaryBlock(TDataFile& file, const uint8_t* data, uint32_t size) const;
    bool ParseTextAnswer(TDataFile& file, const QString& text) const;
};

} // namespace Device
