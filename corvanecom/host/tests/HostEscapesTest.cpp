#include "corvanecom/host/Escapes.h"

#include <gtest/gtest.h>

using corvane::host::DecodeEscapes;

namespace {

struct EscapeCase
{
    const char* input;
    std::string decoded;
};

class HostEscapes : public ::testing::TestWithParam<EscapeCase>
{
};

TEST_P(HostEscapes, DecodeAsInC)
{
    std::string out;
    ASSERT_TRUE(DecodeEscapes(GetParam().input, &out)) << GetParam().input;
    EXPECT_EQ(out, GetParam().decoded);
}

INSTANTIATE_TEST_SUITE_P(Texts, HostEscapes,
                         ::testing::Values(EscapeCase {"QUIT\\r\\n", "QUIT\r\n"}, EscapeCase {"\\\\r", "\\r"},
                                           EscapeCase {"\\x41\\x62C", "AbC"}, EscapeCase {"\\xff", "\xff"},
                                           EscapeCase {"nul\\0x", std::string("nul\0x", 5)},
                                           EscapeCase {"\\q bleibt", "\\q bleibt"}, EscapeCase {"Ende\\", "Ende\\"}));

TEST(HostEscapes, IncompleteHexEscapesAreRefused)
{
    std::string out = "unverändert";
    for (const char* bad : {"\\x", "\\x4", "\\xg1", "abc\\x4"})
        EXPECT_FALSE(DecodeEscapes(bad, &out)) << bad;
    EXPECT_EQ(out, "unverändert");
}

} // namespace
