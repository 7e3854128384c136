#include "platform/registry/Registry.h"
#include "tarnwick/resources/ServiceHost.h"
#include "tarnwick/settings/PasswordScrambler.h"
#include "tarnwick/settings/SettingsFieldTable.h"
#include "testing/FreeTcpPort.h"
#include "testing/TempHome.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

namespace tarnwick {
namespace {

namespace reg = platform::registry;

struct Outcome
{
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string Quoted(const std::string& arg)
{
    std::string quoted = "'";
    for (const char c : arg)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs the real program in the test's environment (its temporary home), without a display.
Outcome RunProgram(const std::vector<std::string>& args, const std::string& scratchDir)
{
    // A hang ends as a kill (exit code 137), not as a hung test.
    std::string command = "timeout -s KILL 30 env -u DISPLAY -u WAYLAND_DISPLAY " + Quoted(TARNWICK_PROGRAM);
    for (const std::string& arg : args)
        command += " " + Quoted(arg);
    command += " </dev/null >" + scratchDir + "/out 2>" + scratchDir + "/err";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, velt::testing::ReadTextFile(scratchDir + "/out"),
            velt::testing::ReadTextFile(scratchDir + "/err")};
}

class SettingsCommandLineTest : public ::testing::Test
{
protected:
    Outcome Tarnwick(const std::vector<std::string>& args) { return RunProgram(args, m_home.home().string()); }

    std::string Get(const std::string& name)
    {
        const Outcome o = Tarnwick({"--get", name});
        EXPECT_EQ(o.exitCode, 0) << o.err;
        return o.out.empty() ? o.out : o.out.substr(0, o.out.size() - 1);
    }

    std::string HiveBytes() { return velt::testing::ReadTextFile(reg::HivePath(reg::Root::CurrentUser)); }

    std::string BackupPath(const std::string& name) { return (m_home.configHome() / "VELT" / name).string(); }

