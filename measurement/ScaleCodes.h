#pragma once
#include <QString>

#include <cstdint>

// Probe codes, target-scale codes, conversion standards and material types, with the
// constant tables that validate them and every lookup of their names. All of it is
// constant data, so any thread may call these functions.
//
// Codes are 16-bit on disk and on the wire; the functions take an int and look only at
// its low 16 bits, so -1 and 0xFFFF both mean "none".

// Indentation-tester probe codes (family 0x02) carry two settings in their bits.
inline constexpr int PROBE_B724_BIT = 0x20; // ASTM B724 measuring mode
inline constexpr int PROBE_20N_BIT = 0x10;  // 20 N probe (clear: 50 N)

// Conversion-standard masks; 15 means any standard.
inline constexpr int CONV_STD_DEFAULT = 1;
inline constexpr int CONV_STD_ISO_18265 = 2;
inline constexpr int CONV_STD_ASTM_E140 = 4;
inline constexpr int CONV_STD_CUSTOM_J = 8;

// Material types with a name of their own; 1-9 are the material groups, 0xFF none.
inline constexpr int MAT_CUSTOM = 0;
inline constexpr int MAT_INDEPENDENT = 15;

struct SProbeTableRow
{
    uint16_t code; // 0 ends the table
    float min;     // measuring range
    float max;
    const char* shortName; // "D" ... "VK#5"
    const char* scaleName; // short name of the native scale, "HLD" ... "um"
};

struct SScaleTableRow
{
    uint16_t code; // 0 ends the table
    const char* shortName;
};

// The eleven probe rows and the thirteen target-scale rows, each ended by a row with code 0.
const SProbeTableRow* GetProbeTable();
const SScaleTableRow* GetScaleTable();

// Range ends of a probe; 0.0 for a code without a row.
float GetProbeMin(int code);
float GetProbeMax(int code);
bool IsProbeCode(int code);
// Walk the probe table: the first call sets the cursor and returns the first code, every
// further call returns the next one; 0 at the end.
int GetFirstProbeCode(int& cursor);
int GetNextProbeCode(int& cursor);
// High byte 0x02: a probe of the indentation tester.
bool IsBenchProbeCode(int code);
// The four indentation-depth scales 513, 529, 545 and 561 (rows or not).
bool IsDepthScale(int code);
QString GetProbeShortName(int code);

// A target-scale code 1-13 or a probe code.
bool IsScaleCode(int code);
QString GetScaleShortName(int code);
// Short and long display names (string table); depth scales in micrometres or, with the
// imperial flag, in thousandths of an inch. False and "Error" for an unknown code.
bool GetScaleNames(int code, QString& shortName, QString& longName, bool imperial);
int GetScaleDecimals(int code, bool imperial);
// Probe long name; false and "Unknown" for a code without one.
bool GetProbeLongName(int code, QString& name);

// Untranslated name of a conversion-standard mask ("default", "ISO 18265", ...).
QString GetConversionStandardName(int mask);

// Name of a material type for display; the variant and the target scale pick a more
// specific text for a few combinations, the bench flag the indentation tester's text of
// type 1. False and "Customer defined" for a custom material or an unknown type.
bool GetMaterialGroupName(int type, int variant, int targetScale, QString& name, bool bench);

// The type's own text (string table) for types 1-9 and 15, an empty text for any other;
// the bench flag selects the indentation tester's text of type 1.
QString GetMaterialTypeText(int type, bool bench);
