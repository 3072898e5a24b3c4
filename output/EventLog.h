// The event file of a ride: what happened while the values were logged, one line per event on
// the CSV log's clock, in a file beside the CSV log.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace velmoro {

// What happened. Each has a fixed technical word in the file, the same in every language.
enum class EventKind : std::uint8_t {
    FaultAppeared,    // "fault-appeared": a code showed up in the fault memory
    FaultGone,        // "fault-gone": a code left the fault memory
    LinkLost,         // "link-lost"
    LinkBack,         // "link-back"
    AdapterRestarted, // "adapter-restarted": the adapter reset and was set up again
    FastRefreshEnded, // "fast-refresh-ended": bad answers, back to the normal pace
    SessionReopened,  // "session-reopened": the ECU session opened again after an ignition cycle
    Mark,             // "mark": the user's own mark, with an optional note
    Simulated,        // "simulated": the values come from the simulator, not a motorcycle
    RideStart,        // "ride-start"
};

QString EventWord(EventKind kind);
std::optional<EventKind> EventKindFromWord(const QString& word);
bool IsFaultEvent(EventKind kind);

struct LogEvent {
    double timeMs = 0; // milliseconds since the link start, the CSV log's first column
    EventKind kind = EventKind::Mark;
    QString code; // the fault code of fault events, else empty
    QString text; // fault text or the mark's note, may be empty
};

// The file beside a CSV log: its name with the extension replaced ("ride.csv" -> "ride.events",
// "ride" -> "ride.events").
QString EventFileName(const QString& csvPath);

// The header and each event line as written: fields quoted and joined like the CSV log's lines,
// CR LF ends. Line breaks inside code or text become spaces so that one event stays one line.
QByteArray EventHeaderLine();
QByteArray EventLine(const LogEvent& event);

// Appends events to the event file of a CSV log, each line flushed as it is written so that a
// power cut loses nothing already noted.
class EventLog {
public:
    ~EventLog() { Close(); }

    // Creates (replacing) the event file beside csvPath and writes the header. False when the
    // file could not be created; then Append does nothing.
    bool Open(const QString& csvPath);
    bool Append(const LogEvent& event);
    bool Append(qint64 timeMs, EventKind kind, const QString& code = {}, const QString& text = {});
    void Close();

    bool IsOpen() const { return file_.isOpen(); }
    QString FileName() const { return file_.fileName(); }
    // False after a write failed (disk full, file removed).
    bool WriteOk() const { return writeOk_; }

private:
    QFile file_;
    bool writeOk_ = true;
};

// A line of the event file that was left out, and why (a short technical reason, English).
struct EventProblem {
    int line = 0; // 1-based
    QString reason;
};

struct EventLogRead {
    std::vector<LogEvent> events; // in time order (stable for equal times)
    std::vector<EventProblem> problems;
};

// Larger event files are not read past this size (a problem says so).
constexpr qsizetype kMaxEventFileBytes = qsizetype{8} * 1024 * 1024;

// Parses the bytes of an event file. Accepts what EventLog writes and the same edited by hand
// (LF ends, a byte-order mark, unquoted fields). The text runs to the end of its line, so quotes
// and commas inside it are kept. Lines that cannot be read are left out with a problem each;
// never throws, whatever the input.
EventLogRead ReadEventLog(const QByteArray& bytes);

// Reads the event file beside csvPath; nothing (and no problem) when there is none.
EventLogRead ReadEventFileOf(const QString& csvPath);

} // namespace velmoro
