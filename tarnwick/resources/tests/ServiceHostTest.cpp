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

class ServiceHostFormTest : public ::testing::TestWithParam<HostCase>
{
};

TEST_P(ServiceHostFormTest, Validates)
{
    EXPECT_EQ(IsValidServiceHost(GetParam().value), GetParam().valid) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(Forms, ServiceHostFormTest,
                         ::testing::Values(HostCase {"localhost:8080", true}, HostCase {"www.velt.example", true},
                                           HostCase {"[::1]:65535", true}, HostCase {"", false},
                                           HostCase {"localhost:", false}, HostCase {"localhost:0", false},
                                           HostCase {"localhost:65536", false}, HostCase {"http://localhost", false},
                                           HostCase {"host/path", false}, HostCase {"host name", false},
                                           HostCase {"a..b", false}, HostCase {"[::1", false},
                                           HostCase {"host\r\n", false}, HostCase {std::string(300, 'a'), false}));

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
