// Each failed step of the connect sequence produced by the simulator's fault injection, named
// through the session before the link ends, written to the debug log, with the adapter seeing
// exactly the commands of any other connect.
#include "ecu/Ecu.h"
#include "session/DiagSession.h"
#include "sim/Simulator.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>

#if defined(__SANITIZE_THREAD__)
// QProcess forks this multi-threaded test program to start velmoro-sim; the child only execs.
extern "C" const char* __tsan_default_options()
{
    return "die_after_fork=0";
}
#endif

namespace velmoro {
namespace {

using test::WaitUntil;

struct FailureCase {
    const char* name;
    int family;
    std::function<void(Simulator&)> inject;
    LinkFailure failure;
    const char* text;
    bool connects; // the family comes up without an identification all the same
};

class LinkFailureTest : public ::testing::TestWithParam<FailureCase> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        state.paths.directory = dir.path() + QStringLiteral("/");
        state.paths.baseName = QStringLiteral("VelmoroCanDiag");
        state.settings.loggingDirectory = state.paths.directory;
        state.settings.logging = 1;
        state.link.port = QStringLiteral("Simulator");
        sim = std::make_shared<Simulator>();
    }

    void StartSession(int family)
    {
        state.link.ecuId =
            family == kSimFamily11mp ? QStringLiteral("11MP") : QStringLiteral("MIUG4");
        ChooseEcu(state);
        DiagSessionOptions options;
        options.simulator = sim;
        options.workerTimings = {200, 2, 60000}; // adapter time-out, pause, keep-alive idle
        session = std::make_unique<DiagSession>(state, options);
        QObject::connect(session.get(), &DiagSession::question, session.get(),
                         [this] { session->answerQuestion(); });
        QObject::connect(session.get(), &DiagSession::connected, session.get(),
                         [this] { events << QStringLiteral("connected"); });
        QObject::connect(session.get(), &DiagSession::disconnected, session.get(),
                         [this] { events << QStringLiteral("disconnected"); });
        QObject::connect(session.get(), &DiagSession::linkFailed, session.get(),
                         [this](LinkFailure failure, const QString& text) {
                             failures << failure;
                             events << QStringLiteral("failed: ") + text;
                         });
    }

    QByteArray DebugLog() const
    {
        const QStringList logs = QDir(dir.path()).entryList({QStringLiteral("*.log")});
        if (logs.size() != 1)
            return {};
        QFile file(dir.path() + QStringLiteral("/") + logs.first());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    CoreState state;
    std::shared_ptr<Simulator> sim;
    std::unique_ptr<DiagSession> session;
    QStringList events;
    QList<LinkFailure> failures;
};

TEST_P(LinkFailureTest, FailedStepIsNamedAndTheAdapterSeesTheUsualCommands)
{
    const FailureCase& c = GetParam();
    sim->SetFamily(c.family);
    c.inject(*sim);
    StartSession(c.family);
    ASSERT_TRUE(session->connectLink({}));
    const QString failed = QStringLiteral("failed: ") + QString::fromUtf8(c.text);
    if (c.connects) {
        ASSERT_TRUE(WaitUntil([this] { return events.size() >= 2; }));
        EXPECT_EQ(events, (QStringList{"connected", failed}));
        session->disconnectLink();
        ASSERT_TRUE(WaitUntil([this] { return events.contains("disconnected"); }));
    } else {
        ASSERT_TRUE(WaitUntil([this] { return events.contains("disconnected"); }));
        // Named first, so the view shows the reason along with the ignition-off message.
        EXPECT_EQ(events, (QStringList{failed, "disconnected"}));
    }
    EXPECT_EQ(failures, QList<LinkFailure>{c.failure});
    EXPECT_TRUE(DebugLog().contains(" ! " + QByteArray(c.text) + "\r\n")) << DebugLog().constData();

    QByteArrayList expected;
    if (c.failure != LinkFailure::PortNotOpened) {
        expected = {"",       "ATZ",      "ATE 0",     "STMFR", "VTPROI",
                    "ATSP 6", "ATSH 7A0", "ATCRA 7A8", "1003"};
        expected << (c.family == kSimFamily11mp ? "22B0" : "221080");
    }
    QByteArrayList received = sim->ReceivedCommands();
    if (!received.isEmpty())
        received.removeLast(); // the reset at the end, or the first value read
    EXPECT_EQ(received.mid(0, expected.size()), expected);
    EXPECT_EQ(session->linkState(), LinkState::Disconnected);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, LinkFailureTest,
    ::testing::Values(
        FailureCase{"PortMissing", kSimFamilyMiug4, [](Simulator& s) { s.Vanish(); },
                    LinkFailure::PortNotOpened,
                    "Port Simulator could not be opened: the simulated adapter is unplugged",
                    false},
        FailureCase{"AdapterSilent", kSimFamilyMiug4, [](Simulator& s) { s.SetSilent(true); },
                    LinkFailure::AdapterSilent,
                    "The adapter did not answer: check the cable, its power and (Bluetooth) the "
                    "pairing",
                    false},
        FailureCase{"CanRefused", kSimFamilyMiug4, [](Simulator& s) { s.SetCanRefused(true); },
                    LinkFailure::CanRefused,
                    "The adapter answered but refused CAN (\"?\" to ATSP 6): it cannot talk to "
                    "this motorcycle",
                    false},
        FailureCase{"EcuSilent", kSimFamilyMiug4, [](Simulator& s) { s.SetEcuSilent(true); },
                    LinkFailure::EcuSilent,
                    "The adapter works but the ECU did not answer (NO DATA): ignition on? The "
                    "right motorcycle? The diagnostic connector?",
                    false},
        FailureCase{"EcuSilent11mpConnectsAllTheSame", kSimFamily11mp,
                    [](Simulator& s) { s.SetEcuSilent(true); }, LinkFailure::EcuSilent,
                    "The adapter works but the ECU did not answer (NO DATA): ignition on? The "
                    "right motorcycle? The diagnostic connector?",
                    true}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

// The same failures from velmoro-sim on a pseudo-terminal: the real serial port's own reasons.
TEST_F(LinkFailureTest, VelmoroSimFaultsOnAPty)
{
    struct ToolCase {
        const char* fault;
        LinkFailure failure;
        const char* startOfText;
    };
    const ToolCase cases[] = {
        {"port-missing", LinkFailure::PortNotOpened, "Port /dev/velmoro-sim-missing-"},
        {"no-can", LinkFailure::CanRefused, "The adapter answered but refused CAN"}};
    StartSession(kSimFamilyMiug4);
    for (const ToolCase& c : cases) {
        SCOPED_TRACE(c.fault);
        QProcess tool;
        tool.start(
            QStringLiteral(VELMORO_SIM_EXECUTABLE),
            {QStringLiteral("--pty"), QStringLiteral("--fault"), QString::fromLatin1(c.fault)});
        ASSERT_TRUE(tool.waitForStarted());
        ASSERT_TRUE(WaitUntil([&] { return tool.canReadLine(); }));
        state.link.port = QString::fromLatin1(tool.readLine().trimmed());
        failures.clear();
        events.clear();
        ASSERT_TRUE(session->connectLink({}));
        ASSERT_TRUE(WaitUntil([this] { return events.contains("disconnected"); }));
        EXPECT_EQ(failures, QList<LinkFailure>{c.failure});
        ASSERT_EQ(events.size(), 2);
        EXPECT_TRUE(events.first().startsWith(QStringLiteral("failed: ") + c.startOfText))
            << events.first().toStdString();
        tool.kill();
        tool.waitForFinished();
    }
}

} // namespace
} // namespace velmoro
