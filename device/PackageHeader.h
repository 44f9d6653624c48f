#pragma once
#include "device/Contents.h"
#include "streamio/Version.h"

#include <cstdint>

namespace StreamIO
{
class CIoStream;
}

namespace Device
{

// The head, content entries and trailer of a firmware package ("@Vm@"). A package is
// usable only once all three were read and accepted; the block headers and the block
// data follow in the package stream.
class CPackageHeader
{
public:
    static constexpr uint32_t kHeadSize = 16;
    static constexpr uint32_t kEntrySize = 18;
    static constexpr uint32_t kTrailerSize = 161;
    static constexpr uint32_t kHeaderBlockSize = 128;
    static constexpr uint32_t kMaxEntries = 2000;

    CPackageHeader() = default;
    virtual ~CPackageHeader();

    // Reads head, entries and trailer from the stream's current position. False for a
    // short or invalid package; stream failures arrive as the stream's exceptions.
    bool Read(StreamIO::CIoStream& stream);
    // Takes a 16-byte head: clears the flags and the entries first.
    bool SetHead(const uint8_t* head);
    bool AddContentEntry(const uint8_t* entry);
    bool SetTrailer(const uint8_t* trailer);

    bool IsComplete() const { return m_headRead && m_entriesComplete && m_trailerRead; }
    const CContents& Contents() const { return m_contents; }
    uint32_t DeclaredEntries() const { return m_declaredEntries; }
    uint32_t BlockCount() const { return m_blockCount; }
    // Version 0: the package needs no particular operating system.
    const CVersion& RequiredOsVersion() const { return m_requiredOs; }
    uint32_t DeviceCode() const { return m_deviceCode; }
    uint8_t CheckKind() const { return m_checkKind; }
    const uint8_t* HeaderBlock() const { return m_headerBlock; }
    uint16_t LowRevision() const { return m_lowRevision; }
    uint16_t HighRevision() const { return m_highRevision; }
    const uint8_t* KeptBytes() const { return m_kept; }

    // A content entry's size text: "%d kB" (flag 0x20, 4-kB units) or "%0.1f MB" (flag
    // 0x40, tenths of a MB); empty otherwise or for size 0.
    static QString SizeText(uint8_t flags, uint8_t size);

private:
    CContents m_contents;
    uint32_t m_declaredEntries = 0;
    uint32_t m_blockCount = 0;
    CVersion m_requiredOs;
    uint32_t m_deviceCode = 0;
    uint8_t m_checkKind = 0;
    uint8_t m_headerBlock[kHeaderBlockSize] = {};
    uint16_t m_lowRevision = 0;
    uint16_t m_highRevision = 0;
    uint8_t m_kept[8] = {};
    bool m_headRead = false;
    bool m_entriesComplete = false;
    bool m_trailerRead = false;
};

} // namespace Device
