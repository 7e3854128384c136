#include "tarnwick/widgets/window/CSystemTray.h"
#include "tarnwick/widgets/common/Artwork.h"
#include "tarnwick/widgets/window/RecordingTrayBackend.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

using namespace tarnwick;

namespace {

// A tray on a recording notification area, with the program's frames loaded.
struct TrayFixture : ::testing::Test
{
    RecordingTrayBackend* area = new RecordingTrayBackend;
    CSystemTray tray {area};
    QSignalSpy commands {&tray, &CSystemTray::commandChosen};

    void SetUp() override
    {
        ASSERT_TRUE(tray.AddToTray(QStringLiteral("Tarnwick"), Icon(128)));
        ASSERT_TRUE(tray.LoadFrames(CSystemTray::kFirstFrame, CSystemTray::kLastFrame));
        area->ClearCalls();
    }
    qint64 ShownKey() const { return area->ShownIcon().cacheKey(); }
};

} // namespace

TEST_F(TrayFixture, AddsIconWithTooltipAndTheMenuInOrder)
{
    EXPECT_TRUE(area->IsShown());
    EXPECT_EQ(area->ToolTip(), QStringLiteral("Tarnwick"));
    EXPECT_EQ(ShownKey(), Icon(128).cacheKey());
    ASSERT_EQ(area->ContextMenu(), tray.Menu());

    const QList<QAction*> actions = tray.Menu()->actions();
    ASSERT_EQ(actions.size(), 5);
    const struct
    {
        const char* text;
        int command;
    } expected[] = {{"&Anzeigen", 40001},
                    {"zum Tarnwick-Forum", 40003},
                    {"", 0},
                    {"Systemsymbol ent&fernen", 40002},
                    {"B&eenden", 40004}};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(actions[i]->isSeparator(), expected[i].command == 0);
        if (expected[i].command == 0)
            continue;
        EXPECT_EQ(actions[i]->text(), QString::fromUtf8(expected[i].text));
        actions[i]->trigger();
        ASSERT_EQ(commands.size(), 1);
        EXPECT_EQ(commands.takeFirst().at(0).toInt(), expected[i].command);
        EXPECT_EQ(actions[i]->font().bold(), i == 0); // the default item
    }
}

TEST_F(TrayFixture, ShowEntryIsCheckedWhileTheWindowIsVisible)
{
    QWidget window;
    tray.SetMainWindow(&window);
    QAction* show = tray.MenuAction(CSystemTray::kCmdShow);
    ASSERT_TRUE(show && show->isCheckable());

    window.show();
    Q_EMIT tray.Menu()->aboutToShow();
    EXPECT_TRUE(show->isChecked());
    window.hide();
    area->Perform(TrayGesture::Context); // right click: the area opens the menu, nothing runs
    EXPECT_FALSE(show->isChecked());
    EXPECT_EQ(commands.size(), 0);
}

TEST_F(TrayFixture, WithdrawAndRestoreOnlyActWhenTheStateChanges)
{
    tray.RestoreIcon(); // never withdrawn
    tray.WithdrawIcon();
    tray.WithdrawIcon();
    EXPECT_TRUE(tray.IsWithdrawn());
    EXPECT_FALSE(area->IsShown());
    tray.ChangeIcon(Icon(141)); // while withdrawn the icon still follows
    tray.RestoreIcon();
    EXPECT_EQ(area->Calls(), (QStringList {QStringLiteral("delete"), QStringLiteral("modify"), QStringLiteral("add")}));
    EXPECT_TRUE(area->IsShown());
    EXPECT_FALSE(tray.IsWithdrawn());
    EXPECT_EQ(ShownKey(), Icon(141).cacheKey());
}

TEST_F(TrayFixture, FramesAlternateAndTheIconFromBeforeReturns)
{
    EXPECT_FALSE(tray.LoadFrames(142, 141));
    EXPECT_FALSE(tray.LoadFrames(141, 144)); // 144 has no artwork: no partial frame list
    ASSERT_TRUE(tray.LoadFrames(141, 142));

    ASSERT_TRUE(tray.StartBlinking(10000, 0));
    const qint64 expected[] = {Icon(142).cacheKey(), Icon(141).cacheKey(), Icon(142).cacheKey()};
    for (qint64 key : expected) {
        tray.NextFrame();
        EXPECT_EQ(ShownKey(), key);
    }
    tray.StopBlinking();
    EXPECT_FALSE(tray.IsBlinking());
    EXPECT_EQ(ShownKey(), Icon(128).cacheKey());
    EXPECT_EQ(tray.CurrentIcon().cacheKey(), Icon(128).cacheKey());
}

