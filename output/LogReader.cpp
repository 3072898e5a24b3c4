// Parsing of CSV value logs into columns of numbers, with one clear error for what it cannot read.
#include "output/LogReader.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

namespace velmoro {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Span {
    qsizetype begin = 0;
    qsizetype end = 0;
    bool quoted = false;
};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// A field's text without the blanks around it, as [begin, end).
std::pair<qsizetype, qsizetype> Trimmed(const char* data, const Span& span)
{
    qsizetype b = span.begin;
    qsizetype e = span.end;
    while (b < e && IsBlank(data[b]))
        ++b;
    while (e > b && IsBlank(data[e - 1]))
        --e;
    return {b, e};
}

// Splits [begin, end) of data into fields. A quoted field ends at a quote followed by the
// separator or the line end; any other quote inside it belongs to the text.
void SplitLine(const char* data, qsizetype begin, qsizetype end, char sep, std::vector<Span>& out)
{
    out.clear();
    qsizetype i = begin;
    while (true) {
        qsizetype start = i;
        while (start < end && data[start] != sep && IsBlank(data[start]))
            ++start;
        Span span;
        if (start < end && data[start] == '"') {
            span.quoted = true;
            span.begin = start + 1;
            qsizetype j = start + 1;
            qsizetype close = -1;
            while (j < end) {
                if (data[j] == '"') {
                    qsizetype k = j + 1;
                    while (k < end && data[k] != sep && IsBlank(data[k]))
                        ++k;
                    if (k == end || data[k] == sep) {
                        close = j;
                        i = k;
                        break;
                    }
                }
                ++j;
            }
            if (close < 0) { // no closing quote: the text runs to the line end
                span.end = end;
                i = end;
            } else {
                span.end = close;
            }
        } else {
            qsizetype j = start;
            while (j < end && data[j] != sep)
                ++j;
            qsizetype last = j;
            while (last > start && IsBlank(data[last - 1]))
                --last;
            span.begin = start;
            span.end = last;
            i = j;
        }
        out.push_back(span);
        if (i >= end)
            break;
        ++i; // the separator
        if (i == end) {
            out.push_back(Span{end, end, false});
            break;
        }
    }
}

// A number as written in a log: "1200", "-3.5", "+7", "13,8" when the separator is not ",".
// Anything else ("----", "rich", "nan", "") is not one.
bool ParseNumber(const char* data, const Span& span, char sep, double& out)
{
    auto [b, e] = Trimmed(data, span);
    if (b == e || e - b > 64)
        return false;
    char buffer[66];
    qsizetype n = 0;
    if (data[b] == '+')
        ++b;
    for (qsizetype i = b; i < e; ++i) {
        char c = data[i];
        if (c == ',' && sep != ',')
            c = '.';
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == 'e' || c == 'E'))
            return false;
        buffer[n++] = c;
    }
    if (n == 0)
        return false;
    double value = 0;
    const auto [end, ec] = std::from_chars(buffer, buffer + n, value);
    if (ec != std::errc() || end != buffer + n || !std::isfinite(value))
        return false;
    out = value;
    return true;
}

QString Decode(const char* data, const Span& span, bool latin1)
{
    const QByteArrayView raw(data + span.begin, span.end - span.begin);
    QString text = latin1 ? QString::fromLatin1(raw) : QString::fromUtf8(raw);
    if (span.quoted)
        text.replace(QStringLiteral("\"\""), QStringLiteral("\""));
    return text.trimmed();
}

bool IsNotRead(const char* data, const Span& span)
{
    return span.end - span.begin == 4 && std::memcmp(data + span.begin, "----", 4) == 0;
}

// The separator that occurs most often outside quotes in the header line; "," on a tie.
char DetectSeparator(const char* data, qsizetype begin, qsizetype end)
{
    int commas = 0;
    int semicolons = 0;
    int tabs = 0;
    bool inQuotes = false;
    for (qsizetype i = begin; i < end; ++i) {
        const char c = data[i];
        if (c == '"')
            inQuotes = !inQuotes;
        else if (!inQuotes && c == ',')
            ++commas;
        else if (!inQuotes && c == ';')
            ++semicolons;
        else if (!inQuotes && c == '\t')
            ++tabs;
    }
    if (semicolons > commas && semicolons >= tabs)
        return ';';
    if (tabs > commas && tabs > semicolons)
        return '\t';
    return ',';
}

bool ValidUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    constexpr qsizetype kChunk = 1 << 20;
    for (qsizetype at = 0; at < bytes.size(); at += kChunk) {
        const QString part = decoder.decode(
            QByteArrayView(bytes.constData() + at, std::min(kChunk, bytes.size() - at)));
        if (decoder.hasError())
            return false;
    }
    return true;
}

// "Voltage [V]" -> name "Voltage", unit "V".
void SplitUnit(const QString& title, QString& name, QString& unit)
{
    const QString t = title.trimmed();
    const qsizetype open = t.lastIndexOf(QLatin1Char('['));
    if (t.endsWith(QLatin1Char(']')) && open > 0) {
        name = t.left(open).trimmed();
        unit = t.mid(open + 1, t.size() - open - 2).trimmed();
        return;
    }
    name = t;
    unit.clear();
}

