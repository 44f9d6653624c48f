#include "resources/BuiltInStrings.h"

#include "platform/core/StringTable.h"

namespace
{
struct Text
{
    uint32_t id;
    const char16_t* text;
};

// Ordered by id within each block. Texts are the program's own words; keep them exactly as
// they are.
constexpr Text kStrings[] = {
    {143, u"Select and connect the device"},
    {144, u"Velmor"},
    {145, u"Software\\Velmor\\Veskador 3"},
    {1000, u"The registry entry could not be written."},
    {1004, u"An unhandled MFC exception occured"},
    {1015, u"Date/Time format:"},
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
    {20000, u"Serial"},
    {20001, u"USB"},
    {20002, u"Ethernet"},
    {20003, u"Search %s device on %s..."},
    {20004, u"could not open port."},
    {20005, u"Transfer datablock to the device."},
    {20006, u"No device of the required type found."},
    {20007, u" %s   Serial: %s"},
    {20008, u"Write datablock."},
    {20009, u"Set the device into the appropriate operation mode."},
    {20010, u"Perform some device checks."},
    {20011, u"Do device specific initializations."},
    {20012, u"Set the device into the appropriate operation mode."},
    {20013, u"Finished the device update successfully."},
    {20014, u" [%d/%d]"},
    {20015, u"An error (%d) occurred during the device Update."},
    {20016, u"A communication error occurred during the device Update."},
    {20017, u"Device type:\t%s\r\nSerial number:\t%s\r\nApplication Version:\t%s\r\nHardware revision:\t%s\r\n"
            u"Bootloader Version:\t%s\r\nSignature:\t%s"},
    {20018, u"Device type:\t%s\r\nSerial number:\t%s\r\nApplication Version:\t%s\r\nHardware revision:\t%s\r\n"
            u"OS Version:\t%s\r\nLocalization:\t%s\r\nTimezone ID:\t%s\r\nSignature:\t%s"},
    {20019, u"The update packet does not match the device type."},
    {20020, u"could not open USB device."},
    {20021, u"The update packet does not support this Hardware (Hardware Revision)."},
    {20022, u"\r\nPlease restart the device and this Application and retry the Update.\r\nIn case the error "
            u"persists, contact a Velmor service centre."},
    {20023, u"An error occurred during data upload process."},
    {20024, u"An error occurred during device program.\r\nIf the device says everything went well, ignore this "
            u"error and restart the device manually. Else:"},
    {20025, u"An error occurred during device operation mode change.\r\nIf the device says everything went "
            u"well, ignore this error and restart the device manually. Else:"},
    {20026, u"An error occurred during file read."},
    {20027, u"The process was aborted by the user."},
    {20028, u"The update packet needs another OS Version than the one in your device."},
    {20029, u"No remote login implemented."},
    {20030, u"Device type:\t%s\r\nSerial number:\t%s\r\nFirmware Version:\t%s\r\nHardware revision:\t%s\r\n"
            u"Signature:\t%s"},
    {20031, u"Erase Memory"},
    {20032, u"Device type:\t%s\r\nSerial number:\t%s\r\nApplication Version:\t%s\r\nHardware revision:\t%s\r\n"
            u"OS Version:\t%s\r\nBootloader Version:\t%s\r\nMultimedia Version:\t%s\r\nLocalization:\t%s\r\n"
            u"Timezone ID:\t%s\r\nSignature:\t%s"},
    {20033, u"Await device answer for reconnection..."},
    {20034, u"The device is not connected with a power adaptor and the battery voltage is too low.\r\nPlease "
            u"connect the device with the power adaptor and retry."},
    {21001, u"Shows information about the device "},
    {21002, u"Select the type of the device "},
    {21003, u"Advance to the next step"},
    {21004, u"Abort this application"},
    {21005, u"Return to the last page"},
    {21006, u"Proceed with your selection"},
    {21007, u"Search device on any COM port"},
    {21008, u"Enter the IP address of the device"},
    {21009, u"Enter the COM port number the device is connected to"},
    {21010, u"Choose how the device is connected to this PC"},
    {21011, u"Stop the device search after the first device is found"},
    {21012, u"Select the device from the list of found devices"},
    {21013, u"Status information about the device search process"},
    {21014, u"Unknown error at device login."},
    {21015, u"Express Update"},
    {21016, u"Custom Update"},
    {21017,
     u"The active user profile in the device does not have super user rights.\r\nChange the active user "
     u"then press retry."},
    {21018, u"The active user profile in the device does not have a password defined.\r\nDefine a password, "
            u"then press retry."},
    {21019, u"Login failed"},
    {21020, u"< Back"},
    {21021, u"Next >"},
    {21022, u"Finish"},
    {21023, u"Cancel"},
    {21038, u"Finished device search, no device found."},
    {21039, u"Open dialog-specific Help"},
    {21040, u"Serial"},
    {21041, u"USB"},
    {21042, u"Ethernet"},
    {21043, u"%.0sSerial number: %s    %s"},
    {21044, u"bad connection!"},
    {21045, u"Finished device search, found device(s):"},
    {21046,
     u"No device found.\r\n\r\nPlease make sure the device is switched on, connected to your PC and the "
     u"correct device type and communication interface have been selected.\r\n\r\nIn case this does not "
     u"help, please contact your IT adminstrator or a Velmor service centre for further assistance.\r\n\r\n"
     u"Retry?"},
    {22032, u"Repeatedly it was not possible to connect the PC to the Internet to check for newer firmware or "
            u"OS for the %s device.\nIt is advisable to connect your PC once in a while to the Internet to keep "
            u"the device firmware and OS up-to-date."},
    {25003, u"Failed to connect to FTP server!"},
    {25004, u"Directory (%s) not found on the FTP server!"},
    {25005, u"Failed to create an internet session!"},
    {25006, u"(Error %d)"},
    {28500, u"Fatal Error"},
    {28501, u"Error"},
    {28502, u"Warning"},
    {28503, u"Information"},
    {28551, u"\r\n\r\nPlease send the log file to Velmor SA and describe the error.\r\nThank you for helping "
            u"us improve our Software."},
    {59186, u"noCnv"},
    {59187, u"noCnv"},
    {59222, u"Press down"},
    {59223, u"Hold"},
    {59224, u"Release"},
    {59225, u"Finished"},
    {59228, u"seconds"},
    {59313, u"Measurement clamp?"},
    {59314, u"Found signal curve characteristics typical for clamp use. It is advised not to use the clamp "
            u"together with the ASTM B724 measurement method. Inaccurate measurements may be the consequence!"},
    {59315, u"Vibration detected"},
    {59316, u"Vibration or tilted probe detected. Measurement may be inaccurate."},
    {59317, u"Incomplete"},
    {59318, u"Incomplete measurement. Please try to follow the instruction on the screen while measuring.\r\n"
            u"Measurement ignored!"},
    {59319, u"Pressed too fast"},
    {59320, u"Total load applied too fast. Try to apply test load slower.\r\nMeasurement ignored."},
    {59321, u"Released too fast"},
    {59322, u"Total load released too fast. Try to release test load slower.\r\nMeasurement ignored!"},
    // Series-setting popups
    {59177, u"Automatic"},
    {59178, u"Vertical down"},
    {59179, u"Horizontal"},
    {59180, u"Diagonal down"},
    {59181, u"Diagonal up"},
    {59182, u"Vertical up"},
    {59193, u"off"},
    {59196, u"No common scales!"},
    {59219, u"no"},
    {59220, u"yes"},
    {59221, u"Exclude this measurement"},
    {59236, u"Direction correction"},
    {59237, u"Diameter correction"},
    {59307, u"Copy measurement"},
    {59308, u"Copy all measurements"},
    {59311, u"Metric"},
    {59312, u"Imperial"},
    {1244, u"1. What do you want to export?"},
    {1245, u"Headers only"},
    {1250, u"As is"},
    {1251, u"Headers and details"},
    {1252, u"2. Select target"},
    {1253, u"One file only"},
    {1254, u"Each object to a separate file"},
    {1255, u"Copy to clipboard"},
    {1260, u"3. Select data"},
    {1261, u"All"},
    {1262, u"Selection only"},
    {1263, u"Preview"},
    {1264, u"PNG graphic file (recommended)"},
    {1265, u"Bitmap graphic file"},
    {1270, u"JPG graphic file"},
    {1271, u"All files"},
    {1272, u"Veskador 3 Graphic"},
    {1273, u"Veskador 3 Data"},
    {1274, u"CSV Comma separated values file"},
    {1275, u"2. Select target"},
    {1280, u"3. Select data"},
    {59232, u"1. Select text format"},
    {59233, u"Table"},
    {59234, u"Report"},
    // Printing and the exports.
    {1021, u"Page %d of %d"},
    {1141, u"Veskora 3 measurement objects"},
    {1143, u"Velmor"},
    {1172, u"Veskador 3 Version %d.%d.%d.%d"},
    {1281, u"Please wait while preparing for export..."},
    {1282, u"Bitmap creation failed because target Bitmap is to large!"},
    {1283, u"Copy to Clipboard failed!"},
    {1284, u"Exporting %s ..."},
    {1285, u"Encoding of graphic file failed. This can happen on very large files."},
    {1290, u"Creating %s ..."},
    {59306, u"File could not be created or opened! Is it already open?"},
    // Main window and application.
    {135, u"Go to www.velmor.example\nGo to www.velmor.example"},
    {161, u"Veskador 3_*.rcc"},
    {162, u"DiZivavir.chm"},
    {163, u"DiZivavir.exe"},
    {1135, u"Velmor Veskador 3"},
    {1181, u"Veskador 3_ENU.pdf"},
    {1182, u"Objects"},
    {57345, u"Ready"},
    {59202, u"Cut"},
    {59203, u"Copy"},
    {59204, u"Paste"},
    {59205, u"Delete"},
    {59206, u"Rename"},
    {59207, u"New folder"},
    {59213, u"Do you really want to delete the selected files?"},
    {59309, u"Error: The target folder is a child folder of the source folder. "},
    {59326, u"New version available!"},
    {59327, u"Update Veskador 3 to version %s"},
    {59328, u"Update Veskora 3 application to version %s"},
    {59329, u"Update Veskora 3 operating system to version %s"},
    {59330, u"https://www.velmor.example/registration"},
    {59331, u"https://www.velmor.example/feedback"},
    {59332, u"Download Veskora 3 measurements"},
    {59333, u"Disconnect Veskora 3"},
    {59334, u"CAP"},
    {59335, u"NUM"},
};
} // namespace

void RegisterBuiltInStrings()
{
    RegisterMeasurementNames();
    auto& table = Platform::StringTable::Instance();
    for (const Text& t : kStrings)
        table.Set(t.id, QString::fromUtf16(t.text));
}
