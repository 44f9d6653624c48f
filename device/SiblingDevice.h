#pragma once
#include "device/VmDevice.h"

#include <QStringList>

namespace Device
{

// What the maker's other serial instruments share: identification by "@ID@" with five
// or six fields (type name, hardware revision, serial number, signature, version and
// the bootloader version), the info text, the version list, the device code and the
// short identification, each in the variant a class's traits choose. The long command
// frame and the recovery into the application, which some of them use, live here too.
//
// Empty identification fields: hardware revision, serial number, signature, version and
// bootloader version keep their places and read "-" (and so count as present); a serial
// number "-" then becomes the class's default serial where it has one. An empty type
// name stays empty and fails the identification.
class CSiblingDevice : public CVmDevice
{
public:
    struct STraits
    {
        int fieldCount = 5;                  // 5 or 6
        const char* defaultSerial = nullptr; // replaces a serial number reported empty ("-")
        uint32_t infoTextId = 20030;         // 20030 or 20017
        int versionEntries = 1;              // 1: the version; 2: also the bootloader version
        bool versionsNeedSignature = true;   // which text tells that an identification was made
        bool codeFromSignature = false;      // the device code is the signature value (no 0xF1)
        bool shortIdentification = false;    // "ID" first, a full identification as fallback
        uint32_t identifyTimeoutMs = 2000;
    };

    // Identification mode: who answered the last identification.
    static constexpr uint8_t kApplication = 8;
    static constexpr uint8_t kBootloader = 3;

    CSiblingDevice(NTypes type, const STraits& traits);

    bool Identify(SIdentity& identity) override;
    QString GetInfoText() override;
    QString GetSerialNumber() const override;
    bool GetVersions(CContents& contents) override;
    int32_t GetDeviceCode() override;
    bool QueryId(SIdentity& identity) override;

    // Type name, version, serial number, hardware revision, signature text and, for the
    // six-field instruments, the bootloader version.
    virtual bool CopyInfo(QStringList& info) const;
    // The bootloader's own identification, for instruments whose application is not
    // running; false where there is none.
    virtual bool ReadBootloaderInfo(QString& text);

    const SDeviceInfo& GetDeviceInfo() const { return m_info; }
    uint8_t GetIdentificationMode() const { return m_idMode; }

protected:
    // Runs before "@ID@" is asked.
    virtual void IdentifyPrelude() {}
    // The application answered "@ID@" or "ID".
    virtual void OnApplicationAnswer() { m_idMode = kApplication; }
    // Model names the device reports and the names shown for them.
    virtual QString MapTypeName(const QString& name) const { return name; }

    void SetSerialLine(uint32_t baud, uint8_t handshake, uint32_t readMs, uint32_t writeMs);
    // Parameter blocks of `threshold` bytes or more go in the long frame (0xC1, command,
    // the bytes, no length; answered by one status byte); shorter ones in the standard
    // frame. 0 for bad arguments, 252 for a failed exchange or an answer byte 1-0xEF.
    int32_t SendLongFrameCommand(uint8_t command, int32_t paramCount, uint8_t* buffer, uint32_t bufferSize,
                                 int32_t timeoutMs, int32_t threshold);
    // Resynchronises, then returns to operation mode 8 reopening the link (mode byte 0x18);
    // the mode change's own result does not count.
    bool RecoverIntoApplication();

    SDeviceInfo m_info;
    QString m_infoText;
    uint8_t m_idMode = kApplication;
    STraits m_traits;
};

} // namespace Device
