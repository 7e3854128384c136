#pragma once

#include "platform/registry/HiveKey.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The registry functions the programs use, realised on per-user hive files:
// HKEY_CURRENT_USER in $XDG_CONFIG_HOME/VELT/user.reg and HKEY_CLASSES_ROOT in
// $XDG_DATA_HOME/VELT/classes.reg. Results are the Windows error numbers so that
// callers keep the checks they would make on Windows. Every function is
// thread-safe; writes are atomic and serialised between processes.
namespace platform::registry {

using LSTATUS = int32_t;

inline constexpr LSTATUS kSuccess = 0;
inline constexpr LSTATUS kFileNotFound = 2;
inline constexpr LSTATUS kAccessDenied = 5;
inline constexpr LSTATUS kInvalidHandle = 6;
inline constexpr LSTATUS kNotEnoughMemory = 8;
inline constexpr LSTATUS kInvalidParameter = 87;
inline constexpr LSTATUS kMoreData = 234;
inline constexpr LSTATUS kNoMoreItems = 259;
// The key behind a handle was deleted (by this or another process).
inline constexpr LSTATUS kKeyDeleted = 1018;
// The hive file could not be written (disk full, folder not writable, ...).
inline constexpr LSTATUS kWriteFault = 29;
// Another process held the hive's write lock for seconds (a hung writer).
inline constexpr LSTATUS kTimeout = 1460;

inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_DWORD = 4;

enum class Root { CurrentUser, ClassesRoot };
enum class Access { Read, Full };

struct KeyHandle;
using HKEY = KeyHandle*;

// Opens an existing key; never creates one. An empty subKey opens the root itself.
// Paths use "\" as separator ("Software\\VELT\\Tarnwick"); names are case-insensitive.
LSTATUS RegOpenKey(Root root, std::string_view subKey, Access access, HKEY* out);
LSTATUS RegOpenKey(HKEY parent, std::string_view subKey, Access access, HKEY* out);

// Opens a key with full access, creating it and any missing parents. Through a
// handle, the handle needs full access. Key names are at most 255 bytes without
// control characters, and a key lies at most 64 levels deep (kInvalidParameter).
LSTATUS RegCreateKey(Root root, std::string_view subKey, HKEY* out);
LSTATUS RegCreateKey(HKEY parent, std::string_view subKey, HKEY* out);

// Windows semantics: *size is the buffer size on entry and the bytes stored (or
// needed) on return; a REG_SZ counts its terminating zero, so a 256-byte buffer
// holds at most 255 characters. data == nullptr asks only for the size. A buffer
// that is too small gives kMoreData, a missing value kFileNotFound. type may be
// nullptr. An empty name is the key's default value.
LSTATUS RegQueryValue(HKEY key, std::string_view name, uint32_t* type, void* data, uint32_t* size);

// Writing through a handle opened with Access::Read gives kAccessDenied.
// A string may hold any byte except NUL and is at most 1 MiB (else
// kInvalidParameter). A handle whose key was deleted gives kKeyDeleted.
LSTATUS RegSetString(HKEY key, std::string_view name, std::string_view value);
LSTATUS RegSetDword(HKEY key, std::string_view name, uint32_t value);
LSTATUS RegDeleteValue(HKEY key, std::string_view name);

// Deletes a key that has no subkeys (otherwise kAccessDenied). With a handle,
// an empty subKey deletes the handle's own key. Deleting needs a parent handle
// with full access. A root cannot be deleted (kAccessDenied).
LSTATUS RegDeleteKey(Root root, std::string_view subKey);
LSTATUS RegDeleteKey(HKEY parent, std::string_view subKey);

// Deletes a key with everything below it. With a handle, an empty subKey
// deletes everything below that key but keeps the key itself, as on Windows;
// with a root it is refused (kAccessDenied), so that a slip cannot wipe a hive.
LSTATUS RegDeleteTree(Root root, std::string_view subKey);
LSTATUS RegDeleteTree(HKEY parent, std::string_view subKey);

// Enumeration in the order of creation; kNoMoreItems past the end.
LSTATUS RegEnumKey(HKEY key, uint32_t index, std::string* name);
LSTATUS RegEnumValue(HKEY key, uint32_t index, std::string* name, uint32_t* type);

LSTATUS RegCloseKey(HKEY key);

// Convenience for callers: reads a REG_SZ of any length (no buffer size rules;
// a REG_DWORD comes as decimal text), and a REG_DWORD (kInvalidParameter for
// any other type).
LSTATUS RegQueryString(HKEY key, std::string_view name, std::string* value);
LSTATUS RegQueryDword(HKEY key, std::string_view name, uint32_t* value);

// Several changes as one transaction: change gets the hive's whole content as
// it is on disk now, under the write lock; when it sets changed and returns
// kSuccess, the result replaces the file in one atomic rename, else nothing is
// written. change must not call the other registry functions (they would wait
// for the lock it runs under).
using HiveChange = std::function<LSTATUS(HiveKey& root, bool& changed)>;
LSTATUS RegModifyHive(Root root, const HiveChange& change);

// Hands reader the hive's whole content as it is on disk now; the same rule
// about calling other registry functions applies.
LSTATUS RegReadHive(Root root, const std::function<void(const HiveKey& root)>& reader);

// A key path as the steps HiveKey::find takes; false for a bad name.
bool SplitKeyPath(std::string_view path, std::vector<std::string>& steps);

// The file that backs a hive under the current environment.
std::string HivePath(Root root);

} // namespace platform::registry
