// The INI reader and writer of the settings file: case-insensitive lookup, edits that keep the
// rest.
#pragma once

#include <QByteArray>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

namespace velmoro {

using IniEntries = QVector<QPair<QString, QString>>;

// The file is kept as its raw bytes (without byte-order mark) plus an index of its sections, so
// that an edit replaces or inserts exactly one line and every other byte stays as it was, also
// bytes that are not valid UTF-8. Entries are lines "key = value"; lines starting with ";" are
// comments; section and key lookup ignores letter case; a value loses its leading blanks and
// tabs. When a section name or a key occurs more than once, lookups and edits use the first one.
class IniFile {
public:
    // More than this is not read: a file that large is not ours, and reading it must not exhaust
    // memory. Such a file is marked truncated and is never saved back, so it cannot be cut short.
    static constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;

    // Reads the file; false when it cannot be opened as a file.
    bool Load(const QString& path);
    // Parses bytes given in memory (with or without byte-order mark, LF or CR LF).
    void SetContent(const QByteArray& bytes);
    bool IsTruncated() const { return truncated_; }

    // Section names as written, in file order, each name once.
    QStringList SectionNames() const;
    // Every entry of the section (of all sections of that name), in file order.
    IniEntries Entries(const QString& section) const;

    bool Contains(const QString& section, const QString& key) const;
    QString ReadString(const QString& section, const QString& key,
                       const QString& absent = QString()) const;
    // The leading decimal integer of the value, with optional sign ("12abc" -> 12, "x" -> 0);
    // absent when the key is missing. Out-of-range numbers saturate.
    int ReadInt(const QString& section, const QString& key, int absent) const;
    // A leading decimal number, or one of the words "+Infinity", "-Infinity", "NaN"; 0 when the
    // value is neither; absent when the key is missing.
    double ReadFloat(const QString& section, const QString& key, double absent) const;

    // Replaces the first entry of key in section, or adds it after the section's last entry, or
    // adds the section at the end of the file. Line breaks in value are written as blanks, so a
    // value can never add lines of its own to the file.
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInt(const QString& section, const QString& key, int value);
    // Written with "%f" (1.0 -> 1.000000); infinities and NaN as the words ReadFloat accepts.
    void WriteFloat(const QString& section, const QString& key, double value);

    // The file as it is written: UTF-8 byte-order mark, every line ended by CR LF.
    QByteArray ToBytes() const;
    // Writes ToBytes() to a temporary file beside path and renames it over path, so that a
    // failed save leaves the old file intact. Refuses (false) when the content was truncated.
    bool Save(const QString& path) const;

    // The number parsers on their own, for values read by other means.
    static int ParseInt(const QString& text);
    static double ParseFloat(const QString& text);
    static QString FormatFloat(double value);

private:
    struct Line {
        qsizetype start = 0;     // first byte
        qsizetype end = 0;       // one past the content, before CR and LF
        qsizetype nextStart = 0; // first byte of the next line
    };
    struct Section {
        qsizetype nameStart = 0;
        qsizetype nameEnd = 0;
        qsizetype headerEnd = 0; // end of the header line, before CR and LF
        qsizetype bodyStart = 0; // first byte after the header line
        qsizetype bodyEnd = 0;   // start of the next header, or the end of the data
    };
    struct Entry {
        Line line;
        qsizetype keyStart = 0;
        qsizetype keyEnd = 0;
        qsizetype valueStart = 0; // the value runs to line.end
    };

    void Reindex();
    Line LineAt(qsizetype start) const;
    bool ParseEntry(const Line& line, Entry& entry) const;
    QString Key(const Entry& entry) const;
    QString Value(const Entry& entry) const;
    QString SectionName(const Section& section) const;
    // Calls visit(entry) for each entry of the sections named section until it returns false.
    template <typename Visit> void ForEachEntry(const QString& section, Visit visit) const;
    bool FindEntry(const QString& section, const QString& key, Entry& found) const;
    void Splice(qsizetype from, qsizetype to, const QByteArray& with);

    QByteArray data_;
    QVector<Section> sections_;
    bool truncated_ = false;
};

} // namespace velmoro
