// velmoro-cli's results as JSON: numbers as numbers, null where nothing could be read, and the
// error of a run that did not succeed.
#pragma once

#include "ecu/FaultLists.h"
#include "values/JobEnding.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

namespace velmoro::cli {

// One document on one line of stdout.
void PrintJson(const QJsonValue& value);

// A value as JSON: a number where it is one, null where it could not be read ("----"), the
// text otherwise (a bit field such as "00001101" keeps its digits): "1141" -> 1141, "----" ->
// null, "00001101" -> "00001101".
QJsonValue JsonValue(const QString& text);

// {"error": text, "status": status}: what a script reads of a run that failed.
QJsonObject ErrorJson(const QString& text, int status);

// A job's ending as a word: "done", "refused", "no answer", "cut short".
QString JobEndingName(JobEnding ending);

// Fault-memory lines as the fault view shows them, as objects {"code", "text"}; a line that
// names no code keeps a null code.
QJsonArray FaultsJson(const QVector<FaultEntry>& entries);

} // namespace velmoro::cli
