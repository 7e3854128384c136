#include "tarnwick/dns/DnsUpdate.h"
#include "tarnwick/dns/PublishedRecords.h"
#include "tarnwick/dns/tests/BindServer.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using testing::BindServer;

class DnsUpdateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!m_bind.available())
            GTEST_SKIP() << m_bind.skipReason();
    }

    std::vector<std::string> Published(const std::string& name, const std::string& type = "A")
    {
        const PublishedRecords records = LookUpPublished(name, type, m_bind.endpoint());
        EXPECT_TRUE(records.answered) << records.error;
        return records.addresses;
    }

    BindServer m_bind;
};

TEST_F(DnsUpdateTest, SignedUpdateReplacesTheRecordSetWithEitherAlgorithm)
{
    EXPECT_EQ(Published("home.example.test"), std::vector<std::string> {BindServer::kStartAddress});
    const long serial = m_bind.serial("example.test");

    const DnsUpdateResult first
        = SendDnsUpdate("home.example.test", "198.51.100.7", m_bind.endpoint(), BindServer::kKey256);
    EXPECT_TRUE(first.updated) << first.text << m_bind.logs();
    EXPECT_EQ(Published("home.example.test"), std::vector<std::string> {"198.51.100.7"});
    EXPECT_GT(m_bind.serial("example.test"), serial);

    // An IPv6 address replaces the AAAA set and leaves the A record alone.
    const DnsUpdateResult second
        = SendDnsUpdate("home.example.test.", "2001:db8:0::42", m_bind.endpoint(), BindServer::kKey512);
    EXPECT_TRUE(second.updated) << second.text << m_bind.logs();
    EXPECT_EQ(Published("home.example.test", "AAAA"), std::vector<std::string> {"2001:db8::42"});
    EXPECT_EQ(Published("home.example.test"), std::vector<std::string> {"198.51.100.7"});

    // A name the zone does not have yet is created.
    EXPECT_TRUE(SendDnsUpdate("new.example.test", "192.0.2.3", m_bind.endpoint(), BindServer::kKey256).updated);
    EXPECT_EQ(Published("new.example.test"), std::vector<std::string> {"192.0.2.3"});
}

TEST_F(DnsUpdateTest, RefusalsLeaveTheRecordAndSayWhy)
{
    struct Row
    {
        const char* name;
        std::string key;
        const char* expected;
    };
    const std::string secret = std::string(BindServer::kKey256).substr(std::string(BindServer::kKey256).rfind(':'));
    const Row rows[] = {
        {"home.example.test", "hmac-sha256:tarnwick-key:d3JvbmcgZ2VoZWltbmlz", "(BADSIG)"},
        {"home.example.test", "hmac-sha256:unknown-key" + secret, "(BADKEY)"},
        {"home.locked.test", BindServer::kKey256, "(REFUSED)"},
        {"home.elsewhere.test", BindServer::kKey256, "keine Zone"},
    };
    for (const Row& row : rows) {
        const DnsUpdateResult result = SendDnsUpdate(row.name, "203.0.113.5", m_bind.endpoint(), row.key);
        EXPECT_FALSE(result.updated) << row.name << " " << row.key;
        EXPECT_NE(result.text.find(row.expected), std::string::npos) << result.text;
    }
    EXPECT_EQ(Published("home.example.test"), std::vector<std::string> {BindServer::kStartAddress});
    EXPECT_EQ(Published("home.locked.test"), std::vector<std::string> {"192.0.2.9"});
}

TEST_F(DnsUpdateTest, OnlyAuthoritativeAnswersCount)
{
    const PublishedRecords missing = LookUpPublished("nobody.example.test", "A", m_bind.endpoint());
    EXPECT_TRUE(missing.answered) << missing.error;
    EXPECT_TRUE(missing.addresses.empty());
    // A zone the server does not serve gets no authoritative answer.
    const PublishedRecords foreign = LookUpPublished("home.elsewhere.test", "A", m_bind.endpoint());
    EXPECT_FALSE(foreign.answered);
    EXPECT_NE(foreign.error.find("nicht zuständig"), std::string::npos) << foreign.error;
}

} // namespace
} // namespace tarnwick
