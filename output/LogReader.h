// Reading CSV value logs back: the program's own logs and logs edited by hand in a spreadsheet.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace velmoro {

// Larger files are refused instead of read: 64 MiB is some thirteen hours of eight values at
// twenty lines a second, and a loaded log takes about twice its file size in memory.
constexpr qint64 kMaxLogBytes = qint64{64} * 1024 * 1024;

// Why a log could not be read; the line (1-based) comes with it where there is one.
enum class LogError : std::uint8_t {
    None,
    Empty,          // no byte, or only blank lines
    TooLarge,       // more than kMaxLogBytes
    CannotOpen,     // the file could not be opened for reading
    Binary,         // a zero byte: not a text file
    NoHeader,       // the first line holds a number where the time title belongs
    NoValueColumns, // the header names a single column
    FieldCount,     // a line has more or fewer fields than the header
    BadTime,        // the time field is not a number
    TimeBackwards,  // a time earlier than the line before
    NoDataLines,    // nothing but the header
    Utf16,          // UTF-16 text (a byte-order mark or every other byte zero)
};

// One value column. Numbers are kept as doubles; a cell that is not a number ("----" for a value
// that was not read, an empty cell, a state text such as "rich") is NaN.
struct LogColumn {
    int field = 0; // position of the column among the fields of a line
    QString name;  // the header text without its unit
    QString unit;  // from a header written as "Name [unit]", else empty
    std::vector<double> values;
    int numericCount = 0; // cells that hold a number
    int textCount = 0;    // cells that hold text other than "----"
    // A status bit field written as "00001101": every number a string of 0 and 1 of this one
    // length (4 to 16), at least one with a leading zero. Its values are then the bits as a
    // number (0b00001101 = 13), the highest bit first in the text; 0 for an ordinary column.
    int bitCount = 0;
};

// A log as read. The bytes are kept so that the text of any cell can be shown as written and a
// slice of lines written out unchanged.
struct LogData {
    QByteArray bytes;
    char separator = ',';
    bool latin1 = false; // the file is not valid UTF-8 and was read as Latin-1
    QString timeTitle;
    std::vector<double> timesMs; // one per data line, never decreasing
    std::vector<LogColumn> columns;
    std::vector<std::int32_t> lineStart; // byte offset of each data line in `bytes`
    std::vector<std::int32_t> lineLength;
    std::int32_t headerStart = 0;
    std::int32_t headerLength = 0;
    bool droppedTruncatedLine = false; // a last line cut off before its end was left out

    int RowCount() const { return int(timesMs.size()); }
    double DurationMs() const { return timesMs.empty() ? 0 : timesMs.back() - timesMs.front(); }
};

struct LogReadResult {
    LogError error = LogError::None;
    int line = 0; // 1-based line of the error; 0 when it concerns the whole file
    // The offending text or a count, for the message; CannotOpen: the language key of the reason.
    QString detail;
    LogData log;

    bool Ok() const { return error == LogError::None; }
};

// Parses the bytes of a CSV value log. Accepts what the program writes (every field quoted and
// unescaped, CR LF) and what spreadsheets save (LF, a UTF-8 byte-order mark, unquoted fields,
// doubled quotes, ";" or tab as separator, a decimal comma with ";"). The separator is the one
// of ",", ";" and tab that occurs most often in the header outside quotes. A quoted field ends
// at a quote followed by the separator or the line end, so the program's unescaped quotes read
// back as written. Blank lines are skipped; columns whose title and cells are all empty (rows
// without a chosen value) are left out.
//
//   "\"Time in ms\",\"RPM\",\"Voltage [V]\",\"\"\r\n\"0\",\"1200\",\"----\",\"\"\r\n"
//   -> timeTitle "Time in ms", timesMs {0}, columns {RPM: {1200}}, {Voltage, unit V: {NaN}}
//
// Never throws; whatever the input, the result is a log or one error with its line.
LogReadResult ParseLog(const QByteArray& bytes);

// Reads the file read-only (it is never changed) and parses it; refuses a file larger than
// kMaxLogBytes before reading it.
LogReadResult ReadLogFile(const QString& path);

// The fields of data line `row` as written, decoded, without quotes (empty when out of range).
QStringList LogRowFields(const LogData& log, int row);

// The data line index at or just before timeMs (0 when timeMs lies before the first line).
int LogRowAt(const LogData& log, double timeMs);

// Writes the header and every data line whose time lies in [fromMs, toMs] unchanged, each ended
// by CR LF. False when the file could not be written.
bool WriteLogSlice(const LogData& log, double fromMs, double toMs, const QString& path);

} // namespace velmoro
