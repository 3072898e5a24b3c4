// Learning and reset procedures of the actors view, and what every procedure needs to run.
#pragma once

#include "config/LanguageTexts.h"
#include "config/Settings.h"
#include "link/Exchange.h"
#include "values/ActionList.h"

#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>

namespace velmoro {

// Everything a running procedure uses. The pointers must outlive every bound procedure.
struct ProcedureContext {
    ExchangeLink* link = nullptr;
    LanguageTexts* texts = nullptr;
    ProgramPaths paths;
    // Waits ms milliseconds; returns false when the wait was cut short (disconnect, quit).
    std::function<bool(int ms)> wait;
    // The local date and time used in file names.
    std::function<QDateTime()> now;
    // When set, what texts points into: every bound procedure keeps it alive, so an actions list
    // outlives the settings it was built from.
    std::shared_ptr<const void> owner;
};

// "%yyyy%mm%dd_%hh%ii%ss" of the given local time, e.g. 20261207_021500.
QString FileTimeStamp(const QDateTime& time);

// Key text, ": " and View_102 ("Ok") or View_103 ("Error").
QString ProcedureResultText(LanguageTexts& texts, const QString& key, bool ok);

// Reset of the learned values: MIUG4 2F 50 7E 01, 11MP 30 7E 04; Ok when the result is exactly 2.
int ResetLearnedValues(const ProcedureContext& ctx, int family, ProcedureRecord& record);

// Clearing of the stored data: MIUG4 14 FF 24 FF (Ok with 1 or more data bytes),
// 11MP 14 FF 24 (Ok when the result is exactly 2).
int ClearStoredData(const ProcedureContext& ctx, int family, ProcedureRecord& record);

// MIUG4 throttle self-learning: 31 01 02 21, wait 500 ms, 31 03 02 21; Ok only on the answer
// 71 03 02 21 FF. A start result of -1 or an interrupted wait is an error at once.
int ThrottleSelfLearningMiug4(const ProcedureContext& ctx, ProcedureRecord& record);

// 11MP self-learning start (routine 0x22 handle, 0x23 throttle): 31 id. Sets routineId and
// pollsLeft := 20 whatever the answer, so polling is always bounded and never asks for the result
// of a routine that was started earlier.
int StartSelfLearning11mp(const ProcedureContext& ctx, int routineId, ProcedureRecord& record);

} // namespace velmoro
