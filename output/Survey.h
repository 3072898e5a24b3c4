// The read-all survey: its log file, one survey step, and the counter the step handler drives.
#pragma once

#include "config/LanguageTexts.h"
#include "config/Settings.h"
#include "link/Exchange.h"

#include <QDateTime>
#include <QFile>
#include <QString>
#include <mutex>

namespace velmoro {

constexpr int kSurveyEnd = 256;

// <directory>TestResultate_<stamp>.log
QString SurveyFileName(const ProgramPaths& paths, const QDateTime& now);

// One step line without its line end: "Tx: 30 Rx: 0B B8" for data, "Tx: 31 Rx: not available"
// for result 0, "Tx: 32 Rx:" for a negative result.
QString SurveyStepLine(int nn, const ExchangeResult& result);

// The last line of a survey cut short before identifier 0x10nn: Job_1 with "0x10NN".
QString SurveyCutShortLine(LanguageTexts& texts, int nn);

// "<View_23>: 0x3B" for counter 0x3B.
QString SurveyButtonText(LanguageTexts& texts, int counter);

// The open survey log (UTF-8 without BOM, CR LF). Opened and finished by its owner, written by one
// survey step at a time; the lock keeps IsOpen honest for both.
class SurveyFile {
public:
    // Creates (replacing) the file and writes the four header lines. False when it cannot.
    bool Open(const ProgramPaths& paths, const LinkSettings& link, const QDateTime& now);
    // The same under a file name of the caller's choosing.
    bool OpenAt(const QString& fileName, const LinkSettings& link);
    void WriteStep(int nn, const ExchangeResult& result);
    // Writes the empty line and "Needed: <ms>ms", then closes. False when nothing was open or
    // the writing failed.
    bool Finish(qint64 elapsedMs);
    // A survey that did not reach its end: the empty line and `line` (which says so) instead of
    // the footer of a finished survey, then closes. False when nothing was open or it failed.
    bool CutShort(const QString& line);
    bool IsOpen() const;
    QString FileName() const;

private:
    bool WriteLine(const QString& line);
    mutable std::mutex mutex_;
    QFile file_;
};

// The body of a survey step thread: 22 10 nn, then its line. An answer the link did not bring
// (stopped, link gone) writes nothing and is false: the survey is cut short at nn.
bool RunSurveyStep(ExchangeLink& link, SurveyFile& file, int nn);

// What the step handler needs: the file, the next identifier, the end and the start time.
// Owned and driven by the session.
class SurveyState {
public:
    static constexpr int kFinished = -1; // the footer was written and the file closed
    static constexpr int kIdle = -2;     // no survey runs

    // Opens the file and resets counter, end and start time. False when the file failed.
    bool Start(const ProgramPaths& paths, const LinkSettings& link, const QDateTime& now,
               qint64 nowMs);
    // The same with a file name of the caller's choosing.
    bool StartAt(const QString& fileName, const LinkSettings& link, qint64 nowMs);
    // The step handler: the identifier to request next (the counter then moves on), kFinished
    // when the counter has reached the end, kIdle when no survey runs.
    int NextStep(qint64 nowMs);
    // Ends a running survey as cut short at identifier nn; false when none runs.
    bool CutShort(LanguageTexts& texts, int nn);
    bool Running() const { return file.IsOpen(); }

    SurveyFile file;
    int counter = 0;
    int end = kSurveyEnd;
    qint64 startMs = 0;
};

} // namespace velmoro
