// The actors view's start/stop logic through full switch, procedure and self-learning cycles.
#include "ecu/ActorsController.h"
#include "ecu/Actuators.h"
#include "ecu/CoreState.h"
#include "ecu/Ecu.h"
#include "support/ScriptedLink.h"

#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <vector>

namespace velmoro {
namespace {

using test::Hex;
using test::ScriptedLink;

constexpr int kBoundMs = 10000;

class ActorsControllerTest : public ::testing::Test {
protected:
    static void SetTexts(LanguageTexts& texts)
    {
        for (auto [key, text] : {std::pair{"View_100", "Start"},
                                 {"View_101", "Stop"},
                                 {"View_102", "Ok"},
                                 {"View_103", "Error"},
                                 {"View_52", "Finish"},
                                 {"View_57", "Exit"},
                                 {"View_59", "Handle self-learning"}})
            texts.Set(key, text);
    }

    void SetUp() override
    {
        SetTexts(texts);
        ctx.link = &link;
        ctx.texts = &texts;
        ctx.wait = [](int) { return true; };
    }

    std::unique_ptr<ActorsController> Make(int family)
    {
        actions = BuildActions(family, texts, ctx);
        ActorsCallbacks cb;
        cb.showMessage = [this](const QString& t) { events << "message " + t; };
        cb.startTimer = [this](int id, int ms) {
            events << QString("start %1 %2").arg(id).arg(ms);
        };
        cb.stopTimer = [this](int id) { events << QString("stop %1").arg(id); };
        cb.disconnect = [this] { events << "disconnect"; };
        cb.quit = [this] { events << "quit"; };
        cb.runJob = runJob;
        cb.postToCaller = postToCaller;
        cb.routineResult = [this](ProcedureRecord& r) { return RoutineResult11mp(link, texts, r); };
        auto controller = std::make_unique<ActorsController>(actions, record, texts, cb);
        controller->SetEnabled(true);
        return controller;
    }

