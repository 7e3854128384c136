#include "tarnwick/settings/PasswordScrambler.h"

#include "platform/system/ComputerName.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace tarnwick {
namespace {

// Expected keys and stored texts below were worked out by hand (and checked
// with an independent script) from the key rule and the two-digit arithmetic.
struct KeyCase
{
    std::string salt;
    std::string name;
    std::string key;
};

class ScrambleKeyTest : public ::testing::TestWithParam<KeyCase>
{
};

TEST_P(ScrambleKeyTest, InterleavesSaltAndReverses)
{
    EXPECT_EQ(BuildScrambleKey(GetParam().salt, GetParam().name), GetParam().key);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ScrambleKeyTest,
    ::testing::Values(
        // A name longer than the salt is used whole; only its first three characters meet the salt.
        KeyCase {"7kq", "ABCDEFGHIJKLMNO", "ONMLKJIHGFEDqCkB7A"},
        // A short name doubles until it reaches the salt's length.
        KeyCase {"7kq", "pc", "cqpkc7p"}, KeyCase {"", "pc", "cpcpcpcpcpcp0chp9ckp7clp5cmp3cnp1cpp8cqp6crp4csp2ctp"},
        // No name: the fallback word.
        KeyCase {"", "", "7y5u3j1q8z6x04hv92kW77ly55mu33nj11pq88qz66rx44sv22tW"},
        // A name that does not fit the 128-byte name buffer counts as unavailable.
        KeyCase {"", std::string(128, 'n'), "7y5u3j1q8z6x04hv92kW77ly55mu33nj11pq88qz66rx44sv22tW"}));

TEST(ScrambleKey, UsesThisComputersName)
{
    EXPECT_EQ(BuildScrambleKey(kDialUpPasswordSalt),
              BuildScrambleKey(kDialUpPasswordSalt, platform::GetComputerName()));
}

TEST(ScramblePassword, SevenBitPasswordsGiveTheEstablishedText)
{
    std::string unchanged = "unchanged";
    EXPECT_FALSE(ScramblePassword("", unchanged, "key"));
    EXPECT_EQ(unchanged, "unchanged");

    const std::string key = BuildScrambleKey("", "pc");
    std::string stored;
    ASSERT_TRUE(ScramblePassword("geheim", stored, key));
    EXPECT_EQ(stored, "96A299A49CAE");
    ASSERT_TRUE(ScramblePassword("Passwort!", stored, key));
    EXPECT_EQ(stored, "7F9EA4B2AAB0A7B758");

    // Key of 18 characters, password of 30: the position wraps after the last key character.
    const std::string shortKey = BuildScrambleKey("7kq", "ABCDEFGHIJKLMNO");
    ASSERT_TRUE(ScramblePassword("abcdefghijklmnopqrstuvwxyz0123", stored, shortKey));
    EXPECT_EQ(stored, "9E9FA0A1A2A3A4A5A6A7A8A9D8ACD6AFA6B2B0B1B2B3B4B5B6B76D6E6F70");
    std::string plain;
    ASSERT_TRUE(UnscramblePassword(stored, plain, shortKey));
    EXPECT_EQ(plain, "abcdefghijklmnopqrstuvwxyz0123");

    // With a 64-character name the earlier sum goes below zero for " !"; still two digits each.
    ASSERT_TRUE(ScramblePassword(" !", stored, BuildScrambleKey("", std::string(64, '-'))));
    EXPECT_EQ(stored, "F9FB");
}

// The arithmetic of the earlier two-digit form, with characters as signed bytes.
int EarlierValue(unsigned char c, const std::string& key, size_t pos)
{
    return static_cast<signed char>(c) + static_cast<signed char>(key[pos]) + static_cast<int>(pos)
        - static_cast<int>(key.size());
}

class ScrambleRoundTripTest : public ::testing::TestWithParam<KeyCase>
{
};

// Every byte 1..255 at every key position: the stored pair is two uppercase
// digits and never "00", it equals the earlier text wherever that was a valid
// pair, and it restores the byte exactly.
TEST_P(ScrambleRoundTripTest, EveryByteAtEveryPosition)
{
    const std::string key = BuildScrambleKey(GetParam().salt, GetParam().name);
    for (size_t pos = 0; pos < key.size(); ++pos) {
        for (int byte = 1; byte <= 255; ++byte) {
            std::string plain(pos, 'x');
            plain += static_cast<char>(byte);
            std::string stored;
            ASSERT_TRUE(ScramblePassword(plain, stored, key));
            ASSERT_EQ(stored.size(), plain.size() * 2);
            const std::string pair = stored.substr(pos * 2);
            ASSERT_NE(pair, "00") << "byte " << byte << " at " << pos;
            ASSERT_GT(HexPairValue(pair[0], pair[1]), 0) << pair;

            const int earlier = EarlierValue(static_cast<unsigned char>(byte), key, pos);
            if (earlier >= 1 && earlier <= 255) {
                char expected[3];
                std::snprintf(expected, sizeof expected, "%02X", earlier);
                ASSERT_EQ(pair, expected) << "byte " << byte << " at " << pos;
            }

            std::string restored;
            ASSERT_TRUE(UnscramblePassword(stored, restored, key)) << stored;
            ASSERT_EQ(restored, plain) << "byte " << byte << " at " << pos;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(KeyLengths, ScrambleRoundTripTest,
                         ::testing::Values(KeyCase {"7kq", "pc", ""}, KeyCase {"7kq", "ABCDEFGHIJKLMNO", ""},
                                           KeyCase {"", std::string(64, '-'), ""}, KeyCase {"", "", ""}));

class UnscrambleRefusalTest : public ::testing::TestWithParam<std::string>
{
};

TEST_P(UnscrambleRefusalTest, RefusesAndKeepsOutput)
{
    std::string plain = "previous";
    EXPECT_FALSE(UnscramblePassword(GetParam(), plain, BuildScrambleKey("", "pc")));
    EXPECT_EQ(plain, "previous");
}

INSTANTIATE_TEST_SUITE_P(Malformed, UnscrambleRefusalTest,
                         ::testing::Values("", "96A", "00", "96A200A49CAE", "96a299a49cae", "96G2",
                                           std::string("96\0A", 4)));

} // namespace
} // namespace tarnwick