    velt::testing::TempHome m_home;
};

TEST_F(SettingsCommandLineTest, PrintPageOnDefaults)
{
    const Outcome o = Tarnwick({"--print-page"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find("<head>\r\n<meta name=\"uploaddate\" content=\""), std::string::npos) << o.out;
    EXPECT_TRUE(std::regex_search(o.out, std::regex("content=\"\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\">")));
    EXPECT_NE(o.out.find("<meta http-equiv=\"refresh\" content=\"0; URL=http:///\">"), std::string::npos);
    EXPECT_NE(o.out.find("<a href=\"http:///\">"), std::string::npos);
    EXPECT_NE(o.out.find("unterst\xFCtzt"), std::string::npos) << "Windows-1252 bytes";
    EXPECT_EQ(o.err, "Umleitung wird erzeugt...\n");
    // First start: the product key now exists, so later saves have somewhere to go.
    EXPECT_NE(HiveBytes().find("[Software\\VELT\\Tarnwick]"), std::string::npos);

    const std::string before = HiveBytes();
    EXPECT_EQ(Tarnwick({"--print-page"}).exitCode, 0);
    EXPECT_EQ(HiveBytes(), before) << "printing writes nothing";
}

// The setters' own rules are covered by the record's tests; here: order,
// case-insensitive names, the split at the first "=", scrambled storage, and
// what only the command line knows (the stored server name, ServiceHost).
TEST_F(SettingsCommandLineTest, SetAppliesInOrderAndGetReadsBack)
{
    const Outcome o = Tarnwick({"--set", "LocalPort=81", "--set", "localport=82", "--set", "UploadDir=pub", "--set",
                                "Password=gr\xC3\xBC\xC3\x9F", "--set", "RedirectUrl=http://example.net/a=b.htm",
                                "--set", "LocalServerName=10.9.8.7"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(Get("LocalPort"), "82");
    EXPECT_EQ(Get("UploadDir"), "/pub");
    EXPECT_EQ(Get("RedirectUrl"), "http://example.net/a=b.htm") << "split at the first =";
    EXPECT_EQ(Get("Password"), "gr\xC3\xBC\xC3\x9F");
    std::string stored;
    ASSERT_TRUE(ScramblePassword("gr\xC3\xBC\xC3\x9F", stored, BuildScrambleKey("")));
    EXPECT_NE(HiveBytes().find("\"Password\"=\"" + stored + "\""), std::string::npos) << "stored scrambled";
    ASSERT_EQ(Tarnwick({"--set", "UserName=jemand"}).exitCode, 0);
    EXPECT_EQ(Get("LocalServerName"), "10.9.8.7") << "kept by a later save";

    // The page is made from the stored address and template.
    const std::string templ = (m_home.home() / "vorlage.htm").string();
    velt::testing::WriteTextFile(templ, "<head>Weiter zu <velt-tarnwick-address> (<velt-tarnwick-ipaddressonly>)");
    ASSERT_EQ(Tarnwick({"--set", "UploadFile=" + templ}).exitCode, 0);
    const Outcome page = Tarnwick({"--print-page"});
    ASSERT_EQ(page.exitCode, 0) << page.err;
    EXPECT_TRUE(page.out.starts_with("<head>\r\n<meta name=\"uploaddate\""));
    EXPECT_TRUE(page.out.ends_with("Weiter zu http://10.9.8.7:82/ (10.9.8.7)")) << page.out;
    EXPECT_EQ(page.err, "");
    // An IPv6 address: canonical, in brackets only in the address.
    ASSERT_EQ(Tarnwick({"--set", "LocalServerName=2001:DB8:0:0:0:0:0:10", "--set", "AddressFamily=6", "--set",
                        "Ipv6InterfaceId=::99"})
                  .exitCode,
              0);
    EXPECT_EQ(Get("AddressFamily"), "6");
    EXPECT_EQ(Get("Ipv6InterfaceId"), "::99");
    EXPECT_TRUE(Tarnwick({"--print-page"}).out.ends_with("Weiter zu http://[2001:db8::10]:82/ (2001:db8::10)"));

    EXPECT_EQ(Get("ServiceHost"), std::string(resources::BuiltInServiceHost()));
    // DNS values take their own forms; the key is stored scrambled.
    ASSERT_EQ(Tarnwick({"--set", "DnsUpdate=2", "--set", "DnsName=heim.example.org", "--set",
                        "DnsServer=[2001:db8::53]:5353", "--set", "DnsKey=hmac-sha512:k:c2VjcmV0"})
                  .exitCode,
              0);
    EXPECT_EQ(Get("DnsName"), "heim.example.org");
    EXPECT_EQ(Get("DnsKey"), "hmac-sha512:k:c2VjcmV0");
    EXPECT_EQ(HiveBytes().find("c2VjcmV0"), std::string::npos);
    ASSERT_EQ(Tarnwick({"--set", "ServiceHost=127.0.0.1:8080"}).exitCode, 0);
    EXPECT_EQ(Get("servicehost"), "127.0.0.1:8080");
    ASSERT_EQ(Tarnwick({"--set", "ServiceHost="}).exitCode, 0);
    EXPECT_EQ(Get("ServiceHost"), std::string(resources::BuiltInServiceHost()));
}

struct RefusalCase
{
    std::string name;
    std::vector<std::string> args;
};

class RefusedCommandLineTest : public SettingsCommandLineTest, public ::testing::WithParamInterface<RefusalCase>
{
};

// A refused command line says why in German, exits with 2 and writes nothing,
// not even the assignments before the bad one.
TEST_P(RefusedCommandLineTest, ExitsWith2AndWritesNothing)
{
    ASSERT_EQ(Tarnwick({"--set", "UserName=vorher"}).exitCode, 0);
    const std::string before = HiveBytes();
    const Outcome o = Tarnwick(GetParam().args);
    EXPECT_EQ(o.exitCode, 2) << o.err;
    EXPECT_TRUE(o.err.starts_with("tarnwick: ")) << o.err;
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(HiveBytes(), before);
    EXPECT_EQ(Get("UserName"), "vorher");
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, RefusedCommandLineTest,
    ::testing::Values(RefusalCase {"UnknownOption", {"--bogus"}}, RefusalCase {"UnknownName", {"--set", "Colour=blue"}},
                      RefusalCase {"ModifiedIsNoValue", {"--set", "Modified=1"}},
                      RefusalCase {"UnknownGet", {"--get", "Colour"}},
                      RefusalCase {"MissingEquals", {"--set", "UserName"}},
                      RefusalCase {"PortNotANumber", {"--set", "UserName=neu", "--set", "LocalPort=80x"}},
                      RefusalCase {"PortTooLarge", {"--set", "LocalPort=65536"}},
                      RefusalCase {"LocalPortZero", {"--set", "LocalPort=0"}},
                      RefusalCase {"UploadPortZero", {"--set", "UserName=neu", "--set", "UploadPort=0"}},
                      RefusalCase {"WaitTimeZero", {"--set", "UserName=neu", "--set", "WaitTimeInMin=0"}},
                      RefusalCase {"WaitTime121", {"--set", "WaitTimeInMin=121"}},
                      RefusalCase {"ServiceTypeTwo", {"--set", "UploadServiceType=2"}},
                      RefusalCase {"ServiceHostUrl", {"--set", "ServiceHost=http://host/"}},
                      RefusalCase {"AddressFamilyFive", {"--set", "AddressFamily=5"}},
                      RefusalCase {"InterfaceIdWithPrefix",
                                   {"--set", "UserName=neu", "--set", "Ipv6InterfaceId=1::99"}},
                      RefusalCase {"InterfaceIdAllZero", {"--set", "Ipv6InterfaceId=::"}},
                      RefusalCase {"InterfaceIdNoAddress", {"--set", "Ipv6InterfaceId=99"}},
                      RefusalCase {"TextTooLong", {"--set", "UserName=" + std::string(256, 'u')}},
                      RefusalCase {"PasswordTooLong", {"--set", "Password=" + std::string(128, 'p')}},
                      RefusalCase {"LineBreak", {"--set", "RedirectUrl=http://a/\nb"}},
                      RefusalCase {"NotUtf8", {"--set", "UserName=M\xFCller"}},
                      RefusalCase {"DnsNameNotQualified", {"--set", "UserName=neu", "--set", "DnsName=heim"}},
                      RefusalCase {"DnsKeyUnparsed", {"--set", "DnsKey=hmac-md5:k:c2VjcmV0"}},
                      RefusalCase {"DnsServerPortZero", {"--set", "DnsServer=ns.example.org:0"}},
                      RefusalCase {"DnsServerPlainHttpAway", {"--set", "DnsServer=http://dyn.example.org"}},
                      RefusalCase {"DnsUpdateThree", {"--set", "DnsUpdate=3"}},
                      RefusalCase {"MixedOptions", {"--set", "UserName=neu", "--get", "UserName"}}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

// What a backup file holds and how a Windows one is read is covered by the
// record's tests; here the options move it between file and registry.
TEST_F(SettingsCommandLineTest, BackupFilesWrittenAndLoadedIntoTheRegistry)
{
    ASSERT_EQ(Tarnwick({"--set", "UploadServer=ftp.example.net", "--set", "Password=geheim"}).exitCode, 0);
    ASSERT_EQ(Tarnwick({"--save-backup"}).exitCode, 0);
    const std::string text = velt::testing::ReadTextFile(BackupPath("values.bak"));
    EXPECT_NE(text.find("UploadServer=ftp.example.net"), std::string::npos) << text;
    EXPECT_EQ(text.find("geheim"), std::string::npos);

    const std::string windows = (m_home.home() / "WINDOWS.BAK").string();
    velt::testing::WriteTextFile(windows, "[Options]\r\nUserName=J\xFCrgen\r\nLocalPort=8081\r\n");
    ASSERT_EQ(Tarnwick({"--load-backup", windows}).exitCode, 0);
    EXPECT_EQ(Get("UserName"), "J\xC3\xBCrgen");
    EXPECT_EQ(Get("LocalPort"), "8081");
    EXPECT_EQ(Get("UploadServer"), "") << "a text key missing from the file empties the field";
    EXPECT_EQ(Get("Password"), "geheim") << "the backup holds no password; the stored one stays";

    ASSERT_EQ(Tarnwick({"--load-backup", "values.bak"}).exitCode, 0);
    EXPECT_EQ(Get("UploadServer"), "ftp.example.net");

    const std::string before = HiveBytes();
    ASSERT_EQ(mkfifo(BackupPath("fifo.bak").c_str(), 0600), 0);
    for (const char* name : {"gibt-es-nicht.bak", "fifo.bak"}) {
        const Outcome missing = Tarnwick({"--load-backup", name});
        EXPECT_EQ(missing.exitCode, 1) << name;
        EXPECT_NE(missing.err.find(name), std::string::npos) << missing.err;
        EXPECT_EQ(HiveBytes(), before);
    }
    EXPECT_EQ(Tarnwick({"--save-backup", "/proc/version/kann-nicht.bak"}).exitCode, 1);
}

TEST_F(SettingsCommandLineTest, HelpAndCorruptHive)
{
    const std::string help = Tarnwick({"--help"}).out;
    EXPECT_TRUE(help.starts_with("Aufruf: tarnwick"));
    for (const char* option : {"--headless", "--once", "--version", "--print-page", "--load-backup"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
    // Every setting on a line of its own, with what its values mean.
    EXPECT_TRUE(
        std::regex_search(help, std::regex("\n  UploadServiceType +Protokoll beim Hochladen: 1 = FTP, 3 = HTTP PUT")))
        << help;
    std::vector<std::string> names {"ServiceHost"};
    for (const SettingsField& field : SettingsFields())
        names.emplace_back(field.name);
    for (const std::string& name : names) {
        const size_t at = help.find("\n  " + name + " ");
        ASSERT_NE(at, std::string::npos) << name;
        EXPECT_GT(help.find('\n', at + 1) - at, 40u) << name << ": no meaning";
    }
    EXPECT_EQ(Tarnwick({"--version"}).out, "1.4.44\n");
    velt::testing::WriteTextFile(reg::HivePath(reg::Root::CurrentUser), "\x01\x02 kein Registrierungsformat [[[");
    const Outcome o = Tarnwick({"--get", "UserName"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out, "anonymous\n");

    // Nesting that once overflowed the stack at every start: moved aside once.
    std::string deep = "[a";
    for (int i = 0; i < 200000; ++i)
        deep += "\\a";
    velt::testing::WriteTextFile(reg::HivePath(reg::Root::CurrentUser), deep + "]\n");
    const Outcome moved = Tarnwick({"--set", "UserName=nach"});
    EXPECT_EQ(moved.exitCode, 0) << moved.err;
    EXPECT_NE(moved.err.find("zu tief verschachtelt"), std::string::npos) << moved.err;
    EXPECT_EQ(Get("UserName"), "nach");

    // A byte order mark in front, as some editors save it, is no damage.
    velt::testing::WriteTextFile(reg::HivePath(reg::Root::CurrentUser), "\xEF\xBB\xBF" + HiveBytes());
    const Outcome bom = Tarnwick({"--get", "UserName"});
    EXPECT_EQ(bom.out, "nach\n");
    EXPECT_EQ(bom.err, "");
}

} // namespace
} // namespace tarnwick
