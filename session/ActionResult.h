// How an action of the actors list ended, as the session reports it to a view.
#pragma once

#include "values/ActionList.h"
#include "values/JobEnding.h"

#include <QMetaType>
#include <QString>

namespace velmoro {

// Carried by DiagSession::actionFinished(). A switch reports each of its two requests apart
// (switchedOn tells which); a procedure or a self-learning routine reports once, at its end.
// A view says the ending with `text` and never reads the ending from it.
struct ActionResult {
    int position = -1;       // the entry's position in the family's actions list
    int kind = KindSwitch;   // ActionKind of the entry
    bool switchedOn = false; // a switch: its on request (true) or its off request
    JobEnding ending = JobEnding::Done;
    // A stored-data download that completed: the file it wrote (directory and name). One the
    // link cut short: the file that keeps what arrived (its name ends in ".part"), if any.
    QString fileName;
    // What the view shows: a procedure's result line, a switch request the ECU did not take in
    // words; empty when there is nothing to say (a switch request taken or cut short).
    QString text;
};

} // namespace velmoro

Q_DECLARE_METATYPE(velmoro::ActionResult)
