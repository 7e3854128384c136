#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <string>
#include <string_view>

// Reversible scrambling of the two stored passwords, tied to the computer's
// name so that a copied settings file decodes to other characters elsewhere.
//
// Stored form: one pair of uppercase hexadecimal digits per password byte.
// With k the key length and pos the key position of a byte c (pos counts
// 0..k-1 and wraps), the pair is
//     v = (c + key[pos] + pos - k) mod 256,
// which for 7-bit passwords is exactly the two-digit text that earlier
// versions stored, and for any other byte still names it exactly. v = 0
// would be "00", which is never stored: the byte giving it takes instead the
// pair of the zero byte, z = (key[pos] + pos - k) mod 256, which a password
// cannot contain (z is never 0 in that case). So every byte 1..255 at every
// position has its own pair, and a text that is odd, empty, holds "00", a
// lowercase letter or any other non-hex character is refused.
namespace tarnwick {

// Key material of the scrambling (fixed texts).
inline constexpr std::string_view kScrambleDefaultText = "t2s4r6q8p1n3m5l7k9h0";
inline constexpr std::string_view kScrambleFallbackName = "W2v4x6z8q1j3u5y7";
inline constexpr std::string_view kDialUpPasswordSalt = "7kq";
inline constexpr std::string_view kDnsPasswordSalt = "9dn";
inline constexpr std::string_view kDnsKeySalt = "4tk";

// Builds the key from salt (the default text when empty) and computerName
// (the fallback word when empty or too long for the 128-byte name buffer).
TARNWICK_EXPORT std::string BuildScrambleKey(std::string_view salt, std::string_view computerName);
// The same with the name of this computer.
TARNWICK_EXPORT std::string BuildScrambleKey(std::string_view salt);

// Writes the stored form of plain to out; false (out untouched) when plain or key is empty.
TARNWICK_EXPORT bool ScramblePassword(std::string_view plain, std::string& out, std::string_view key);

// Restores the password into out; false (out untouched) for a text that is not a stored form.
TARNWICK_EXPORT bool UnscramblePassword(std::string_view stored, std::string& out, std::string_view key);

// The value of two uppercase hexadecimal digits (0..255), or -1 when either is not one.
TARNWICK_EXPORT int HexPairValue(char high, char low);

} // namespace tarnwick
