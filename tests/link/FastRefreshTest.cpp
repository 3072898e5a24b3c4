// Fast refresh in the worker: the pace it keeps, the response-count digit it adds where the
// adapter takes it (to reads, with the number of frames their answer came in), what a short or
// missing answer does to it, and its fall-back on bad answers.
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
constexpr std::uint8_t kIdentification[] = {0x22, 0x10, 0x80}; // 73 data bytes, 11 frames
constexpr std::uint8_t kStatusBlock[] = {0x22, 0x10, 0x74};    // 5 data bytes, 2 frames
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
        const bool counted = c.fast && c.adapterTakesDigit;
        const QByteArray battery = counted ? "22103C 1" : "22103C";
        const QByteArray identification = counted ? "221080 B" : "221080";
        EXPECT_EQ(Requests(*h.sim),
                  (QByteArrayList{"22103C", "221080", "1902AF", battery, identification, "1902AF",
                                  battery, identification, "1902AF"}));
        EXPECT_EQ(h.fellBack.load(), 0);
    }
}

// The simulated adapter's port, with a switch that drops the second frame of every multi-frame
// answer, as an adapter does that stops after fewer frames than the ECU sends.
class CuttingPort : public AdapterPort {
public:
    CuttingPort(std::unique_ptr<AdapterPort> inner, std::shared_ptr<std::atomic<bool>> cut)
        : inner_(std::move(inner)), cut_(std::move(cut))
    {
    }
    qint64 BytesWaiting() override
    {
        Pull();
        return ready_.size();
    }
    QByteArray Read(qint64 maxBytes) override
    {
        Pull();
        const QByteArray out = ready_.left(maxBytes);
        ready_.remove(0, out.size());
        return out;
    }
    bool Write(const QByteArray& bytes) override { return inner_->Write(bytes); }
    bool WaitForReadable(int timeoutMs) override
    {
        if (BytesWaiting() > 0) {
            return true;
        }
        inner_->WaitForReadable(timeoutMs);
        return BytesWaiting() > 0;
    }
    void Close() override { inner_->Close(); }
    bool Failed() const override { return inner_->Failed(); }

private:
    // Whole answers (up to the prompt) pass once complete, cut while the switch is on.
    void Pull()
    {
        held_ += inner_->Read(inner_->BytesWaiting());
        for (qsizetype end = held_.indexOf('>'); end >= 0; end = held_.indexOf('>')) {
            QByteArray answer = held_.left(end + 1);
            held_.remove(0, end + 1);
            if (cut_->load()) {
                const qsizetype from = answer.indexOf("\r1:");
                if (from >= 0) {
                    answer.remove(from, answer.indexOf('\r', from + 1) - from);
                }
            }
            ready_ += answer;
        }
    }

    std::unique_ptr<AdapterPort> inner_;
    std::shared_ptr<std::atomic<bool>> cut_;
    QByteArray held_;
    QByteArray ready_;
};

// Multi-frame reads learn their frames like single-frame ones; a read whose answer then comes
// short or not at all returns to the plain form for the rest of the link and counts as bad, and
// part of an answer never reaches the caller as data.
TEST(FastRefreshTest, EveryReadCarriesItsFramesUntilItsAnswerComesShort)
{
    auto cut = std::make_shared<std::atomic<bool>>(false);
    WorkerHarness h;
    h.fast = true;
    auto sim = h.sim;
    h.portFactory = [sim, cut](const QString&) {
        return std::make_unique<CuttingPort>(OpenSimulatorPort(sim), cut);
    };
    CommWorkerTimings timings;
    timings.adapterTimeoutMs = 100;
    ASSERT_TRUE(h.Start(true, timings));
    h.sim->ClearReceived();

    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(Exchange(h, kStatusBlock), 5);
        EXPECT_EQ(Exchange(h, kIdentification), 73);
        EXPECT_EQ(Exchange(h, kBattery), 2);
    }
    EXPECT_EQ(Requests(*h.sim),
              (QByteArrayList{"221074", "221080", "22103C", "221074 2", "221080 B", "22103C 1"}));

    // The status block comes without its second frame: no data, and plain from then on.
    cut->store(true);
    EXPECT_EQ(Exchange(h, kStatusBlock), kExchangeNoData);
    cut->store(false);
    EXPECT_EQ(Exchange(h, kBattery), 2);
    EXPECT_EQ(Exchange(h, kStatusBlock), 5);
    EXPECT_EQ(Exchange(h, kStatusBlock), 5);
    // The identification's answer does not come at all: plain from then on too.
    h.sim->InjectAdapterMessage("", 1);
    EXPECT_EQ(Exchange(h, kIdentification), kExchangeNoData);
    EXPECT_EQ(Exchange(h, kBattery), 2);
    EXPECT_EQ(Exchange(h, kIdentification), 73);
    EXPECT_EQ(Requests(*h.sim), (QByteArrayList{"221074 2", "22103C 1", "221074", "221074",
                                                "221080 B", "22103C 1", "221080"}));
    EXPECT_EQ(h.fellBack.load(), 0);

    // A short answer is a bad one: two in a row end fast refresh.
    cut->store(true);
    EXPECT_EQ(Exchange(h, kStatusBlock), kExchangeNoData);
    EXPECT_EQ(Exchange(h, kIdentification), kExchangeNoData);
    EXPECT_EQ(h.fellBack.load(), 1);
    cut->store(false);
    EXPECT_EQ(Exchange(h, kBattery), 2);
    EXPECT_EQ(Requests(*h.sim).last(), "22103C");
}

class FallBackTest : public ::testing::TestWithParam<const char*> {};

// Each kind of bad answer: one alone keeps fast refresh, two in a row end it for the rest
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
    // An adapter message keeps the digit; a time-out sends the read back to its plain form.
    EXPECT_EQ(first.count("22103C 1"), bad.isEmpty() ? 2 : 5);
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
