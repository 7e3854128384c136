#pragma once

// The main window's control ids. Each control's objectName is idc_<id> (the
// form's member names), and a push button's command is its id.
namespace tarnwick::main_window {

inline constexpr int kIdcLocalAddress = 1000; // the computer's address (read-only)
inline constexpr int kIdcRemoteAddress = 1001; // the page server's address (read-only)
inline constexpr int kIdcRedirectUrl = 1003; // where the redirect page is published
inline constexpr int kIdcFindAddresses = 1008; // "&IPs ermitteln"
inline constexpr int kIdcRedirectNow = 1014; // "Umleitbefehl hoch&laden"
inline constexpr int kIdcInterval = 1017; // minutes between periodic cycles
inline constexpr int kIdcPeriodic = 1019; // "&Start" / "&Stop" of periodic redirecting
inline constexpr int kIdcAutostart = 1020; // "&Autostart"
inline constexpr int kIdcStatusList = 1021;
inline constexpr int kIdcRedirectAddress = 1022; // the address the page leads to (read-only)
inline constexpr int kIdcOptions = 1032; // "&Optionen": the sheet on its redirect-to page
inline constexpr int kIdcTestRedirect = 1039; // "&Test": opens the published page
inline constexpr int kIdcBrowseTemplate = 1044; // "&Durchsuchen": the sheet on its upload page
inline constexpr int kIdcSettings = 1050; // "Einstellun&gen": the sheet on its redirect-from page
inline constexpr int kIdcHelp = 57670; // "&Hilfe"

} // namespace tarnwick::main_window
