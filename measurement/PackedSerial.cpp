#include "measurement/PackedSerial.h"

namespace
{

const char* SerialPrefix(uint8_t type)
{
    switch (type)
    {
    case 3:
        return "V3";
    case 4:
        return "VX";
    case 129:
        return "ID";
    case 130:
        return "IS";
    case 131:
        return "ID15";
    case 132:
        return "IE";
    case 133:
        return "IC";
    case 134:
        return "IG";
    case 135:
        return "IDL";
    case 136:
        return "ISVP";
    case 137:
        return "IDC";
    case 144:
        return "VK";
    default:
        return "";
    }
}

QString ZeroPadded(int value, int width)
{
    return QString::number(value).rightJustified(width, QLatin1Char('0'));
}

} // namespace

bool SPackedSerial::IsZero() const
{
    for (uint8_t b : bytes)
        if (b != 0)
            return false;
    return true;
}

void FormatSerialNumber(const SPackedSerial& serial, QString& text)
{
    text.clear();
    const auto& b = serial.bytes;
    const uint8_t check = b[7];
    const int layout = (check >> 4) & 3;
    if (check < 0x40 || (check & 7) > 4 || layout == 0 || b[0] == 0 || b[0] == 255)
        return;
    // Layouts 1 and 2 have no known field layout; they give no text.
    if (layout != 3)
        return;

    const int first = b[1] & 0x7F;
    const int fourth = ((b[1] >> 7) & 1) | ((b[2] & 0x3F) << 1);
    const int fifth = ((b[2] >> 6) & 3) + 1;
    const int letter = 0x40 + (b[3] >> 3);
    const int second = b[4] | ((b[5] & 3) << 8);
    const int third = b[6] * 64 + (b[5] >> 2);
    if (first < 1 || first > 99 || second > 999 || third > 9999 || fourth > 99 || fifth > 4 || letter > 'Z')
        return;

    text = QString::fromLatin1(SerialPrefix(b[0])) + ZeroPadded(first, 2) + QLatin1Char('-') +
           ZeroPadded(second, 3) + QLatin1Char('-') + ZeroPadded(third, 4);
}
