#include "platform/registry/HiveKey.h"

#include "platform/system/TextCase.h"

#include <algorithm>

namespace platform::registry {

HiveKey* HiveKey::findSubkey(std::string_view name)
{
    for (auto& key : m_subkeys) {
        if (EqualsNoCase(key->name(), name))
            return key.get();
    }
    return nullptr;
}

const HiveKey* HiveKey::findSubkey(std::string_view name) const
{
    return const_cast<HiveKey*>(this)->findSubkey(name);
}

HiveKey& HiveKey::addSubkey(std::string_view name)
{
    if (HiveKey* existing = findSubkey(name))
        return *existing;
    m_subkeys.push_back(std::make_unique<HiveKey>(std::string(name)));
    return *m_subkeys.back();
}

bool HiveKey::removeSubkey(std::string_view name)
{
    auto it = std::find_if(m_subkeys.begin(), m_subkeys.end(),
                           [&](const std::unique_ptr<HiveKey>& key) { return EqualsNoCase(key->name(), name); });
    if (it == m_subkeys.end())
        return false;
    m_subkeys.erase(it);
    return true;
}

HiveKey* HiveKey::find(const std::vector<std::string>& path)
{
    HiveKey* key = this;
    for (const std::string& step : path) {
        key = key->findSubkey(step);
        if (key == nullptr)
            return nullptr;
    }
    return key;
}

const HiveKey* HiveKey::find(const std::vector<std::string>& path) const
{
    return const_cast<HiveKey*>(this)->find(path);
}

const HiveValue* HiveKey::findValue(std::string_view name) const
{
    for (const HiveValue& value : m_values) {
        if (EqualsNoCase(value.name, name))
            return &value;
    }
    return nullptr;
}

bool HiveKey::setValue(HiveValue value)
{
    for (HiveValue& existing : m_values) {
        if (EqualsNoCase(existing.name, value.name)) {
            if (existing.sameData(value))
                return false;
            value.name = existing.name;
            existing = std::move(value);
            return true;
        }
    }
    m_values.push_back(std::move(value));
    return true;
}

bool HiveKey::removeValue(std::string_view name)
{
    auto it = std::find_if(m_values.begin(), m_values.end(),
                           [&](const HiveValue& value) { return EqualsNoCase(value.name, name); });
    if (it == m_values.end())
        return false;
    m_values.erase(it);
    return true;
}

bool HiveKey::clear()
{
    bool had = !m_values.empty() || !m_subkeys.empty();
    m_values.clear();
    m_subkeys.clear();
    return had;
}

} // namespace platform::registry
