#include "resources/BuiltInStrings.h"

#include "platform/core/StringTable.h"

namespace
{
struct Text
{
    uint32_t id;
    const char16_t* text;
};

// Ordered by id. Texts are the program's own words; keep them exactly as they are.
constexpr Text kStrings[] = {
    {144, u"Velmor"},
    {145, u"Software\\Velmor\\Veskador 3"},
    {1000, u"The registry entry could not be written."},
    {1004, u"An unhandled MFC exception occured"},
    {1022, u"MM/dd/yyyy"},
    {1023, u"dd-MM-yyyy"},
    {1024, u"dd/MM/yyyy"},
    {1025, u"dd.MM.yyyy"},
    {1030, u"h:mm tt"},
    {1031, u"h:mmt"},
    {1032, u"H:mm"},
    {1033, u"HH:mm"},
    {1140, u"This is not a Veskador 3 project file or there was an error while reading."},
    {1142, u"Would you like to save changes in your Project?"},
    {1171, u"Unnamed"},
    {28500, u"Fatal Error"},
    {28501, u"Error"},
    {28502, u"Warning"},
    {28503, u"Information"},
    {28551, u"\r\n\r\nPlease send the log file to Velmor SA and describe the error.\r\nThank you for helping "
            u"us improve our Software."},
    {59186, u"noCnv"},
    {59187, u"noCnv"},
};
} // namespace

void RegisterBuiltInStrings()
{
    auto& table = Platform::StringTable::Instance();
    for (const Text& t : kStrings)
        table.Set(t.id, QString::fromUtf16(t.text));
}
