#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform::registry {

// One named value of a key: a REG_SZ keeps text, a REG_DWORD number.
struct HiveValue
{
    std::string name;
    uint32_t type = 0;
    std::string text;
    uint32_t number = 0;

    bool sameData(const HiveValue& other) const
    {
        return type == other.type && text == other.text && number == other.number;
    }
};

// A key of a hive in memory: its values and subkeys in the order of creation,
// found by name without regard to case. Lookups are indexed, so that a key
// with many values is read in linear time, and destruction does not recurse,
// so that a deep tree cannot exhaust the stack.
class HiveKey
{
public:
    explicit HiveKey(std::string name = {})
        : m_name(std::move(name))
    {
    }
    ~HiveKey();
    HiveKey(const HiveKey&) = delete;
    HiveKey& operator=(const HiveKey&) = delete;

    const std::string& name() const { return m_name; }

    HiveKey* findSubkey(std::string_view name);
    const HiveKey* findSubkey(std::string_view name) const;
    // The existing subkey of that name, or a new one spelled as given.
    HiveKey& addSubkey(std::string_view name);
    bool removeSubkey(std::string_view name);
    const std::vector<std::unique_ptr<HiveKey>>& subkeys() const { return m_subkeys; }

    // Follows path from this key; nullptr when a step is missing.
    HiveKey* find(const std::vector<std::string>& path);
    const HiveKey* find(const std::vector<std::string>& path) const;

    const HiveValue* findValue(std::string_view name) const;
    // Stores value; an existing value keeps the spelling of its name. True when
    // anything changed.
    bool setValue(HiveValue value);
    bool removeValue(std::string_view name);
    const std::vector<HiveValue>& values() const { return m_values; }

    // Removes every value and subkey; true when there was anything.
    bool clear();

private:
    std::string m_name;
    std::vector<HiveValue> m_values;
    std::vector<std::unique_ptr<HiveKey>> m_subkeys;
    // Folded name -> position in m_values / m_subkeys.
    std::unordered_map<std::string, size_t> m_valueIndex;
    std::unordered_map<std::string, size_t> m_subkeyIndex;
};

} // namespace platform::registry
