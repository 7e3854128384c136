#include "tarnwick/dialup/RasFunctionTable.h"
#include "tarnwick/dialup/RasOperations.h"
#include "tarnwick/dialup/tests/support/NetworkManagerMock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

using namespace tarnwick;
using velt::testing::NetworkManagerMock;

namespace {

// Notifications of the dial under test (the provider calls a plain function).
struct Notification
{
    uint32_t state;
    uint32_t error;
};
std::mutex g_mutex;
std::condition_variable g_changed;
std::vector<Notification> g_notifications;

void Notify(uint32_t message, uint32_t state, uint32_t error)
{
    EXPECT_EQ(message, WM_RASDIALEVENT);
    std::lock_guard lock(g_mutex);
    g_notifications.push_back({state, error});
    g_changed.notify_all();
}

class ProviderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(LoadRasFunctionTable(m_ras, nullptr, RAS_PROVIDER));
        std::lock_guard lock(g_mutex);
        g_notifications.clear();
    }
    void TearDown() override { UnloadRasFunctionTable(m_ras); }

    std::vector<std::string> Entries()
    {
        RASENTRYNAMEA names[8] {};
        names[0].dwSize = RAS_SIZE_ENTRYNAME;
        uint32_t bytes = sizeof names;
        uint32_t count = 0;
        EXPECT_EQ(m_ras.RasEnumEntriesA(nullptr, nullptr, names, &bytes, &count), 0u);
        std::vector<std::string> result;
        for (uint32_t i = 0; i < count; ++i)
            result.emplace_back(names[i].szEntryName);
        return result;
    }

    uint32_t Dial(const std::string& entry, const std::string& password, HRASCONN& connection)
    {
        RASDIALPARAMSA parameters {};
        parameters.dwSize = RAS_SIZE_DIALPARAMS;
        std::snprintf(parameters.szEntryName, sizeof parameters.szEntryName, "%s", entry.c_str());
        std::snprintf(parameters.szPassword, sizeof parameters.szPassword, "%s", password.c_str());
        return m_ras.RasDialA(nullptr, nullptr, &parameters, 0, reinterpret_cast<void*>(&Notify), &connection);
    }

    // Waits for a notification with the done bit or an error.
    std::vector<Notification> WaitForEnd(std::chrono::milliseconds limit = std::chrono::seconds(10))
    {
        std::unique_lock lock(g_mutex);
        g_changed.wait_for(lock, limit, [] {
            return !g_notifications.empty()
                && (g_notifications.back().error != 0 || (g_notifications.back().state & RASCS_DONE));
        });
        return g_notifications;
    }

    RasFunctionTable m_ras;
};

TEST_F(ProviderTest, StockTemplateListsActivatesAndHangsUp)
{
    NetworkManagerMock nm(NetworkManagerMock::Template::Stock);
    nm.addDevice("eth0", "eth0", 1); // the stock template deactivates through its devices
    nm.addProfile("Büro-LAN", "802-3-ethernet");
    EXPECT_EQ(Entries(), std::vector<std::string> {"Büro-LAN"});

    HRASCONN connection = nullptr;
    ASSERT_EQ(Dial("Büro-LAN", "", connection), 0u);
    const auto notes = WaitForEnd();
    ASSERT_FALSE(notes.empty());
    EXPECT_EQ(notes.back().state, uint32_t(RASCS_Connected));
    EXPECT_EQ(notes.back().error, 0u);
    EXPECT_EQ(nm.activeConnections().size(), 1u);

    HRASCONN found = nullptr;
    EXPECT_TRUE(FindRasConnection(m_ras, "büro-lan", found));
    EXPECT_EQ(found, connection);
    EXPECT_TRUE(HangUpRasConnection(m_ras, connection));
    EXPECT_TRUE(nm.activeConnections().empty());
}

NetworkManagerMock::DialScript Script(const std::string& device, int delayMs, std::vector<unsigned> steps,
                                      const std::string& password = {}, const std::string& fail = {}, bool hang = false)
{
    NetworkManagerMock::DialScript script;
    script.device = device;
    script.delayMs = delayMs;
    script.steps = std::move(steps);
    script.password = password;
    script.fail = fail;
    script.hang = hang;
    return script;
}

std::vector<uint32_t> States(const std::vector<Notification>& notes)
{
    std::vector<uint32_t> states;
    for (const auto& note : notes)
        states.push_back(note.state);
    return states;
}

// A modem profile with a phone number, dialled through the device states.
class DialTemplateTest : public ProviderTest
{
protected:
    void SetUp() override
    {
        ProviderTest::SetUp();
        m_modem = m_nm.addDevice("ttyUSB0", "ttyUSB0", 8);
        m_profile = m_nm.addProfile("Mobilfunk", "gsm", m_modem,
                                    {{"gsm", {{"number", "*99#"}, {"username", "kunde"}, {"apn", "internet"}}}});
    }

