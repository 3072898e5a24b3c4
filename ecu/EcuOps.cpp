// Filling of the per-family operations table from the chosen model's ECU identifier.
#include "ecu/EcuOps.h"

#include "ecu/Actuators.h"
#include "ecu/CoreState.h"
#include "ecu/Faults.h"
#include "link/Connection.h"
#include "values/MeasurementLists.h"
#include "values/ValueCatalog.h"

namespace velmoro {

namespace {

ReaderContext Context11mp(CoreState& state)
{
    return {state.channel, state.texts, state.rpmSmoothing11mp};
}

ReaderContext ContextMiug4(CoreState& state)
{
    return {state.channel, state.texts, state.rpmSmoothingMiug4};
}

void FillMiug4(CoreState& state)
{
    CoreState* s = &state;
    s->ops.BuildMeasurementList = [s] {
        BuildValueNamesMiug4(s->texts, s->valueNamesMiug4);
        BuildActionListMiug4(s->texts, s->actions);
        BindActionProcedures(*s, FamilyMiug4);
    };
    s->ops.FillValueChooser = [s](int chooser, const QString& name, int position) {
        if (chooser < 0 || chooser >= kDisplayRows) {
            return;
        }
        FillValueChooser(s->choosers[static_cast<std::size_t>(chooser)],
                         s->rows[static_cast<std::size_t>(chooser)], s->valueNamesMiug4,
                         kLastIndexMiug4, name, position);
    };
    s->ops.ValueDispatcher = [s](MeasurementRow& row) {
        ReaderContext ctx = ContextMiug4(*s);
        return ValueDispatcherMiug4(ctx, row);
    };
    s->ops.ReadEngineStatus = [s](MeasurementRow& row) {
        return ReadEngineStatusMiug4(s->channel, s->texts, row);
    };
    s->ops.ReadFaults = [s] { ReadFaultsMiug4(s->channel, s->texts, s->faults); };
    s->ops.ClearFaults = [s] { ClearFaultsMiug4(s->channel, s->texts, s->faults); };
    s->ops.Connect = [s] {
        if (s->ui != nullptr) {
            ConnectMiug4(s->flags, s->link, s->channel, *s->ui);
        }
    };
}

void Fill11mp(CoreState& state)
{
    CoreState* s = &state;
    s->ops.BuildMeasurementList = [s] {
        BuildValueNames11mp(s->texts, s->valueNames11mp);
        BuildActionList11mp(s->texts, s->actions);
        BindActionProcedures(*s, Family11mp);
    };
    s->ops.FillValueChooser = [s](int chooser, const QString& name, int position) {
        if (chooser < 0 || chooser >= kDisplayRows) {
            return;
        }
        FillValueChooser(s->choosers[static_cast<std::size_t>(chooser)],
                         s->rows[static_cast<std::size_t>(chooser)], s->valueNames11mp,
                         kLastIndex11mp, name, position);
    };
    s->ops.ValueDispatcher = [s](MeasurementRow& row) {
        ReaderContext ctx = Context11mp(*s);
        return ValueDispatcher11mp(ctx, row);
    };
    s->ops.ReadFaults = [s] { ReadFaults11mp(s->channel, s->texts, s->faults); };
    s->ops.ClearFaults = [s] { ClearFaults11mp(s->channel, s->texts, s->faults); };
    s->ops.RoutineResult = [s](ProcedureRecord& record) {
        return RoutineResult11mp(s->channel, s->texts, record);
    };
    s->ops.Connect = [s] {
        if (s->ui != nullptr) {
            Connect11mp(s->flags, s->link, s->channel, *s->ui);
        }
    };
}

} // namespace

void FillEcuOps(CoreState& state)
{
    state.ops.ReadEngineStatus = nullptr;
    state.ops.RoutineResult = nullptr;
    state.ops.ClearFaults = nullptr;
    state.ops.CoTrimOperation = nullptr;

    if (state.link.ecuId == QLatin1String("MIUG4")) {
        state.link.family = FamilyMiug4;
    } else if (state.link.ecuId == QLatin1String("11MP")) {
        state.link.family = Family11mp;
    }

    if (state.link.family == Family11mp) {
        Fill11mp(state);
    } else {
        FillMiug4(state);
    }

    if (state.onEcuOpsFilled) {
        state.onEcuOpsFilled();
    }
}

} // namespace velmoro
