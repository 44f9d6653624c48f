#pragma once
#include "device/SRecordDevice.h"

#include <QString>

namespace Device
{

// The "VariDov" instrument (type 14): five identification fields and the S-record
// bootloader with programming states (a longer erase than its twin Corvell Lab).
class CTestBoxDevice : public CSRecordDevice
{
public:
    CTestBoxDevice();

    // The instrument keeps no texts: true, nothing is sent.
    virtual bool WriteTexts(const QString& text1, const QString& text2, const QString& text3);
};

} // namespace Device
