#include "corvanecom/ClassRegistration.h"

#include "corvanecom/CorvaneIds.h"
#include "platform/com/ComStrings.h"
#include "platform/registry/Registry.h"

#include <vector>

namespace corvane {

namespace {

using namespace platform::registry;

enum class Mark { None, ForceRemove, NoRemove };

enum class Value { None, Text, ModulePath };

struct Entry
{
    std::string key;
    Mark mark;
    Value kind; // of the default value
    std::string text; // the default value when kind is Text
    const char* valueName = nullptr; // one named value, or nullptr
    const char* value = nullptr;
};

// In the order of registration: every key after its parent.
std::vector<Entry> Entries()
{
    const std::string clsid = platform::com::GuidToString(CLSID_VELTCorvane);
    const std::string classKey = "CLSID\\" + clsid;
    const std::string progId = kProgId;
    const std::string independent = kVersionIndependentProgId;
    return {
        {progId, Mark::None, Value::Text, kClassName},
        {progId + "\\CLSID", Mark::None, Value::Text, clsid},
        {independent, Mark::None, Value::Text, kClassName},
        {independent + "\\CLSID", Mark::None, Value::Text, clsid},
        {independent + "\\CurVer", Mark::None, Value::Text, progId},
        {"CLSID", Mark::NoRemove, Value::None, {}},
        {classKey, Mark::ForceRemove, Value::Text, kClassName},
        {classKey + "\\ProgID", Mark::None, Value::Text, progId},
        {classKey + "\\VersionIndependentProgID", Mark::None, Value::Text, independent},
        {classKey + "\\Programmable", Mark::ForceRemove, Value::None, {}},
        {classKey + "\\InprocServer32", Mark::None, Value::ModulePath, {}, "ThreadingModel", "Apartment"},
        {classKey + "\\TypeLib", Mark::None, Value::Text, platform::com::GuidToString(LIBID_CORVANECOMLib)},
    };
}

HRESULT FromStatus(LSTATUS status)
{
    return status == kSuccess ? S_OK : HRESULT_FROM_WIN32(static_cast<uint32_t>(status));
}

struct KeyCloser
{
    HKEY key = nullptr;
    ~KeyCloser()
    {
        if (key)
            RegCloseKey(key);
    }
};

} // namespace

HRESULT RegisterClassEntries(const std::string& modulePath)
{
    for (const Entry& entry : Entries()) {
        if (entry.mark == Mark::ForceRemove) {
            const LSTATUS removed = RegDeleteTree(Root::ClassesRoot, entry.key);
            if (removed != kSuccess && removed != kFileNotFound)
                return FromStatus(removed);
        }
        KeyCloser key;
        if (const LSTATUS status = RegCreateKey(Root::ClassesRoot, entry.key, &key.key); status != kSuccess)
            return FromStatus(status);
        if (entry.kind != Value::None) {
            const std::string& value = entry.kind == Value::ModulePath ? modulePath : entry.text;
            if (const LSTATUS status = RegSetString(key.key, "", value); status != kSuccess)
                return FromStatus(status);
        }
        if (entry.valueName) {
            if (const LSTATUS status = RegSetString(key.key, entry.valueName, entry.value); status != kSuccess)
                return FromStatus(status);
        }
    }
    return S_OK;
}

void UnregisterClassEntries()
{
    const std::vector<Entry> entries = Entries();
    // Backwards, so that subkeys go before their parents; a key that still has
    // subkeys (someone else's) refuses the delete and stays.
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        if (it->mark != Mark::NoRemove)
            RegDeleteKey(Root::ClassesRoot, it->key);
    }
}

} // namespace corvane