// A byte-order mark of UTF-16, or text of which every other byte is zero.
bool LooksLikeUtf16(const QByteArray& bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return true;
    const qsizetype n = std::min<qsizetype>(bytes.size() & ~qsizetype(1), 512);
    if (n < 8)
        return false;
    int evenZeros = 0;
    int oddZeros = 0;
    for (qsizetype i = 0; i < n; i += 2) {
        evenZeros += bytes[i] == 0;
        oddZeros += bytes[i + 1] == 0;
    }
    const int pairs = int(n / 2);
    return (oddZeros == pairs && evenZeros == 0) || (evenZeros == pairs && oddZeros == 0);
}

// Whether a number's text is a string of 0 and 1 (a bit field), and its length.
int BitStringLength(const char* data, const Span& span, bool& leadingZero)
{
    const auto [b, e] = Trimmed(data, span);
    for (qsizetype i = b; i < e; ++i)
        if (data[i] != '0' && data[i] != '1')
            return 0;
    leadingZero = e > b && data[b] == '0';
    return int(e - b);
}

// The number a bit string was read as (1101 from "00001101") back to its bits (13). Exact for
// up to 16 digits, the longest string a bit field may have.
double BitsFromDecimalDigits(double decimal)
{
    auto digits = static_cast<std::uint64_t>(decimal);
    std::uint32_t bits = 0;
    for (int bit = 0; digits > 0 && bit < 32; ++bit, digits /= 10)
        if (digits % 10 == 1)
            bits |= std::uint32_t{1} << bit;
    return double(bits);
}

LogReadResult Fail(LogError error, int line, const QString& detail = {})
{
    LogReadResult result;
    result.error = error;
    result.line = line;
    result.detail = detail;
    return result;
}

} // namespace

LogReadResult ParseLog(const QByteArray& bytes)
{
    if (bytes.size() > kMaxLogBytes)
        return Fail(LogError::TooLarge, 0, QString::number(bytes.size() / (1024 * 1024)));
    const char* data = bytes.constData();
    const qsizetype size = bytes.size();
    if (LooksLikeUtf16(bytes))
        return Fail(LogError::Utf16, 0);

    if (const void* nul = std::memchr(data, 0, size_t(size))) {
        const qsizetype at = static_cast<const char*>(nul) - data;
        return Fail(LogError::Binary, int(std::count(data, data + at, '\n')) + 1);
    }

    qsizetype pos = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    // Files saved with old Mac line ends have no LF at all.
    const char lineEnd = std::memchr(data, '\n', size_t(size)) == nullptr ? '\r' : '\n';

    LogReadResult result;
    LogData& log = result.log;
    log.latin1 = !ValidUtf8(bytes);

    std::vector<Span> fields;
    // Per column: the length all its numbers have as bit strings (-1 not yet known, 0 not a bit
    // field) and whether one of them began with a zero.
    std::vector<int> bitLength;
    std::vector<char> bitLeadingZero;
    int lineNumber = 0;
    bool haveHeader = false;
    int fieldCount = 0;

    while (pos < size) {
        const char* found =
            static_cast<const char*>(std::memchr(data + pos, lineEnd, size_t(size - pos)));
        const bool terminated = found != nullptr;
        const qsizetype next = terminated ? (found - data) + 1 : size;
        qsizetype end = terminated ? found - data : size;
        if (end > pos && data[end - 1] == '\r')
            --end;
        ++lineNumber;
        const qsizetype begin = pos;
        pos = next;

        bool blank = true;
        for (qsizetype i = begin; i < end && blank; ++i)
            blank = IsBlank(data[i]);
        if (blank)
            continue;

        if (!haveHeader) {
            log.separator = DetectSeparator(data, begin, end);
            SplitLine(data, begin, end, log.separator, fields);
            double number = 0;
            if (ParseNumber(data, fields[0], log.separator, number))
                return Fail(LogError::NoHeader, lineNumber, Decode(data, fields[0], log.latin1));
            if (fields.size() < 2)
                return Fail(LogError::NoValueColumns, lineNumber,
                            Decode(data, fields[0], log.latin1));
            haveHeader = true;
            fieldCount = int(fields.size());
            log.headerStart = std::int32_t(begin);
            log.headerLength = std::int32_t(end - begin);
            log.timeTitle = Decode(data, fields[0], log.latin1);
            for (int f = 1; f < fieldCount; ++f) {
                LogColumn column;
                column.field = f;
                SplitUnit(Decode(data, fields[size_t(f)], log.latin1), column.name, column.unit);
                log.columns.push_back(std::move(column));
            }
            bitLength.assign(log.columns.size(), -1);
            bitLeadingZero.assign(log.columns.size(), 0);
            continue;
        }

        SplitLine(data, begin, end, log.separator, fields);
        if (int(fields.size()) != fieldCount) {
            // A crash while a line was being written can cut the last one short.
            if (!terminated && int(fields.size()) < fieldCount) {
                log.droppedTruncatedLine = true;
                break;
            }
            return Fail(LogError::FieldCount, lineNumber,
                        QStringLiteral("%1/%2").arg(fields.size()).arg(fieldCount));
        }
        double time = 0;
        if (!ParseNumber(data, fields[0], log.separator, time))
            return Fail(LogError::BadTime, lineNumber, Decode(data, fields[0], log.latin1));
        if (!log.timesMs.empty() && time < log.timesMs.back())
            return Fail(LogError::TimeBackwards, lineNumber, Decode(data, fields[0], log.latin1));
        log.timesMs.push_back(time);
        log.lineStart.push_back(std::int32_t(begin));
        log.lineLength.push_back(std::int32_t(end - begin));
        for (size_t c = 0; c < log.columns.size(); ++c) {
            LogColumn& column = log.columns[c];
            const Span& span = fields[size_t(column.field)];
            double value = 0;
            if (ParseNumber(data, span, log.separator, value)) {
                column.values.push_back(value);
                ++column.numericCount;
                if (bitLength[c] != 0) {
                    bool leadingZero = false;
                    const int length = BitStringLength(data, span, leadingZero);
                    bitLength[c] = length == bitLength[c] || bitLength[c] < 0 ? length : 0;
                    bitLeadingZero[c] = char(bitLeadingZero[c] || leadingZero);
                }
            } else {
                column.values.push_back(kNaN);
                if (span.end > span.begin && !IsNotRead(data, span))
                    ++column.textCount;
            }
        }
    }

    if (!haveHeader)
        return Fail(LogError::Empty, 0);
    if (log.timesMs.empty())
        return Fail(LogError::NoDataLines, lineNumber);

    for (size_t c = 0; c < log.columns.size(); ++c) {
        LogColumn& column = log.columns[c];
        if (bitLength[c] < 4 || bitLength[c] > 16 || !bitLeadingZero[c])
            continue;
        column.bitCount = bitLength[c];
        for (double& value : column.values)
            if (!std::isnan(value))
                value = BitsFromDecimalDigits(value);
    }

    // Rows without a chosen value leave a column with an empty title and empty cells.
    std::erase_if(log.columns, [&](const LogColumn& c) {
        if (!c.name.isEmpty() || c.numericCount > 0 || c.textCount > 0)
            return false;
        for (int row = 0; row < log.RowCount(); ++row) {
            const qsizetype begin = log.lineStart[size_t(row)];
            SplitLine(data, begin, begin + log.lineLength[size_t(row)], log.separator, fields);
            if (fields[size_t(c.field)].end > fields[size_t(c.field)].begin)
                return false;
        }
        return true;
    });
    log.bytes = bytes;
    return result;
}