    NetworkManagerMock m_nm;
    std::string m_modem;
    std::string m_profile;
};

TEST_F(DialTemplateTest, DialWalksThroughTheStatesAndHangUpEndsIt)
{
    m_nm.setDialScript(m_profile, Script(m_modem, 30, {40, 50, 60, 70, 80}, "geheim"));
    HRASCONN connection = nullptr;
    ASSERT_EQ(Dial("Mobilfunk", "geheim", connection), 0u);
    EXPECT_NE(connection, nullptr);
    const auto notes = WaitForEnd();
    EXPECT_EQ(States(notes),
              (std::vector<uint32_t> {RASCS_OpenPort, RASCS_PortOpened, RASCS_ConnectDevice, RASCS_DeviceConnected,
                                      RASCS_Authenticate, RASCS_AuthProject, RASCS_Authenticated, RASCS_Connected}));
    EXPECT_EQ(notes.back().error, 0u);
    // The agent served this dial only (it leaves in the background).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!m_nm.agents().empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(m_nm.agents().empty());

    RASCONNSTATUSA status {};
    status.dwSize = RAS_SIZE_CONNSTATUS;
    ASSERT_EQ(m_ras.RasGetConnectStatusA(connection, &status), 0u);
    EXPECT_EQ(status.rasconnstate, uint32_t(RASCS_Connected));
    EXPECT_STREQ(status.szPhoneNumber, "*99#");
    EXPECT_STREQ(status.szDeviceName, "ttyUSB0");

    EXPECT_TRUE(HangUpRasConnection(m_ras, connection));
    EXPECT_TRUE(m_nm.activeConnections().empty());
    EXPECT_EQ(m_ras.RasGetConnectStatusA(connection, &status), 6u);
    EXPECT_EQ(m_ras.RasHangUpA(reinterpret_cast<HRASCONN>(uintptr_t(4711))), 6u);
}

TEST_F(DialTemplateTest, FailuresBecomeRasCodesWithGermanTexts)
{
    struct Case
    {
        const char* name;
        const char* fail;
        const char* password;
        uint32_t error;
    };
    const Case cases[] = {
        {"wrong password", "", "falsch", 691},
        {"password refused", "password", "geheim", 691},
        {"no answer", "timeout", "geheim", 678},
        {"device removed", "device", "geheim", 633},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            std::lock_guard lock(g_mutex);
            g_notifications.clear();
        }
        m_nm.setDialScript(m_profile, Script(m_modem, 20, {40, 60, 70}, "geheim", c.fail));
        HRASCONN connection = nullptr;
        ASSERT_EQ(Dial("Mobilfunk", c.password, connection), 0u);
        const auto notes = WaitForEnd();
        ASSERT_FALSE(notes.empty());
        EXPECT_EQ(notes.back().error, c.error);
        EXPECT_FALSE(RasErrorText(m_ras, c.error).empty());
        EXPECT_EQ(RasErrorText(m_ras, c.error).find("Fehler:"), std::string::npos);
        // Nothing is left once the failed dial is hung up.
        HangUpRasConnection(m_ras, connection);
        EXPECT_TRUE(m_nm.activeConnections().empty());
    }
    EXPECT_EQ(RasErrorText(m_ras, 691), "Zugriff verweigert: Benutzername oder Kennwort ist ungültig.");

    // No device for the profile: refused when the activation is asked for.
    {
        std::lock_guard lock(g_mutex);
        g_notifications.clear();
    }
    m_nm.setDialScript(m_profile, Script(m_modem, 20, {}, "", "nodevice"));
    HRASCONN connection = nullptr;
    ASSERT_EQ(Dial("Mobilfunk", "", connection), 0u);
    EXPECT_EQ(WaitForEnd().back().error, 633u);
}

