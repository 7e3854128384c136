#include "platform/registry/HiveKey.h"

#include "platform/system/TextCase.h"

namespace platform::registry {

namespace {

// After an erase at position, every later entry moved one place down.
void Reindex(std::unordered_map<std::string, size_t>& index, size_t position)
{
    for (auto& entry : index) {
        if (entry.second > position)
            --entry.second;
    }
}

} // namespace

HiveKey::~HiveKey()
{
    // Tear the tree down from a work list: each key destroyed here has no
    // subkeys left, so no destructor calls another.
    std::vector<std::unique_ptr<HiveKey>> pending = std::move(m_subkeys);
    while (!pending.empty()) {
        std::unique_ptr<HiveKey> key = std::move(pending.back());
        pending.pop_back();
        for (auto& sub : key->m_subkeys)
            pending.push_back(std::move(sub));
        key->m_subkeys.clear();
    }
}

HiveKey* HiveKey::findSubkey(std::string_view name)
{
    auto it = m_subkeyIndex.find(FoldCase(name));
    return it == m_subkeyIndex.end() ? nullptr : m_subkeys[it->second].get();
}

const HiveKey* HiveKey::findSubkey(std::string_view name) const
{
    return const_cast<HiveKey*>(this)->findSubkey(name);
}

HiveKey& HiveKey::addSubkey(std::string_view name)
{
    auto [it, added] = m_subkeyIndex.try_emplace(FoldCase(name), m_subkeys.size());
    if (!added)
        return *m_subkeys[it->second];
    m_subkeys.push_back(std::make_unique<HiveKey>(std::string(name)));
    return *m_subkeys.back();
}

bool HiveKey::removeSubkey(std::string_view name)
{
    auto it = m_subkeyIndex.find(FoldCase(name));
    if (it == m_subkeyIndex.end())
        return false;
    const size_t position = it->second;
    m_subkeyIndex.erase(it);
    m_subkeys.erase(m_subkeys.begin() + static_cast<std::ptrdiff_t>(position));
    Reindex(m_subkeyIndex, position);
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
    auto it = m_valueIndex.find(FoldCase(name));
    return it == m_valueIndex.end() ? nullptr : &m_values[it->second];
}

bool HiveKey::setValue(HiveValue value)
{
    auto [it, added] = m_valueIndex.try_emplace(FoldCase(value.name), m_values.size());
    if (added) {
        m_values.push_back(std::move(value));
        return true;
    }
    HiveValue& existing = m_values[it->second];
    if (existing.sameData(value))
        return false;
    value.name = existing.name;
    existing = std::move(value);
    return true;
}

bool HiveKey::removeValue(std::string_view name)
{
    auto it = m_valueIndex.find(FoldCase(name));
    if (it == m_valueIndex.end())
        return false;
    const size_t position = it->second;
    m_valueIndex.erase(it);
    m_values.erase(m_values.begin() + static_cast<std::ptrdiff_t>(position));
    Reindex(m_valueIndex, position);
    return true;
}

bool HiveKey::clear()
{
    bool had = !m_values.empty() || !m_subkeys.empty();
    m_values.clear();
    m_valueIndex.clear();
    m_subkeys.clear();
    m_subkeyIndex.clear();
    return had;
}

} // namespace platform::registry
