#include "tarnwick/dialup/DialProgress.h"
#include "tarnwick/dialup/DialSession.h"
#include "tarnwick/dialup/RasFunctionTable.h"
#include "tarnwick/dialup/RasOperations.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

using namespace tarnwick;

TEST(RasFunctionTableTest, MissingLibraryLeavesEveryEntryEmptyAndSaysWhy)
{
    RasFunctionTable table;
    std::string error;
    EXPECT_FALSE(LoadRasFunctionTable(table, &error, "libdoes-not-exist-rasapi32.so"));
    EXPECT_NE(error.find("libdoes-not-exist-rasapi32.so"), std::string::npos) << error;
    EXPECT_EQ(table.library, nullptr);
    EXPECT_EQ(table.RasDialA, nullptr);
    EXPECT_EQ(table.RasGetErrorStringA, nullptr);
}

TEST(RasFunctionTableTest, NamesNotFoundStayEmptyAndUnloadEmptiesAll)
{
    RasFunctionTable table;
    ASSERT_TRUE(LoadRasFunctionTable(table, nullptr, RAS_TEST_PROVIDER));
    EXPECT_NE(table.library, nullptr);
    ASSERT_NE(table.RasGetErrorStringA, nullptr);
    EXPECT_NE(table.RasDialA, nullptr);
    EXPECT_EQ(table.RasEnumConnectionsA, nullptr);
    EXPECT_EQ(table.RasHangUpA, nullptr);
    EXPECT_EQ(table.RasGetConnectStatusA, nullptr);
    EXPECT_EQ(table.RasValidateEntryNameA, nullptr);
    EXPECT_EQ(table.RasGetEntryPropertiesA, nullptr);
    EXPECT_EQ(table.RasEnumEntriesA, nullptr);
    EXPECT_EQ(table.RasGetCredentialsA, nullptr);
    char text[16] = {};
    EXPECT_EQ(table.RasGetErrorStringA(632, text, sizeof text), 0u);
    EXPECT_STREQ(text, "test");

    // Loading again does not keep a second copy of anything.
    ASSERT_TRUE(LoadRasFunctionTable(table, nullptr, RAS_TEST_PROVIDER));
    UnloadRasFunctionTable(table);
    EXPECT_EQ(table.library, nullptr);
    EXPECT_EQ(table.RasGetErrorStringA, nullptr);
    UnloadRasFunctionTable(table); // harmless when empty
}

TEST(DefaultDialSessionTest, WithoutProviderSaysSoWaitsAndLetsTheCallerGoOn)
{
    const RasFunctionTable none; // as without a provider
    std::vector<std::string> texts;
    auto session = DefaultDialSessionFactory(none)([&](const std::string& text) { texts.push_back(text); });
    ASSERT_TRUE(session);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(session->Run(DialRequest {"Provider", "user", "secret"}), kDialOk);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0],
              "RASAPI32.DLL konnte nicht geladen werden!\r\n"
              "Automatische Anwahl einer DFÜ-Verbindung ist nicht möglich.");
    EXPECT_FALSE(session->HangUp());
}

TEST(RasOperationsTest, StateTextsByStringId)
{
    const std::pair<uint32_t, const char*> cases[] = {
        {0, "Port öffnen"},
        {5, "Benutzername und Passwort werden geprüft"},
        {17, "Warten auf Rückruf"},
        {18, "Unbekannter Fehlercode"},
        {4096, "Interactive"},
        {4099, "Paßwort abgelaufen"},
        {4100, "Unbekannter Fehlercode"},
        {8192, "Verbunden"},
        {8193, "Verbindung getrennt"},
        {8194, "Unbekannter Fehlercode"},
    };
    for (const auto& [state, text] : cases)
        EXPECT_EQ(RasStateText(RasStateTextId(state)), text) << state;
    EXPECT_EQ(RasStateTextId(4097), 2019u);
    EXPECT_EQ(RasStateText(2024), "") << "2024 belongs to another text";
}

TEST(RasOperationsTest, WithoutProviderEverythingReportsItsFailureValue)
{
    const RasFunctionTable none;
    EXPECT_EQ(RasErrorText(none, 632), "Fehler: 632\r\nGröße des Speicherbereiches ist zu klein!");
    EXPECT_EQ(RasErrorText(none, 603), "Fehler: 603\r\nGröße des Speicherbereiches ist zu klein!");
    EXPECT_EQ(RasErrorText(none, 803).find("Fehler:"), std::string::npos);
    HRASCONN connection = nullptr;
    EXPECT_FALSE(FindRasConnection(none, "Provider", connection));
    RasEntryInfo entry {};
    EXPECT_EQ(GetRasEntry(none, "Provider", &entry), 803u);
    EXPECT_EQ(GetRasEntry(none, "Provider", nullptr), 87u);
    EXPECT_FALSE(HangUpRasConnection(none, reinterpret_cast<HRASCONN>(uintptr_t(1))));

    // A provider without a text for a code leaves it to the program's table.
    RasFunctionTable partial;
    ASSERT_TRUE(LoadRasFunctionTable(partial, nullptr, RAS_PROVIDER));
    EXPECT_EQ(RasErrorText(partial, 621), "Fehler: 621\r\nTelefonbuch konnte nicht geöffnet werden!");
    EXPECT_EQ(RasErrorText(partial, 603), "Der Speicherbereich ist zu klein.");
    UnloadRasFunctionTable(partial);
}
