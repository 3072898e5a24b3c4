// The CSV value log: file naming, line building and the writing of header and data lines.
#include "output/CsvLog.h"

#include <cstdio>

namespace velmoro {

QString LogFileName(const QString& loggingDirectory, const QString& baseName, const QDateTime& now,
                    const QString& extension)
{
    return loggingDirectory + baseName + QLatin1Char('_') +
           now.toString(QStringLiteral("yyyyMMdd_HHmmss")) + extension;
}

QByteArray CsvLine(const QStringList& fields)
{
    QByteArray line;
    for (const QString& field : fields) {
        line += '"';
        line += field.toUtf8();
        line += "\",";
    }
    while (line.endsWith(','))
        line.chop(1);
    line += "\r\n";
    return line;
}

bool CsvLog::OpenCsvLog(const QString& loggingDirectory, const QString& baseName,
                        const QDateTime& now, const QString& timeTitle,
                        const std::array<QString, 8>& chooserTexts)
{
    return OpenCsvLogAt(LogFileName(loggingDirectory, baseName, now, QStringLiteral(".csv")),
                        timeTitle, chooserTexts);
}

bool CsvLog::OpenCsvLogAt(const QString& fileName, const QString& timeTitle,
                          const std::array<QString, 8>& chooserTexts)
{
    FlushCsvLog();
    writeOk_ = true;
    // "-": the standard output, for a pipe; it stays open when the log is closed.
    const bool toStdout = fileName == QLatin1String("-");
    fileName_ = toStdout ? QString() : fileName;
    file_.setFileName(fileName_);
    const bool opened = toStdout ? file_.open(stdout, QIODevice::WriteOnly)
                                 : file_.open(QIODevice::WriteOnly | QIODevice::Truncate);
    if (!opened) {
        failedFileName_ = fileName_;
        fileName_.clear();
        return false;
    }
    failedFileName_.clear();
    QStringList header{timeTitle};
    for (const QString& text : chooserTexts)
        header << text;
    WriteLine(header);
    return true;
}

void CsvLog::AddCsvLine(bool csvEnabled, qint64 msSinceLinkStart,
                        const std::array<QString, 8>& valueTexts)
{
    if (!csvEnabled || !file_.isOpen())
        return;
    QStringList fields{QString::number(msSinceLinkStart)};
    for (const QString& text : valueTexts)
        fields << text;
    WriteLine(fields);
}

void CsvLog::FlushCsvLog()
{
    if (file_.isOpen())
        file_.close();
}

void CsvLog::WriteLine(const QStringList& fields)
{
    const QByteArray line = CsvLine(fields);
    // Flushed per line so that the file holds every pass even if the program dies.
    if (file_.write(line) != line.size() || !file_.flush())
        writeOk_ = false;
}

} // namespace velmoro
