#include "platform/com/BStr.h"
#include "platform/com/ComApi.h"
#include "platform/com/ComStrings.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace platform::com;

namespace {

uint32_t LengthPrefix(BSTR b)
{
    uint32_t bytes = 0;
    std::memcpy(&bytes, reinterpret_cast<const char*>(b) - 4, 4);
    return bytes;
}

TEST(ComBstr, PrefixHoldsTheByteLengthAndATerminatorFollows)
{
    BSTR b = SysAllocString(u"Grüße");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(LengthPrefix(b), 10u);
    EXPECT_EQ(SysStringLen(b), 5u);
    EXPECT_EQ(SysStringByteLen(b), 10u);
    EXPECT_EQ(b[5], u'\0');
    SysFreeString(b);
}

TEST(ComBstr, EmbeddedZerosAreKept)
{
    const OLECHAR text[] = {u'a', u'\0', u'b'};
    BSTR b = SysAllocStringLen(text, 3);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(SysStringLen(b), 3u);
    EXPECT_EQ(b[2], u'b');
    BStr copy = BStr::Attach(b);
    BStr second(copy);
    EXPECT_EQ(second.Length(), 3u) << "a copy keeps the embedded zero";
}

TEST(ComBstr, NullEmptyAndUnfilledStrings)
{
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysStringByteLen(nullptr), 0u);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    SysFreeString(nullptr);
    EXPECT_EQ(BstrToAnsi(nullptr), "");
    BStr empty = BStr::Attach(AnsiToBstr(""));
    ASSERT_NE(empty.Get(), nullptr) << "empty text gives an empty BSTR, not null";
    EXPECT_EQ(empty.Length(), 0u);
    BStr zeroed = BStr::Attach(SysAllocStringLen(nullptr, 4));
    ASSERT_NE(zeroed.Get(), nullptr);
    for (int i = 0; i <= 4; ++i)
        EXPECT_EQ(zeroed.Get()[i], 0);
}

TEST(ComBstr, ByteLengthsAndImpossibleSizes)
{
    BStr odd = BStr::Attach(SysAllocStringByteLen("abc", 3));
    ASSERT_NE(odd.Get(), nullptr);
    EXPECT_EQ(SysStringByteLen(odd.Get()), 3u);
    EXPECT_EQ(SysStringLen(odd.Get()), 1u);
    EXPECT_EQ(reinterpret_cast<const char*>(odd.Get())[3], '\0');
    EXPECT_EQ(SysAllocStringLen(u"x", 0x80000000u), nullptr);
    EXPECT_EQ(SysAllocStringByteLen(nullptr, 0xFFFFFFFFu), nullptr);
}

TEST(ComAnsiConversion, RoundTripsThroughUtf16)
{
    const std::pair<std::string, std::u16string> texts[] = {{"", u""},
                                                            {"QUIT\r\n", u"QUIT\r\n"},
                                                            {"Größe ändern", u"Größe ändern"},
                                                            {"\xF0\x9F\x98\x80", u"\U0001F600"},
                                                            {std::string("a\0b", 3), std::u16string(u"a\0b", 3)}};
    for (const auto& [ansi, wide] : texts) {
        EXPECT_EQ(AnsiToUtf16(ansi), wide) << ansi;
        EXPECT_EQ(Utf16ToAnsi(wide), ansi) << ansi;
    }
    // Bytes that are not UTF-8 are read as Windows-1252: a server answering in
    // the German code page loses no character.
    EXPECT_EQ(AnsiToUtf16("Gr\xF6\xDF"
                          "e \x80"),
              u"Größe €");
    EXPECT_EQ(Utf16ToAnsi(std::u16string {u'a', static_cast<char16_t>(0xD800), u'b'}),
              "a\xEF\xBF\xBD"
              "b")
        << "an unpaired surrogate becomes the replacement character";
}

TEST(ComGuidText, ParsesBothLetterCasesAndRejectsMalformedText)
{
    GUID g {};
    ASSERT_TRUE(GuidFromString("{5b77f013-38de-470e-8d3f-279211d8f31a}", &g));
    EXPECT_EQ(GuidToString(g), "{5B77F013-38DE-470E-8D3F-279211D8F31A}");
    for (const char* bad : {"", "5B77F013-38DE-470E-8D3F-279211D8F31A", "{5B77F013-38DE-470E-8D3F-279211D8F31}",
                            "{5B77F013-38DE-470E-8D3F+279211D8F31A}", "{5B77F013-38DE-470E-8D3F-279211D8F3ZA}",
                            "{5B77F013-38DE-470E-8D3F-279211D8F31A}x"}) {
        EXPECT_FALSE(GuidFromString(bad, &g)) << bad;
    }
}

TEST(ComGuidText, StandardIidsAndTheBracedForm)
{
    OLECHAR text[39];
    ASSERT_EQ(StringFromGUID2(IID_IDispatch, text, 39), 39);
    EXPECT_EQ(std::u16string(text), u"{00020400-0000-0000-C000-000000000046}");
    ASSERT_EQ(StringFromGUID2(IID_IErrorInfo, text, 39), 39);
    EXPECT_EQ(std::u16string(text), u"{1CF2B120-547D-101B-8E65-08002B2BD119}");
    EXPECT_EQ(StringFromGUID2(IID_IDispatch, text, 38), 0) << "too small a buffer is refused";
    CLSID clsid {};
    EXPECT_EQ(CLSIDFromString(u"{00020400-0000-0000-c000-000000000046}", &clsid), S_OK);
    EXPECT_TRUE(clsid == IID_IDispatch);
    EXPECT_EQ(CLSIDFromString(u"{not a guid}", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(CLSIDFromString(nullptr, &clsid), S_OK);
    EXPECT_TRUE(clsid == GUID_NULL);
}

} // namespace
