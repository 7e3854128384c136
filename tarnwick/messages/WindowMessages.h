#pragma once

#include <cstdint>

// Message numbers of Tarnwick's main window and of the component's cancel
// request. Kestrup reuses WM_STATUS_TEXT with the same number and parameters.
namespace tarnwick {

inline constexpr uint32_t WM_USER = 0x0400;

inline constexpr uint32_t WM_QUIT = 0x0012;
inline constexpr uint32_t WM_TRAY_NOTIFY = 0x0402;
inline constexpr uint32_t WM_ADDRESSES_DONE = 0x040B;
inline constexpr uint32_t WM_ADDRESS_FOUND = 0x040C;
inline constexpr uint32_t WM_REDIRECT_TARGET = 0x040D;
inline constexpr uint32_t WM_CHECK_DONE = 0x040E;
inline constexpr uint32_t WM_UPLOAD_DONE = 0x040F;
inline constexpr uint32_t WM_GENERATE_PAGE = 0x0411;
inline constexpr uint32_t WM_ERROR_TEXT = 0x0414;
inline constexpr uint32_t WM_INFO_TEXT = 0x0415;
inline constexpr uint32_t WM_EXECUTE_NOW = 0x041E;
inline constexpr uint32_t WM_STATUS_TEXT = 0x0432;
// Sent by the address worker: run the dial progress dialog on the
// user-interface thread; lParam = a DialDialogCall (tarnwick/cycle/DialDialogCall.h).
inline constexpr uint32_t WM_RUN_DIAL_DIALOG = 0x0440;
// Posted by the DNS worker when its step has ended; wParam a DnsStepEnd.
inline constexpr uint32_t WM_DNS_DONE = 0x0441;

// Posted to a thread (not a window) to abort a waiting socket step there.
inline constexpr uint32_t WM_CANCEL_SOCKET_CALL = 0x07E9;

} // namespace tarnwick
