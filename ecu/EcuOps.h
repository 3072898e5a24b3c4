// The per-family operations table: everything that depends on the ECU family is reached here.
#pragma once

#include "link/Exchange.h"
#include "values/ActionList.h"
#include "values/MeasurementRow.h"

#include <QString>
#include <functional>

namespace velmoro {

struct CoreState;

struct EcuOps {
    std::function<void(int chooser, const QString& name, int position)> FillValueChooser;
    std::function<void()> BuildMeasurementList;
    std::function<int(MeasurementRow&)> ValueDispatcher;
    std::function<void()> ClearFaults;
    std::function<void()> ReadFaults;
    std::function<int(MeasurementRow&)> ReadEngineStatus;
    std::function<int(ProcedureRecord&)> RoutineResult;
    std::function<void()> Connect; // runs the family's connection sequence
    std::function<int(int)> CoTrimOperation;
};

// Fills state.ops from state.link.ecuId ("MIUG4" or "11MP", compared exactly); an unknown id keeps
// the previous family. Calls state.onEcuOpsFilled afterwards (the shell's menu side effect).
void FillEcuOps(CoreState& state);

} // namespace velmoro
