#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include "tarnwick/dialup/RasRecords.h"

#include <cstdint>
#include <string>

namespace tarnwick {

// The optional remote-access (dial-up) functions, looked up by name in a
// provider library loaded at run time. On a computer without one every entry
// stays empty and each dial-up feature behaves as without the library. The
// table is filled once at start on the user-interface thread and only read
// afterwards.
struct TARNWICK_EXPORT RasFunctionTable
{
    // The records are the provider's ANSI records (RasRecords.h); handles are opaque.
    using GetErrorStringFn = PFN_RasGetErrorStringA;
    using EnumConnectionsFn = PFN_RasEnumConnectionsA;
    using HangUpFn = PFN_RasHangUpA;
    using GetConnectStatusFn = PFN_RasGetConnectStatusA;
    using ValidateEntryNameFn = PFN_RasValidateEntryNameA;
    using GetEntryPropertiesFn = PFN_RasGetEntryPropertiesA;
    using EnumEntriesFn = PFN_RasEnumEntriesA;
    using DialFn = PFN_RasDialA;
    using GetCredentialsFn = PFN_RasGetCredentialsA;

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

// The provider library's name. It is looked for in the program's private
// library folder first (lib/ beside the program's folder, in the build tree
// as installed), then as the dynamic loader searches.
inline constexpr const char* kRasLibraryName = "librasapi32.so";

// Loads the library (libraryName, or without one the provider as described
// at kRasLibraryName) and looks up the nine functions in their order; a name
// that is not found leaves its entry empty. False, with the loader's text in
// loaderError, when the library does not load: the table then stays empty
// and nothing is shown.
TARNWICK_EXPORT bool LoadRasFunctionTable(RasFunctionTable& table, std::string* loaderError = nullptr,
                                          const char* libraryName = nullptr);

// Empties the table and unloads the library when one was loaded.
TARNWICK_EXPORT void UnloadRasFunctionTable(RasFunctionTable& table);

} // namespace tarnwick
