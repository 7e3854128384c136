#include "tarnwick/cycle/ComFailureText.h"
#include "tarnwick/cycle/SamePlace.h"
#include "tarnwick/cycle/StatusList.h"
#include "tarnwick/cycle/tests/CycleTestSupport.h"

#include "platform/com/ComApi.h"
#include "platform/com/ComStrings.h"

#include <gtest/gtest.h>

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
    EXPECT_TRUE(tarnwick::test::IsStampedStatusLine(FormatStatusLine(std::time(nullptr), "x")));

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

INSTANTIATE_TEST_SUITE_P(
    Addresses, SamePlaceTest,
    ::testing::Values(PlaceCase {"http://1.2.3.4:80/", "http://1.2.3.4/", true},
                      PlaceCase {"http://host.example/Shop/", "HTTP://HOST.example/shop/", true},
                      PlaceCase {"http://1.2.3.4/", "http://1.2.3.4", true}, // no path is "/"
                      PlaceCase {"http://1.2.3.4:8080/", "http://1.2.3.4/", false},
                      PlaceCase {"ftp://1.2.3.4/", "http://1.2.3.4/", false},
                      PlaceCase {"http://1.2.3.4/a", "http://1.2.3.4/b", false}, PlaceCase {"", "", false},
                      PlaceCase {"http:///", "http:///", false}, // no host yet: never current
                      PlaceCase {"http://1.2.3.4:99999/", "http://1.2.3.4:99999/", false},
                      PlaceCase {"http://[2001:0DB8:0:0:0:0:0:10]:8080/x", "http://[2001:db8::10]:8080/x", true},
                      PlaceCase {"http://[2001:db8::10]/", "http://[2001:db8::11]/", false},
                      PlaceCase {"http://[::ffff:1.2.3.4]/", "http://1.2.3.4/", false}));

namespace {

struct FailureCase
{
    uint32_t code;
    const char* description; // installed as the thread's error object, or null
    const char* expected; // null: the system's text, whatever it is, but not a fallback
};

class ComFailureTextTest : public ::testing::TestWithParam<FailureCase>
{
};

} // namespace

TEST_P(ComFailureTextTest, DescriptionThenSystemTextThenFallbacks)
{
    const FailureCase& c = GetParam();
    if (c.description) {
        ICreateErrorInfo* create = nullptr;
        ASSERT_EQ(CreateErrorInfo(&create), S_OK);
        std::u16string text = platform::com::AnsiToUtf16(c.description);
        create->SetDescription(text.data());
        IErrorInfo* info = nullptr;
        ASSERT_EQ(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)), S_OK);
        SetErrorInfo(0, info);
        info->Release();
        create->Release();
    }
    const std::string text = ComFailureText(static_cast<HRESULT>(c.code));
    if (c.expected) {
        EXPECT_EQ(text, c.expected);
    } else {
        EXPECT_FALSE(text.empty());
        EXPECT_EQ(text.find("error"), std::string::npos) << text;
        EXPECT_NE(text.back(), '\n');
    }
    // The error object was taken: it does not describe the next failure.
    IErrorInfo* left = nullptr;
    EXPECT_EQ(GetErrorInfo(0, &left), S_FALSE);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ComFailureTextTest,
    ::testing::Values(FailureCase {0x80004005, "Fehler! URL konnte nicht aufgelößt werden.",
                                   "Fehler! URL konnte nicht aufgelößt werden."},
                      FailureCase {0x80004005, nullptr, nullptr}, // E_FAIL has a system text
                      FailureCase {0x8004F123, nullptr, "IDispatch error #61219"},
                      FailureCase {0x80040201, nullptr, "IDispatch error #1"},
                      FailureCase {0x80991234, nullptr, "Unknown error 0x80991234"},
                      FailureCase {0x80991234, "", "Unknown error 0x80991234"})); // an empty description counts as none
