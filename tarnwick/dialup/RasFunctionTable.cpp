#include "tarnwick/dialup/RasFunctionTable.h"

#include "platform/system/ProgramDirectory.h"

#include <dlfcn.h>

namespace tarnwick {

namespace {

template<typename Fn>
void Lookup(void* library, const char* name, Fn& entry)
{
    entry = reinterpret_cast<Fn>(::dlsym(library, name));
}

} // namespace

bool LoadRasFunctionTable(RasFunctionTable& table, std::string* loaderError, const char* libraryName)
{
    UnloadRasFunctionTable(table);
    void* library = nullptr;
    if (libraryName) {
        library = ::dlopen(libraryName, RTLD_NOW | RTLD_LOCAL);
    } else {
        const std::string directory = platform::ProgramDirectory();
        if (!directory.empty()) {
            const std::string beside = directory + "../" TARNWICK_PRIVATE_LIBDIR "/" + kRasLibraryName;
            library = ::dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
        }
        if (!library)
            library = ::dlopen(kRasLibraryName, RTLD_NOW | RTLD_LOCAL);
    }
    if (!library) {
        if (loaderError) {
            const char* text = ::dlerror();
            *loaderError = text ? text : "";
        }
        return false;
    }
    table.library = library;
    Lookup(library, "RasGetErrorStringA", table.RasGetErrorStringA);
    Lookup(library, "RasEnumConnectionsA", table.RasEnumConnectionsA);
    Lookup(library, "RasHangUpA", table.RasHangUpA);
    Lookup(library, "RasGetConnectStatusA", table.RasGetConnectStatusA);
    Lookup(library, "RasValidateEntryNameA", table.RasValidateEntryNameA);
    Lookup(library, "RasGetEntryPropertiesA", table.RasGetEntryPropertiesA);
    Lookup(library, "RasEnumEntriesA", table.RasEnumEntriesA);
    Lookup(library, "RasDialA", table.RasDialA);
    Lookup(library, "RasGetCredentialsA", table.RasGetCredentialsA);
    return true;
}

void UnloadRasFunctionTable(RasFunctionTable& table)
{
    void* library = table.library;
    table = RasFunctionTable {};
    if (library)
        ::dlclose(library);
}

} // namespace tarnwick
