// The debug log file: one line per adapter exchange while a connection runs.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QMutex>
#include <QString>

namespace velmoro {

// Control characters of adapter traffic made visible: CR -> "\r", LF -> "\n", TAB -> "\t",
// backslash -> "\\", other bytes below 0x20 and 0x7F -> "\xHH". "41 00\r\r>" -> "41 00\r\r>"
// with literal backslashes.
QByteArray VisibleBytes(const QByteArray& bytes);

// Thread-safe: the link's exchange logger calls Log from the worker thread while the main thread
// opens and closes the file.
class DebugLog {
public:
    ~DebugLog() { Close(); }

    // Closes an open log, creates loggingDirectory + baseName + "_yyyyMMdd_hhmmss.log"
    // (replacing a file of that name). False when it could not be created.
    bool OpenDebugLog(const QString& loggingDirectory, const QString& baseName,
                      const QDateTime& now);
    // The same under a file name of the caller's choosing.
    bool OpenDebugLogAt(const QString& fileName);

    // Writes "<ms> > <command> < <answer>" + CR LF, both made visible, and flushes. Does nothing
    // while no file is open.
    void Log(qint64 msSinceLinkStart, const QByteArray& command, const QByteArray& answer);

    // Writes "<ms> ! <text>" + CR LF, the text made visible: a step of the link that failed,
    // which no exchange line shows by itself. Does nothing while no file is open.
    void Note(qint64 msSinceLinkStart, const QString& text);

    void Close();

    bool IsOpen() const;
    QString FileName() const;

private:
    mutable QMutex mutex_;
    QFile file_;
    QString fileName_;
};

} // namespace velmoro
