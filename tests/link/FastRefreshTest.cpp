// Fast refresh in the worker: the pace it keeps, the response-count digit it adds where the
// adapter takes it and only to reads answered in one frame, and its fall-back on bad answers.
#include "link/CommWorker.h"

#include "LinkTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

namespace velmoro {
namespace {

using test::kHangMs;
using test::SetUpCommands;
using test::WorkerHarness;

constexpr std::uint8_t kBattery[] = {0x22, 0x10, 0x3C};        // two data bytes, one frame
constexpr std::uint8_t kIdentification[] = {0x22, 0x10, 0x80}; // 73 data bytes, many frames
constexpr std::uint8_t kFaults[] = {0x19, 0x02, 0xAF};         // not a read: never counted

int Exchange(WorkerHarness& h, const std::uint8_t (&request)[3])
{
    return h.channel.Exchange(request, 3).result;
}

// The diagnostic requests the adapter received since it was last cleared.
QByteArrayList Requests(Simulator& sim)
{
    QByteArrayList requests = sim.ReceivedCommands();
    requests.removeIf([](const QByteArray& c) {
        return c.isEmpty() || !std::all_of(c.begin(), c.end(), [](char x) {
                   return std::isxdigit(static_cast<unsigned char>(x)) || x == ' ';
               });
    });
    sim.ClearReceived();
    return requests;
}

TEST(FastRefreshTest, PaceAndCountDigitFollowTheChoiceTheAdapterAndTheAnswers)
{
    struct Case {
        bool fast;
        bool adapterTakesDigit;
    };
    for (const Case c : {Case{false, true}, Case{true, true}, Case{true, false}}) {
        SCOPED_TRACE(testing::Message() << "fast " << c.fast << ", digit " << c.adapterTakesDigit);
        // The clock moves only by the worker's pauses.
        ManualClock clock;
        SimulatorOptions options;
        options.countDigit = c.adapterTakesDigit;
        WorkerHarness h(std::make_shared<Simulator>(options), &clock);
        h.fast = c.fast;
        ASSERT_TRUE(h.Start());

        // The set-up stays as it is; fast refresh asks the adapter about the digit after it.
        const QByteArrayList setUp = h.sim->ReceivedCommands();
        EXPECT_EQ(setUp.mid(0, 9), SetUpCommands("elm"));
        EXPECT_EQ(setUp.mid(9), c.fast ? QByteArrayList{"3E00 1"} : QByteArrayList{});
        h.sim->ClearReceived();

        const qint64 before = clock.NowMs();
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(Exchange(h, kBattery), 2);
            EXPECT_EQ(Exchange(h, kIdentification), 73);
            EXPECT_GE(Exchange(h, kFaults), 0);
        }
        const qint64 pausedMs = clock.NowMs() - before;
        if (c.fast) {
            EXPECT_EQ(pausedMs, 0);
        } else {
            // Nine requests, each followed by the pause (the last one's may still be running).
            EXPECT_GE(pausedMs, 8 * kPauseAfterRequestMs);
            EXPECT_LE(pausedMs, 9 * kPauseAfterRequestMs);
        }
        const QByteArray battery = c.fast && c.adapterTakesDigit ? "22103C 1" : "22103C";
        EXPECT_EQ(Requests(*h.sim), (QByteArrayList{"22103C", "221080", "1902AF", battery, "221080",
                                                    "1902AF", battery, "221080", "1902AF"}));
        EXPECT_EQ(h.fellBack.load(), 0);
    }
}

class FallBackTest : public ::testing::TestWithParam<const char*> {};

// Each kind of bad answer: one alone changes nothing, two in a row end fast refresh for the rest
// of the link, and the next link is fast again.
TEST_P(FallBackTest, TwoBadAnswersInARowEndFastRefreshUntilTheNextConnect)
{
    const QByteArray bad = GetParam(); // empty: no answer at all, a time-out
    WorkerHarness h;
    h.fast = true;
    CommWorkerTimings timings;
    timings.adapterTimeoutMs = 100;
    ASSERT_TRUE(h.Start(true, timings));
    h.sim->ClearReceived();

    ASSERT_EQ(Exchange(h, kBattery), 2);
    ASSERT_EQ(Exchange(h, kBattery), 2);
    if (bad == "NO DATA") {
        // From an identifier that never answered, NO DATA is an answer like any other.
        h.sim->InjectAdapterMessage(bad, 2);
        EXPECT_EQ(h.channel.Exchange({0x22, 0x10, 0xF7}).result, kExchangeNoData);
        EXPECT_EQ(h.channel.Exchange({0x22, 0x10, 0xF7}).result, kExchangeNoData);
        EXPECT_EQ(h.fellBack.load(), 0);
    }
    h.sim->InjectAdapterMessage(bad, 1);
    Exchange(h, kBattery);
    EXPECT_EQ(Exchange(h, kBattery), 2);
    EXPECT_EQ(h.fellBack.load(), 0);

    h.sim->InjectAdapterMessage(bad, 2);
    Exchange(h, kBattery);
    EXPECT_EQ(h.fellBack.load(), 0);
    Exchange(h, kBattery);
    EXPECT_EQ(h.fellBack.load(), 1);
    EXPECT_EQ(Exchange(h, kBattery), 2);
    EXPECT_EQ(Exchange(h, kBattery), 2);
    const QByteArrayList first = Requests(*h.sim);
    EXPECT_EQ(first.count("22103C 1"), 5);
    EXPECT_EQ(first.mid(first.size() - 2), (QByteArrayList{"22103C", "22103C"}));

    h.Stop();
    ASSERT_TRUE(h.Start(true, timings));
    ASSERT_EQ(Exchange(h, kBattery), 2);
    ASSERT_EQ(Exchange(h, kBattery), 2);
    EXPECT_EQ(Requests(*h.sim), (QByteArrayList{"1003", "3E00 1", "22103C", "22103C 1"}));
    EXPECT_EQ(h.fellBack.load(), 1);
}

INSTANTIATE_TEST_SUITE_P(BadAnswers, FallBackTest,
                         ::testing::Values("?", "NO DATA", "BUFFER FULL", "CAN ERROR", "STOPPED",
                                           ""),
                         [](const auto& info) {
                             QByteArray name = QByteArray(info.param).replace(' ', '_');
                             return name == "?"      ? std::string("QuestionMark")
                                    : name.isEmpty() ? std::string("TimeOut")
                                                     : name.toStdString();
                         });

} // namespace
} // namespace velmoro
