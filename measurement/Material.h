#pragma once
#include <QString>

#include <cstdint>

struct SConvRecordInfo;

// The material a series is converted for: a type (0 custom, 1-9 the material groups,
// 15 material independent, 0xFF none), a variant within the type and, for a custom
// material only, its own name of at most 31 characters.
struct SMaterial
{
    static constexpr int kNameSize = 32;

    uint8_t type = 0xFF;
    uint8_t group = 0xFF;
    char16_t name[kNameSize] = {};

    SMaterial() = default;
    explicit SMaterial(const SConvRecordInfo& record);

    // Types 1-9 with a variant 0-14 (or 0xFF, any variant), type 15 (variant 0) and type 0
    // (custom, empty name); anything else gives the empty material and false. The name is
    // cleared in every case.
    bool Set(int type, int variant);
    // A custom material: needs a non-empty name (cut to 31 characters) and a variant 0-15.
    bool SetCustom(const char16_t* name, int variant);
    bool SetCustom(const QString& name, int variant);
    // The material of a decoded conversion record; false when none results.
    bool SetFromRecord(const SConvRecordInfo& record);
    void SetGroup(int variant);
    void Assign(const SMaterial& other);
    void Clear();

    bool IsEqual(const SMaterial& other) const;
    bool IsNotEqual(const SMaterial& other) const { return !IsEqual(other); }

    QString Name() const; // the own name as stored
    // Own name for a custom material, the type's text for the others, "???" otherwise.
    QString GetName(bool bench) const;
    // Writes the name into a buffer of 32 characters and returns its length (0 without a
    // buffer): custom: the own name; types 1-9 and 15: the type's text cut to 31.
    int CopyName(char16_t* buffer) const;
};
