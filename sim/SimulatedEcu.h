// The simulated ECUs of both families: diagnostic request bytes in, answer bytes out.
//
// Not thread-safe on its own; Simulator serialises every call. Values come from a small engine
// model driven by the engine time passed in (ms since the engine started): the speed idles and
// revs every half minute, temperatures warm up, the battery sits near 14 V.
#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <cstdint>
#include <map>
#include <vector>

namespace velmoro {

struct SimFault;
struct SimStoredBlock;

// What the engine model shows at one moment.
struct EngineSnapshot {
    double rpm = 0;
    double engineTempC = 0;
    double airTempC = 0;
    double batteryV = 0;
    double throttleDeg = 0;
    double intakeMbar = 0;
    double injectionMs = 0;
    double advanceDeg = 0;
    double lambdaMv = 0;
    bool warm = false;
    bool revving = false;
    double runSeconds = 0;
};
EngineSnapshot EngineAt(qint64 engineTimeMs);

class SimulatedEcu {
public:
    explicit SimulatedEcu(int family);

    int Family() const { return family_; }

    // The ECU's answer to request, already with its positive or negative service byte; empty
    // when the ECU stays silent (tester present with the suppress bit).
    QByteArray Answer(const QByteArray& request, qint64 engineTimeMs);

    // Identifiers the ECU answers to 22 10 xx.
    bool KnowsIdentifier(std::uint8_t low) const;

    std::vector<SimFault> currentFaults;
    std::vector<SimFault> storedFaults;
    std::map<int, bool> actuators; // identifier -> on
    bool routineSucceeds = true;
    std::vector<SimStoredBlock> storedData;
    int faultClearCount = 0;
    int adaptationResetCount = 0;
    // After the ignition was switched off and on: the ECU is in its default session, where it
    // refuses to read identifiers until 10 03 opens the extended session again.
    bool defaultSession = false;

private:
    QByteArray ReadIdentifier(const QByteArray& request, qint64 engineTimeMs) const;
    QByteArray Miug4Service(const QByteArray& request);
    QByteArray Mp11Service(const QByteArray& request);
    QByteArray FaultRecords(bool withType) const;

    int family_;
    bool throttleLearningStarted_ = false;
    int startedRoutine_ = -1; // 11MP local routine identifier started by 31 xx
};

} // namespace velmoro
