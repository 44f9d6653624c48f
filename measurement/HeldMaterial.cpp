#include "measurement/HeldMaterial.h"

#include <algorithm>

CHeldMaterial& CHeldMaterial::operator=(const CHeldMaterial& other)
{
    if (&other != this)
        *this = other.Get();
    return *this;
}

CHeldMaterial& CHeldMaterial::operator=(const SMaterial& material)
{
    type = material.type;
    group = material.group;
    const bool named = std::any_of(std::begin(material.name), std::end(material.name),
                                   [](char16_t c) { return c != 0; });
    if (!named)
    {
        m_name.reset();
        return *this;
    }
    if (!m_name)
        m_name = std::make_unique<char16_t[]>(SMaterial::kNameSize);
    std::copy(std::begin(material.name), std::end(material.name), m_name.get());
    return *this;
}

SMaterial CHeldMaterial::Get() const
{
    SMaterial material;
    material.type = type;
    material.group = group;
    if (m_name)
        std::copy(m_name.get(), m_name.get() + SMaterial::kNameSize, material.name);
    return material;
}

bool CHeldMaterial::Set(int newType, int variant)
{
    SMaterial material;
    const bool set = material.Set(newType, variant);
    *this = material;
    return set;
}

bool CHeldMaterial::SetFromRecord(const SConvRecordInfo& record)
{
    SMaterial material = Get();
    const bool set = material.SetFromRecord(record);
    *this = material;
    return set;
}

bool CHeldMaterial::SetCustom(const QString& name, int variant)
{
    SMaterial material = Get();
    const bool set = material.SetCustom(name, variant);
    *this = material;
    return set;
}
