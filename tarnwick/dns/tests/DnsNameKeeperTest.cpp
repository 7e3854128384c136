#include "tarnwick/dns/DnsNameKeeper.h"
#include "tarnwick/dns/DnsUpdate.h"
#include "tarnwick/dns/DynDnsAnswer.h"
#include "tarnwick/dns/DynDnsRequest.h"
#include "tarnwick/dns/PublishedRecords.h"
#include "tarnwick/dns/tests/BindServer.h"
#include "tarnwick/dns/tests/DynDnsService.h"

#include "testing/FreeTcpPort.h"
#include "testing/NginxServer.h"
#include "testing/TempHome.h"
#include "testing/TestCertificates.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using testing::BindServer;
using UpdateService = testing::DynDnsService;

constexpr int64_t kStart = 1'700'000'000;
constexpr const char* kUser = UpdateService::kUser;
constexpr const char* kPassword = UpdateService::kPassword;

class DnsNameKeeperTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!m_bind.available())
            GTEST_SKIP() << m_bind.skipReason();
        m_service.settings.kind = DnsNameSettings::DnsServerUpdate;
        m_service.settings.name = "home.example.test";
        m_service.settings.server = m_bind.endpoint();
        m_service.settings.key = BindServer::kKey256;
        m_service.settings.checkServer = m_bind.endpoint();
        m_dyn = m_service.settings;
        m_dyn.kind = DnsNameSettings::UpdateService;
        m_dyn.server = m_updates.server();
        m_dyn.user = kUser;
        m_dyn.password = kPassword;
    }

    // One step with the state kept in the store, as separate runs keep it.
    DnsStepResult Step(const DnsNameSettings& settings, const std::string& address, int64_t now)
    {
        DnsUpdateState state = DnsUpdateState::Load();
        DnsStepResult result = KeepNameCurrent(settings, address, state, now);
        EXPECT_TRUE(state.save());
        return result;
    }

    std::string Published() { return LookUpPublished("home.example.test", "A", m_bind.endpoint()).addresses.at(0); }

    velt::testing::TempHome m_home;
    BindServer m_bind;
    UpdateService m_updates {m_bind};
    struct
    {
        DnsNameSettings settings;
    } m_service;
    DnsNameSettings m_dyn;
};

bool Says(const DnsStepResult& result, const std::string& text)
{
    return !result.lines.empty() && result.lines.back().find(text) != std::string::npos;
}

TEST_F(DnsNameKeeperTest, SignedUpdatesOnlyWhenThePublishedRecordDiffers)
{
    const long serial = m_bind.serial("example.test");
    const DnsStepResult current = Step(m_service.settings, BindServer::kStartAddress, kStart);
    EXPECT_TRUE(current.current);
    EXPECT_TRUE(Says(current, "zeigt bereits auf 192.0.2.1")) << current.lines.back();
    EXPECT_EQ(m_bind.serial("example.test"), serial);

    EXPECT_TRUE(Step(m_service.settings, "198.51.100.20", kStart).current);
    EXPECT_EQ(Published(), "198.51.100.20");
    // Changed behind the program's back: the next step puts it right.
    ASSERT_TRUE(SendDnsUpdate("home.example.test", "203.0.113.66", m_bind.endpoint(), BindServer::kKey512).updated);
    const DnsStepResult repaired = Step(m_service.settings, "198.51.100.20", kStart);
    EXPECT_TRUE(repaired.current) << repaired.lines.back();
    EXPECT_EQ(Published(), "198.51.100.20");

    DnsNameSettings wrongKey = m_service.settings;
    wrongKey.key = "hmac-sha256:tarnwick-key:d3JvbmcgZ2VoZWltbmlz";
    const DnsStepResult refused = Step(wrongKey, "198.51.100.21", kStart);
    EXPECT_FALSE(refused.current);
    EXPECT_TRUE(Says(refused, "(BADSIG)")) << refused.lines.back();
    EXPECT_FALSE(refused.heldBack); // a refused signed update is tried again

    // A record of the other family is left alone, and said.
    ASSERT_TRUE(SendDnsUpdate("home.example.test", "2001:db8::7", m_bind.endpoint(), BindServer::kKey256).updated);
    const DnsStepResult withOther = Step(m_service.settings, "198.51.100.20", kStart);
    EXPECT_TRUE(withOther.current);
    ASSERT_EQ(withOther.lines.size(), 2u);
    EXPECT_EQ(withOther.lines[0],
              "Hinweis: DNS-Name home.example.test hat auch einen AAAA-Eintrag (2001:db8::7); er wird nicht geändert.");
    EXPECT_EQ(LookUpPublished("home.example.test", "AAAA", m_bind.endpoint()).addresses,
              std::vector<std::string> {"2001:db8::7"});
}

