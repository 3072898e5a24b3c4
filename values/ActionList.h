// The actuator tests and procedures a family offers, as the actors view lists them.
#pragma once

#include "values/JobEnding.h"

#include <QString>
#include <QVector>
#include <functional>

namespace velmoro {

// What a procedure or a self-learning routine leaves behind: each run has its own, owned by the
// session's running action.
struct ProcedureRecord {
    QString resultText;
    int routineId = 0;
    int pollsLeft = 0;
    // How the procedure ended; the text above says it in words.
    JobEnding ending = JobEnding::Done;
    // A stored-data download that completed: the file it wrote (directory and name). One the
    // link cut short: the file that keeps what arrived (its name ends in ".part"), if any.
    QString fileName;
};

enum ActionKind : int { KindSwitch = 3, KindProcedure = 4, KindSelfLearning = 5 };

struct ActionEntry {
    int position = 0;
    QString text; // language text of `key`, for some 11MP entries followed by " 1" or " 2"
    QString key;  // the language key of the entry (View_xx)
    int kind = KindSwitch;
    int group = 1; // 1: engine off, 0: engine running
    // A switch: on (1) or off (0); how the ECU took it.
    std::function<JobEnding(int on)> switchActuator;
    // A procedure or the start of the self-learning routine: runs as a session job; returns 0.
    std::function<int(ProcedureRecord&)> procedure;
};
using ActionList = QVector<ActionEntry>;

} // namespace velmoro
