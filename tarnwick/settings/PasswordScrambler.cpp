#include "tarnwick/settings/PasswordScrambler.h"

#include "platform/system/ComputerName.h"

#include <cstdio>

namespace tarnwick {

namespace {

// The platform's name buffer holds 128 bytes with the terminating zero.
constexpr size_t kComputerNameBuffer = 128;

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// (key[pos] + pos - k) mod 256: the pair the zero byte would take.
int PositionOffset(std::string_view key, size_t pos)
{
    const int keyByte = static_cast<unsigned char>(key[pos]);
    const long offset = static_cast<long>(keyByte) + static_cast<long>(pos) - static_cast<long>(key.size());
    return static_cast<int>(((offset % 256) + 256) % 256);
}

} // namespace

std::string BuildScrambleKey(std::string_view salt, std::string_view computerName)
{
    const std::string_view text = salt.empty() ? kScrambleDefaultText : salt;
    std::string name(computerName.empty() || computerName.size() >= kComputerNameBuffer ? kScrambleFallbackName
                                                                                        : computerName);
    while (name.size() < text.size())
        name += name;

    std::string sequence;
    sequence.reserve(name.size() + text.size());
    for (size_t i = 0; i < name.size(); ++i) {
        sequence += name[i];
        if (i < text.size())
            sequence += text[i];
    }
    return std::string(sequence.rbegin(), sequence.rend());
}

std::string BuildScrambleKey(std::string_view salt)
{
    return BuildScrambleKey(salt, platform::GetComputerName());
}

bool ScramblePassword(std::string_view plain, std::string& out, std::string_view key)
{
    if (plain.empty() || key.empty())
        return false;
    std::string result;
    result.reserve(plain.size() * 2);
    size_t pos = 0;
    for (const char c : plain) {
        const int offset = PositionOffset(key, pos);
        int value = (static_cast<unsigned char>(c) + offset) % 256;
        if (value == 0)
            value = offset;
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned>(value));
        result.append(pair, 2);
        pos = pos + 1 >= key.size() ? 0 : pos + 1;
    }
    out = std::move(result);
    return true;
}

bool UnscramblePassword(std::string_view stored, std::string& out, std::string_view key)
{
    if (stored.empty() || key.empty() || stored.size() % 2 != 0)
        return false;
    std::string result;
    result.reserve(stored.size() / 2);
    size_t pos = 0;
    for (size_t i = 0; i < stored.size(); i += 2) {
        const int value = HexPairValue(stored[i], stored[i + 1]);
        if (value <= 0)
            return false;
        const int offset = PositionOffset(key, pos);
        int c = (value - offset + 256) % 256;
        if (c == 0)
            c = (256 - offset) % 256;
        result += static_cast<char>(c);
        pos = pos + 1 >= key.size() ? 0 : pos + 1;
    }
    out = std::move(result);
    return true;
}

int HexPairValue(char high, char low)
{
    const int h = HexDigitValue(high);
    const int l = HexDigitValue(low);
    if (h < 0 || l < 0)
        return -1;
    return h * 16 + l;
}

} // namespace tarnwick
