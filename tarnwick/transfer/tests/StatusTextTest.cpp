// The German status texts and how a transfer's session sends them.
#include "RecordingWindow.h"
#include "tarnwick/transfer/CTransferSession.h"
#include "tarnwick/transfer/InternetStatusTextTable.h"

#include <cstring>
#include <gtest/gtest.h>

using tarnwick::CTransferSession;
using tarnwick::InternetStatusTextTable;

namespace {

TEST(InternetStatusTextTable, UnknownCodesGetTheFallback)
{
    EXPECT_EQ(InternetStatusTextTable::Row(110), 15u);
    EXPECT_STREQ(InternetStatusTextTable::Text(60), "Zugriffsnummer f\xc3\xbcr Verbindung wird erstellt");
    for (uint32_t unknown : {0u, 1u, 44u, 120u, 0xFFFFFFFFu}) {
        EXPECT_STREQ(InternetStatusTextTable::Text(unknown), "Unbekannt") << unknown;
        EXPECT_FALSE(InternetStatusTextTable::Contains(unknown)) << unknown;
    }
}

struct Report
{
    uint32_t code;
    const char* info;
};

struct SessionCase
{
    const char* name;
    std::vector<Report> reports;
    std::vector<std::string> texts;
    std::string lastAddress;
};

class TransferSessionReports : public ::testing::TestWithParam<SessionCase>
{
};

TEST_P(TransferSessionReports, SendsTextsAndRecordsTheAddress)
{
    RecordingWindow window;
    CTransferSession session {CTransferSession::Limits {}};
    session.SetStatusWindow(&window);
    for (const Report& report : GetParam().reports)
        session.OnStatusCallback(1, report.code, report.info, std::strlen(report.info));
    EXPECT_EQ(window.Statuses(), GetParam().texts);
    EXPECT_EQ(session.LastAddress(), GetParam().lastAddress);
    for (const auto& message : window.All())
        EXPECT_EQ(message.wParam, 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, TransferSessionReports,
    ::testing::Values(
        SessionCase {"ConnectedReplacesResolved",
                     {{11, "192.0.2.1"}, {20, "192.0.2.2"}, {21, "192.0.2.2"}},
                     {"Name wurde zugeordnet (192.0.2.1)", "Verbindung zum Server wird hergestellt (192.0.2.2)",
                      "Server-Verbindung besteht (192.0.2.2)"},
                     "192.0.2.2"},
        SessionCase {
            "HandlesEmptyTheAddressSilently", {{11, "192.0.2.1"}, {60, ""}}, {"Name wurde zugeordnet (192.0.2.1)"}, ""},
        SessionCase {"HandleClosing", {{21, "192.0.2.1"}, {70, ""}}, {"Server-Verbindung besteht (192.0.2.1)"}, ""},
        SessionCase {"UnknownCodeSendsNothing", {{120, "x"}, {0, ""}}, {}, ""},
        SessionCase {"NoAdditionBeyondTheAddressCodes",
                     {{30, "123"}, {31, "456"}, {110, "http://x/"}},
                     {"Sende Anforderung", "Anforderung wurde gesendet", "Weiterleiten"},
                     ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TransferSession, WithoutAWindowNothingIsSentAndNothingBreaks)
{
    CTransferSession session {CTransferSession::Limits {}};
    session.OnStatusCallback(1, 11, "192.0.2.1", 9);
    EXPECT_EQ(session.LastAddress(), "192.0.2.1");
}

} // namespace
