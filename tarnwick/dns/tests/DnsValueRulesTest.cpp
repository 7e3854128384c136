#include "tarnwick/dns/DnsValueRules.h"
#include "tarnwick/dns/DnsUpdate.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>

namespace tarnwick {
namespace {

TEST(DnsValueRules, NamesEndpointsAndKeysAreTakenOrRefusedAsTheSettingsDescribe)
{
    struct Row
    {
        const char* setting;
        std::string value;
        bool taken;
    };
    const Row rows[] = {
        {"DnsName", "home.example.org", true},
        {"DnsName", "home.example.org.", true},
        {"DnsName", "a-b.x1.example", true},
        {"DnsName", "", true}, // empty: nothing configured yet
        {"DnsName", "localhost", false}, // one label is not fully qualified
        {"DnsName", "-home.example.org", false},
        {"DnsName", "home-.example.org", false},
        {"DnsName", "home..example.org", false},
        {"DnsName", "home_1.example.org", false},
        {"DnsName", "192.0.2.1", false},
        {"DnsName", "http://home.example.org/", false},
        {"DnsName", std::string(64, 'a') + ".example.org", false}, // a label over 63 characters
        {"DnsServer", "ns1.example.org", true},
        {"DnsServer", "ns1.example.org:5353", true},
        {"DnsServer", "127.0.0.1:53", true},
        {"DnsServer", "[2001:db8::53]:53", true},
        {"DnsServer", "2001:db8::53", true},
        {"DnsServer", "ns1.example.org:0", false},
        {"DnsServer", "ns1.example.org:65536", false},
        {"DnsServer", "ns1.example.org:", false},
        {"DnsServer", "ns1 example.org", false},
        {"DnsCheckServer", "[2001:db8::53]:x", false},
        {"DnsCheckServer", "", true},
        {"DnsKey", "hmac-sha256:tarnwick-key:c2VjcmV0", true},
        {"DnsKey", "HMAC-SHA512:k.example.org:c2VjcmV0Lg==", true},
        {"DnsKey", "hmac-md5:k:c2VjcmV0", false},
        {"DnsKey", "hmac-sha256:k", false},
        {"DnsKey", "hmac-sha256::c2VjcmV0", false},
        {"DnsKey", "hmac-sha256:k:not base64", false},
        {"DnsKey", "hmac-sha256:k:c2VjcmV0=", false},
    };
    for (const Row& row : rows) {
        const std::optional<std::string> refusal = CheckDnsValue(row.setting, row.value);
        EXPECT_EQ(refusal.has_value(), !row.taken) << row.setting << "=" << row.value;
        if (refusal) {
            EXPECT_EQ(refusal->rfind("Ungültiger Wert für " + std::string(row.setting) + ": ", 0), 0u) << *refusal;
        }
    }
    // A refused key's secret is not shown.
    EXPECT_EQ(CheckDnsValue("DnsKey", "hmac-md5:k:c2VjcmV0")->find("c2VjcmV0"), std::string::npos);
}

TEST(DnsValueRules, EndpointsKeysAndRecordTypesAreParsed)
{
    EXPECT_EQ(ParseDnsEndpoint("[::1]:5300", 53)->host, "::1");
    EXPECT_EQ(ParseDnsEndpoint("[::1]:5300", 53)->port, 5300);
    EXPECT_EQ(ParseDnsEndpoint("ns.example.org", 53)->port, 53);
    const std::optional<TsigKey> key = ParseTsigKey("hmac-sha512:k1:c2VjcmV0");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->algorithm, "hmac-sha512.");
    EXPECT_EQ(key->name, "k1");
    EXPECT_EQ(key->secret, "c2VjcmV0");

    const std::pair<const char*, const char*> types[]
        = {{"192.0.2.7", "A"}, {"2001:db8::7", "AAAA"}, {"[2001:db8::7]", ""}, {"192.0.2", ""}, {"", ""}};
    for (const auto& [address, type] : types)
        EXPECT_EQ(RecordTypeOf(address), type) << address;
    EXPECT_EQ(CanonicalAddress("2001:DB8:0:0::7"), "2001:db8::7");

    // Where the connection test of a name-only cycle goes.
    const std::tuple<int, const char*, const char*> tests[] = {
        {1, "dyn.example.org", "https://dyn.example.org:443/"},
        {1, "http://127.0.0.1:8080", "http://127.0.0.1:8080/"},
        {1, "http://dyn.example.org", ""}, // clear text only on this machine
        {2, "ns1.example.org", "http://ns1.example.org:53/"},
        {2, "[2001:db8::53]:5353", "http://[2001:db8::53]:5353/"},
        {2, "ns1.example.org:0", ""},
        {0, "ns1.example.org", ""},
    };
    for (const auto& [kind, server, url] : tests)
        EXPECT_EQ(DnsServerTestUrl(kind, server), url) << kind << " " << server;
}

TEST(DnsValueRules, EveryUpdateAnswerHasItsOwnGermanText)
{
    std::set<std::string> texts;
    for (int rcode = 0; rcode <= 10; ++rcode)
        texts.insert(DnsUpdateAnswerText(rcode, 0));
    for (int tsigError : {16, 17, 18})
        texts.insert(DnsUpdateAnswerText(9, tsigError));
    EXPECT_EQ(texts.size(), 14u);
    EXPECT_NE(DnsUpdateAnswerText(9, 17).find("BADKEY"), std::string::npos);
    EXPECT_NE(DnsUpdateAnswerText(5, 0).find("REFUSED"), std::string::npos);
}

} // namespace
} // namespace tarnwick
