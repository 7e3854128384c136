#include "platform/window/TitleSocket.h"

#include "platform/system/XdgPaths.h"

namespace platform {

std::string TitleSocketPath(std::string_view title, bool createRuntimeDir)
{
    const std::string dir = RuntimeDir(createRuntimeDir);
    if (dir.empty())
        return {};
    // Titles may hold "/" or bytes that do not belong in a file name.
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string name;
    for (unsigned char c : title) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'
            || c == '_' || c == '.';
        if (plain && !(name.empty() && c == '.')) {
            name += static_cast<char>(c);
        } else {
            name += '%';
            name += kHex[c >> 4];
            name += kHex[c & 15];
        }
    }
    return dir + "/" + name + ".window";
}

} // namespace platform
