#include "resources/BuiltInStrings.h"

#include "platform/core/StringTable.h"

namespace
{
struct Text
{
    uint32_t id;
    const char16_t* text;
};

// Names of scales, probes, units and materials, as the series, the exports and the
// popups show them.
constexpr Text kNames[] = {
    {16306, u"HB"},
    {16307, u"HV"},
    {16308, u"HRB"},
    {16309, u"HRC"},
    {16310, u"HS"},
    {16311, u"MPa"},
    {16312, u"HRA"},
    {16376, u"HMMRC"},
    {16377, u"HRBN"},
    {16385, u"HR15N"},
    {16387, u"HR15T"},
    {16389, u"HRE"},
    {16391, u"HRH"},
    {16323, u"Brinell"},
    {16324, u"Vickers"},
    {16325, u"Rockwell B"},
    {16326, u"Rockwell C"},
    {16327, u"Shore"},
    {16328, u"Tensile strength"},
    {16329, u"Rockwell A"},
    {16378, u"Rockwell C (DIN)"},
    {16379, u"HRBN (ASTM)"},
    {16386, u"HR15N"},
    {16388, u"HR15T"},
    {16390, u"Rockwell E"},
    {16392, u"Rockwell H"},
    {16313, u"HLD"},
    {16314, u"HLS"},
    {16315, u"HLD15"},
    {16316, u"HLE"},
    {16317, u"HLC"},
    {16318, u"HLG"},
    {16319, u"HLDL"},
    {16320, u"HLSVP"},
    {16321, u"HL"},
    {16330, u"Leeb D"},
    {16331, u"Leeb S"},
    {16332, u"Leeb D+15"},
    {16333, u"Leeb E"},
    {16334, u"Leeb C"},
    {16335, u"Leeb G"},
    {16336, u"Leeb DL"},
    {16337, u"Leeb SVP40"},
    {16338, u"Leeb (calibrator)"},
    {16342, u"Veskora-D"},
    {16343, u"Veskora-S"},
    {16344, u"Veskora-D15"},
    {16345, u"Veskora-E"},
    {16346, u"Veskora-C"},
    {16347, u"Veskora-G"},
    {16348, u"Veskora-DL"},
    {16349, u"Veskora-SVP40"},
    {16350, u"Calibrator"},
    {16380, u"\u00B5m"},
    {16393, u"in/1000"},
    {16381, u"Micrometers"},
    {16394, u"1/1000 inch"},
    {16382, u"Veskamon 50N"},
    {16383, u"Veskamon 20N"},
    {16340, u"H?"},
    {16341, u"No scale selected"},
    {16352, u"Unknown"},
    {16360, u"Steel and cast steel"},
    {16384, u"Default / Steel and cast steel"},
    {16361, u"Work tool steel"},
    {16362, u"Stainless steel"},
    {16363, u"Gray cast iron (GG)"},
    {16364, u"Nodular cast iron (GGG)"},
    {16365, u"Cast aluminium alloys"},
    {16366, u"Brass"},
    {16367, u"Bronze"},
    {16368, u"Wrought copper alloys"},
    {16374, u"Material independent"},
    {16369, u"Steel and cast steel"},
    {16370, u"Treat. steel heat tr."},
    {16371, u"Treat. steel untreat."},
    {16372, u"default (Cast aluminium alloys)"},
    {16373, u"ALU-AN40 (ABB)"},
    {16375, u"Customer defined"},
};
} // namespace

void RegisterMeasurementNames()
{
    auto& table = Platform::StringTable::Instance();
    for (const Text& t : kNames)
        table.Set(t.id, QString::fromUtf16(t.text));
}
