#include "measurement/Material.h"

#include "measurement/ConvRecord.h"
#include "measurement/ScaleCodes.h"

#include <algorithm>

namespace
{

constexpr int kNameMax = SMaterial::kNameSize - 1;

bool IsGroupType(int type)
{
    return type >= 1 && type <= 9;
}

int NameLength(const char16_t* name)
{
    int n = 0;
    while (n < SMaterial::kNameSize && name[n] != 0)
        ++n;
    return n;
}

} // namespace

SMaterial::SMaterial(const SConvRecordInfo& record)
{
    SetFromRecord(record);
}

void SMaterial::Clear()
{
    type = 0xFF;
    group = 0xFF;
    std::fill(std::begin(name), std::end(name), u'\0');
}

bool SMaterial::Set(int newType, int variant)
{
    Clear();
    if (IsGroupType(newType) && ((variant >= 0 && variant <= 14) || (variant & 0xFF) == 0xFF))
    {
        type = static_cast<uint8_t>(newType);
        group = static_cast<uint8_t>(variant);
        return true;
    }
    if (newType == MAT_INDEPENDENT)
    {
        type = MAT_INDEPENDENT;
        group = 0;
        return true;
    }
    if (newType == MAT_CUSTOM)
    {
        type = MAT_CUSTOM;
        group = (variant >= 0 && variant <= 15) ? static_cast<uint8_t>(variant) : 0;
        return true;
    }
    return false;
}

bool SMaterial::SetCustom(const char16_t* newName, int variant)
{
    if (newName == nullptr)
    {
        Clear();
        return false;
    }
    size_t n = 0;
    while (newName[n] != 0)
        ++n;
    return SetCustom(QString::fromUtf16(newName, static_cast<qsizetype>(n)), variant);
}

bool SMaterial::SetCustom(const QString& newName, int variant)
{
    Clear();
    if (newName.isEmpty() || variant < 0 || variant > 15)
        return false;
    const qsizetype n = std::min<qsizetype>(newName.size(), kNameMax);
    for (qsizetype i = 0; i < n; ++i)
        name[i] = newName[i].unicode();
    type = MAT_CUSTOM;
    group = static_cast<uint8_t>(variant);
    return true;
}

bool SMaterial::SetFromRecord(const SConvRecordInfo& record)
{
    if (record.matType == MAT_CUSTOM)
        return SetCustom(record.Name(), record.matGroup);
    if (IsGroupType(record.matType) && record.matGroup <= 14)
        return Set(record.matType, record.matGroup);
    if (record.matType == MAT_INDEPENDENT)
        return Set(MAT_INDEPENDENT, 0);
    Clear();
    return false;
}

void SMaterial::SetGroup(int variant)
{
    group = static_cast<uint8_t>(variant);
}

void SMaterial::Assign(const SMaterial& other)
{
    if (!std::equal(std::begin(name), std::end(name), std::begin(other.name)))
        std::copy(std::begin(other.name), std::end(other.name), std::begin(name));
    type = other.type;
    group = other.group;
}

bool SMaterial::IsEqual(const SMaterial& other) const
{
    if (type != other.type || group != other.group)
        return false;
    if (type != MAT_CUSTOM)
        return true;
    const int n = NameLength(name);
    return n == NameLength(other.name) && std::equal(name, name + n, other.name);
}

QString SMaterial::Name() const
{
    return QString::fromUtf16(name, NameLength(name));
}

QString SMaterial::GetName(bool bench) const
{
    if (type == MAT_CUSTOM)
        return Name();
    if (IsGroupType(type) || type == MAT_INDEPENDENT)
        return GetMaterialTypeText(type, bench);
    return QStringLiteral("???");
}

int SMaterial::CopyName(char16_t* buffer) const
{
    if (buffer == nullptr)
        return 0;
    QString text;
    if (type == MAT_CUSTOM)
        text = Name();
    else if (IsGroupType(type) || type == MAT_INDEPENDENT)
        text = GetMaterialTypeText(type, false).left(kNameMax);
    const int n = static_cast<int>(std::min<qsizetype>(text.size(), kNameMax));
    for (int i = 0; i < n; ++i)
        buffer[i] = text[i].unicode();
    buffer[n] = 0;
    return n;
}
