// Signals, the keypress and the output streams of the command line.
#include "cli/Terminal.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#else
#include <QPointer>
#include <io.h>
#endif

namespace velmoro::cli {

namespace {

#ifdef Q_OS_UNIX
int g_pipe[2] = {-1, -1};

extern "C" void OnSignal(int signal)
{
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    // A full pipe already holds an interruption; nothing is lost by dropping this one.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

bool IsTerminal(int fd)
{
    return ::isatty(fd) == 1;
}
#else
// Windows runs the handler on a thread of its own, from which a queued call is allowed.
QPointer<InterruptWatcher> g_watcher;

extern "C" void OnSignal(int signal)
{
    std::signal(signal, OnSignal);
    if (InterruptWatcher* watcher = g_watcher.data())
        QMetaObject::invokeMethod(
            watcher, [watcher, signal] { emit watcher->interrupted(signal); },
            Qt::QueuedConnection);
}

bool IsTerminal(int fd)
{
    return ::_isatty(fd) != 0;
}

constexpr int STDIN_FILENO = 0;
constexpr int STDOUT_FILENO = 1;
constexpr int STDERR_FILENO = 2;
#endif

FILE* g_out = nullptr;
FILE* g_err = nullptr;

void Write(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

void SetOutputFiles(FILE* out, FILE* err)
{
    g_out = out;
    g_err = err;
}

void PrintOut(const QString& line)
{
    WriteOut(line + QLatin1Char('\n'));
}

void PrintErr(const QString& line)
{
    WriteErr(line + QLatin1Char('\n'));
}

void WriteOut(const QString& text)
{
    Write(g_out ? g_out : stdout, text);
}

void WriteErr(const QString& text)
{
    Write(g_err ? g_err : stderr, text);
}

bool StdinIsTerminal()
{
    return IsTerminal(STDIN_FILENO);
}

bool StdoutIsTerminal()
{
    return IsTerminal(STDOUT_FILENO);
}

bool StderrIsTerminal()
{
    return IsTerminal(STDERR_FILENO);
}

bool StdinIsForegroundTerminal()
{
#ifdef Q_OS_UNIX
    // A run started with & must not touch the terminal: the shell would stop it.
    return IsTerminal(STDIN_FILENO) && ::tcgetpgrp(STDIN_FILENO) == ::getpgrp();
#else
    return IsTerminal(STDIN_FILENO);
#endif
}

#ifdef Q_OS_UNIX

InterruptWatcher::InterruptWatcher(QObject* parent) : QObject(parent)
{
    if (::pipe(g_pipe) != 0)
        return;
    for (const int fd : g_pipe) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &InterruptWatcher::Drain);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // A reader that went away (velmoro-cli ... | head) ends the run as SIGTERM does: the adapter
    // still gets its ATZ and the files are closed.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        ::sigaction(signal, &action, nullptr);
}

InterruptWatcher::~InterruptWatcher()
{
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        ::sigaction(signal, &action, nullptr);
    for (int& fd : g_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void InterruptWatcher::Drain()
{
    char bytes[16];
    ssize_t count = 0;
    while ((count = ::read(g_pipe[0], bytes, sizeof bytes)) > 0)
        for (ssize_t i = 0; i < count; ++i)
            emit interrupted(bytes[i]);
}

struct KeyWait::Saved {
    termios settings{};
    bool valid = false;
};

KeyWait::KeyWait(QObject* parent) : QObject(parent), saved_(std::make_unique<Saved>()) {}

KeyWait::~KeyWait()
{
    Restore();
}

void KeyWait::Start()
{
    if (waiting_)
        return;
    waiting_ = true;
    if (::tcgetattr(STDIN_FILENO, &saved_->settings) == 0) {
        saved_->valid = true;
        termios raw = saved_->settings;
        raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        ::tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    }
    notifier_ = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        // The key itself does not matter; end of input counts as one too.
        [[maybe_unused]] const ssize_t count = ::read(STDIN_FILENO, &byte, 1);
        Restore();
        emit pressed();
    });
}

void KeyWait::Cancel()
{
    Restore();
}

void KeyWait::Restore()
{
    waiting_ = false;
    if (notifier_) {
        notifier_->setEnabled(false);
        notifier_->deleteLater();
        notifier_ = nullptr;
    }
    if (saved_ && saved_->valid) {
        ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_->settings);
        saved_->valid = false;
    }
}

#else

InterruptWatcher::InterruptWatcher(QObject* parent) : QObject(parent)
{
    g_watcher = this;
    for (const int signal : {SIGINT, SIGTERM})
        std::signal(signal, OnSignal);
}

InterruptWatcher::~InterruptWatcher()
{
    for (const int signal : {SIGINT, SIGTERM})
        std::signal(signal, SIG_DFL);
    g_watcher.clear();
}

void InterruptWatcher::Drain() {}

struct KeyWait::Saved {};

KeyWait::KeyWait(QObject* parent) : QObject(parent) {}

KeyWait::~KeyWait() = default;

// Without a raw console mode here the prompt does not wait: Ctrl-C remains the way to stop.
void KeyWait::Start()
{
    QMetaObject::invokeMethod(this, &KeyWait::pressed, Qt::QueuedConnection);
}

void KeyWait::Cancel() {}

void KeyWait::Restore() {}

#endif

LineReader::LineReader(QObject* parent) : QObject(parent) {}

bool LineReader::Start()
{
#ifdef Q_OS_UNIX
    if (notifier_ || !StdinIsForegroundTerminal())
        return notifier_ != nullptr;
    notifier_ = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &LineReader::Read);
    return true;
#else
    return false;
#endif
}

void LineReader::Read()
{
#ifdef Q_OS_UNIX
    char buffer[256];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
        // The end of stdin, or it went away: nothing more to read.
        notifier_->setEnabled(false);
        return;
    }
    pending_.append(buffer, static_cast<qsizetype>(n));
    // A line that never ends is not kept for ever.
    constexpr qsizetype kLongestLine = 4096;
    for (qsizetype end = pending_.indexOf('\n'); end >= 0; end = pending_.indexOf('\n')) {
        emit line(QString::fromUtf8(pending_.left(end)).trimmed());
        pending_.remove(0, end + 1);
    }
    if (pending_.size() > kLongestLine)
        pending_.clear();
#endif
}

} // namespace velmoro::cli
