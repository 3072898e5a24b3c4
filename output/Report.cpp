// The diagnostic report: line list, builder routine and report file.
#include "output/Report.h"

#include "ecu/CoreState.h"
#include "ecu/Ecu.h"
#include "ecu/FaultLists.h"
#include "ecu/Procedures.h"
#include "link/LinkFlags.h"

#include <QFile>
#include <QMutexLocker>

namespace velmoro {

int ReportList::Add(int kind, const QString& c0, const QString& c1, const QString& c2,
                    const QString& c3)
{
    int index = 0;
    {
        QMutexLocker lock(&mutex_);
        ReportLine line;
        line.kind = kind;
        line.columns = {c0, c1, c2, c3};
        lines_.append(line);
        index = static_cast<int>(lines_.size()) - 1;
    }
    Notify(ReportChange::Added, index);
    return index;
}

void ReportList::SetColumn(int line, int column, const QString& text)
{
    if (column < 0 || column >= 4)
        return;
    {
        QMutexLocker lock(&mutex_);
        if (line < 0 || line >= lines_.size())
            return;
        lines_[line].columns[static_cast<std::size_t>(column)] = text;
    }
    Notify(ReportChange::Updated, line);
}

void ReportList::Select(int line)
{
    Notify(ReportChange::Selected, line);
}

void ReportList::Clear()
{
    {
        QMutexLocker lock(&mutex_);
        lines_.clear();
    }
    Notify(ReportChange::Cleared, -1);
}

int ReportList::Count() const
{
    QMutexLocker lock(&mutex_);
    return static_cast<int>(lines_.size());
}

ReportLine ReportList::Line(int line) const
{
    QMutexLocker lock(&mutex_);
    return line >= 0 && line < lines_.size() ? lines_[line] : ReportLine{};
}

QVector<ReportLine> ReportList::Lines() const
{
    QMutexLocker lock(&mutex_);
    return lines_;
}

bool ReportList::RequestRead()
{
    if (building_.load()) {
        cancel_.store(true);
        return false;
    }
    Clear();
    cancel_.store(false);
    building_.store(true);
    return true;
}

bool ReportList::FinishBuild()
{
    const bool kept = !cancel_.load();
    if (!kept)
        Clear();
    building_.store(false);
    return kept;
}

void ReportList::Notify(ReportChange change, int line)
{
    if (changed)
        changed(change, line);
}

namespace {

// Adds one indented line per fault line, the label only on the first.
void AddFaultGroup(ReportList& list, const QString& label, const QStringList& lines)
{
    for (int j = 0; j < lines.size(); ++j)
        list.Add(ReportIndented, j == 0 ? label : QString(), lines[j]);
}

} // namespace

JobEnding BuildReport(CoreState& config, const LinkFlags& flags, FaultLists& faults, Ecu& ecu,
                      const QString& ecuInfoText, const QVector<ChooserEntry>& values,
                      ReportList& list)
{
    LanguageTexts& texts = config.texts;
    const auto stopped = [&flags] { return flags.stopFlag.load() != 0; };
    const auto cutShort = [&list, &texts] {
        list.Add(ReportPlain);
        // In the text column: the first column would cut it.
        list.Add(ReportPlain, QString(), TextOrEnglish(texts, QStringLiteral("Job_3")));
        return JobEnding::CutShort;
    };

    QStringList fields = ecuInfoText.split(QLatin1Char('\n'));
    for (QString& field : fields)
        while (field.endsWith(QLatin1Char('\r')))
            field.chop(1);
    list.Add(ReportPlain, config.link.model, fields.value(0));
    for (int i = 1; i < fields.size() && !fields[i].isEmpty(); ++i)
        list.Add(ReportPlain, QString(), fields[i]);

    list.Add(ReportPlain);
    list.Add(ReportPlain);
    list.Add(ReportPlain, texts.Text(QStringLiteral("Menu_21")));
    list.Add(ReportPlain);

    MeasurementRow row;
    for (const ChooserEntry& entry : values) {
        if (list.Cancelled())
            break;
        if (stopped())
            return cutShort();
        const QString name = entry.text.trimmed();
        if (name.isEmpty())
            continue;
        const int line = list.Add(ReportValue, QString(), name);
        list.Select(line);
        row.valueIndex = entry.itemData;
        if (ecu.readValue(row) == 1) {
            list.SetColumn(line, 2, row.valueText);
            list.SetColumn(line, 3, row.unitText);
        }
    }

    if (stopped())
        return cutShort();
    if (ecu.hasEngineStatus()) {
        ecu.readEngineStatus(row);
        if (stopped())
            return cutShort();
        list.Add(ReportPlain);
        list.Add(ReportPlain, texts.Text(QStringLiteral("Value_13")));
        const QStringList status = row.valueText.split(QLatin1Char('\n'));
        for (const QString& field : status) {
            if (field.isEmpty())
                break;
            list.Add(ReportIndented, QString(), field);
        }
    }

    const JobEnding read = ecu.readFaults(faults);
    if (read == JobEnding::CutShort)
        return cutShort();
    list.Add(ReportPlain);
    list.Add(ReportPlain);
    list.Add(ReportPlain, texts.Text(QStringLiteral("Menu_22")));
    list.Add(ReportPlain);
    if (faults.Unread()) {
        list.Add(ReportIndented, QString(), TextOrEnglish(texts, QStringLiteral("Job_2")));
        return read;
    }
    const QStringList current = faults.Current();
    AddFaultGroup(list, texts.Text(QStringLiteral("View_21")), current);
    // The separator only follows new faults, so an empty memory leaves one empty line.
    if (!current.isEmpty())
        list.Add(ReportPlain);
    AddFaultGroup(list, texts.Text(QStringLiteral("View_22")), faults.Stored());
    return read;
}

QString ReportLeft(const QString& text, int width)
{
    return text.left(width).leftJustified(width, QLatin1Char(' '));
}

QString ReportRight(const QString& text, int width)
{
    return text.left(width).rightJustified(width, QLatin1Char(' '));
}

QStringList ReportFileLines(const QVector<ReportLine>& lines, const QDateTime& now)
{
    QStringList out;
    out << QString();
    out << ReportLeft(QStringLiteral("VelmoroCanDiag V0.02"), 64) +
               now.toString(QStringLiteral("yyyy.MM.dd HH:mm"));
    out << QString() << QString();
    for (const ReportLine& line : lines) {
        const auto& c = line.columns;
        switch (line.kind) {
        case ReportValue:
            out << ReportRight(c[1], 30) + QStringLiteral(": ") + c[2] + QLatin1Char(' ') + c[3];
            break;
        case ReportIndented:
            out << ReportRight(c[0], 30) +
                       (c[0].trimmed().isEmpty() ? QStringLiteral("   ") : QStringLiteral(":  ")) +
                       c[1];
            break;
        default:
            out << ReportLeft(c[0], 32) + c[1];
            break;
        }
    }
    out << QString();
    return out;
}

QString ReportFileName(const ProgramPaths& paths, const QDateTime& now)
{
    return paths.directory + QStringLiteral("VelmoroDiag_Report_") + FileTimeStamp(now) +
           QStringLiteral(".txt");
}

bool SaveReport(const ReportList& list, const ProgramPaths& paths, const QDateTime& now)
{
    return SaveReportAt(list, ReportFileName(paths, now), now);
}

bool SaveReportAt(const ReportList& list, const QString& fileName, const QDateTime& now)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray bytes;
    for (const QString& line : ReportFileLines(list.Lines(), now))
        bytes += line.toUtf8() + "\r\n";
    const bool written = file.write(bytes) == bytes.size();
    file.close();
    return written && file.error() == QFileDevice::NoError;
}

} // namespace velmoro
