#include "tarnwick/resources/ServiceHost.h"

#include "platform/registry/Registry.h"
#include "tarnwick/resources/RegistryPaths.h"
#include "tarnwick/resources/StringTable.h"
#include "testing/TempHome.h"

#include <gtest/gtest.h>

namespace tarnwick::resources {
namespace {

namespace reg = platform::registry;

struct HostCase
{
    std::string value;
    bool valid;
};

TEST(ServiceHost, AcceptsOnlyAHostWithAnOptionalPort)
{
    const HostCase cases[] = {
        {"localhost:8080", true},
        {"www.velt.example", true},
        {"[::1]:65535", true},
        {"", false},
        {"localhost:", false},
        {"localhost:0", false},
        {"localhost:65536", false},
        {"http://localhost", false},
        {"host/path", false},
        {"host name", false},
        {"a..b", false},
        {"[::1", false},
        {"host\r\n", false},
        {std::string(300, 'a'), false},
    };
    for (const HostCase& c : cases)
        EXPECT_EQ(IsValidServiceHost(c.value), c.valid) << c.value;
}

TEST(ServiceHost, StoredValueOverridesBuiltInHostUntilRemoved)
{
    velt::testing::TempHome home;
    EXPECT_EQ(ServiceHost(), TARNWICK_SERVICE_HOST);

    ASSERT_TRUE(StoreServiceHost("127.0.0.1:8080"));
    EXPECT_EQ(ServiceHost(), "127.0.0.1:8080");
    EXPECT_EQ(LoadString(IDS_CLIENT_IP_URL), "http://127.0.0.1:8080/Tarnwick/GetClientIP.asp?TextOnly=1");
    EXPECT_EQ(LoadString(IDS_FORUM_URL), "http://127.0.0.1:8080/forum/InfosListe.asp?ForumID=230301211234");

    EXPECT_FALSE(StoreServiceHost("http://elsewhere/"));
    EXPECT_EQ(ServiceHost(), "127.0.0.1:8080");

    ASSERT_TRUE(StoreServiceHost(""));
    EXPECT_EQ(ServiceHost(), TARNWICK_SERVICE_HOST);
    ASSERT_TRUE(StoreServiceHost(""));
}

TEST(ServiceHost, MalformedStoredValueFallsBackToBuiltInHost)
{
    velt::testing::TempHome home;
    reg::HKEY key = nullptr;
    ASSERT_EQ(reg::RegCreateKey(reg::Root::CurrentUser, kMakerKeyPath, &key), reg::kSuccess);
    ASSERT_EQ(reg::RegSetString(key, kServiceHostValueName, "evil.example/path?x="), reg::kSuccess);
    EXPECT_EQ(ServiceHost(), TARNWICK_SERVICE_HOST);
    ASSERT_EQ(reg::RegSetDword(key, kServiceHostValueName, 80), reg::kSuccess);
    EXPECT_EQ(ServiceHost(), TARNWICK_SERVICE_HOST);
    reg::RegCloseKey(key);
}

} // namespace
} // namespace tarnwick::resources
