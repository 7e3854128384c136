#include "tarnwick/dialup/DialProgress.h"
#include "platform/messages/ThreadMessages.h"
#include "tarnwick/dialup/RasOperations.h"
#include "tarnwick/dialup/tests/support/NetworkManagerMock.h"
#include "tarnwick/messages/WindowMessages.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>

using namespace tarnwick;

namespace {

// What the dial showed.
struct RecordingView : DialProgressView
{
    void SetStatusText(const std::string& text) override { texts.push_back(text); }
    void SetEntryName(const std::string& name) override { entryName = name; }
    void SetPhoneNumber(const std::string& number) override { phoneNumber = number; }
    void ShowError(const std::string& text) override { errors.push_back(text); }

    std::vector<std::string> texts;
    std::vector<std::string> errors;
    std::string entryName;
    std::string phoneNumber;
};

// A provider written into the test: one entry "Provider", scripted answers.
struct FakeProvider
{
    bool active = false;
    uint32_t validate = 183;
    RASENTRYA entry {};
    uint32_t dialResult = 0;
    RASDIALFUNC notifier = nullptr;
    RASDIALPARAMSA parameters {};
    bool hungUp = false;
} g_fake;

uint32_t FakeErrorString(uint32_t code, char* buffer, uint32_t size)
{
    std::snprintf(buffer, size, "Text %u", code);
    return 0;
}

uint32_t FakeEnumConnections(RASCONNA* connections, uint32_t* bytes, uint32_t* count)
{
    *count = g_fake.active ? 1 : 0;
    if (*bytes < *count * RAS_SIZE_CONN) {
        *bytes = *count * RAS_SIZE_CONN;
        return 603;
    }
    if (g_fake.active) {
        connections[0].hrasconn = 7;
        std::strcpy(connections[0].szEntryName, "PROVIDER");
    }
    return 0;
}

uint32_t FakeValidate(const char*, const char*)
{
    return g_fake.validate;
}

uint32_t FakeEntryProperties(const char*, const char*, RASENTRYA* entry, uint32_t* size, uint8_t*, uint32_t*)
{
    if (!entry || *size < RAS_SIZE_ENTRY) {
        *size = RAS_SIZE_ENTRY;
        return 603;
    }
    *entry = g_fake.entry;
    entry->dwSize = RAS_SIZE_ENTRY;
    return 0;
}

uint32_t FakeDial(void*, const char*, RASDIALPARAMSA* parameters, uint32_t, void* notifier, HRASCONN* connection)
{
    g_fake.parameters = *parameters;
    g_fake.notifier = reinterpret_cast<RASDIALFUNC>(notifier);
    *connection = reinterpret_cast<HRASCONN>(uintptr_t(9));
    return g_fake.dialResult;
}

uint32_t FakeStatus(HRASCONN, RASCONNSTATUSA*)
{
    return g_fake.hungUp ? 6 : 0;
}

uint32_t FakeHangUp(HRASCONN)
{
    g_fake.hungUp = true;
    return 0;
}

RasFunctionTable FakeTable()
{
    RasFunctionTable table;
    table.RasGetErrorStringA = FakeErrorString;
    table.RasEnumConnectionsA = FakeEnumConnections;
    table.RasValidateEntryNameA = FakeValidate;
    table.RasGetEntryPropertiesA = FakeEntryProperties;
    table.RasDialA = FakeDial;
    table.RasGetConnectStatusA = FakeStatus;
    table.RasHangUpA = FakeHangUp;
    return table;
}

// Runs the event loop until the dial ended (or the limit passed).
void WaitForEnd(const DialProgress& dial, int limitMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!dial.Ended() && timer.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// A notification as the provider sends it: from a thread of its own.
void NotifyFromProviderThread(uint32_t state, uint32_t error)
{
    std::thread([=] { g_fake.notifier(WM_RASDIALEVENT, state, error); }).join();
}

class DialProgressTest : public ::testing::Test
{
protected:
    void SetUp() override { g_fake = FakeProvider {}; }
};

TEST_F(DialProgressTest, EarlyEndsWithTheirTextsAndPauses)
{
    struct Case
    {
        const char* name;
        bool withDial;
        bool active;
        uint32_t validate;
        uint32_t dialResult;
        int result;
        int minMs;
        int maxMs;
        const char* lastText;
        const char* error;
        bool holdsConnection;
    };
    const Case cases[] = {
        {"no dial-up", false, false, 183, 0, kDialOk, 1000, 1600, DialProgress::kNoDialUpText, nullptr, false},
        {"already connected", true, true, 183, 0, kDialOk, 500, 1000, "Die Verbindung besteht bereits.", nullptr,
         false},
        {"entry missing", true, false, 0, 0, kDialCancel, 0, 300, "Anwahl wird vorbereitet...", "Text 803", false},
        {"dial refused", true, false, 183, 633, kDialCancel, 0, 300, "Anwahl wird vorbereitet...", "Text 633", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_fake = FakeProvider {};
        g_fake.active = c.active;
        g_fake.validate = c.validate;
        g_fake.dialResult = c.dialResult;
        RasFunctionTable table = FakeTable();
        if (!c.withDial)
            table.RasDialA = nullptr;
        RecordingView view;
        int finishedWith = -1;
        DialProgress dial(table, view, [&](int result) { finishedWith = result; });
        QElapsedTimer timer;
        timer.start();
        dial.Start(DialRequest {"Provider", "kunde", "geheim"});
        WaitForEnd(dial);
        EXPECT_EQ(finishedWith, c.result);
        EXPECT_GE(timer.elapsed(), c.minMs);
        EXPECT_LT(timer.elapsed(), c.maxMs);
        ASSERT_FALSE(view.texts.empty());
        EXPECT_EQ(view.texts.back(), c.lastText);
        EXPECT_EQ(view.errors, c.error ? std::vector<std::string> {c.error} : std::vector<std::string> {});
        // Only a connection this dial started is ever hung up.
        EXPECT_EQ(dial.HangUp(), c.holdsConnection);
    }
}

TEST_F(DialProgressTest, DialParametersTakeTheAreaCodeOnlyWhenTheEntrySaysSo)
{
    for (const bool withAreaCode : {false, true}) {
        g_fake = FakeProvider {};
        g_fake.entry.dwfOptions = withAreaCode ? RASEO_UseCountryAndAreaCodes : 0;
        g_fake.entry.dwCountryCode = 49;
        std::strcpy(g_fake.entry.szAreaCode, "030");
        std::strcpy(g_fake.entry.szLocalPhoneNumber, "123456");
        const RasFunctionTable table = FakeTable();
        RecordingView view;
        DialProgress dial(table, view, nullptr);
        dial.Start(DialRequest {"Provider", "kunde", "geheim"});
        EXPECT_FALSE(dial.Ended());
        const std::string number = withAreaCode ? "030 123456" : "123456";
        EXPECT_EQ(view.phoneNumber, number);
        EXPECT_EQ(view.entryName, "Provider");
        EXPECT_STREQ(g_fake.parameters.szPhoneNumber, number.c_str());
        EXPECT_STREQ(g_fake.parameters.szEntryName, "Provider");
        EXPECT_STREQ(g_fake.parameters.szUserName, "kunde");
        EXPECT_STREQ(g_fake.parameters.szPassword, "geheim");
        EXPECT_EQ(g_fake.parameters.dwSize, RAS_SIZE_DIALPARAMS);
        EXPECT_STREQ(g_fake.parameters.szCallbackNumber, "");
        dial.Cancel();
    }
}

TEST_F(DialProgressTest, NotificationsUpdateTheTextAndEndTheDial)
{
    struct Case
    {
        const char* name;
        uint32_t state;
        uint32_t error;
        int result; // -1: still dialling
        const char* text;
    };
    const Case cases[] = {
        {"progress", RASCS_Authenticate, 0, -1, "Benutzername und Passwort werden geprüft"},
        {"unknown state", 18, 0, -1, "Unbekannter Fehlercode"},
        {"connected", RASCS_Connected, 0, kDialOk, "Verbunden"},
        {"disconnected", RASCS_Disconnected, 0, kDialOk, "Verbindung getrennt"},
        {"error in any state", RASCS_Connected, 691, kDialCancel, "Verbunden"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_fake = FakeProvider {};
        const RasFunctionTable table = FakeTable();
        RecordingView view;
        DialProgress dial(table, view, nullptr);
        dial.Start(DialRequest {"Provider", "", ""});
        NotifyFromProviderThread(c.state, c.error);
        // Queued, never handled on the provider's thread.
        EXPECT_EQ(view.texts.back(), "Anwahl wird vorbereitet...");
        QElapsedTimer timer;
        timer.start();
        while (view.texts.back() != c.text && timer.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        EXPECT_EQ(view.texts.back(), c.text);
        EXPECT_EQ(dial.Ended() ? dial.Result() : -1, c.result);
        EXPECT_EQ(view.errors.size(), c.error ? 1u : 0u);

        // Whatever comes after the end changes nothing.
        dial.Cancel();
        const auto texts = view.texts;
        NotifyFromProviderThread(RASCS_Connected, 0);
        NotifyFromProviderThread(RASCS_DeviceConnected, 678);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        EXPECT_EQ(view.texts, texts);
        EXPECT_EQ(view.errors.size(), c.error ? 1u : 0u);
    }
}

TEST_F(DialProgressTest, NotificationWhileTheErrorIsShownDoesNotTurnTheFailureIntoSuccess)
{
    // The dialog's message box runs an event loop: the provider's next
    // notification (disconnected after the failure) arrives meanwhile.
    struct NestedLoopView : RecordingView
    {
        void ShowError(const std::string& text) override
        {
            RecordingView::ShowError(text);
            NotifyFromProviderThread(RASCS_Disconnected, 0);
            QElapsedTimer timer;
            timer.start();
            while (timer.elapsed() < 100)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    };
    const RasFunctionTable table = FakeTable();
    NestedLoopView view;
    DialProgress dial(table, view, nullptr);
    dial.Start(DialRequest {"Provider", "", ""});
    NotifyFromProviderThread(RASCS_Authenticate, 691);
    WaitForEnd(dial);
    EXPECT_EQ(dial.Result(), kDialCancel);
    EXPECT_EQ(view.errors.size(), 1u);
    EXPECT_EQ(view.texts.back(), "Benutzername und Passwort werden geprüft");
}

TEST_F(DialProgressTest, CancelEndsAtOnceAndTheCallersHangUpEndsTheDial)
{
    const RasFunctionTable table = FakeTable();
    RecordingView view;
    int finishedWith = -1;
    auto dial = std::make_unique<DialProgress>(table, view, [&](int result) { finishedWith = result; });
    dial->Start(DialRequest {"Provider", "", ""});
    dial->Cancel();
    EXPECT_EQ(finishedWith, kDialCancel);
    EXPECT_FALSE(g_fake.hungUp) << "the dial never hangs up by itself";
    EXPECT_TRUE(dial->HangUp());
    EXPECT_TRUE(g_fake.hungUp);
    EXPECT_FALSE(dial->HangUp()) << "nothing is held any more";

    // A notification for a dial object that is gone is dropped.
    dial.reset();
    NotifyFromProviderThread(RASCS_Connected, 0);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

// Over the real provider and a stand-in NetworkManager.
TEST_F(DialProgressTest, DialsAMobileProfileUntilConnected)
{
    velt::testing::NetworkManagerMock nm;
    const std::string modem = nm.addDevice("ttyUSB0", "ttyUSB0", 8);
    const std::string profile
        = nm.addProfile("Mobilfunk", "gsm", modem, {{"gsm", {{"number", "*99#"}, {"username", "kunde"}}}});
    velt::testing::NetworkManagerMock::DialScript script;
    script.device = modem;
    script.steps = {40, 60, 70};
    script.password = "geheim";
    nm.setDialScript(profile, script);

    RasFunctionTable table;
    ASSERT_TRUE(LoadRasFunctionTable(table, nullptr, RAS_PROVIDER));
    RecordingView view;
    DialProgress dial(table, view, nullptr);
    dial.Start(DialRequest {"Mobilfunk", "kunde", "geheim"});
    WaitForEnd(dial, 10000);
    EXPECT_EQ(dial.Result(), kDialOk);
    EXPECT_EQ(view.phoneNumber, "*99#");
    EXPECT_EQ(view.texts.front(), "Anwahl wird vorbereitet...");
    EXPECT_EQ(view.texts.back(), "Verbunden");
    EXPECT_NE(std::find(view.texts.begin(), view.texts.end(), "Benutzername und Passwort werden geprüft"),
              view.texts.end());
    EXPECT_TRUE(view.errors.empty());
    EXPECT_EQ(nm.activeConnections().size(), 1u);

    // A second dial finds it up and leaves it alone: only the dial that made it hangs it up.
    RecordingView again;
    DialProgress second(table, again, nullptr);
    second.Start(DialRequest {"mobilfunk", "", ""});
    WaitForEnd(second);
    EXPECT_EQ(second.Result(), kDialOk);
    EXPECT_EQ(again.texts.back(), "Die Verbindung besteht bereits.");
    EXPECT_FALSE(second.HangUp());
    EXPECT_EQ(nm.activeConnections().size(), 1u);
    EXPECT_TRUE(dial.HangUp());
    EXPECT_TRUE(nm.activeConnections().empty());
    UnloadRasFunctionTable(table);
}

// The dial without a window on a worker thread, as the address worker runs it.
TEST_F(DialProgressTest, CycleCancelledWhileDiallingEndsTheDialAndItsHangUpEndsTheConnection)
{
    velt::testing::NetworkManagerMock nm;
    const std::string modem = nm.addDevice("ttyUSB0", "ttyUSB0", 8);
    const std::string profile = nm.addProfile("Mobilfunk", "gsm", modem);
    velt::testing::NetworkManagerMock::DialScript script;
    script.device = modem;
    script.steps = {40, 50};
    script.hang = true; // never connects by itself
    nm.setDialScript(profile, script);
    RasFunctionTable table;
    ASSERT_TRUE(LoadRasFunctionTable(table, nullptr, RAS_PROVIDER));

    std::atomic<uint32_t> workerId {0};
    std::atomic<int> result {-1};
    std::atomic<bool> hungUp {false};
    std::vector<std::string> texts;
    std::mutex textMutex;
    std::thread worker([&] {
        workerId = platform::GetCurrentThreadId();
        auto session = DefaultDialSessionFactory(table)([&](const std::string& text) {
            std::lock_guard lock(textMutex);
            texts.push_back(text);
        });
        result = session->Run(DialRequest {"Mobilfunk", "", ""});
        hungUp = session->HangUp();
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        {
            std::lock_guard lock(textMutex);
            if (!texts.empty() && texts.back() == "Hardware OK")
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(nm.activeConnections().size(), 1u);
    platform::PostThreadMessage(workerId, WM_CANCEL_SOCKET_CALL, 0, 0);
    worker.join();
    EXPECT_EQ(result, kDialCancel);
    EXPECT_TRUE(hungUp);
    EXPECT_TRUE(nm.activeConnections().empty());
    UnloadRasFunctionTable(table);
}

} // namespace