    ScriptedLink link;
    LanguageTexts texts;
    ProcedureContext ctx;
    ActionList actions;
    ProcedureRecord record;
    QStringList events;
    std::function<void(std::function<void()>)> runJob; // empty: the controller's thread
    std::function<void(std::function<void()>)> postToCaller;
};

// Runs what a queue holds, as the session's job runner or the event loop would.
void RunQueued(std::vector<std::function<void()>>& queue)
{
    std::vector<std::function<void()>> taken;
    taken.swap(queue);
    for (auto& f : taken)
        f();
}

TEST_F(ActorsControllerTest, SwitchOnAndOff)
{
    auto c = Make(FamilyMiug4);
    c->Select(-1); // heading row
    EXPECT_FALSE(c->ButtonEnabled());
    c->Press();
    EXPECT_TRUE(link.Requests().isEmpty());

    c->Select(2); // Ignition R
    EXPECT_TRUE(c->ButtonEnabled());
    EXPECT_EQ(c->ButtonText(), "Start");
    link.Answer(Hex("2F 50 03 03 64"), Hex("7F 2F 31")); // refused: Stop is offered anyway
    c->Press();
    EXPECT_EQ(c->ButtonState(), ActorsSwitchOn);
    EXPECT_EQ(c->ButtonText(), "Stop");
    EXPECT_TRUE(c->ButtonEnabled());
    EXPECT_FALSE(c->ListEnabled());

    c->Select(5); // the list is disabled: ignored
    c->Press();
    EXPECT_EQ(link.Requests(), (QByteArrayList{Hex("2F 50 03 03 64"), Hex("2F 50 03 00")}));
    EXPECT_EQ(c->ButtonState(), ActorsIdle);
    EXPECT_EQ(c->ButtonText(), "Start");
    EXPECT_TRUE(c->ListEnabled());
    // Neither request was taken: each is said, the refusal and the silence apart.
    ASSERT_EQ(events.size(), 2) << events.join(" | ").toStdString();
    EXPECT_TRUE(events[0].startsWith("message The ECU refused: "));
    EXPECT_TRUE(events[1].startsWith("message The ECU did not answer: "));
    EXPECT_EQ(c->SwitchEnding(), JobEnding::NoAnswer);
}

TEST_F(ActorsControllerTest, SwitchRequestsGoOutAsJobsInTheirOrder)
{
    std::vector<std::function<void()>> jobs;
    runJob = [&jobs](std::function<void()> work) { jobs.push_back(std::move(work)); };
    auto c = Make(FamilyMiug4);
    c->Select(2); // Ignition R
    c->Press();
    EXPECT_EQ(c->ButtonText(), "Stop");
    c->Press();
    EXPECT_EQ(c->ButtonText(), "Start");
    EXPECT_TRUE(link.Requests().isEmpty()); // nothing waits for the adapter on this thread
    actions.clear();                        // a language change rebuilds the list meanwhile
    RunQueued(jobs);
    EXPECT_EQ(link.Requests(), (QByteArrayList{Hex("2F 50 03 03 64"), Hex("2F 50 03 00")}));
}

TEST_F(ActorsControllerTest, SelfLearningPollsTheFamilyChosenLastInJobsAndGoesOnWithTheirResults)
{
    std::vector<std::function<void()>> jobs;
    std::vector<std::function<void()>> handedBack;
    CoreState state; // no model chosen yet when the controller is made
    SetTexts(state.texts);
    state.actions = BuildActions(Family11mp, state.texts, ctx);
    ActorsCallbacks cb;
    cb.showMessage = [this](const QString& t) { events << "message " + t; };
    cb.startTimer = [this](int id, int ms) { events << QString("start %1 %2").arg(id).arg(ms); };
    cb.stopTimer = [this](int id) { events << QString("stop %1").arg(id); };
    cb.disconnect = [this] { events << "disconnect"; };
    cb.quit = [this] { events << "quit"; };
    cb.runJob = [&jobs](std::function<void()> work) { jobs.push_back(std::move(work)); };
    cb.postToCaller = [&handedBack](std::function<void()> then) {
        handedBack.push_back(std::move(then));
    };
    // The poll asks the family chosen at that moment, as the session's does.
    std::shared_ptr<Ecu> chosen;
    cb.routineResult = [&chosen](ProcedureRecord& record) {
        return chosen ? chosen->routineResult(record) : 0;
    };
    ActorsController c(state, cb);
    c.SetEnabled(true);
    EcuContext family;
    family.link = &link;
    family.texts = &state.texts;
    chosen = MakeEcu11mp(family); // the settings choose the model afterwards
    link.Answer(Hex("31 22"), Hex("71 22 00 01"));
    link.AnswerInTurn(Hex("33 22"), {Hex("7F 33 21"), Hex("73 22 00 01")});

    c.Select(8);
    c.Press();
    RunQueued(jobs); // the procedure
    c.Tick(kSelfLearningTimer);
    c.Tick(kSelfLearningTimer); // the poll is out: no second one
    ASSERT_EQ(jobs.size(), 1u);
    RunQueued(jobs);
    EXPECT_EQ(handedBack.size(), 1u);
    EXPECT_EQ(events, QStringList{"start 4 500"}); // nothing goes on before the result is back
    RunQueued(handedBack);                         // refused: polling goes on
    c.Tick(kSelfLearningTimer);
    RunQueued(jobs);
    EXPECT_EQ(events, QStringList{"start 4 500"});
    RunQueued(handedBack);
    EXPECT_EQ(events, (QStringList{"start 4 500", "stop 4", "message Finish", "disconnect",
                                   "message Exit", "quit"}));
    EXPECT_EQ(link.Requests().count(Hex("33 22")), 2);
    EXPECT_EQ(c.ButtonState(), ActorsIdle);
}

TEST_F(ActorsControllerTest, ProcedureHandedToAJobRunnerEndsWhenItsJobIsGone)
{
    std::vector<std::function<void()>> jobs;
    runJob = [&jobs](std::function<void()> work) { jobs.push_back(std::move(work)); };
    auto c = Make(FamilyMiug4);
    int runs = 0;
    actions[11].procedure = [&runs](ProcedureRecord& r) {
        ++runs;
        r.resultText = "Reset: Ok";
        return 0;
    };
    c->Select(11);
    c->Press();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_TRUE(c->ProcedureThreadRunning()); // queued, not run yet
    c->Tick(kProcedureTimer);
    EXPECT_EQ(c->ButtonState(), ActorsProcedureRunning);
    jobs.front()();
    EXPECT_EQ(runs, 1);
    jobs.clear(); // the runner is done with the job
    EXPECT_FALSE(c->ProcedureThreadRunning());
    c->Tick(kProcedureTimer);
    EXPECT_EQ(events, (QStringList{"start 2 100", "stop 2", "message Reset: Ok"}));
    EXPECT_EQ(c->ButtonState(), ActorsIdle);

    // A job dropped unrun (the session quit) ends the procedure too.
    c->Press();
    ASSERT_EQ(jobs.size(), 1u);
    jobs.clear();
    EXPECT_FALSE(c->ProcedureThreadRunning());
    EXPECT_EQ(runs, 1);
}

TEST_F(ActorsControllerTest, ProcedureRunsOnItsThreadAndReportsOnce)
{
    auto c = Make(FamilyMiug4);
    std::promise<void> gate;
    std::shared_future<void> opened = gate.get_future().share();
    actions[11].procedure = [opened](ProcedureRecord& r) {
        opened.wait();
        r.resultText = "Reset: Ok";
        return 0;
    };
    c->Select(11);
    c->Press();
    EXPECT_EQ(c->ButtonState(), ActorsProcedureRunning);
    EXPECT_FALSE(c->ButtonEnabled());
    EXPECT_FALSE(c->ListEnabled());
    EXPECT_EQ(events, QStringList{"start 2 100"});

    c->Tick(kProcedureTimer); // still running
    c->Press();               // disabled
    EXPECT_EQ(c->ButtonState(), ActorsProcedureRunning);

    gate.set_value();
    ASSERT_TRUE(c->WaitForProcedure(kBoundMs));
    c->Tick(kSelfLearningTimer); // not this procedure's timer
    c->Tick(kProcedureTimer);
    c->Tick(kProcedureTimer);
    EXPECT_EQ(events, (QStringList{"start 2 100", "stop 2", "message Reset: Ok"}));
    EXPECT_EQ(c->ButtonState(), ActorsIdle);
    EXPECT_TRUE(c->ButtonEnabled());
    EXPECT_TRUE(c->ListEnabled());
}

TEST_F(ActorsControllerTest, ProcedureEndingAfterDisconnectLeavesControlsOff)
{
    auto c = Make(FamilyMiug4);
    c->Select(13); // clear stored data: no answer, "Error"
    c->Press();
    c->SetEnabled(false);
    ASSERT_TRUE(c->WaitForProcedure(kBoundMs));
    c->Tick(kProcedureTimer);
    EXPECT_EQ(c->ButtonState(), ActorsIdle);
    EXPECT_FALSE(c->ButtonEnabled());
    EXPECT_FALSE(c->ListEnabled());
    c->SetEnabled(true);
    EXPECT_TRUE(c->ButtonEnabled());
    EXPECT_EQ(c->ButtonText(), "Start");
}

TEST_F(ActorsControllerTest, SelfLearningGivesUpAfterTwentyPolls)
{
    auto c = Make(Family11mp);
    c->Select(8); // handle self-learning
    c->Press();
    EXPECT_EQ(c->ButtonState(), ActorsSelfLearningRunning);
    EXPECT_FALSE(c->ButtonEnabled());
    ASSERT_TRUE(c->WaitForProcedure(kBoundMs));
    for (int i = 0; i < 19; ++i)
        c->Tick(kSelfLearningTimer);
    EXPECT_EQ(c->ButtonState(), ActorsSelfLearningRunning);
    c->Tick(kSelfLearningTimer);
    c->Tick(kSelfLearningTimer);
    EXPECT_EQ(link.Requests().count(Hex("33 22")), 20);
    EXPECT_EQ(link.Requests().first(), Hex("31 22"));
    EXPECT_EQ(events,
              (QStringList{"start 4 500", "stop 4", "message Handle self-learning: Error"}));
    EXPECT_EQ(c->ButtonState(), ActorsIdle);
    EXPECT_TRUE(c->ButtonEnabled());
}

TEST_F(ActorsControllerTest, SelfLearningSuccessDisconnectsAndQuits)
{
    auto c = Make(Family11mp);
    link.Answer(Hex("31 22"), Hex("71 22 00 01"));
    link.AnswerInTurn(Hex("33 22"), {Hex("7F 33 21"), Hex("73 22 00 01")});
    c->Select(8);
    c->Press();
    ASSERT_TRUE(c->WaitForProcedure(kBoundMs));
    c->Tick(kSelfLearningTimer);
    EXPECT_EQ(events, QStringList{"start 4 500"});
    c->Tick(kSelfLearningTimer);
    EXPECT_EQ(events, (QStringList{"start 4 500", "stop 4", "message Finish", "disconnect",
                                   "message Exit", "quit"}));
    EXPECT_EQ(record.resultText, "Handle self-learning: Ok");
    EXPECT_EQ(c->ButtonState(), ActorsIdle);
}

} // namespace
} // namespace velmoro
