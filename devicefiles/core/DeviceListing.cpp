#include "devicefiles/core/DeviceListing.h"

#include <QStringView>

#include <algorithm>
#include <limits>
#include <string_view>
#include <utility>
#include <vector>

namespace
{
int HexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

bool IsBlank(char16_t c)
{
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

// Takes the next field up to ";" from `pos` (leading ";" skipped), together with the ";"
// after it, and reads up to `maxDigits` hexadecimal digits from its start after blanks.
// A field without digits reads as 0. One pass: ";" is neither a blank nor a digit.
uint32_t TakeHexField(std::u16string_view text, size_t& pos, int maxDigits)
{
    const size_t size = text.size();
    while (pos < size && text[pos] == u';')
        ++pos;
    size_t i = pos;
    while (i < size && IsBlank(text[i]))
        ++i;
    uint32_t value = 0;
    for (int n = 0; n < maxDigits && i < size; ++n, ++i)
    {
        const int digit = HexDigit(text[i]);
        if (digit < 0)
            break;
        value = value * 16 + uint32_t(digit);
    }
    const size_t end = std::min(text.find(u';', i), size);
    pos = std::min(end + 1, size);
    return value;
}

// A name the tester's file system could hold. Anything else would give paths that mean
// something else than the tester meant: another level, a parent folder, or a local file
// outside the folder a download writes into.
bool IsFileName(std::u16string_view name)
{
    if (name.empty() || name == u"." || name == u"..")
        return false;
    return std::none_of(name.begin(), name.end(),
                        [](char16_t u) { return u < 0x20 || u == 0x7F || u == u'\\' || u == u'/'; });
}

// The parser works on standard views, whose searches and comparisons the compiler sees
// through: fields and names are a few characters long, and a library call for each costs
// more than the search.
std::u16string_view Chars(QStringView text)
{
    return {text.utf16(), size_t(text.size())};
}

QStringView View(std::u16string_view text)
{
    return QStringView(text.data(), qsizetype(text.size()));
}

// The folder path that the entries are read into, relative to the root prefix. It keeps
// the end of every level so that a cut costs nothing however long the listing is. Once a
// folder was dropped, the levels from it on stand as placeholders: they keep the depths
// of the entries inside it right, and nothing inside it becomes a record.
class RunningPath
{
public:
    RunningPath() : m_path(QStringLiteral("\\")), m_levelEnds{1} {}

    const QString& Path() const { return m_path; }

    // Number of backslashes of the path, which is the depth of an entry placed in it.
    int32_t Depth() const
    {
        return int32_t(std::min<size_t>(m_levelEnds.size(), std::numeric_limits<int32_t>::max()));
    }

    bool InsideDropped() const { return m_droppedFrom < m_levelEnds.size(); }

    // The path up to and including its (n + 1)-th backslash, as CutPathAtDepth.
    void Cut(int n)
    {
        if (n < 0 || size_t(n) >= m_levelEnds.size())
            return;
        m_levelEnds.resize(size_t(n) + 1);
        m_path.truncate(m_levelEnds.back());
        if (m_droppedFrom >= m_levelEnds.size())
            m_droppedFrom = kNone;
    }

    void Enter(QStringView name)
    {
        m_path += name;
        m_path += u'\\';
        m_levelEnds.push_back(m_path.size());
    }

    void EnterDropped()
    {
        if (!InsideDropped())
            m_droppedFrom = m_levelEnds.size();
        m_path += u'\\';
        m_levelEnds.push_back(m_path.size());
    }

private:
    static constexpr size_t kNone = std::numeric_limits<size_t>::max();

    QString m_path;
    std::vector<qsizetype> m_levelEnds; // length of the path up to each of its backslashes
    size_t m_droppedFrom = kNone;       // number of levels before the first dropped folder
};
} // namespace

void ParseListing(QString& listing, uint32_t kind, QString& rootPrefix, TVeskFileArray& records)
{
    records.clear();
    const QString owned = std::exchange(listing, QString());
    const std::u16string_view text = Chars(owned);
    const size_t size = text.size();
    // Every record has its name between two quotes: one allocation for the list.
    records.reserve(size_t(std::count(text.begin(), text.end(), u'"')) / 2);
    RunningPath running;
    size_t pos = 0;
    while (pos < size)
    {
        const uint32_t attributes = TakeHexField(text, pos, 4);
        const uint32_t depth = TakeHexField(text, pos, 2);

        // Skip the opening quote, whatever stands there; the name runs to the next quote.
        // An entry whose name is not closed was cut short, and so is everything after it.
        if (pos < size)
            ++pos;
        const size_t close = text.find(u'"', pos);
        if (close == std::u16string_view::npos)
            break;
        const std::u16string_view name = text.substr(pos, close - pos);
        pos = std::min(close + 2, size); // the quote and the separator after it

        if (name.ends_with(u'\\'))
        {
            rootPrefix = View(name.substr(0, name.size() - 1)).toString();
            continue;
        }

        const bool isFolder = name.ends_with(u".DIR") || (attributes & FOLDER_ATTRIBUTE) != 0;
        running.Cut(int(depth) - 1);
        const int32_t level = running.Depth();
        const qsizetype pathLength = rootPrefix.size() + running.Path().size() + qsizetype(name.size());
        const bool acceptable = !running.InsideDropped() && IsFileName(name);
        if (isFolder)
        {
            if (!acceptable || pathLength + 1 > kMaxDevicePathLength)
            {
                running.EnterDropped();
                continue;
            }
            running.Enter(View(name));
        }
        else if ((attributes & kind) == 0 || !acceptable || pathLength > kMaxDevicePathLength)
        {
            continue;
        }

        auto record = std::make_unique<TVeskFile>();
        record->attributes = attributes;
        record->depth = level;
        record->isFolder = isFolder;
        // Built in place at its final length: one allocation for the path, no temporaries.
        const QStringView parts[] = {rootPrefix, running.Path(), isFolder ? QStringView() : View(name)};
        record->path = QString(parts[0].size() + parts[1].size() + parts[2].size(), Qt::Uninitialized);
        QChar* out = record->path.data();
        for (const QStringView part : parts)
            out = std::copy(part.begin(), part.end(), out);
        records.push_back(std::move(record));
    }
}

QString CutPathAtDepth(const QString& path, int n)
{
    if (n < 0)
        return path;
    qsizetype at = -1;
    for (int64_t i = 0; i <= n; ++i)
    {
        at = path.indexOf(u'\\', at + 1);
        if (at < 0)
            return path;
    }
    return path.left(at + 1);
}
