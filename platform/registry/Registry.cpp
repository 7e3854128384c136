#include "platform/registry/Registry.h"

#include "platform/registry/HiveFile.h"
#include "platform/registry/HiveFormat.h"
#include "platform/system/XdgPaths.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_set>
#include <vector>

namespace platform::registry {

// A handle names its key by path, not by pointer: the content in memory is
// replaced whenever another process changed the file.
struct KeyHandle
{
    std::shared_ptr<HiveFile> hive;
    std::vector<std::string> path;
    Access access = Access::Read;
};

namespace {

// Larger values are refused rather than bloating the hive that every start reads.
constexpr size_t kMaxValueSize = 1024 * 1024;
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;

std::mutex g_mutex;
std::map<std::string, std::shared_ptr<HiveFile>> g_hives;
std::unordered_set<KeyHandle*> g_handles;

// Runs body and turns an exception (only allocation can throw here) into a
// status: nothing may leave the library as an exception.
template<typename Body>
LSTATUS Guarded(Body body)
{
    try {
        std::lock_guard<std::mutex> lock(g_mutex);
        return body();
    } catch (const std::bad_alloc&) {
        return kNotEnoughMemory;
    } catch (...) {
        return kInvalidParameter;
    }
}

// Opening and creating clear the caller's handle first: a failure leaves none.
template<typename Body>
LSTATUS GuardedOpen(HKEY* out, Body body)
{
    if (out == nullptr)
        return kInvalidParameter;
    *out = nullptr;
    return Guarded(body);
}

std::shared_ptr<HiveFile> HiveFor(Root root)
{
    std::string path = HivePath(root);
    auto& hive = g_hives[path];
    if (!hive)
        hive = std::make_shared<HiveFile>(path);
    return hive;
}

KeyHandle* Lookup(HKEY key)
{
    return key != nullptr && g_handles.count(key) != 0 ? key : nullptr;
}

// The handle behind key when it may be written through.
LSTATUS WritableHandle(HKEY key, KeyHandle** out)
{
    *out = Lookup(key);
    if (*out == nullptr)
        return kInvalidHandle;
    return (*out)->access == Access::Full ? kSuccess : kAccessDenied;
}

bool ValidKeyName(std::string_view name)
{
    if (name.size() > kMaxKeyNameLength)
        return false;
    for (char c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            return false;
    }
    return true;
}

// Splits "a\\b\\c"; empty steps (doubled or outer backslashes) are skipped.
bool SplitPath(std::string_view subKey, std::vector<std::string>& steps)
{
    while (!subKey.empty()) {
        size_t slash = subKey.find('\\');
        std::string_view step = subKey.substr(0, slash);
        if (!step.empty()) {
            if (!ValidKeyName(step))
                return false;
            steps.emplace_back(step);
        }
        if (slash == std::string_view::npos)
            break;
        subKey.remove_prefix(slash + 1);
    }
    return true;
}

bool ValidValueName(std::string_view name)
{
    return name.size() <= kMaxValueNameLength && name.find('\0') == std::string_view::npos;
}

LSTATUS NewHandle(std::shared_ptr<HiveFile> hive, std::vector<std::string> path, Access access, HKEY* out)
{
    auto handle = std::make_unique<KeyHandle>();
    handle->hive = std::move(hive);
    handle->path = std::move(path);
    handle->access = access;
    g_handles.insert(handle.get());
    *out = handle.release();
    return kSuccess;
}

LSTATUS OpenIn(std::shared_ptr<HiveFile> hive, std::vector<std::string> base, std::string_view subKey, Access access,
               HKEY* out)
{
    if (!SplitPath(subKey, base))
        return kInvalidParameter;
    if (hive->current().find(base) == nullptr)
        return kFileNotFound;
    return NewHandle(std::move(hive), std::move(base), access, out);
}

LSTATUS CreateIn(std::shared_ptr<HiveFile> hive, std::vector<std::string> base, std::string_view subKey, HKEY* out)
{
    size_t baseSize = base.size();
    if (!SplitPath(subKey, base) || base.size() > kMaxHiveDepth)
        return kInvalidParameter;
    LSTATUS status = hive->modify([&](HiveKey& root, bool& changed) {
        HiveKey* key = root.find(std::vector<std::string>(base.begin(), base.begin() + baseSize));
        if (key == nullptr)
            return kKeyDeleted;
        for (size_t i = baseSize; i < base.size(); ++i) {
            HiveKey* next = key->findSubkey(base[i]);
            if (next == nullptr) {
                next = &key->addSubkey(base[i]);
                changed = true;
            }
            key = next;
        }
        return kSuccess;
    });
    if (status != kSuccess)
        return status;
    return NewHandle(std::move(hive), std::move(base), Access::Full, out);
}

// Deletes base\subKey; tree also removes what lies below it. An empty subKey
// means the base key itself: a whole tree is then emptied, a key removed.
LSTATUS DeleteIn(const std::shared_ptr<HiveFile>& hive, std::vector<std::string> base, std::string_view subKey,
                 bool tree)
{
    if (!SplitPath(subKey, base))
        return kInvalidParameter;
    bool emptyOnly = tree && subKey.find_first_not_of('\\') == std::string_view::npos;
    if (base.empty() && !emptyOnly)
        return kAccessDenied; // a root cannot be deleted
    return hive->modify([&](HiveKey& root, bool& changed) {
        HiveKey* key = root.find(base);
        if (key == nullptr)
            return kFileNotFound;
        if (emptyOnly) {
            changed = key->clear();
            return kSuccess;
        }
        if (!tree && !key->subkeys().empty())
            return kAccessDenied;
        HiveKey* parent = root.find(std::vector<std::string>(base.begin(), base.end() - 1));
        changed = parent != nullptr && parent->removeSubkey(base.back());
        return changed ? kSuccess : kFileNotFound;
    });
}

// Through a root, subKey must name a key: the root itself cannot go.
LSTATUS DeleteBelowRoot(Root root, std::string_view subKey, bool tree)
{
    return Guarded([&] {
        if (subKey.find_first_not_of('\\') == std::string_view::npos)
            return kAccessDenied;
        return DeleteIn(HiveFor(root), {}, subKey, tree);
    });
}

LSTATUS DeleteBelowKey(HKEY parent, std::string_view subKey, bool tree)
{
    return Guarded([&] {
        KeyHandle* handle = nullptr;
        if (LSTATUS status = WritableHandle(parent, &handle); status != kSuccess)
            return status;
        return DeleteIn(handle->hive, handle->path, subKey, tree);
    });
}

LSTATUS SetValue(HKEY key, HiveValue value)
{
    KeyHandle* handle = nullptr;
    if (LSTATUS status = WritableHandle(key, &handle); status != kSuccess)
        return status;
    return handle->hive->modify([&](HiveKey& root, bool& changed) {
        HiveKey* target = root.find(handle->path);
        if (target == nullptr)
            return kKeyDeleted;
        changed = target->setValue(std::move(value));
        return kSuccess;
    });
}

// The key behind a handle as it is on disk now.
LSTATUS CurrentKey(HKEY key, const HiveKey** out)
{
    KeyHandle* handle = Lookup(key);
    if (handle == nullptr)
        return kInvalidHandle;
    *out = handle->hive->current().find(handle->path);
    return *out == nullptr ? kKeyDeleted : kSuccess;
}

// A value of the key behind a handle as it is on disk now.
LSTATUS CurrentValue(HKEY key, std::string_view name, const HiveValue** out)
{
    const HiveKey* target = nullptr;
    if (LSTATUS status = CurrentKey(key, &target); status != kSuccess)
        return status;
    *out = target->findValue(name);
    return *out == nullptr ? kFileNotFound : kSuccess;
}

} // namespace

std::string HivePath(Root root)
{
    try {
        if (root == Root::ClassesRoot)
            return VeltDataDir(false) + "/classes.reg";
        return VeltConfigDir(false) + "/user.reg";
    } catch (...) {
        return {};
    }
}

LSTATUS RegModifyHive(Root root, const HiveChange& change)
{
    return Guarded([&] { return HiveFor(root)->modify(change); });
}

LSTATUS RegReadHive(Root root, const std::function<void(const HiveKey& root)>& reader)
{
    return Guarded([&] {
        reader(HiveFor(root)->current());
        return kSuccess;
    });
}

bool SplitKeyPath(std::string_view path, std::vector<std::string>& steps)
{
    return SplitPath(path, steps);
}

LSTATUS RegOpenKey(Root root, std::string_view subKey, Access access, HKEY* out)
{
    return GuardedOpen(out, [&] { return OpenIn(HiveFor(root), {}, subKey, access, out); });
}

LSTATUS RegOpenKey(HKEY parent, std::string_view subKey, Access access, HKEY* out)
{
    return GuardedOpen(out, [&] {
        KeyHandle* handle = Lookup(parent);
        if (handle == nullptr)
            return kInvalidHandle;
        return OpenIn(handle->hive, handle->path, subKey, access, out);
    });
}

LSTATUS RegCreateKey(Root root, std::string_view subKey, HKEY* out)
{
    return GuardedOpen(out, [&] { return CreateIn(HiveFor(root), {}, subKey, out); });
}

LSTATUS RegCreateKey(HKEY parent, std::string_view subKey, HKEY* out)
{
    return GuardedOpen(out, [&] {
        KeyHandle* handle = nullptr;
        if (LSTATUS status = WritableHandle(parent, &handle); status != kSuccess)
            return status;
        return CreateIn(handle->hive, handle->path, subKey, out);
    });
}

LSTATUS RegQueryValue(HKEY key, std::string_view name, uint32_t* type, void* data, uint32_t* size)
{
    if (data != nullptr && size == nullptr)
        return kInvalidParameter;
    return Guarded([&] {
        const HiveValue* value = nullptr;
        if (LSTATUS status = CurrentValue(key, name, &value); status != kSuccess)
            return status;
        if (type)
            *type = value->type;
        if (size == nullptr)
            return kSuccess;
        // A string is stored with its terminating zero, as Windows stores it.
        const void* bytes = value->type == REG_DWORD ? static_cast<const void*>(&value->number)
                                                     : static_cast<const void*>(value->text.c_str());
        uint32_t needed = value->type == REG_DWORD ? 4u : static_cast<uint32_t>(value->text.size() + 1);
        uint32_t available = *size;
        *size = needed;
        if (data == nullptr)
            return kSuccess;
        if (available < needed)
            return kMoreData;
        std::memcpy(data, bytes, needed);
        return kSuccess;
    });
}

LSTATUS RegQueryString(HKEY key, std::string_view name, std::string* value)
{
    if (value == nullptr)
        return kInvalidParameter;
    return Guarded([&] {
        const HiveValue* found = nullptr;
        if (LSTATUS status = CurrentValue(key, name, &found); status != kSuccess)
            return status;
        *value = found->type == REG_DWORD ? std::to_string(found->number) : found->text;
        return kSuccess;
    });
}

LSTATUS RegQueryDword(HKEY key, std::string_view name, uint32_t* value)
{
    uint32_t type = REG_NONE;
    uint32_t size = sizeof(uint32_t);
    uint32_t number = 0;
    LSTATUS status = RegQueryValue(key, name, &type, &number, &size);
    if (status == kSuccess && type != REG_DWORD)
        return kInvalidParameter;
    if (status == kSuccess && value)
        *value = number;
    return status;
}

LSTATUS RegSetString(HKEY key, std::string_view name, std::string_view value)
{
    if (!ValidValueName(name) || value.size() > kMaxValueSize || value.find('\0') != std::string_view::npos)
        return kInvalidParameter;
    return Guarded([&] {
        HiveValue stored;
        stored.name = std::string(name);
        stored.type = REG_SZ;
        stored.text = std::string(value);
        return SetValue(key, std::move(stored));
    });
}

LSTATUS RegSetDword(HKEY key, std::string_view name, uint32_t value)
{
    if (!ValidValueName(name))
        return kInvalidParameter;
    return Guarded([&] {
        HiveValue stored;
        stored.name = std::string(name);
        stored.type = REG_DWORD;
        stored.number = value;
        return SetValue(key, std::move(stored));
    });
}

LSTATUS RegDeleteValue(HKEY key, std::string_view name)
{
    return Guarded([&] {
        KeyHandle* handle = nullptr;
        if (LSTATUS status = WritableHandle(key, &handle); status != kSuccess)
            return status;
        return handle->hive->modify([&](HiveKey& root, bool& changed) {
            HiveKey* target = root.find(handle->path);
            if (target == nullptr)
                return kKeyDeleted;
            changed = target->removeValue(name);
            return changed ? kSuccess : kFileNotFound;
        });
    });
}

LSTATUS RegDeleteKey(Root root, std::string_view subKey)
{
    return DeleteBelowRoot(root, subKey, false);
}

LSTATUS RegDeleteKey(HKEY parent, std::string_view subKey)
{
    return DeleteBelowKey(parent, subKey, false);
}

LSTATUS RegDeleteTree(Root root, std::string_view subKey)
{
    return DeleteBelowRoot(root, subKey, true);
}

LSTATUS RegDeleteTree(HKEY parent, std::string_view subKey)
{
    return DeleteBelowKey(parent, subKey, true);
}

LSTATUS RegEnumKey(HKEY key, uint32_t index, std::string* name)
{
    if (name == nullptr)
        return kInvalidParameter;
    return Guarded([&] {
        const HiveKey* target = nullptr;
        if (LSTATUS status = CurrentKey(key, &target); status != kSuccess)
            return status;
        if (index >= target->subkeys().size())
            return kNoMoreItems;
        *name = target->subkeys()[index]->name();
        return kSuccess;
    });
}

LSTATUS RegEnumValue(HKEY key, uint32_t index, std::string* name, uint32_t* type)
{
    if (name == nullptr)
        return kInvalidParameter;
    return Guarded([&] {
        const HiveKey* target = nullptr;
        if (LSTATUS status = CurrentKey(key, &target); status != kSuccess)
            return status;
        if (index >= target->values().size())
            return kNoMoreItems;
        *name = target->values()[index].name;
        if (type)
            *type = target->values()[index].type;
        return kSuccess;
    });
}

LSTATUS RegCloseKey(HKEY key)
{
    return Guarded([&] {
        if (Lookup(key) == nullptr)
            return kInvalidHandle;
        g_handles.erase(key);
        delete key;
        return kSuccess;
    });
}

} // namespace platform::registry
