#include "tarnwick/settings/SettingsMerge.h"
#include "tarnwick/program/CRedirectApp.h"

#include "tarnwick/resources/RegistryPaths.h"
#include "testing/TempHome.h"

#include <gtest/gtest.h>

using namespace tarnwick;

TEST(SettingsMergeTest, OwnChangesStayAndOthersChangesComeIn)
{
    CRedirectSettings base;
    base.SetRedirectUrl("http://old.example/index.htm");
    base.SetUploadPort(21);
    base.SetModified(0);

    CRedirectSettings live(base);
    live.SetLocalServerName("192.0.2.7"); // found by this instance
    live.SetUploadPort(2121); // changed here and elsewhere: ours wins

    CRedirectSettings stored(base);
    stored.SetRedirectUrl("http://new.example/index.htm"); // changed elsewhere
    stored.SetUploadPort(2200);
    stored.SetPassword("Geheim");

    MergeStoredSettings(live, base, stored);
    EXPECT_EQ(live.GetRedirectUrl(), "http://new.example/index.htm");
    EXPECT_EQ(live.GetPassword(), "Geheim");
    EXPECT_EQ(live.GetLocalServerName(), "192.0.2.7");
    EXPECT_EQ(live.GetUploadPort(), 2121);
    EXPECT_EQ(live.GetModified(), 1);

    // Nothing of our own: the stored record as it is, nothing to save.
    CRedirectSettings unchanged(base);
    MergeStoredSettings(unchanged, base, stored);
    EXPECT_EQ(unchanged.GetUploadPort(), 2200);
    EXPECT_EQ(unchanged.GetModified(), 0);
}

// The settings command line stores while an instance runs: the instance takes
// the newer values in, keeps the address it found, and its own save loses nothing.
TEST(SettingsMergeTest, ARunningInstanceDoesNotOverwriteNewerStoredSettings)
{
    velt::testing::TempHome home;
    CRedirectApp app;
    app.LoadFirstInstanceState();
    app.m_settings.SetLocalServerName("192.0.2.7");
    app.SaveSettings(false);

    CRedirectSettings other;
    ASSERT_TRUE(other.LoadFromRegistry(resources::kProductKeyPath));
    other.SetRedirectUrl("http://new.example/start.htm");
    ASSERT_TRUE(other.SaveToRegistry(resources::kProductKeyPath));

    app.AdoptStoredSettings();
    EXPECT_EQ(app.m_settings.GetRedirectUrl(), "http://new.example/start.htm");
    EXPECT_EQ(app.m_settings.GetLocalServerName(), "192.0.2.7");
    EXPECT_EQ(app.m_settings.GetRedirectAddress(), "http://192.0.2.7/");

    other.SetUploadServer("upload.example");
    ASSERT_TRUE(other.SaveToRegistry(resources::kProductKeyPath));
    app.SaveSettings(false);

    CRedirectSettings stored;
    ASSERT_TRUE(stored.LoadFromRegistry(resources::kProductKeyPath));
    EXPECT_EQ(stored.GetRedirectUrl(), "http://new.example/start.htm");
    EXPECT_EQ(stored.GetUploadServer(), "upload.example");
    EXPECT_EQ(app.m_settings.GetUploadServer(), "upload.example");
}
