// The dial step of a cycle in the real program without a window: AutoDial on,
// the page's server unreachable, the dial activating a profile of the
// stand-in NetworkManager, then the address step.
#include "tarnwick/dialup/tests/support/NetworkManagerMock.h"
#include "testing/FreeTcpPort.h"
#include "testing/TempHome.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>

namespace {

using velt::testing::NetworkManagerMock;

struct Outcome
{
    int exitCode = -1;
    std::string out;
};

Outcome RunTarnwick(const std::vector<std::string>& args, const std::string& scratchDir)
{
    std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY '" TARNWICK_PROGRAM "'";
    for (const std::string& arg : args)
        command += " '" + arg + "'";
    command += " </dev/null >" + scratchDir + "/out 2>&1";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, velt::testing::ReadTextFile(scratchDir + "/out")};
}

size_t Find(const std::string& log, const std::string& text)
{
    return log.find(text);
}

TEST(HeadlessDialTest, OnceDialsTheProfileBeforeLookingForTheAddresses)
{
    struct Case
    {
        const char* name;
        const char* password;
        bool connected;
    };
    for (const Case& c : {Case {"dial succeeds", "geheim", true}, Case {"wrong password", "falsch", false}}) {
        SCOPED_TRACE(c.name);
        velt::testing::TempHome home;
        NetworkManagerMock nm;
        const std::string modem = nm.addDevice("ttyUSB0", "ttyUSB0", 8);
        const std::string profile
            = nm.addProfile("Mobilfunk", "gsm", modem, {{"gsm", {{"number", "*99#"}, {"username", "kunde"}}}});
        NetworkManagerMock::DialScript script;
        script.device = modem;
        script.steps = {40, 60, 70};
        script.password = "geheim";
        nm.setDialScript(profile, script);

        const std::string closed = std::to_string(velt::testing::FreeTcpPort());
        const std::string scratch = home.home().string();
        ASSERT_EQ(RunTarnwick({"--set", "RedirectUrl=http://127.0.0.1:" + closed + "/index.htm", "--set", "AutoDial=1",
                               "--set", "AutoDialConnection=Mobilfunk", "--set", "AutoDialUsername=kunde", "--set",
                               std::string("AutoDialPW=") + c.password},
                              scratch)
                      .exitCode,
                  0);
        const Outcome once = RunTarnwick({"--once"}, scratch);
        EXPECT_EQ(once.exitCode, 1) << once.out;
        const std::string& log = once.out;
        const size_t preparing = Find(log, "Anwahl wird vorbereitet...");
        const size_t authenticating = Find(log, "Benutzername und Passwort werden geprüft");
        ASSERT_NE(preparing, std::string::npos) << log;
        ASSERT_NE(authenticating, std::string::npos) << log;
        EXPECT_LT(preparing, authenticating);
        if (c.connected) {
            // Connected, then the address step goes on (and finds the page's server closed).
            const size_t connected = Find(log, " - Verbunden");
            ASSERT_NE(connected, std::string::npos) << log;
            EXPECT_LT(connected, Find(log, "Fehler! Verbindung zum Server 127.0.0.1")) << log;
            EXPECT_EQ(Find(log, "automatisch aufgebaut"), std::string::npos) << log;
            EXPECT_EQ(nm.activeConnections().size(), 1u) << "the connection stays up";
        } else {
            EXPECT_NE(Find(log, "Zugriff verweigert: Benutzername oder Kennwort ist ungültig."), std::string::npos)
                << log;
            EXPECT_NE(Find(log, "Fehler! Verbindung zum Server konnte nicht automatisch aufgebaut werden."),
                      std::string::npos)
                << log;
            EXPECT_EQ(Find(log, "Fehler! Verbindung zum Server 127.0.0.1"), std::string::npos) << log;
            EXPECT_TRUE(nm.activeConnections().empty());
        }
    }
}

} // namespace
