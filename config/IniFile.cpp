// The INI reader and writer of the settings file.
#include "config/IniFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <charconv>
#include <cmath>
#include <limits>

namespace velmoro {

namespace {

const QByteArray kBom("\xEF\xBB\xBF");

// Unlike QString::fromUtf8, keeps a byte-order mark that begins a value or key as a character, so
// that what is written reads back the same.
QString Decode(const char* bytes, qsizetype size)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    return decoder(QByteArrayView(bytes, size));
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool SameName(const QString& a, const QString& b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

QByteArray EntryLine(const QString& key, const QString& value)
{
    QString clean = value;
    clean.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return (key + QStringLiteral(" = ") + clean).toUtf8();
}

} // namespace

bool IniFile::Load(const QString& path)
{
    data_.clear();
    sections_.clear();
    truncated_ = false;
    if (QFileInfo(path).isDir()) {
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    QByteArray bytes = file.read(kMaxFileBytes + 1);
    const bool tooLong = bytes.size() > kMaxFileBytes;
    if (tooLong) {
        bytes.truncate(kMaxFileBytes);
    }
    SetContent(bytes);
    truncated_ = tooLong;
    return true;
}

void IniFile::SetContent(const QByteArray& bytes)
{
    truncated_ = false;
    data_ = bytes.startsWith(kBom) ? bytes.mid(kBom.size()) : bytes;
    Reindex();
}

IniFile::Line IniFile::LineAt(qsizetype start) const
{
    Line line;
    line.start = start;
    qsizetype newline = data_.indexOf('\n', start);
    line.nextStart = newline < 0 ? data_.size() : newline + 1;
    line.end = newline < 0 ? data_.size() : newline;
    while (line.end > start && data_.at(line.end - 1) == '\r') {
        --line.end;
    }
    return line;
}

void IniFile::Reindex()
{
    sections_.clear();
    for (qsizetype pos = 0; pos < data_.size();) {
        const Line line = LineAt(pos);
        pos = line.nextStart;
        qsizetype p = line.start;
        while (p < line.end && IsBlank(data_.at(p))) {
            ++p;
        }
        if (p == line.end || data_.at(p) != '[') {
            continue;
        }
        const qsizetype close = data_.indexOf(']', p + 1);
        if (close < 0 || close >= line.end) {
            continue;
        }
        Section section;
        section.nameStart = p + 1;
        section.nameEnd = close;
        while (section.nameStart < section.nameEnd && IsBlank(data_.at(section.nameStart))) {
            ++section.nameStart;
        }
        while (section.nameEnd > section.nameStart && IsBlank(data_.at(section.nameEnd - 1))) {
            --section.nameEnd;
        }
        section.headerEnd = line.end;
        section.bodyStart = line.nextStart;
        if (!sections_.isEmpty()) {
            sections_.last().bodyEnd = line.start;
        }
        sections_.append(section);
    }
    if (!sections_.isEmpty()) {
        sections_.last().bodyEnd = data_.size();
    }
}

QString IniFile::SectionName(const Section& section) const
{
    return Decode(data_.constData() + section.nameStart, section.nameEnd - section.nameStart);
}

bool IniFile::ParseEntry(const Line& line, Entry& entry) const
{
    qsizetype p = line.start;
    while (p < line.end && IsBlank(data_.at(p))) {
        ++p;
    }
    if (p == line.end || data_.at(p) == ';') {
        return false;
    }
    const qsizetype equals = data_.indexOf('=', p);
    if (equals < 0 || equals >= line.end) {
        return false;
    }
    qsizetype keyEnd = equals;
    while (keyEnd > p && IsBlank(data_.at(keyEnd - 1))) {
        --keyEnd;
    }
    if (keyEnd == p) {
        return false;
    }
    qsizetype valueStart = equals + 1;
    while (valueStart < line.end && IsBlank(data_.at(valueStart))) {
        ++valueStart;
    }
    entry.line = line;
    entry.keyStart = p;
    entry.keyEnd = keyEnd;
    entry.valueStart = valueStart;
    return true;
}

QString IniFile::Key(const Entry& entry) const
{
    return Decode(data_.constData() + entry.keyStart, entry.keyEnd - entry.keyStart);
}

QString IniFile::Value(const Entry& entry) const
{
    return Decode(data_.constData() + entry.valueStart, entry.line.end - entry.valueStart);
}

template <typename Visit> void IniFile::ForEachEntry(const QString& section, Visit visit) const
{
    for (const Section& s : sections_) {
        if (!SameName(SectionName(s), section)) {
            continue;
        }
        for (qsizetype pos = s.bodyStart; pos < s.bodyEnd;) {
            const Line line = LineAt(pos);
            pos = line.nextStart;
            Entry entry;
            if (ParseEntry(line, entry) && !visit(entry)) {
                return;
            }
        }
    }
}

bool IniFile::FindEntry(const QString& section, const QString& key, Entry& found) const
{
    bool hit = false;
    ForEachEntry(section, [&](const Entry& entry) {
        if (SameName(Key(entry), key)) {
            found = entry;
            hit = true;
        }
        return !hit;
    });
    return hit;
}

QStringList IniFile::SectionNames() const
{
    QStringList names;
    for (const Section& s : sections_) {
        const QString name = SectionName(s);
        if (!names.contains(name, Qt::CaseInsensitive)) {
            names.append(name);
        }
    }
    return names;
}

IniEntries IniFile::Entries(const QString& section) const
{
    IniEntries entries;
    ForEachEntry(section, [&](const Entry& entry) {
        entries.append({Key(entry), Value(entry)});
        return true;
    });
    return entries;
}

bool IniFile::Contains(const QString& section, const QString& key) const
{
    Entry entry;
    return FindEntry(section, key, entry);
}

QString IniFile::ReadString(const QString& section, const QString& key, const QString& absent) const
{
    Entry entry;
    return FindEntry(section, key, entry) ? Value(entry) : absent;
}

int IniFile::ReadInt(const QString& section, const QString& key, int absent) const
{
    Entry entry;
    return FindEntry(section, key, entry) ? ParseInt(Value(entry)) : absent;
}

double IniFile::ReadFloat(const QString& section, const QString& key, double absent) const
{
    Entry entry;
    return FindEntry(section, key, entry) ? ParseFloat(Value(entry)) : absent;
}

int IniFile::ParseInt(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace()) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    constexpr qint64 kLimit = qint64(std::numeric_limits<int>::max()) + 1;
    qint64 magnitude = 0;
    for (; i < text.size() && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9');
         ++i) {
        magnitude = std::min(kLimit, magnitude * 10 + (text.at(i).unicode() - '0'));
    }
    if (negative) {
        return int(-magnitude);
    }
    return int(std::min<qint64>(magnitude, std::numeric_limits<int>::max()));
}

double IniFile::ParseFloat(const QString& text)
{
    QByteArray bytes = text.trimmed().toLatin1();
    // from_chars takes no leading plus; "+Infinity" and "+1.5" are numbers all the same.
    if (bytes.startsWith('+') && !bytes.startsWith("+-")) {
        bytes.remove(0, 1);
    }
    double value = 0.0;
    const auto result = std::from_chars(bytes.constData(), bytes.constData() + bytes.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Like strtod: overflow reads as an infinity of the number's sign, underflow as zero.
        const QByteArray number(bytes.constData(), result.ptr - bytes.constData());
        const qsizetype e = std::max(number.indexOf('e'), number.indexOf('E'));
        bool tiny = false;
        if (e >= 0) {
            tiny = e + 1 < number.size() && number.at(e + 1) == '-';
        } else {
            const QByteArray whole =
                number.left(number.indexOf('.') < 0 ? number.size() : number.indexOf('.'));
            tiny = whole.count('0') + whole.count('-') == whole.size();
        }
        if (tiny) {
            return 0.0;
        }
        return number.startsWith('-') ? -std::numeric_limits<double>::infinity()
                                      : std::numeric_limits<double>::infinity();
    }
    return result.ec == std::errc() ? value : 0.0;
}

QString IniFile::FormatFloat(double value)
{
    if (std::isnan(value)) {
        return QStringLiteral("NaN");
    }
    if (std::isinf(value)) {
        return value > 0 ? QStringLiteral("+Infinity") : QStringLiteral("-Infinity");
    }
    return QString::asprintf("%f", value);
}

void IniFile::Splice(qsizetype from, qsizetype to, const QByteArray& with)
{
    data_.replace(from, to - from, with);
    Reindex();
}

void IniFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    const QByteArray line = EntryLine(key, value);
    Entry entry;
    if (FindEntry(section, key, entry)) {
        Splice(entry.line.start, entry.line.end, line);
        return;
    }
    for (const Section& s : sections_) {
        if (!SameName(SectionName(s), section)) {
            continue;
        }
        qsizetype insertAt = s.headerEnd;
        ForEachEntry(section, [&](const Entry& e) {
            if (e.line.start >= s.bodyEnd) {
                return false;
            }
            insertAt = e.line.end;
            return true;
        });
        Splice(insertAt, insertAt, QByteArray("\r\n") + line);
        return;
    }
    QByteArray tail;
    if (!data_.isEmpty() && !data_.endsWith('\n')) {
        tail += "\r\n";
    }
    tail += '[' + section.toUtf8() + "]\r\n" + line + "\r\n";
    Splice(data_.size(), data_.size(), tail);
}

void IniFile::WriteInt(const QString& section, const QString& key, int value)
{
    WriteString(section, key, QString::number(value));
}

void IniFile::WriteFloat(const QString& section, const QString& key, double value)
{
    WriteString(section, key, FormatFloat(value));
}

QByteArray IniFile::ToBytes() const
{
    QByteArray out;
    out.reserve(kBom.size() + data_.size() + data_.size() / 16 + 2);
    out += kBom;
    for (qsizetype i = 0; i < data_.size(); ++i) {
        const char c = data_.at(i);
        if (c == '\n' && (i == 0 || data_.at(i - 1) != '\r')) {
            out += '\r';
        }
        out += c;
    }
    if (!data_.isEmpty() && !data_.endsWith('\n')) {
        out += "\r\n";
    }
    return out;
}

bool IniFile::Save(const QString& path) const
{
    if (truncated_) {
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const QByteArray bytes = ToBytes();
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace velmoro
