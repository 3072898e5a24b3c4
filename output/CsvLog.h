// The CSV value log: its file name, the header and one line per measurement pass.
#pragma once

#include <QDateTime>
#include <QFile>
#include <QString>
#include <QStringList>
#include <array>

namespace velmoro {

// LoggingDirectory (used unchanged as a prefix) + base name + "_yyyyMMdd_hhmmss" + extension
// (".csv", ".log"), from the local time `now`.
QString LogFileName(const QString& loggingDirectory, const QString& baseName, const QDateTime& now,
                    const QString& extension);

// One CSV line: every field in double quotes, unescaped, separated by ","; trailing commas are
// trimmed (never quotes), ended by CR LF. {"a", ""} -> "\"a\",\"\"\r\n".
QByteArray CsvLine(const QStringList& fields);

// Lines are written and flushed as they come instead of being collected until the link closes,
// so a crash keeps everything logged; the finished file is the same byte for byte.
// Not locked: its owner uses it from one thread at a time.
class CsvLog {
public:
    ~CsvLog() { FlushCsvLog(); }

    // Closes an open file, creates the new one (replacing a file of that name) and writes the
    // header: timeTitle (CSV_1) and the eight chooser texts. False when the file could not be
    // created: then nothing is written until the next open, and FailedFileName() names it.
    bool OpenCsvLog(const QString& loggingDirectory, const QString& baseName, const QDateTime& now,
                    const QString& timeTitle, const std::array<QString, 8>& chooserTexts);
    // The same under a file name of the caller's choosing; "-" writes to the standard output
    // (FileName() is then empty).
    bool OpenCsvLogAt(const QString& fileName, const QString& timeTitle,
                      const std::array<QString, 8>& chooserTexts);

    // One data line: milliseconds since the link start and the eight value texts (without
    // units). Does nothing unless csvEnabled (the CSV setting is 1) and a file is open.
    void AddCsvLine(bool csvEnabled, qint64 msSinceLinkStart,
                    const std::array<QString, 8>& valueTexts);

    // Completes and closes the file (disconnect, exit); harmless when none is open.
    void FlushCsvLog();

    bool IsOpen() const { return file_.isOpen(); }
    QString FileName() const { return fileName_; }
    // The name of the last file that could not be created, empty after a successful open.
    QString FailedFileName() const { return failedFileName_; }
    // False after a write failed (disk full, file removed); the shell may tell the user.
    bool WriteOk() const { return writeOk_; }

private:
    void WriteLine(const QStringList& fields);

    QFile file_;
    QString fileName_;
    QString failedFileName_;
    bool writeOk_ = true;
};

} // namespace velmoro
