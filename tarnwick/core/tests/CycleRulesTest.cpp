#include "tarnwick/core/SamePlace.h"
#include "tarnwick/core/StatusList.h"

#include <gtest/gtest.h>

#include <regex>

using namespace tarnwick;

TEST(StatusListTest, LinesCarryTheLocalTimeAndJoinWithCrLf)
{
    std::tm when {};
    when.tm_year = 2024 - 1900;
    when.tm_mon = 2;
    when.tm_mday = 5;
    when.tm_hour = 7;
    when.tm_min = 9;
    when.tm_isdst = -1;
    const std::string line = FormatStatusLine(std::mktime(&when), "Webseite ist bereits aktuell");
    EXPECT_EQ(line, "05.03.2024 07:09 - Webseite ist bereits aktuell");
    EXPECT_TRUE(
        std::regex_match(FormatStatusLine(std::time(nullptr), "x"), std::regex(R"(\d\d\.\d\d\.\d{4} \d\d:\d\d - x)")));

    std::string list;
    AppendStatusLine(list, "a");
    EXPECT_EQ(list, "a");
    AppendStatusLine(list, "b");
    EXPECT_EQ(list, "a\r\nb");
    list += "\r\n"; // a text that ended with its own line end gets no second one
    AppendStatusLine(list, "c");
    EXPECT_EQ(list, "a\r\nb\r\nc");
    list += "\n";
    AppendStatusLine(list, "d");
    EXPECT_EQ(list, "a\r\nb\r\nc\n\r\nd");
}

namespace {

struct PlaceCase
{
    const char* target;
    const char* redirect;
    bool same;
};

class SamePlaceTest : public ::testing::TestWithParam<PlaceCase>
{
};

} // namespace

TEST_P(SamePlaceTest, OnlyTheSameServerPathPortAndSchemeCount)
{
    const PlaceCase& c = GetParam();
    EXPECT_EQ(IsSamePlace(c.target, c.redirect), c.same) << c.target << " / " << c.redirect;
    EXPECT_EQ(IsSamePlace(c.redirect, c.target), c.same) << "not symmetric";
}

INSTANTIATE_TEST_SUITE_P(Addresses, SamePlaceTest,
                         ::testing::Values(PlaceCase {"http://1.2.3.4/", "http://1.2.3.4/", true},
                                           PlaceCase {"http://1.2.3.4:80/", "http://1.2.3.4/", true},
                                           PlaceCase {"http://host.example/Shop/", "HTTP://HOST.example/shop/", true},
                                           PlaceCase {"http://1.2.3.4/", "http://1.2.3.4", true}, // no path is "/"
                                           PlaceCase {"http://1.2.3.4:8080/", "http://1.2.3.4/", false},
                                           PlaceCase {"ftp://1.2.3.4/", "http://1.2.3.4/", false},
                                           PlaceCase {"http://1.2.3.5/", "http://1.2.3.4/", false},
                                           PlaceCase {"http://1.2.3.4/a", "http://1.2.3.4/b", false},
                                           PlaceCase {"", "http://1.2.3.4/", false}, PlaceCase {"", "", false},
                                           PlaceCase {"http:///", "http:///", false}, // no host yet: never current
                                           PlaceCase {"not an address", "not an address", false},
                                           PlaceCase {"http://1.2.3.4:99999/", "http://1.2.3.4:99999/", false}));
