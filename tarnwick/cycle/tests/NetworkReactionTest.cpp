// What the program makes of the network beside the cycle: which addresses
// visitors cannot reach, when a failed cycle is tried again (an hour of
// simulated time), and how a burst of address notices becomes one signal.
#include "tarnwick/cycle/AddressChangeWatch.h"
#include "tarnwick/cycle/AddressKind.h"
#include "tarnwick/cycle/RetryPlan.h"
#include "tarnwick/cycle/tests/CycleTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using namespace tarnwick;
using namespace std::chrono_literals;

namespace {

TEST(AddressKind, NamesEveryRangeVisitorsCannotReach)
{
    const std::pair<const char*, const char*> cases[] = {
        {"10.1.2.3", "private Adresse"},
        {"172.16.0.1", "private Adresse"},
        {"172.32.0.1", ""},
        {"192.168.178.20", "private Adresse"},
        {"100.64.0.1", "gemeinsam genutzte Provider-Adresse"},
        {"100.128.0.1", ""},
        {"169.254.10.1", "link-lokale Adresse"},
        {"127.0.0.1", "Loopback-Adresse"},
        {"::1", "Loopback-Adresse"},
        {"fe80::1", "link-lokale Adresse"},
        {"fd00::5", "private Adresse"},
        {"2001:db8::1", ""},
        {"10.1.2", ""},
        {"keine Adresse", ""},
    };
    for (const auto& [address, kind] : cases)
        EXPECT_EQ(UnreachableAddressKind(address), kind) << address;
}

TEST(RetryPlan, AnHourWithTheServerDownDoublesTheWaitUpToThePeriod)
{
    const struct
    {
        std::chrono::minutes period;
        std::vector<long> waits; // seconds, as long as the hour lasts
    } cases[] = {
        {120min, {30, 60, 120, 240, 480, 960, 1920}},
        {2min, {30, 60, 120, 120, 120}}, // then 120 s to the hour's end
        {1min, {30, 60, 60}},
    };
    for (const auto& c : cases) {
        RetryPlan plan;
        std::time_t now = 1'000'000;
        const std::time_t end = now + 3600;
        std::vector<long> waits;
        while (now < end) {
            const auto wait = plan.Failed(now, c.period);
            waits.push_back(static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(wait).count()));
            EXPECT_LE(wait, c.period);
            EXPECT_EQ(plan.NextTry(), now + waits.back());
            now = plan.NextTry();
        }
        ASSERT_GE(waits.size(), c.waits.size());
        EXPECT_EQ(std::vector<long>(waits.begin(), waits.begin() + static_cast<long>(c.waits.size())), c.waits)
            << c.period.count() << " min";
        for (size_t i = c.waits.size(); i < waits.size(); ++i)
            EXPECT_EQ(waits[i], c.waits.back()) << "the wait stays at the period";
        // A success starts over at 30 s.
        plan.Reset();
        EXPECT_FALSE(plan.Pending());
        EXPECT_EQ(plan.Failed(now, c.period), 30s);
    }
}

// Notices through a pipe: a byte is a notice, "x" one that matters.
class PipeEvents : public AddressEventSource
{
public:
    PipeEvents() { EXPECT_EQ(::pipe2(m_fds, O_NONBLOCK | O_CLOEXEC), 0); }
    ~PipeEvents() override
    {
        ::close(m_fds[0]);
        ::close(m_fds[1]);
    }
    int Descriptor() const override { return m_fds[0]; }
    bool Drain() override
    {
        bool relevant = false;
        char buffer[256];
        ssize_t got;
        while ((got = ::read(m_fds[0], buffer, sizeof buffer)) > 0)
            relevant = relevant || std::string_view(buffer, static_cast<size_t>(got)).find('x') != std::string::npos;
        ++drains;
        return relevant;
    }
    void Send(char notice) { ASSERT_EQ(::write(m_fds[1], &notice, 1), 1); }

    int drains = 0;

private:
    int m_fds[2] = {-1, -1};
};

TEST(AddressChangeWatch, ABurstOfAThousandNoticesGivesOneSignal)
{
    tarnwick::test::EnsureQtApplication();
    auto owned = std::make_unique<PipeEvents>();
    PipeEvents& events = *owned;
    AddressChangeWatch watch(std::move(owned), 300ms);
    ASSERT_TRUE(watch.IsListening());
    int signals = 0;
    QObject::connect(&watch, &AddressChangeWatch::changed, [&] { ++signals; });

    // A reconnect: 1,000 notices within about a second, never 300 ms apart.
    for (int i = 0; i < 1000; ++i) {
        events.Send(i % 3 == 0 ? 'x' : '-');
        if (i % 50 == 0)
            tarnwick::test::PumpFor(50ms);
    }
    tarnwick::test::PumpFor(700ms);
    EXPECT_EQ(signals, 1);
    EXPECT_GT(events.drains, 0);

    // Notices that do not matter (another route, a loopback address) give none.
    for (int i = 0; i < 20; ++i)
        events.Send('-');
    tarnwick::test::PumpFor(600ms);
    EXPECT_EQ(signals, 1);

    // Quiet time over: the next change is a signal of its own.
    events.Send('x');
    EXPECT_TRUE(tarnwick::test::PumpUntil([&] { return signals == 2; }, 3s));
}

} // namespace
