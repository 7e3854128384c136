#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// How a window title is published between processes of one user: a local
// stream socket in the runtime directory, named after the title, and a lock
// file beside it that the owning process holds for its whole life. A record
// on the socket is one posted message or a request to come to the front.
namespace platform {

enum class TitleRequestKind : uint32_t {
    PostMessage = 1,
    BringToFront = 2,
};

// Fixed-size record on the wire, in host byte order (both ends are on the same machine).
struct TitleRecord
{
    uint32_t magic = 0;
    uint32_t kind = 0;
    uint32_t message = 0;
    uint32_t reserved = 0;
    uint64_t wParam = 0;
    int64_t lParam = 0;
};
static_assert(sizeof(TitleRecord) == 32);

inline constexpr uint32_t kTitleRecordMagic = 0x314D5756; // "VWM1"

// The owner answers every record it has taken with this byte, so that a
// sender can tell a delivered message from one that was turned away.
inline constexpr char kTitleRecordTaken = 'A';

// "<runtime dir>/<title, percent-encoded>.window"; the lock file adds ".lock".
// Empty when the runtime directory cannot be determined.
std::string TitleSocketPath(std::string_view title, bool createRuntimeDir = false);

} // namespace platform
