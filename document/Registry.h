#pragma once
#include <QString>

#include <cstdint>

namespace Platform
{
class SettingsStore;
}

// The program's string settings under one key of the settings store: the key is the
// text of a string id (the product key) followed by a subkey such as "\Settings".
class CRegistry
{
public:
    CRegistry(uint32_t keyStringId, const QString& subKey);
    CRegistry(uint32_t keyStringId, const QString& subKey, Platform::SettingsStore& store);

    // False and an empty output when the key or value is missing or not a string. A
    // zero-length value gives true and leaves the output as it was.
    bool ReadString(const QString& name, QString& output) const;
    // Writes into an existing key only. A failed write tells the user (string 1000);
    // the result says whether the value was stored.
    bool WriteString(const QString& name, const QString& value) const;
    // A default the program starts with: stored only where no value is, and never over a
    // settings file that could not be read (SettingsStore::WriteDefault).
    bool WriteDefault(const QString& name, const QString& value) const;

    const QString& KeyPath() const { return m_key; }

private:
    Platform::SettingsStore& m_store;
    QString m_key;
};
