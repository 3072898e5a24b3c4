// The actors list of both families: one table per family in which every entry carries its own
// switch requests or procedure, so the list and what it runs cannot drift apart.
#pragma once

#include "config/LanguageTexts.h"
#include "ecu/Procedures.h"
#include "link/Exchange.h"
#include "values/ActionList.h"

#include <QByteArray>

namespace velmoro {

// The family's ActionList (MIUG4 15 entries, 11MP 13) in the current language: text, key, kind,
// group and position, switchActuator bound for the switches (over ctx.link) and procedure for the
// procedures and the self-learning routine (with ctx).
ActionList BuildActions(int family, LanguageTexts& texts, const ProcedureContext& ctx);

// The on and off requests of a switchable actuator at list position `position`;
// empty arrays when that position is not a switchable actuator of the family.
// MIUG4 Ignition R: 2F 50 03 03 64 / 2F 50 03 00; 11MP Ignition L 2: 30 22 07 / 30 22 00.
QByteArray ActuatorOnRequest(int family, int position);
QByteArray ActuatorOffRequest(int family, int position);

// 11MP routine result: 33 routineId. Data -> resultText "<key>: Ok", returns 1; otherwise
// "<key>: Error", returns 0. The key text comes from the routine (0x22 View_59, 0x23 View_60).
int RoutineResult11mp(ExchangeLink& link, LanguageTexts& texts, ProcedureRecord& record);

} // namespace velmoro
