#pragma once

#include <cstdint>

// Kestrup's fixed texts and numbers.
namespace kestrup {

inline constexpr const char* kAppName = "Kestrup";
inline constexpr const char* IDS_ABOUTBOX = "Inf&o über Kestrup..."; // string 101
inline constexpr const char* IDS_DEFAULT_AGENT = "VELT Programm Online-Update"; // string 102
inline constexpr const char* kAboutTitle = "Info über Kestrup";
inline constexpr const char* kAboutVersion = "Kestrup Version 1.0";
inline constexpr const char* kWindowTitle = "VELT Programm Update";
inline constexpr const char* kRequestHeaders = "Accept: text/*\r\nUser-Agent: VELT OnlineUpdate-Client\r\n";
inline constexpr const char* kDefaultInstallerCommandLine = "REINSTALL=ALL REINSTALLMODE=vomus";

inline constexpr uint32_t WM_START_UPDATE = 0x040B;
inline constexpr uint32_t IDM_ABOUTBOX = 16;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

} // namespace kestrup