TEST_F(TrayFixture, RestartingTheAnimationKeepsTheIconFromBeforeTheFirst)
{
    ASSERT_TRUE(tray.StartBlinking(10000, 0));
    tray.NextFrame();
    ASSERT_TRUE(tray.StartBlinking(10000, 0)); // puts 128 back first, then remembers it
    tray.NextFrame();
    EXPECT_EQ(ShownKey(), Icon(142).cacheKey());
    tray.StopBlinking();
    EXPECT_EQ(ShownKey(), Icon(128).cacheKey());
}

TEST_F(TrayFixture, TimerBlinksWithoutLimitAndStopsAtALimit)
{
    ASSERT_TRUE(tray.StartBlinking(20, 0));
    QTest::qWait(150);
    EXPECT_TRUE(tray.IsBlinking());
    EXPECT_GE(area->Calls().count(QStringLiteral("modify")), 3);
    tray.StopBlinking();

    // One second, counted in whole rounded seconds: over by 1.5 s.
    ASSERT_TRUE(tray.StartBlinking(50, 1));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !tray.IsBlinking(); }, 3000));
    EXPECT_EQ(ShownKey(), Icon(128).cacheKey());
}

namespace {

struct GestureCase
{
    const char* name;
    std::vector<TrayGesture> gestures;
    int defaultCommands;
};

class TrayGestures : public TrayFixture, public ::testing::WithParamInterface<GestureCase>
{
};

} // namespace

// One user gesture runs the default command once, whatever kind of
// notification area reports it and however.
TEST_P(TrayGestures, RunTheDefaultCommandOncePerGesture)
{
    for (TrayGesture gesture : GetParam().gestures)
        area->Perform(gesture);
    ASSERT_EQ(commands.size(), GetParam().defaultCommands);
    for (const QList<QVariant>& command : commands)
        EXPECT_EQ(command.at(0).toInt(), CSystemTray::kCmdShow);
}

INSTANTIATE_TEST_SUITE_P(
    Areas, TrayGestures,
    ::testing::Values(GestureCase {"StatusNotifierActivation", {TrayGesture::Activate}, 1},
                      GestureCase {"XEmbedDoubleClick", {TrayGesture::Trigger, TrayGesture::DoubleClick}, 1},
                      GestureCase {"XEmbedSingleClick", {TrayGesture::Trigger}, 0},
                      GestureCase {"TwoActivations", {TrayGesture::Activate, TrayGesture::Activate}, 2},
                      GestureCase {"RightClick", {TrayGesture::Context}, 0},
                      GestureCase {"MiddleClick", {TrayGesture::MiddleClick}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TrayFixture, GesturesOnAnotherIconAreIgnored)
{
    EXPECT_FALSE(tray.HandleIconMessage(CSystemTray::kIconId + 1, TrayGesture::DoubleClick));
    EXPECT_FALSE(tray.HandleIconMessage(CSystemTray::kIconId + 1, TrayGesture::Activate));
    EXPECT_TRUE(commands.isEmpty());
}

TEST(CSystemTrayWithoutArea, DoesNothingUntilAnAreaAppearsThenAddsTheIcon)
{
    auto* area = new RecordingTrayBackend(false);
    CSystemTray tray(area);
    QSignalSpy added(&tray, &CSystemTray::iconAdded);

    EXPECT_FALSE(tray.IsSystemTrayAvailable());
    EXPECT_FALSE(tray.AddToTray(QStringLiteral("Tarnwick"), Icon(128)));
    EXPECT_TRUE(area->IsWatching());
    ASSERT_TRUE(tray.LoadFrames(141, 142));
    EXPECT_FALSE(tray.StartBlinking(500, 0));
    tray.ChangeIcon(Icon(141));
    tray.WithdrawIcon();
    EXPECT_TRUE(tray.CurrentIcon().isNull());
    EXPECT_FALSE(tray.IsWithdrawn());
    EXPECT_FALSE(tray.HandleIconMessage(CSystemTray::kIconId, TrayGesture::DoubleClick));
    EXPECT_EQ(area->Calls(), QStringList {QStringLiteral("add")});

    area->SetAvailable(true);
    EXPECT_EQ(added.size(), 1);
    EXPECT_TRUE(tray.IsEnabled());
    EXPECT_TRUE(area->IsShown());
    EXPECT_FALSE(area->IsWatching());
    EXPECT_EQ(area->ToolTip(), QStringLiteral("Tarnwick"));
    EXPECT_EQ(area->ShownIcon().cacheKey(), Icon(128).cacheKey());
}

TEST(CSystemTrayOnTheDesktop, OffscreenHasNoAreaSoTheRealTrayWaitsForOne)
{
    CSystemTray tray; // the desktop's notification area through Qt
    EXPECT_FALSE(tray.IsSystemTrayAvailable());
    EXPECT_FALSE(tray.AddToTray(QStringLiteral("Tarnwick"), Icon(128)));
    EXPECT_FALSE(tray.IsEnabled());
    EXPECT_FALSE(tray.IsWithdrawn());
}
