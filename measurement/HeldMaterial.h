#pragma once
#include "measurement/Material.h"

#include <cstdint>
#include <memory>

// A material as a series holds it: type and variant in place, the own name of a custom
// material in a block of its own, only when there is one. A project holds two materials
// per series (current and original) and custom ones are rare, so the name's 64 bytes are
// not carried by every series. It reads and compares as the SMaterial it stands for.
class CHeldMaterial
{
public:
    CHeldMaterial() = default;
    CHeldMaterial(const CHeldMaterial& other) { *this = other; }
    CHeldMaterial& operator=(const CHeldMaterial& other);
    CHeldMaterial& operator=(const SMaterial& material);

    SMaterial Get() const;
    operator SMaterial() const { return Get(); }

    bool IsEqual(const SMaterial& other) const { return Get().IsEqual(other); }
    bool IsEqual(const CHeldMaterial& other) const { return Get().IsEqual(other.Get()); }

    // As SMaterial's.
    bool Set(int type, int variant);
    bool SetFromRecord(const SConvRecordInfo& record);
    bool SetCustom(const QString& name, int variant);
    void Clear() { *this = SMaterial(); }

    uint8_t type = 0xFF;
    uint8_t group = 0xFF;

private:
    // The whole name array of the SMaterial, null when it is all zero.
    std::unique_ptr<char16_t[]> m_name;
};
