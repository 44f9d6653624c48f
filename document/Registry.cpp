#include "document/Registry.h"

#include "document/SettingsMessages.h"
#include "platform/core/SettingsStore.h"
#include "platform/core/StringTable.h"

CRegistry::CRegistry(uint32_t keyStringId, const QString& subKey)
    : CRegistry(keyStringId, subKey, Platform::SettingsStore::Instance())
{
}

CRegistry::CRegistry(uint32_t keyStringId, const QString& subKey, Platform::SettingsStore& store)
    : m_store(store), m_key(Platform::LoadString(keyStringId) + subKey)
{
}

bool CRegistry::ReadString(const QString& name, QString& output) const
{
    const auto value = m_store.ReadString(m_key, name);
    // No length limit: local paths here may be far longer than Windows' 260 characters.
    if (!value)
    {
        output.clear();
        return false;
    }
    if (value->isEmpty())
        return true;
    const qsizetype nul = value->indexOf(QChar(u'\0'));
    output = nul < 0 ? *value : value->left(nul);
    return true;
}

bool CRegistry::WriteString(const QString& name, const QString& value) const
{
    if (!m_store.KeyExists(m_key))
        return false;
    if (m_store.Write(m_key, name, value))
        return true;
    Settings::ShowWriteFailed(m_store);
    return false;
}

bool CRegistry::WriteDefault(const QString& name, const QString& value) const
{
    if (!m_store.KeyExists(m_key))
        return false;
    if (m_store.WriteDefault(m_key, name, value))
        return true;
    Settings::ShowWriteFailed(m_store);
    return false;
}
