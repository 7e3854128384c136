#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

// The optional remote-access (dial-up) functions, looked up by name in a
// provider library loaded at run time. On a computer without one every entry
// stays empty and each dial-up feature behaves as without the library. The
// table is filled once at start on the user-interface thread and only read
// afterwards.
struct RasFunctionTable
{
    // The records behind the void pointers are the provider's ANSI records
    // (sizes as the dial-up layer sets them); handles are opaque.
    using GetErrorStringFn = uint32_t (*)(uint32_t code, char* buffer, uint32_t size);
    using EnumConnectionsFn = uint32_t (*)(void* connections, uint32_t* bytes, uint32_t* count);
    using HangUpFn = uint32_t (*)(void* connection);
    using GetConnectStatusFn = uint32_t (*)(void* connection, void* status);
    using ValidateEntryNameFn = uint32_t (*)(const char* phonebook, const char* entry);
    using GetEntryPropertiesFn = uint32_t (*)(const char* phonebook, const char* entry, void* entryInfo,
                                              uint32_t* entrySize, uint8_t* deviceInfo, uint32_t* deviceSize);
    using EnumEntriesFn
        = uint32_t (*)(const char* reserved, const char* phonebook, void* names, uint32_t* bytes, uint32_t* count);
    using DialFn = uint32_t (*)(void* extensions, const char* phonebook, void* parameters, uint32_t notifierType,
                                void* notifier, void** connection);
    using GetCredentialsFn = uint32_t (*)(const char* phonebook, const char* entry, void* credentials);

    void* library = nullptr;
    GetErrorStringFn RasGetErrorStringA = nullptr;
    EnumConnectionsFn RasEnumConnectionsA = nullptr;
    HangUpFn RasHangUpA = nullptr;
    GetConnectStatusFn RasGetConnectStatusA = nullptr;
    ValidateEntryNameFn RasValidateEntryNameA = nullptr;
    GetEntryPropertiesFn RasGetEntryPropertiesA = nullptr;
    EnumEntriesFn RasEnumEntriesA = nullptr;
    DialFn RasDialA = nullptr;
    GetCredentialsFn RasGetCredentialsA = nullptr;
};

// The provider library's name, searched as the dynamic loader searches.
inline constexpr const char* kRasLibraryName = "librasapi32.so";

// The process's table (held by the application object's start and end).
extern RasFunctionTable g_rasFunctions;

// Loads the library and looks up the nine functions in their order; a name
// that is not found leaves its entry empty. False, with the loader's text in
// loaderError, when the library does not load: the table then stays empty
// and nothing is shown.
bool LoadRasFunctionTable(RasFunctionTable& table, std::string* loaderError = nullptr,
                          const char* libraryName = kRasLibraryName);

// Empties the table and unloads the library when one was loaded.
void UnloadRasFunctionTable(RasFunctionTable& table);

} // namespace tarnwick
