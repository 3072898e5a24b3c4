// The debug log file: creation, one visible line per adapter exchange, closing.
#include "output/DebugLog.h"
#include "output/CsvLog.h"

#include <QMutexLocker>

namespace velmoro {

QByteArray VisibleBytes(const QByteArray& bytes)
{
    QByteArray out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            if (u < 0x20 || u == 0x7F) {
                out += "\\x";
                out += QByteArray::number(u, 16).rightJustified(2, '0').toUpper();
            } else {
                out += c;
            }
        }
    }
    return out;
}

bool DebugLog::OpenDebugLog(const QString& loggingDirectory, const QString& baseName,
                            const QDateTime& now)
{
    return OpenDebugLogAt(LogFileName(loggingDirectory, baseName, now, QStringLiteral(".log")));
}

bool DebugLog::OpenDebugLogAt(const QString& fileName)
{
    QMutexLocker lock(&mutex_);
    if (file_.isOpen())
        file_.close();
    fileName_ = fileName;
    file_.setFileName(fileName_);
    return file_.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

void DebugLog::Log(qint64 msSinceLinkStart, const QByteArray& command, const QByteArray& answer)
{
    QMutexLocker lock(&mutex_);
    if (!file_.isOpen())
        return;
    QByteArray line = QByteArray::number(msSinceLinkStart);
    line += " > ";
    line += VisibleBytes(command);
    line += " < ";
    line += VisibleBytes(answer);
    line += "\r\n";
    file_.write(line);
    file_.flush();
}

void DebugLog::Note(qint64 msSinceLinkStart, const QString& text)
{
    QMutexLocker lock(&mutex_);
    if (!file_.isOpen())
        return;
    file_.write(QByteArray::number(msSinceLinkStart) + " ! " + VisibleBytes(text.toUtf8()) +
                "\r\n");
    file_.flush();
}

void DebugLog::Close()
{
    QMutexLocker lock(&mutex_);
    if (file_.isOpen())
        file_.close();
}

bool DebugLog::IsOpen() const
{
    QMutexLocker lock(&mutex_);
    return file_.isOpen();
}

QString DebugLog::FileName() const
{
    QMutexLocker lock(&mutex_);
    return fileName_;
}

} // namespace velmoro
