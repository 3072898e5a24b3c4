// The diagnostic report: its thread-safe line list, the routine that builds it and the file.
#pragma once

#include "config/Settings.h"
#include "values/JobEnding.h"
#include "values/ValueChooser.h"

#include <QDateTime>
#include <QMutex>
#include <QString>
#include <QVector>
#include <array>
#include <atomic>
#include <functional>

namespace velmoro {

struct CoreState;
class Ecu;
class FaultLists;
struct LinkFlags;

enum ReportLineKind : int { ReportPlain = 1, ReportValue = 2, ReportIndented = 3 };

struct ReportLine {
    std::array<QString, 4> columns;
    int kind = ReportPlain;
};

enum class ReportChange { Added, Updated, Selected, Cleared };

// Written by the job that builds the report, read by the views. `changed` is called on the
// writing thread after the lock is released (a view queues it to its own thread); line is -1 for
// Cleared.
class ReportList {
public:
    int Add(int kind, const QString& c0 = {}, const QString& c1 = {}, const QString& c2 = {},
            const QString& c3 = {});
    void SetColumn(int line, int column, const QString& text);
    void Select(int line);
    void Clear();
    int Count() const;
    ReportLine Line(int line) const;
    QVector<ReportLine> Lines() const;

    // Read button: while building only sets the cancel flag and returns false; otherwise clears
    // the lines, clears the cancel flag, sets the building flag and returns true (start building
    // the report).
    bool RequestRead();
    // Report-done event: clears the building flag; a cancelled report is discarded. Returns true
    // when the list is kept (enable Save).
    bool FinishBuild();
    bool Building() const { return building_.load(); }
    bool Cancelled() const { return cancel_.load(); }

    std::function<void(ReportChange change, int line)> changed;

private:
    void Notify(ReportChange change, int line);
    mutable QMutex mutex_;
    QVector<ReportLine> lines_;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> building_{false};
};

// The ReportBuilder's work: header from the ECU information text, the values offered by chooser 0
// (`values`, a copy taken where the choosers live) read through `ecu` (cancel tested
// before each entry), the MIUG4 status section and the faults (both even after a cancel). Appends
// to `list`. A fault memory the ECU did not give is said in the fault section (Job_2). A stop
// (lost link, Disconnect, Quit) ends the reading at once: the report then ends with the line
// that says it is incomplete (Job_3) and the ending is CutShort. NoAnswer or Refused: the fault
// memory could not be read.
// config gives the texts and the model, flags the stop, faults the lists the fault section reads
// into.
JobEnding BuildReport(CoreState& config, const LinkFlags& flags, FaultLists& faults, Ecu& ecu,
                      const QString& ecuInfoText, const QVector<ChooserEntry>& values,
                      ReportList& list);

// L(t, w) / R(t, w): t cut to w characters and padded with blanks on the right / left.
QString ReportLeft(const QString& text, int width);
QString ReportRight(const QString& text, int width);

// The file's lines (without line ends) as SaveReport writes them.
QStringList ReportFileLines(const QVector<ReportLine>& lines, const QDateTime& now);
// <directory>VelmoroDiag_Report_<stamp>.txt
QString ReportFileName(const ProgramPaths& paths, const QDateTime& now);
// Writes the report file (UTF-8 without BOM, CR LF). Returns false when it cannot be created.
bool SaveReport(const ReportList& list, const ProgramPaths& paths, const QDateTime& now);
// The same under a file name of the caller's choosing.
bool SaveReportAt(const ReportList& list, const QString& fileName, const QDateTime& now);

} // namespace velmoro
