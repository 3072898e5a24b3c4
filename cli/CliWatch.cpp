// velmoro-cli's watch and record: the values chosen by name or number, pass after pass on the
// terminal, as tab-separated lines or JSON records, into the CSV log, across a lost link.
#include "cli/CliApp.h"

#include "cli/CliJson.h"
#include "cli/Terminal.h"
#include "config/IniFile.h"
#include "ecu/RefreshCycle.h"
#include "values/MeasurementLists.h"
#include "values/RowDisplay.h"

#include <QDateTime>
#include <QJsonArray>

namespace velmoro::cli {

namespace {

// The value names of a family in English, by dispatcher index.
QVector<QString> EnglishValueNames(int family)
{
    LanguageTexts english;
    IniFile ini;
    ini.SetContent(DefaultSettingsFile());
    for (const auto& [key, text] : ini.Entries(QStringLiteral("English")))
        english.Set(key, text);
    QVector<QString> names;
    if (family == Family11mp)
        BuildValueNames11mp(english, names);
    else
        BuildValueNamesMiug4(english, names);
    return names;
}

} // namespace

int CliRun::PrepareWatch()
{
    QStringList names;
    const QVector<ChooserEntry>& entries = state_.choosers[0].entries;
    for (const ChooserEntry& entry : entries)
        names << entry.text;
    // The same values by their English names, whatever language the texts are in, so that a
    // script works in every language.
    QStringList englishNames;
    {
        const QVector<QString> english = EnglishValueNames(state_.link.family);
        for (const ChooserEntry& entry : entries)
            englishNames << english.value(entry.itemData);
    }
    if (o_.arguments.size() > kDisplayRows) {
        Fail(T("Cli_16"));
        return ExitUsage;
    }
    if (!o_.arguments.isEmpty()) {
        QVector<int> chosen;
        for (const QString& typed : o_.arguments) {
            bool number = false;
            const int k = typed.toInt(&number);
            QString nearest;
            int at = number ? (k >= 1 && k < entries.size() ? k : -1)
                            : MatchName(names, typed, &nearest);
            if (at < 0 && !number) {
                QString englishNearest;
                at = MatchName(englishNames, typed, &englishNearest);
                if (nearest.isEmpty())
                    nearest = englishNearest;
            }
            if (at < 0) {
                Fail(T("Cli_3").arg(typed) +
                     (nearest.isEmpty() ? QString() : QLatin1Char(' ') + T("Cli_2").arg(nearest)));
                return ExitUsage;
            }
            chosen << at;
        }
        // The values go into the rows as the window's choosers put them there.
        for (int r = 0; r < kDisplayRows; ++r)
            ChooseValue(state_, r, r < chosen.size() ? chosen[r] : 0);
    }
    for (int r = 0; r < kDisplayRows; ++r)
        if (state_.rows[static_cast<std::size_t>(r)].valueIndex > 0)
            watchCount_ = r + 1;
    if (watchCount_ == 0) {
        Fail(T("Cli_16"));
        return ExitUsage;
    }
    return -1;
}

void CliRun::StartWatch()
{
    if (durationS_ > 0)
        durationTimer_.start(static_cast<int>(durationS_ * 1000));
    if (Recording() && marks_->Start())
        PrintInfo(T("Rec_4"));
}

void CliRun::StartRecorder()
{
    session_->setRetryFirstConnect(o_.wait);
    RideRecorderOptions options;
    options.faultsEverySeconds = faultsEveryS_;
    options.rideGapSeconds = rideGapS_;
    recorder_ = std::make_unique<RideRecorder>(*session_, session_->faults(), options);
    connect(recorder_.get(), &RideRecorder::rideStarted, this,
            [this](const QString& csvFile, const QString& eventFile) {
                PrintInfo(T("Rec_3").arg(csvFile, eventFile));
            });
    connect(recorder_.get(), &RideRecorder::noted, this, [this](const LogEvent& event) {
        const QString seconds = QString::number(event.timeMs / 1000.0, 'f', 1);
        if (event.kind == EventKind::FaultAppeared)
            PrintInfo(T("Rec_5").arg(event.text));
        else if (event.kind == EventKind::FaultGone)
            PrintInfo(T("Rec_6").arg(event.text));
        else if (event.kind == EventKind::Mark)
            PrintInfo(T("Rec_1").arg(seconds));
    });
    marks_ = new LineReader(this);
    connect(marks_, &LineReader::line, this, [this](const QString& note) {
        if (!recorder_->mark(note))
            PrintInfo(T("Rec_2"));
    });
}

void CliRun::OnRows(const RowsSnapshot& rows)
{
    if (status_ >= 0 || !Watching())
        return;
    ++passesShown_;
    // A recording's values go into its CSV log; a terminal shows them, a service's journal not.
    // With the CSV log on the standard output, that is all it carries.
    if ((Recording() && !StdoutIsTerminal()) || o_.csvFile == QLatin1String("-"))
        return;
    if (o_.json) {
        QJsonArray values;
        for (int r = 0; r < watchCount_; ++r) {
            const MeasurementRow& row = rows[static_cast<std::size_t>(r)];
            values.append(QJsonObject{
                {QStringLiteral("name"),
                 state_.choosers[static_cast<std::size_t>(r)].SelectedText()},
                {QStringLiteral("value"), JsonValue(row.valueText)},
                {QStringLiteral("unit"), row.valueIndex > 0 ? row.unitText : QString()}});
        }
        // When: on the CSV log's clock, and the wall clock for lining up with other records.
        // The simulated motorcycle's values are invented: every record says so.
        PrintJson(QJsonObject{{QStringLiteral("pass"), passesShown_},
                              {QStringLiteral("ms"), static_cast<double>(session_->linkTimeMs())},
                              {QStringLiteral("time"),
                               QDateTime::currentDateTime()
                                   .toOffsetFromUtc(QDateTime::currentDateTime().offsetFromUtc())
                                   .toString(Qt::ISODateWithMs)},
                              {QStringLiteral("values"), values},
                              {QStringLiteral("simulated"), session_->linkIsSimulated()}});
        return;
    }
    if (StdoutIsTerminal()) {
        // The block of rows is written over in place, as the window's rows change.
        QString text;
        if (passesShown_ > 1)
            text += QStringLiteral("\x1b[%1A").arg(watchCount_);
        int width = 0;
        for (int r = 0; r < watchCount_; ++r)
            width = std::max(
                width, static_cast<int>(
                           state_.choosers[static_cast<std::size_t>(r)].SelectedText().size()));
        for (int r = 0; r < watchCount_; ++r) {
            const MeasurementRow& row = rows[static_cast<std::size_t>(r)];
            text += QStringLiteral("\r\x1b[K%1  %2\n")
                        .arg(state_.choosers[static_cast<std::size_t>(r)].SelectedText(), -width)
                        .arg(row.valueIndex > 0 ? DisplayRow(row).valueText : QString());
        }
        WriteOut(text);
        return;
    }
    QStringList fields;
    if (passesShown_ == 1) {
        for (int r = 0; r < watchCount_; ++r)
            fields << state_.choosers[static_cast<std::size_t>(r)].SelectedText();
        PrintOut(fields.join(QLatin1Char('\t')));
        fields.clear();
    }
    for (int r = 0; r < watchCount_; ++r) {
        const MeasurementRow& row = rows[static_cast<std::size_t>(r)];
        fields << (row.valueIndex > 0 && !row.unitText.isEmpty()
                       ? row.valueText + QLatin1Char(' ') + row.unitText
                       : row.valueText);
    }
    PrintOut(fields.join(QLatin1Char('\t')));
}

void CliRun::OnReconnectCountdown(int seconds)
{
    if (status_ >= 0)
        return;
    // Waiting for an adapter that was never there: said once, then the attempts go on quietly.
    if (Recording() && !linkUp_) {
        if (!waitSaid_)
            PrintInfo(T("Rec_7").arg(state_.link.port));
        waitSaid_ = true;
        return;
    }
    // One line per attempt: when it comes, and that it is being made.
    if (seconds == 0)
        PrintErr(T("Job_8"));
    else if (!countdownSaid_)
        PrintErr(T("Job_7").arg(seconds));
    countdownSaid_ = seconds != 0;
}

} // namespace velmoro::cli
