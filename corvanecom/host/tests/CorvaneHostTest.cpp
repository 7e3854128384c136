// The corvane program run as a process against the real component, as a
// script would run it.
#include "ProcessRun.h"
#include "platform/com/ClassRegistry.h"
#include "platform/system/SystemMessage.h"
#include "testing/FreeTcpPort.h"
#include "testing/TcpPeer.h"
#include "testing/TempHome.h"

#include <gtest/gtest.h>

#include <filesystem>

using velt::testing::TcpPeer;

namespace {

const std::string kClassKey = "CLSID\\{5B77F013-38DE-470E-8D3F-279211D8F31A}";

ProcessRun Corvane(std::vector<std::string> args)
{
    args.insert(args.begin(), CORVANE_PROGRAM);
    return RunProgram(args);
}

class CorvaneHost : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const ProcessRun run = Corvane({"--register"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
    }

    velt::testing::TempHome m_home;
};

TEST_F(CorvaneHost, RegistersTheModuleBesideTheProgram)
{
    const auto path = platform::com::ReadDefaultValue(kClassKey + "\\InprocServer32");
    ASSERT_TRUE(path);
    EXPECT_EQ(std::filesystem::canonical(*path), std::filesystem::canonical(CORVANE_MODULE));

    ProcessRun run = Corvane({"--unregister"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_FALSE(platform::com::ReadDefaultValue(kClassKey + "\\InprocServer32"));
    run = Corvane({"TimeoutInSec"});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.err, "Die Komponente VELT.Corvane ist nicht registriert. Registrieren mit: corvane --register\n");
}

TEST_F(CorvaneHost, RunsSeveralCallsOnOneObjectAndPrintsEachResult)
{
    TcpPeer peer([](const std::string& received) {
        if (received == "ABC")
            return velt::testing::PeerReply {"ok\r\n"};
        if (received == "QUIT\r\n")
            return velt::testing::PeerReply {"221 Tschüss\r\n", true};
        if (received.ends_with("\r\n"))
            return velt::testing::PeerReply {"250 " + received};
        return velt::testing::PeerReply {};
    });
    const ProcessRun run = Corvane({"TimeoutInSec=2", "Connect", "127.0.0.1", std::to_string(peer.port()),
                                    "SendCmdAndReceive", "HELO\\r\\n", "Send", "\\x41BC", "Receive", "4",
                                    "SendCmdAndReceive", "QUIT\\r\\n", "Disconnect", "TimeoutInSec", "PeerAddress"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "1\n250 HELO\r\n\n1\nok\r\n\n221 Tschüss\r\n\n2\n127.0.0.1\n");
    EXPECT_EQ(peer.received(), "HELO\r\nABCQUIT\r\n") << "escapes reach the wire decoded, nothing more";
}

TEST_F(CorvaneHost, AFailedCallPrintsTheComponentsGermanDescriptionAndStops)
{
    const uint16_t closed = velt::testing::FreeTcpPort();
    const ProcessRun run = Corvane({"TimeoutInSec", "Connect", "127.0.0.1", std::to_string(closed), "TimeoutInSec=5"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "10\n") << "calls before the failure ran, none after it";
    EXPECT_EQ(run.err,
              "Fehler! Verbindung zum Server 127.0.0.1 auf Port " + std::to_string(closed)
                  + " konnte nicht hergestellt werden!\r\n" + platform::FormatSystemMessage(10061) + "\n");
}

struct UsageCase
{
    const char* name;
    std::vector<std::string> args;
    std::string error;
};

class CorvaneHostUsage : public CorvaneHost, public ::testing::WithParamInterface<UsageCase>
{
};

TEST_P(CorvaneHostUsage, WrongCommandLinesStopBeforeAnyCall)
{
    // A listening peer shows whether the valid calls before the mistake ran.
    TcpPeer peer(TcpPeer::Mode::Silent);
    std::vector<std::string> args = {"Connect", "127.0.0.1", std::to_string(peer.port())};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    const ProcessRun run = Corvane(args);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, GetParam().error + "\n");
    EXPECT_TRUE(run.out.empty());
    EXPECT_EQ(peer.connections(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, CorvaneHostUsage,
    ::testing::Values(
        UsageCase {"UnknownMember", {"Frobnicate"}, "Unbekanntes Mitglied: Frobnicate"},
        UsageCase {"MissingArgument", {"Receive"}, "Fehlendes Argument lMaxMsgSizeInKB für Receive."},
        UsageCase {"NotANumber", {"Receive", "vier"}, "Das Argument \"vier\" für Receive ist keine gültige Zahl."},
        UsageCase {"ReadOnlyProperty",
                   {"SocketAddress=1.2.3.4"},
                   "SocketAddress ist keine Eigenschaft, der ein Wert zugewiesen werden kann."},
        UsageCase {"BadEscape", {"Send", "\\x4"}, "Ungültige Escape-Folge im Argument \"\\x4\" für Send."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CorvaneHostOptions, UnknownOptionsAndEmptyCommandLinesAreUsageErrors)
{
    velt::testing::TempHome home;
    ProcessRun run = Corvane({});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "Es wurde kein Aufruf angegeben. Hilfe: corvane --help\n");
    run = Corvane({"--frobnicate"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "Unbekannte Option: --frobnicate\n");
    run = Corvane({"--register", "a", "b"});
    EXPECT_EQ(run.exitCode, 2);
    run = Corvane({"--version", "TimeoutInSec"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "Zu viele Argumente für --version.\n");
}

TEST(CorvaneHostOptions, VersionAndHelpNeedNoComponent)
{
    velt::testing::TempHome home;
    ProcessRun run = Corvane({"--version"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, CORVANE_VERSION "\n");
    run = Corvane({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    for (const char* word :
         {"--register", "--unregister", "--version", "TestConnect", "SendHttpRequest", "lib/tarnwick"})
        EXPECT_NE(run.out.find(word), std::string::npos) << word;
}

TEST(CorvaneHostOptions, RegistrationOfSomethingThatIsNoComponentFails)
{
    velt::testing::TempHome home;
    const std::string text = (home.home() / "kein-modul.so").string();
    velt::testing::WriteTextFile(text, "kein Modul");
    ProcessRun run = Corvane({"--register", text});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_TRUE(run.err.starts_with("Die Komponente " + text + " konnte nicht geladen werden: ")) << run.err;
    run = Corvane({"--register", (home.home() / "fehlt.so").string()});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.err, "Die Komponente " + (home.home() / "fehlt.so").string() + " wurde nicht gefunden.\n");
    run = Corvane({"--register", PLATFORM_LIBRARY});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.err, std::string("Die Komponente ") + PLATFORM_LIBRARY + " exportiert DllRegisterServer nicht.\n");
}

} // namespace
