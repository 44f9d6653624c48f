#pragma once
#include <QString>

#include <cstdint>

// The texts the exports show: string ids of the program's texts, and the few texts of our
// own for the failures the exports report.
namespace ExportTexts
{
inline constexpr uint32_t IDS_PAGE_OF = 1021;           // "Page %d of %d"
inline constexpr uint32_t IDS_PRINT_CENTRE = 1141;      // "Veskora 3 measurement objects"
inline constexpr uint32_t IDS_PRINT_LEFT = 1143;        // "Velmor"
inline constexpr uint32_t IDS_PRINT_VERSION = 1172;     // "Veskador 3 Version %d.%d.%d.%d"
inline constexpr uint32_t IDS_PREPARING = 1281;         // "Please wait while preparing for export..."
inline constexpr uint32_t IDS_BITMAP_TOO_LARGE = 1282;  // "Bitmap creation failed because ..."
inline constexpr uint32_t IDS_CLIPBOARD_FAILED = 1283;  // "Copy to Clipboard failed!"
inline constexpr uint32_t IDS_EXPORTING = 1284;         // "Exporting %s ..."
inline constexpr uint32_t IDS_ENCODING_FAILED = 1285;   // "Encoding of graphic file failed. ..."
inline constexpr uint32_t IDS_CREATING = 1290;          // "Creating %s ..."
inline constexpr uint32_t IDS_CANNOT_CREATE_FILE = 59306; // "File could not be created or opened! ..."

// "There are no measurement objects to export."
QString NothingToExport();
// Asks before files are replaced; lists (some of) them.
QString ReplaceFiles(const QStringList& existing);
// The parts of a combined picture did not make up the picture: nothing was written.
QString PartsDoNotFit();
// A file that was created but could not be written completely.
QString WriteFailed();
// A string-table text with one "%s" filled in.
QString Format(uint32_t id, const QString& argument);
} // namespace ExportTexts
