// The terminal side of the command line: signals that end a run, a single keypress, and the two
// output streams.
#pragma once

#include <QObject>
#include <QString>
#include <cstdio>
#include <memory>

class QSocketNotifier;

namespace velmoro::cli {

// Writes text and a line feed as UTF-8 and flushes.
void PrintOut(const QString& line);
void PrintErr(const QString& line);
// Writes text as it stands (no line feed), for a terminal's cursor work.
void WriteOut(const QString& text);
void WriteErr(const QString& text);
// Where the four above write instead of stdout and stderr (a test running a command in
// process); null for the process's own streams.
void SetOutputFiles(FILE* out, FILE* err);

bool StdinIsTerminal();
bool StdoutIsTerminal();
bool StderrIsTerminal();
// stdin is a terminal and this run is its foreground job (not started with &).
bool StdinIsForegroundTerminal();

// SIGINT, SIGTERM, SIGHUP and SIGPIPE, turned into a Qt signal on the main thread through a pipe
// the handler writes one byte into (all a handler may safely do). One instance per process.
class InterruptWatcher : public QObject {
    Q_OBJECT
public:
    explicit InterruptWatcher(QObject* parent = nullptr);
    ~InterruptWatcher() override;

signals:
    // signal: the number of the signal that arrived (SIGINT 2, SIGTERM 15, SIGHUP 1, SIGPIPE 13).
    void interrupted(int signal);

private:
    void Drain();
    QSocketNotifier* notifier_ = nullptr;
};

// Waits for one keypress on a terminal's stdin without echo and without Enter; Ctrl-C still
// interrupts. The terminal's settings come back when the key came, on Cancel() and at the end.
class KeyWait : public QObject {
    Q_OBJECT
public:
    explicit KeyWait(QObject* parent = nullptr);
    ~KeyWait() override;
    void Start();
    void Cancel();
    bool Waiting() const { return waiting_; }

signals:
    void pressed();

private:
    void Restore();
    struct Saved;
    std::unique_ptr<Saved> saved_;
    QSocketNotifier* notifier_ = nullptr;
    bool waiting_ = false;
};

// Lines typed on stdin while a run goes on (a recorder's marks: Enter, or a note and Enter).
// Only on a terminal this run is the foreground job of; stdin that ends (a service's /dev/null)
// ends the reading without a line.
class LineReader : public QObject {
    Q_OBJECT
public:
    explicit LineReader(QObject* parent = nullptr);
    // False when stdin is no foreground terminal: no line will come.
    bool Start();

signals:
    void line(const QString& text);

private:
    void Read();
    QSocketNotifier* notifier_ = nullptr;
    QByteArray pending_;
};

} // namespace velmoro::cli
