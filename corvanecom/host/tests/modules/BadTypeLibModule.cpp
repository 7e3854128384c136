// A module whose type library record is damaged: loading it must fail cleanly.
#include "platform/com/TypeLibFormat.h"

extern "C" __attribute__((visibility("default"))) const VeltTypeLibrary VeltTypeLibrary1
    = {0x12345678, kVeltTypeLibraryFormat, GUID_NULL, 1, 0, 0, SYS_WIN64, 0, "Kaputt", nullptr, 0, nullptr};
