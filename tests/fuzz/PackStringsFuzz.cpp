// A language pack's string table over the built-in texts. An input that starts with '{'
// is the table itself (a JSON object of string id -> text); any other input gives one text
// a line, for an id picked by the line's first byte among texts with and without
// placeholders. Whatever the table takes must keep each built-in text's placeholders, and
// the program's formatters fill every text.
#include "device/DeviceText.h"
#include "platform/core/StringTable.h"
#include "resources/BuiltInStrings.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdlib>
#include <iterator>

namespace
{
// Search, found device, block suffix, update error, device information, entry of the
// device list, FTP folder and error, program update; program title and time format.
constexpr uint32_t kIds[] = {20003, 20007, 20014, 20015, 20017, 20018,
                             21043, 25004, 25006, 59327, 1135,  1030};

QByteArray TableFromLines(const QByteArray& input)
{
    QJsonObject table;
    for (const QByteArray& line : input.split('\n'))
    {
        if (line.isEmpty())
            continue;
        const uint32_t id = kIds[uint8_t(line.at(0)) % std::size(kIds)];
        table.insert(QString::number(id), QString::fromUtf8(line.mid(1)));
    }
    return QJsonDocument(table).toJson(QJsonDocument::Compact);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool registered = (RegisterBuiltInStrings(), true);
    (void)registered;
    const Platform::StringTable& builtIn = Platform::StringTable::Instance();

    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QByteArray pack = input.startsWith('{') ? input : TableFromLines(input);
    const QJsonObject texts = QJsonDocument::fromJson(pack).object();

    Platform::StringTable table;
    for (auto it = texts.begin(); it != texts.end(); ++it)
    {
        bool ok = false;
        const uint32_t id = it.key().toUInt(&ok);
        if (ok && builtIn.Contains(id))
            table.Set(id, builtIn.Get(id));
    }
    table.ApplyPack(pack);

    const QStringList values = {QStringLiteral("Veskora 3"), QStringLiteral("V3-1"),
                                QStringLiteral("1.4.2"),     QStringLiteral("C12"),
                                QStringLiteral("2.1.0"),     QStringLiteral("EN"),
                                QStringLiteral("UTC"),       QStringLiteral("03010205")};
    for (auto it = texts.begin(); it != texts.end(); ++it)
    {
        bool ok = false;
        const uint32_t id = it.key().toUInt(&ok);
        if (!ok)
            continue;
        const QString text = table.Get(id);
        if (!Platform::HasSamePlaceholders(text, builtIn.Get(id)))
            std::abort();
        Device::FormatDeviceText(text, values);
        Device::FormatDeviceText(text, {});
    }
    return 0;
}
