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

} // namespace
