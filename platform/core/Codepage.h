#pragma once
#include <QByteArray>
#include <QString>

// 8-bit text on the device wire is Windows-1252. The five code points that 1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) pass through as U+0081 ... as Windows does,
// so every byte survives a round trip.
QString DecodeCp1252(QByteArrayView bytes);
// Characters outside Windows-1252 become the replacement byte.
QByteArray EncodeCp1252(QStringView text, char replacement = '?');