TEST_F(DnsNameKeeperTest, UpdateServiceIsAskedOncePerChangeAndItsAnswersAreObeyedAcrossRuns)
{
    // good: one request; the next step finds the name current and sends nothing.
    EXPECT_TRUE(Step(m_dyn, "198.51.100.30", kStart).current);
    EXPECT_EQ(m_updates.requests(), 1);
    EXPECT_EQ(Published(), "198.51.100.30");
    EXPECT_TRUE(Step(m_dyn, "198.51.100.30", kStart + 60).current);
    EXPECT_EQ(m_updates.requests(), 1);

    // A service slow to publish is not asked again for the same address for 30 minutes.
    m_updates.script("good", false);
    EXPECT_TRUE(Step(m_dyn, "198.51.100.31", kStart).current);
    const DnsStepResult waiting = Step(m_dyn, "198.51.100.31", kStart + kDynDnsQuietSeconds - 1);
    EXPECT_TRUE(waiting.current);
    EXPECT_TRUE(Says(waiting, "Keine neue Meldung vor")) << waiting.lines.back();
    EXPECT_EQ(m_updates.requests(), 2);
    EXPECT_TRUE(Step(m_dyn, "198.51.100.31", kStart + kDynDnsQuietSeconds).current);
    EXPECT_EQ(m_updates.requests(), 3);

    // 911: nothing for 30 minutes, then one request again.
    m_updates.script("911");
    EXPECT_TRUE(Step(m_dyn, "198.51.100.32", kStart).heldBack);
    const DnsStepResult quiet = Step(m_dyn, "198.51.100.32", kStart + kDynDnsQuietSeconds - 1);
    EXPECT_FALSE(quiet.current);
    EXPECT_TRUE(quiet.heldBack);
    EXPECT_EQ(m_updates.requests(), 4);
    m_updates.script("good");
    EXPECT_TRUE(Step(m_dyn, "198.51.100.32", kStart + kDynDnsQuietSeconds).current);
    EXPECT_EQ(m_updates.requests(), 5);

    // A wrong password: badauth stops every later run until a DNS setting changes.
    DnsNameSettings wrong = m_dyn;
    wrong.password = "falsch";
    const DnsStepResult stopped = Step(wrong, "198.51.100.33", kStart);
    EXPECT_FALSE(stopped.current);
    EXPECT_TRUE(Says(stopped, "(badauth)")) << stopped.lines.back();
    const DnsStepResult still = Step(wrong, "198.51.100.33", kStart + 24 * 3600);
    EXPECT_TRUE(Says(still, "bis eine DNS-Einstellung geändert wird")) << still.lines.back();
    EXPECT_TRUE(still.heldBack);
    EXPECT_EQ(m_updates.requests(), 6);
    EXPECT_TRUE(Step(m_dyn, "198.51.100.33", kStart + 24 * 3600).current);
    EXPECT_EQ(m_updates.requests(), 7);
}

TEST_F(DnsNameKeeperTest, UpdateServiceOverHttpsWithTheCertificateFile)
{
    const velt::testing::TestCertificates certificates;
    const uint16_t tlsPort = velt::testing::FreeTcpPort();
    const velt::testing::NginxServer nginx(
        {},
        "server { listen 127.0.0.1:" + std::to_string(tlsPort) + " ssl;\n  ssl_certificate "
            + certificates.good().certificate + "; ssl_certificate_key " + certificates.good().key
            + ";\n  location / { proxy_pass http://127.0.0.1:" + std::to_string(m_updates.port())
            + "; proxy_set_header Connection close; }\n}\n");
    m_dyn.server = "127.0.0.1:" + std::to_string(tlsPort);
    const DnsStepResult untrusted = Step(m_dyn, "198.51.100.40", kStart);
    EXPECT_FALSE(untrusted.current);
    EXPECT_EQ(m_updates.requests(), 0);
    m_dyn.caFile = certificates.caFile();
    const DnsStepResult sent = Step(m_dyn, "198.51.100.40", kStart);
    EXPECT_TRUE(sent.current) << sent.lines.back();
    EXPECT_EQ(m_updates.requests(), 1);
    EXPECT_EQ(Published(), "198.51.100.40");
}

TEST(DynDnsAnswer, EveryAnswerLeadsToDoneStopOrWait)
{
    using V = DynDnsAnswer::Verdict;
    const std::tuple<int, const char*, V> rows[] = {
        {200, "good 192.0.2.1", V::Done},
        {200, "nochg 192.0.2.1\n", V::Done},
        {200, "badauth", V::Stop},
        {401, "", V::Stop},
        {200, "notfqdn", V::Stop},
        {200, "nohost", V::Stop},
        {200, "numhost", V::Stop},
        {200, "abuse", V::Stop},
        {200, "badagent", V::Stop},
        {200, "!donator", V::Stop},
        {200, "dnserr", V::Wait},
        {200, "911", V::Wait},
        {503, "good", V::Wait},
        {302, "", V::Wait},
        {403, "good", V::Wait},
        {404, "", V::Wait},
        {200, "<html>good</html>", V::Wait},
        {200, "", V::Wait},
        {200, "goodness", V::Wait},
    };
    for (const auto& [status, body, verdict] : rows) {
        const DynDnsAnswer answer = ReadDynDnsAnswer(status, body);
        EXPECT_EQ(answer.verdict, verdict) << status << " " << body;
        EXPECT_FALSE(answer.text.empty());
    }
}

} // namespace
} // namespace tarnwick
