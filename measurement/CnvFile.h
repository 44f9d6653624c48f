#pragma once
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace StreamIO
{
class CIoStream;
}
class CConvTable;

// Conversion files (".cnv") and single-record blocks share a 16-byte header:
//   0  "@cNV@" (or the 8 bytes "@vMcNV@\0")   5  version 1   6  header revision
//   9  total length (24-bit)   12  flags: bit 0 CRC-32 trailer, bit 1 scrambled payload
//   14 number of records
// The payload holds the records, each as a 16-bit length and the record bytes; the
// standard CRC-32 over header and payload follows when flag bit 0 is set.
inline constexpr size_t CNV_HEADER_SIZE = 16;
inline constexpr uint16_t CNV_FLAG_CRC = 0x0001;
inline constexpr uint16_t CNV_FLAG_SCRAMBLED = 0x0002;
// What a single-record block adds to its record: header, length and CRC.
inline constexpr size_t CNV_BLOCK_OVERHEAD = 22;

// Rewinds a seekable stream, reads the 16 header bytes and accepts either header form;
// true only for version 1. Stream failures count as a refusal.
bool ReadCnvHeader(StreamIO::CIoStream& stream, int& version, int& headerRevision,
                   uint8_t header[CNV_HEADER_SIZE]);

// Wraps the record at the start of the buffer into a single-record block in place; the
// buffer is resized to the block length, which is returned (0 for an empty record).
size_t BuildCnvRecordBlock(std::vector<uint8_t>& buffer, size_t recordLength);

// Checks a single-record block within the bytes at hand and moves its record to the start
// of the buffer; returns the record length, 0 when the block is refused.
size_t ParseCnvRecordBlock(uint8_t* block, size_t available);

// The file name of a customer conversion, name_probe_scale.cnv, safe to use as one file
// name in the conversions folder. False (and an empty name) for an undecodable record.
bool MakeCnvFileName(const uint8_t* record, size_t available, QString& name);

// Why a conversion file gave the table no record.
enum NCnvProblem
{
    cnvNoProblem,      // it gave records
    cnvUnreadable,     // the file could not be opened or read
    cnvNotConversions, // no conversion-file header of version 1
    cnvDamaged,        // a length or count that the bytes do not hold
    cnvBadChecksum,    // the CRC-32 does not match
    cnvScrambled,      // the payload is scrambled, which this program cannot read
    cnvNoUsableRecord, // every record was refused
};

struct SCnvFolderLoad
{
    int files = 0;                              // files read
    int records = 0;                            // records the table took or kept
    bool standardFound = false;                 // a file named Standard.cnv (in any case) was there
    int standardRecords = 0;                    // ... and the records it gave
    NCnvProblem standardProblem = cnvNoProblem; // why it gave none
    QStringList unreadable;     // names of the files that could not be opened
};

// Loads every ".cnv" file of a folder (extension in any case) into the table, under the
// table's lock; a file that cannot be opened is skipped and named in the result.
SCnvFolderLoad LoadCnvFolder(CConvTable& table, const QString& folder);
