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

namespace velmoro {
namespace {

using test::WaitUntil;

const char* const kEcuSilent = "The adapter works but the ECU did not answer (NO DATA): ignition "
                               "on? The right motorcycle? The diagnostic connector?";

struct FailureCase {
    const char* name;
    int family;
    std::function<void(Simulator&)> inject;
    LinkFailure failure;
    const char* text;
};

void PrintTo(const FailureCase& c, std::ostream* out)
{
    *out << c.name;
}

class LinkFailureTest : public ::testing::TestWithParam<FailureCase> {
protected:
    void StartSession(int family)
    {
        ASSERT_TRUE(dir.isValid());
        state.paths.directory = state.settings.loggingDirectory = dir.path() + QStringLiteral("/");
        state.paths.baseName = QStringLiteral("VelmoroCanDiag");
        state.settings.logging = 1;
        state.link.port = QStringLiteral("Simulator");
        state.link.ecuId =
            family == kSimFamily11mp ? QStringLiteral("11MP") : QStringLiteral("MIUG4");
        DiagSessionOptions options;
        options.simulator = sim;
        options.workerTimings = {200, 2, 60000}; // adapter time-out, pause, keep-alive idle
        session = std::make_unique<DiagSession>(state, options);
        DiagSession* s = session.get();
        QObject::connect(s, &DiagSession::question, s, [s] { s->answerQuestion(); });
        QObject::connect(s, &DiagSession::connected, s, [this] { events << "connected"; });
        QObject::connect(s, &DiagSession::disconnected, s, [this] { events << "disconnected"; });
        QObject::connect(s, &DiagSession::linkFailed, s,
                         [this](LinkFailure failure, const QString& text) {
                             failures << failure;
                             events << QStringLiteral("failed: ") + text;
                         });
    }
    bool ConnectUntilDisconnected()
    {
        events.clear();
        failures.clear();
        return session->connectLink({}, {}) &&
               WaitUntil([this] { return events.contains("disconnected"); });
    }

    QTemporaryDir dir;
    CoreState state;
    std::shared_ptr<Simulator> sim = std::make_shared<Simulator>();
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
    const QString failed = QStringLiteral("failed: ") + QString::fromUtf8(c.text);
    if (c.family == kSimFamily11mp) {
        // This family comes up without an identification; the step is named all the same.
        ASSERT_TRUE(session->connectLink({}, {}));
        ASSERT_TRUE(WaitUntil([this] { return events.size() >= 2; }));
        EXPECT_EQ(events, (QStringList{"connected", failed}));
    } else {
        ASSERT_TRUE(ConnectUntilDisconnected());
        // Named first, so the view shows the reason along with the ignition-off message.
        EXPECT_EQ(events, (QStringList{failed, "disconnected"}));
    }
    EXPECT_EQ(failures, QList<LinkFailure>{c.failure});
    const QStringList logs = QDir(dir.path()).entryList({QStringLiteral("*.log")});
    ASSERT_EQ(logs.size(), 1);
    QFile log(dir.filePath(logs.first()));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains(" ! " + QByteArray(c.text) + "\r\n"));

    QByteArrayList expected;
    if (c.failure == LinkFailure::AdapterSilent)
        expected = {"", "ATZ"}; // two unanswered commands name a silent adapter
    else if (c.failure != LinkFailure::PortNotOpened)
        expected = {"",         "ATZ",
                    "ATE 0",    "STMFR",
                    "VTPROI",   "ATSP 6",
                    "ATSH 7A0", "ATCRA 7A8",
                    "1003",     c.family == kSimFamily11mp ? "22B0" : "221080"};
    EXPECT_EQ(sim->ReceivedCommands().mid(0, expected.size()), expected);
    if (c.failure == LinkFailure::AdapterSilent) {
        EXPECT_EQ(sim->ReceivedCommands(), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, LinkFailureTest,
    ::testing::Values(
        FailureCase{"PortMissing", kSimFamilyMiug4, [](Simulator& s) { s.Vanish(); },
                    LinkFailure::PortNotOpened,
                    "Port Simulator could not be opened: the simulated adapter is unplugged"},
        FailureCase{"AdapterSilent", kSimFamilyMiug4, [](Simulator& s) { s.SetSilent(true); },
                    LinkFailure::AdapterSilent,
                    "The adapter did not answer: check the cable, its power and (Bluetooth) the "
                    "pairing"},
        FailureCase{"CanRefused", kSimFamilyMiug4, [](Simulator& s) { s.SetCanRefused(true); },
                    LinkFailure::CanRefused,
                    "The adapter answered but refused CAN (\"?\" to ATSP 6): it cannot talk to "
                    "this motorcycle"},
        FailureCase{"EcuSilent", kSimFamilyMiug4, [](Simulator& s) { s.SetEcuSilent(true); },
                    LinkFailure::EcuSilent, kEcuSilent},
        FailureCase{"EcuSilent11mp", kSimFamily11mp, [](Simulator& s) { s.SetEcuSilent(true); },
                    LinkFailure::EcuSilent, kEcuSilent}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

// The same failures from velmoro-sim on a pseudo-terminal: the real serial port's own reasons.
TEST_F(LinkFailureTest, VelmoroSimFaultsOnAPty)
{
    StartSession(kSimFamilyMiug4);
    for (const auto& [fault, failure, text] :
         {std::tuple{"port-missing", LinkFailure::PortNotOpened, "Port /dev/velmoro-sim-missing-"},
          std::tuple{"no-can", LinkFailure::CanRefused, "The adapter answered but refused CAN"}}) {
        SCOPED_TRACE(fault);
        QProcess tool;
        tool.start(
            QStringLiteral(VELMORO_SIM_EXECUTABLE),
            {QStringLiteral("--pty"), QStringLiteral("--fault"), QString::fromLatin1(fault)});
        ASSERT_TRUE(WaitUntil([&] { return tool.canReadLine(); }));
        state.link.port = QString::fromLatin1(tool.readLine().trimmed());
        session->applySettings(state);
        ASSERT_TRUE(ConnectUntilDisconnected());
        EXPECT_EQ(failures, QList<LinkFailure>{failure});
        ASSERT_EQ(events.size(), 2);
        EXPECT_TRUE(events.first().startsWith(QStringLiteral("failed: ") + text))
            << events.first().toStdString();
        tool.kill();
        tool.waitForFinished();
    }
}

} // namespace
} // namespace velmoro
