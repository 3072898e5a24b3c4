// The actuator tables of both families: binding every actors-list entry to its requests.
#pragma once

#include "config/LanguageTexts.h"
#include "ecu/Procedures.h"
#include "link/Exchange.h"
#include "values/ActionList.h"

#include <QByteArray>

namespace velmoro {

struct CoreState;

// The on and off requests of a switchable actuator (kind 3) at list position `position`;
// empty arrays when that position is not a switchable actuator of the family.
// MIUG4 Ignition R: 2F 50 03 03 64 / 2F 50 03 00; 11MP Ignition L 2: 30 22 07 / 30 22 00.
QByteArray ActuatorOnRequest(int family, int position);
QByteArray ActuatorOffRequest(int family, int position);

// Binds switchActuator (kind 3) and procedure (kinds 4 and 5) of every entry of the family's
// ActionList by its position (MIUG4 15 entries, 11MP 13). Uses state.channel, state.texts and
// state.paths; waits are cut short by state.flags.stopFlag.
void BindActionProcedures(CoreState& state, int family);
void BindActionProcedures(ActionList& actions, const ProcedureContext& ctx, int family);

// 11MP routine result: 33 routineId. Data -> resultText "<key>: Ok", returns 1; otherwise
// "<key>: Error", returns 0. The key text comes from the routine (0x22 View_59, 0x23 View_60).
int RoutineResult11mp(ExchangeLink& link, LanguageTexts& texts, ProcedureRecord& record);

} // namespace velmoro