TEST_F(DialTemplateTest, CancelledDialIsHungUpAndReallyEnds)
{
    m_nm.setDialScript(m_profile, Script(m_modem, 20, {40, 50}, "", "", true));
    HRASCONN connection = nullptr;
    ASSERT_EQ(Dial("Mobilfunk", "", connection), 0u);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        {
            std::lock_guard lock(g_mutex);
            if (!g_notifications.empty() && g_notifications.back().state == RASCS_DeviceConnected)
                break;
        }
        ASSERT_LT(std::chrono::steady_clock::now(), deadline);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(m_nm.activeConnections().size(), 1u);
    EXPECT_TRUE(HangUpRasConnection(m_ras, connection));
    EXPECT_TRUE(m_nm.activeConnections().empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::lock_guard lock(g_mutex);
    EXPECT_EQ(g_notifications.back().state, uint32_t(RASCS_DeviceConnected)) << "no notification after hang-up";
}

TEST_F(DialTemplateTest, NetworkManagerLeavingEndsTheDialAndLaterCallsFailCleanly)
{
    m_nm.setDialScript(m_profile, Script(m_modem, 20, {40}, "", "", true));
    HRASCONN connection = nullptr;
    ASSERT_EQ(Dial("Mobilfunk", "", connection), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    m_nm.stopNetworkManager();
    const auto notes = WaitForEnd(std::chrono::seconds(8));
    ASSERT_FALSE(notes.empty());
    EXPECT_EQ(notes.back().error, 711u);

    const auto start = std::chrono::steady_clock::now();
    RASENTRYNAMEA names[2] {};
    names[0].dwSize = RAS_SIZE_ENTRYNAME;
    uint32_t bytes = sizeof names;
    uint32_t count = 0;
    EXPECT_EQ(m_ras.RasEnumEntriesA(nullptr, nullptr, names, &bytes, &count), 711u);
    RasEntryInfo entry {};
    EXPECT_EQ(GetRasEntry(m_ras, "Mobilfunk", &entry), 803u);
    EXPECT_FALSE(HangUpRasConnection(m_ras, connection));
    EXPECT_EQ(Dial("Mobilfunk", "", connection), 711u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(RasErrorText(m_ras, 711), "NetworkManager ist nicht erreichbar.");

    // Back again: a new NetworkManager (new profiles) is used at once.
    m_nm.startNetworkManager();
    m_nm.addProfile("Zweitnetz", "pppoe", {}, {{"pppoe", {{"username", "dsl"}}}});
    EXPECT_EQ(Entries(), std::vector<std::string> {"Zweitnetz"});
}

TEST_F(ProviderTest, EntriesAsTheSettingsPageListsThemWithTheSmallBufferFirst)
{
    NetworkManagerMock nm;
    const std::string modem = nm.addDevice("ttyACM0", "ttyACM0", 8);
    const std::string longName(255, 'x');
    const std::string tooLong = std::string(200, 'x') + std::string(60, 'x') + "ä"; // 262 bytes
    nm.addProfile("Mobilfunk Österreich", "gsm", modem, {{"gsm", {{"number", "*99***1#"}, {"username", "kunde"}}}});
    nm.addProfile(longName, "pppoe", {}, {{"pppoe", {{"username", "dsl-nutzer"}, {"password", "gespeichert"}}}});
    nm.addProfile("Büro-VPN", "vpn", {}, {{"vpn", {{"service-type", "org.freedesktop.NetworkManager.openvpn"}}}});
    nm.addProfile("lo", "loopback");
    nm.addProfile("Brücken-Port", "802-3-ethernet", {},
                  {{"connection", {{"master", "br0"}, {"slave-type", "bridge"}}}});
    nm.addProfile(tooLong, "802-3-ethernet");

    // One record first, as the page does; 603 tells the size for all.
    RASENTRYNAMEA one {};
    one.dwSize = RAS_SIZE_ENTRYNAME;
    uint32_t bytes = sizeof one;
    uint32_t count = 0;
    ASSERT_EQ(m_ras.RasEnumEntriesA(nullptr, nullptr, &one, &bytes, &count), 603u);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(bytes, 3 * RAS_SIZE_ENTRYNAME);
    std::vector<RASENTRYNAMEA> names(count);
    names[0].dwSize = RAS_SIZE_ENTRYNAME;
    ASSERT_EQ(m_ras.RasEnumEntriesA(nullptr, nullptr, names.data(), &bytes, &count), 0u);
    std::vector<std::string> listed;
    for (const auto& name : names)
        listed.emplace_back(name.szEntryName);
    EXPECT_EQ(listed, (std::vector<std::string> {"Mobilfunk Österreich", longName, "Büro-VPN"}));

    // Wrong record sizes and missing buffers are refused, not written.
    one.dwSize = 100;
    EXPECT_EQ(m_ras.RasEnumEntriesA(nullptr, nullptr, &one, &bytes, &count), 632u);
    EXPECT_EQ(m_ras.RasEnumEntriesA(nullptr, nullptr, nullptr, &bytes, &count), 610u);

    EXPECT_EQ(m_ras.RasValidateEntryNameA(nullptr, "Mobilfunk Österreich"), 183u);
    EXPECT_EQ(m_ras.RasValidateEntryNameA(nullptr, longName.c_str()), 183u);
    EXPECT_EQ(m_ras.RasValidateEntryNameA(nullptr, "Gibt es nicht"), 0u);
    EXPECT_EQ(m_ras.RasValidateEntryNameA(nullptr, tooLong.c_str()), 123u);
    EXPECT_EQ(m_ras.RasValidateEntryNameA(nullptr, ""), 123u);

    RasEntryInfo entry {};
    ASSERT_EQ(GetRasEntry(m_ras, "Mobilfunk Österreich", &entry), 0u);
    EXPECT_EQ(entry.dwSize, RAS_SIZE_ENTRY);
    EXPECT_STREQ(entry.szLocalPhoneNumber, "*99***1#");
    EXPECT_STREQ(entry.szDeviceType, "modem");
    EXPECT_STREQ(entry.szDeviceName, "ttyACM0");
    EXPECT_EQ(entry.dwfOptions, 0u);
    ASSERT_EQ(GetRasEntry(m_ras, longName, &entry), 0u);
    EXPECT_STREQ(entry.szDeviceType, "PPPoE");
    EXPECT_STREQ(entry.szLocalPhoneNumber, "");
    EXPECT_EQ(GetRasEntry(m_ras, "Gibt es nicht", &entry), 803u);

    RASCREDENTIALSA credentials {};
    credentials.dwSize = RAS_SIZE_CREDENTIALS;
    ASSERT_EQ(m_ras.RasGetCredentialsA(nullptr, longName.c_str(), &credentials), 0u);
    EXPECT_STREQ(credentials.szUserName, "dsl-nutzer");
    EXPECT_STREQ(credentials.szPassword, "gespeichert");
    EXPECT_EQ(credentials.dwMask, RASCM_UserName | RASCM_Password);
    ASSERT_EQ(m_ras.RasGetCredentialsA(nullptr, "Mobilfunk Österreich", &credentials), 0u);
    EXPECT_STREQ(credentials.szUserName, "kunde");
    EXPECT_STREQ(credentials.szPassword, "") << "a password NetworkManager does not hand out";
    EXPECT_EQ(credentials.dwMask, RASCM_UserName);
    EXPECT_EQ(m_ras.RasGetCredentialsA(nullptr, "Gibt es nicht", &credentials), 623u);
    credentials.dwSize = 12;
    EXPECT_EQ(m_ras.RasGetCredentialsA(nullptr, longName.c_str(), &credentials), 632u);
}

TEST_F(ProviderTest, ProfileRemovedBetweenListingAndDialling)
{
    NetworkManagerMock nm;
    const std::string modem = nm.addDevice("ttyUSB0", "ttyUSB0", 8);
    const std::string profile = nm.addProfile("Mobilfunk", "gsm", modem);
    EXPECT_EQ(Entries(), std::vector<std::string> {"Mobilfunk"});
    nm.removeProfile(profile);
    RasEntryInfo entry {};
    EXPECT_EQ(GetRasEntry(m_ras, "Mobilfunk", &entry), 803u);
    HRASCONN connection = nullptr;
    EXPECT_EQ(Dial("Mobilfunk", "", connection), 623u);
    EXPECT_EQ(connection, nullptr);
}

TEST_F(ProviderTest, WithoutNetworkManagerEveryCallFailsCleanlyAndQuickly)
{
    for (const bool withBus : {true, false}) {
        SCOPED_TRACE(withBus ? "bus without NetworkManager" : "no bus at all");
        std::unique_ptr<NetworkManagerMock> bus;
        std::unique_ptr<velt::testing::ScopedEnv> nowhere;
        if (withBus)
            bus = std::make_unique<NetworkManagerMock>(NetworkManagerMock::Template::None);
        else
            nowhere = std::make_unique<velt::testing::ScopedEnv>("DBUS_SYSTEM_BUS_ADDRESS",
                                                                 "unix:path=/nonexistent/tarnwick-test-bus");
        const auto start = std::chrono::steady_clock::now();
        RASENTRYNAMEA names[1] {};
        names[0].dwSize = RAS_SIZE_ENTRYNAME;
        uint32_t bytes = sizeof names;
        uint32_t count = 0;
        EXPECT_EQ(m_ras.RasEnumEntriesA(nullptr, nullptr, names, &bytes, &count), 711u);
        HRASCONN connection = nullptr;
        EXPECT_FALSE(FindRasConnection(m_ras, "Mobilfunk", connection));
        RasEntryInfo entry {};
        EXPECT_EQ(GetRasEntry(m_ras, "Mobilfunk", &entry), 803u);
        EXPECT_EQ(Dial("Mobilfunk", "", connection), 711u);
        EXPECT_FALSE(HangUpRasConnection(m_ras, reinterpret_cast<HRASCONN>(uintptr_t(1))));
        RASCREDENTIALSA credentials {};
        credentials.dwSize = RAS_SIZE_CREDENTIALS;
        EXPECT_EQ(m_ras.RasGetCredentialsA(nullptr, "Mobilfunk", &credentials), 711u);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    }
}

} // namespace
