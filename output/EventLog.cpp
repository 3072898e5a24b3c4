// Writing and reading the event file of a ride.
#include "output/EventLog.h"

#include "output/CsvLog.h"

#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

namespace velmoro {

namespace {

struct KindWord {
    EventKind kind;
    const char* word;
};

constexpr std::array<KindWord, 10> kWords{{
    {EventKind::FaultAppeared, "fault-appeared"},
    {EventKind::FaultGone, "fault-gone"},
    {EventKind::LinkLost, "link-lost"},
    {EventKind::LinkBack, "link-back"},
    {EventKind::AdapterRestarted, "adapter-restarted"},
    {EventKind::FastRefreshEnded, "fast-refresh-ended"},
    {EventKind::SessionReopened, "session-reopened"},
    {EventKind::Mark, "mark"},
    {EventKind::Simulated, "simulated"},
    {EventKind::RideStart, "ride-start"},
}};

// Keeps a problem list of a damaged file small; the count of lines read tells the rest.
constexpr std::size_t kMaxProblems = 200;

QString OneLine(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

// One field starting at `at`: quoted up to its closing quote, or up to the next comma. `at`
// moves past the comma; false when the line ends before a comma.
bool TakeField(QByteArrayView line, qsizetype& at, QByteArray& out)
{
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
        ++at;
    qsizetype end = 0;
    if (at < line.size() && line[at] == '"') {
        const qsizetype close = line.indexOf('"', at + 1);
        if (close < 0)
            return false;
        out = line.sliced(at + 1, close - at - 1).toByteArray();
        end = close + 1;
        while (end < line.size() && line[end] != ',')
            ++end;
    } else {
        end = line.indexOf(',', at);
        if (end < 0)
            end = line.size();
        out = line.sliced(at, end - at).toByteArray().trimmed();
    }
    if (end >= line.size())
        return false;
    at = end + 1;
    return true;
}

// The last field: the rest of the line, its enclosing quotes removed.
QByteArray RestField(QByteArrayView line, qsizetype at)
{
    QByteArray rest = line.sliced(std::min(at, line.size())).toByteArray().trimmed();
    if (rest.size() >= 2 && rest.startsWith('"') && rest.endsWith('"'))
        return rest.mid(1, rest.size() - 2);
    if (rest == "\"")
        return {};
    return rest;
}

bool ParseTime(const QByteArray& field, double& out)
{
    if (field.isEmpty() || field.size() > 32)
        return false;
    double value = 0;
    const char* begin = field.constData();
    const char* end = begin + field.size();
    const auto [stop, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || stop != end || !std::isfinite(value) || value < 0)
        return false;
    out = value;
    return true;
}

} // namespace

QString EventWord(EventKind kind)
{
    for (const KindWord& w : kWords)
        if (w.kind == kind)
            return QString::fromLatin1(w.word);
    return {};
}

std::optional<EventKind> EventKindFromWord(const QString& word)
{
    for (const KindWord& w : kWords)
        if (word == QLatin1String(w.word))
            return w.kind;
    return std::nullopt;
}

bool IsFaultEvent(EventKind kind)
{
    return kind == EventKind::FaultAppeared || kind == EventKind::FaultGone;
}

QString EventFileName(const QString& csvPath)
{
    const QFileInfo info(csvPath);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? name.left(dot) : name;
    const QString dir = csvPath.left(csvPath.size() - name.size());
    return dir + base + QStringLiteral(".events");
}

QByteArray EventHeaderLine()
{
    return CsvLine({QStringLiteral("Time"), QStringLiteral("Event"), QStringLiteral("Code"),
                    QStringLiteral("Text")});
}

QByteArray EventLine(const LogEvent& event)
{
    return CsvLine({QString::number(qint64(std::llround(event.timeMs))), EventWord(event.kind),
                    OneLine(event.code), OneLine(event.text)});
}

bool EventLog::Open(const QString& csvPath)
{
    Close();
    file_.setFileName(EventFileName(csvPath));
    writeOk_ = true;
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        writeOk_ = false;
        return false;
    }
    const QByteArray header = EventHeaderLine();
    if (file_.write(header) != header.size() || !file_.flush())
        writeOk_ = false;
    return writeOk_;
}

bool EventLog::Append(const LogEvent& event)
{
    if (!file_.isOpen())
        return false;
    const QByteArray line = EventLine(event);
    // Flushed per line: a ride recorder loses power without warning.
    if (file_.write(line) != line.size() || !file_.flush())
        writeOk_ = false;
    return writeOk_;
}

bool EventLog::Append(qint64 timeMs, EventKind kind, const QString& code, const QString& text)
{
    return Append(LogEvent{double(timeMs), kind, code, text});
}

void EventLog::Close()
{
    if (file_.isOpen())
        file_.close();
}

EventLogRead ReadEventLog(const QByteArray& input)
{
    EventLogRead read;
    const auto problem = [&read](int line, const QString& reason) {
        if (read.problems.size() < kMaxProblems)
            read.problems.push_back(EventProblem{line, reason});
    };
    QByteArrayView bytes(input);
    if (bytes.size() > kMaxEventFileBytes) {
        problem(0, QStringLiteral("file larger than %1 bytes, the rest is left out")
                       .arg(kMaxEventFileBytes));
        bytes = bytes.first(kMaxEventFileBytes);
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    if (bytes.contains('\0')) {
        problem(0, QStringLiteral("not a text file"));
        return read;
    }

    int lineNumber = 0;
    bool sawFirst = false;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', pos);
        const qsizetype next = end < 0 ? bytes.size() : end + 1;
        if (end < 0)
            end = bytes.size();
        QByteArrayView line = bytes.sliced(pos, end - pos);
        pos = next;
        ++lineNumber;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;

        qsizetype at = 0;
        QByteArray time;
        QByteArray word;
        QByteArray code;
        const bool fields =
            TakeField(line, at, time) && TakeField(line, at, word) && TakeField(line, at, code);
        if (!sawFirst) {
            sawFirst = true;
            if (fields && time == "Time" && word == "Event")
                continue;
            problem(lineNumber, QStringLiteral("no header line"));
        }
        if (!fields) {
            problem(lineNumber, QStringLiteral("fewer than four fields"));
            continue;
        }
        LogEvent event;
        if (!ParseTime(time, event.timeMs)) {
            problem(lineNumber, QStringLiteral("time \"%1\" is not a number of milliseconds")
                                    .arg(QString::fromUtf8(time.left(40))));
            continue;
        }
        const std::optional<EventKind> kind = EventKindFromWord(QString::fromUtf8(word));
        if (!kind) {
            problem(lineNumber,
                    QStringLiteral("unknown event \"%1\"").arg(QString::fromUtf8(word.left(40))));
            continue;
        }
        event.kind = *kind;
        event.code = QString::fromUtf8(code);
        event.text = QString::fromUtf8(RestField(line, at));
        read.events.push_back(std::move(event));
    }
    std::stable_sort(read.events.begin(), read.events.end(),
                     [](const LogEvent& a, const LogEvent& b) { return a.timeMs < b.timeMs; });
    return read;
}

EventLogRead ReadEventFileOf(const QString& csvPath)
{
    QFile file(EventFileName(csvPath));
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly)) {
        EventLogRead read;
        read.problems.push_back(EventProblem{0, file.errorString()});
        return read;
    }
    return ReadEventLog(file.read(kMaxEventFileBytes + 1));
}

} // namespace velmoro