LogReadResult ReadLogFile(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists() && info.size() > kMaxLogBytes)
        return Fail(LogError::TooLarge, 0, QString::number(info.size() / (1024 * 1024)));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        // Our own words for the reason, by language key, never the system's English text.
        const QString reason = !info.exists()       ? QStringLiteral("Err_11")
                               : info.isDir()       ? QStringLiteral("Err_12")
                               : !info.isReadable() ? QStringLiteral("Err_13")
                                                    : QStringLiteral("Err_10");
        return Fail(LogError::CannotOpen, 0, reason);
    }
    // Read at most one byte past the limit, so a file that grew meanwhile is refused too.
    const QByteArray bytes = file.read(kMaxLogBytes + 1);
    if (bytes.size() > kMaxLogBytes)
        return Fail(LogError::TooLarge, 0, QString::number(file.size() / (1024 * 1024)));
    return ParseLog(bytes);
}

QStringList LogRowFields(const LogData& log, int row)
{
    if (row < 0 || row >= log.RowCount())
        return {};
    std::vector<Span> fields;
    const qsizetype begin = log.lineStart[size_t(row)];
    SplitLine(log.bytes.constData(), begin, begin + log.lineLength[size_t(row)], log.separator,
              fields);
    QStringList texts;
    for (const Span& span : fields)
        texts << Decode(log.bytes.constData(), span, log.latin1);
    return texts;
}

int LogRowAt(const LogData& log, double timeMs)
{
    const auto it = std::upper_bound(log.timesMs.begin(), log.timesMs.end(), timeMs);
    return it == log.timesMs.begin() ? 0 : int(it - log.timesMs.begin()) - 1;
}

bool WriteLogSlice(const LogData& log, double fromMs, double toMs, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const auto line = [&](std::int32_t start, std::int32_t length) {
        return file.write(log.bytes.constData() + start, length) == length &&
               file.write("\r\n", 2) == 2;
    };
    bool ok = line(log.headerStart, log.headerLength);
    const auto first = std::lower_bound(log.timesMs.begin(), log.timesMs.end(), fromMs);
    for (auto it = first; ok && it != log.timesMs.end() && *it <= toMs; ++it) {
        const size_t row = size_t(it - log.timesMs.begin());
        ok = line(log.lineStart[row], log.lineLength[row]);
    }
    file.close();
    return ok && file.error() == QFileDevice::NoError;
}

} // namespace velmoro
