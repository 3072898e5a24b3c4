// ecu/ holds what the engine control units can do: the ECU families behind the interface below
// (identification, value reading, engine status, fault memory, the actuator tests and
// procedures), each a table of its operations, the tables behind them, and the refresh pass that
// reads the chosen values through them. Nothing here knows a window or a thread of its own; every
// operation runs on the thread that calls it and reaches the adapter through an ExchangeLink.
#pragma once

#include "config/LanguageTexts.h"
#include "config/Settings.h"
#include "ecu/FaultLists.h"
#include "ecu/Identification.h"
#include "ecu/Procedures.h"
#include "link/Exchange.h"
#include "values/ActionList.h"
#include "values/JobEnding.h"
#include "values/MeasurementRow.h"

#include <QString>
#include <QVector>
#include <memory>
#include <optional>

namespace velmoro {

struct CoreState;

// What a family's operations reach. The pointers must outlive the Ecu.
struct EcuContext {
    ExchangeLink* link = nullptr;
    LanguageTexts* texts = nullptr;
    const LinkSettings* settings = nullptr; // ecuId and ecuVariant for the identification
    ProcedureContext procedures;
};

// One ECU family. The list builders only read the language texts and may be called on any
// thread; the other operations exchange requests and keep per-family reading state (the engine
// speed smoothing), so one thread at a time uses them: the session's.
class Ecu {
public:
    explicit Ecu(EcuContext context) : ctx_(std::move(context)) {}
    virtual ~Ecu() = default;
    Ecu(const Ecu&) = delete;
    Ecu& operator=(const Ecu&) = delete;

    virtual int family() const = 0; // FamilyMiug4 or Family11mp

    // The value names by dispatcher index in the current language (entry 0 the empty text, an
    // empty name: not offered), and the highest index the choosers offer.
    virtual QVector<QString> valueNames() const = 0;
    virtual int lastValueIndex() const = 0;
    // The actuator tests and procedures, each entry carrying its own switch or procedure.
    virtual ActionList actions() const = 0;

    // Once the worker is up: reads the identification; nullopt when the family's identification
    // fails.
    virtual std::optional<EcuInfo> identify() = 0;
    // The value of row.valueIndex into the row; 1 = filled from a valid answer, 0 = not.
    virtual int readValue(MeasurementRow& row) = 0;
    // The engine status block of the measurement view (MIUG4 only).
    virtual bool hasEngineStatus() const = 0;
    virtual int readEngineStatus(MeasurementRow& row) = 0;
    // Fault memory: reading fills both lists (or marks them unread); clearing sends the clear
    // request and reads again. How the ECU took the job comes back.
    virtual bool hasStoredFaults() const = 0;
    virtual JobEnding readFaults(FaultLists& lists) = 0;
    virtual JobEnding clearFaults(FaultLists& lists) = 0;
    // The result of a self-learning routine, polled by the session's running action (11MP only;
    // 0 elsewhere).
    virtual bool hasRoutineResult() const = 0;
    virtual int routineResult(ProcedureRecord& record) = 0;
    // Opens the extended diagnostic session again (10 03), as the set-up did: an ECU that was
    // switched off and on answers in its default session only. True when it accepted.
    virtual bool reopenSession();
    // The CO trim adjustment: no family offers it yet.
    virtual bool hasCoTrim() const { return false; }

protected:
    EcuContext ctx_;
};

std::unique_ptr<Ecu> MakeEcuMiug4(EcuContext context);
std::unique_ptr<Ecu> MakeEcu11mp(EcuContext context);

// The context over a link, with the snapshot's texts, link settings and paths; the procedures'
// wait is left to the caller.
EcuContext ContextOf(CoreState& config, ExchangeLink& link);

// Sets link.family from link.ecuId ("MIUG4" or "11MP", compared exactly); an unknown id keeps
// the previous family.
void ChooseFamily(LinkSettings& link);

// The family of config.link.family speaking over link; it and the procedures of its actions list
// keep config alive. The family's procedures wait with `wait` (false: the wait was cut short by a
// disconnect or quit).
std::shared_ptr<Ecu> MakeEcu(std::shared_ptr<CoreState> config, ExchangeLink& link,
                             std::function<bool(int ms)> wait);

} // namespace velmoro
