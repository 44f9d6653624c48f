// Conversion records from files, devices and series blocks: decoding, the record
// utilities, every function type and the table's selection and conversion.
#include "measurement/2PointConvFunction.h"
#include "measurement/ConvRecord.h"
#include "measurement/ConvTable.h"
#include "measurement/IdentityConvFunction.h"
#include "measurement/IpolConvFunction.h"
#include "measurement/RatioConvFunction.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A table with a few shared slots beyond the identity records.
    static CConvTable table(CONV_FIRST_SHARED_SLOT + 32);
    CConvTable::Guard guard(table);

    // Exactly the bytes at hand, so that any over-read is caught.
    const std::vector<uint8_t> bytes(data, data + size);
    const uint8_t* record = bytes.empty() ? nullptr : bytes.data();

    SConvRecordInfo info;
    const bool valid = DecodeConvRecord(info, record, size);
    IsSameConvData(record, size, record, size);
    MakeUniqueRecordName(record, size);
    std::vector<uint8_t> copy = bytes;
    RenameConvRecord(copy, QStringLiteral("Renamed(12)"));

    CIdentityConvFunction identity;
    CRatioConvFunction ratio;
    CIpolConvFunction ipol;
    C2PointConvFunction twoPoint;
    CConvFunction* functions[] = {&identity, &ratio, &ipol, &twoPoint};
    for (CConvFunction* f : functions)
    {
        if (!f->Load(record, size))
            continue;
        f->IsSameRecord(record, size);
        SConvFunctionInfo fi;
        f->GetInfo(fi);
        if (f == &twoPoint)
            twoPoint.SetBase(new CIdentityConvFunction, true);
        for (float x : {-10.0f, 0.0f, 0.5f, 50.0f, 500.0f, 998.0f, 5000.0f})
            f->Evaluate(x);
        f->EvaluateInverse(100.0f);
        f->IsMonotonic(true);
    }

    if (valid)
    {
        const int slot = table.AddRecord(record, size, false);
        int index = -1;
        QString name;
        size_t length = 0;
        table.AddDeviceRecord(record, size, index, name, length);
        for (int s : {slot, index})
        {
            if (s >= 0 && table.SelectRecord(s))
            {
                for (float x : {-10.0f, 0.0f, 50.0f, 500.0f, 5000.0f})
                {
                    table.Convert(x, true);
                    table.Convert(x, false);
                    table.ConvertInverse(x, true);
                    table.ConvertInverse(x, false);
                }
            }
        }
        // Keep the table small: only the identity records stay.
        for (int s = CONV_FIRST_SHARED_SLOT + 11; s < table.GetSlotCount(); ++s)
            table.RemoveRecord(s);
    }
    return 0;
}
