// The session's jobs between two passes: faults, the report, actions and the survey's steps.
#include "session/DiagSession.h"

#include <QDateTime>

namespace velmoro {

QString JobResultText(LanguageTexts& texts, const JobResult& result)
{
    const auto text = [&texts](const char* key) {
        return TextOrEnglish(texts, QLatin1String(key));
    };
    QString name;
    switch (result.kind) {
    case JobKind::ReadFaults:
        name = texts.Text(QStringLiteral("Menu_22"));
        break;
    case JobKind::ClearFaults:
        name = texts.Text(QStringLiteral("Menu_22")) + QStringLiteral(": ") +
               texts.Text(QStringLiteral("View_24"));
        break;
    case JobKind::Report:
        name = texts.Text(QStringLiteral("Menu_26"));
        break;
    case JobKind::Survey:
        name = texts.Text(QStringLiteral("View_12"));
        break;
    }
    switch (result.ending) {
    case JobEnding::Done:
        return {};
    case JobEnding::CutShort:
        if (result.kind == JobKind::Survey && result.identifier >= 0)
            return SurveyCutShortLine(texts, result.identifier);
        if (result.kind == JobKind::Report)
            return text("Job_3");
        return text("Job_6").arg(name);
    case JobEnding::Refused:
    case JobEnding::NoAnswer:
        // A report or a read whose fault memory did not come: what the rider must know.
        if (result.kind == JobKind::ReadFaults || result.kind == JobKind::Report)
            return text("Job_2");
        return text(result.ending == JobEnding::Refused ? "Job_4" : "Job_5").arg(name);
    }
    return {};
}

void DiagSession::readFaults()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!quitting_)
        jobs_.push_back({Job::ReadFaults, {}, {}, {}, JobEcu()});
    wake_.notify_all();
}

void DiagSession::clearFaults()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!quitting_)
        jobs_.push_back({Job::ClearFaults, {}, {}, {}, JobEcu()});
    wake_.notify_all();
}

bool DiagSession::buildReport(const QString& ecuInfoText, const QVector<ChooserEntry>& values)
{
    if (!report_.RequestRead())
        return false;
    std::lock_guard<std::mutex> lock(mutex_);
    // The values are those the first chooser offers now; the language may change meanwhile.
    jobs_.push_back({Job::Report, ecuInfoText, {}, values, JobEcu()});
    wake_.notify_all();
    return true;
}

bool DiagSession::jobRunning() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return jobRunning_ || !jobs_.empty();
}

std::shared_ptr<Ecu> DiagSession::JobEcu() const
{
    return ecu_ ? ecu_ : family_;
}

void DiagSession::RunJob(Job job)
{
    switch (job.kind) {
    case Job::ReadFaults:
    case Job::ClearFaults: {
        const bool clear = job.kind == Job::ClearFaults;
        JobEnding ending = JobEnding::NoAnswer;
        if (job.ecu)
            ending = clear ? job.ecu->clearFaults(faults_) : job.ecu->readFaults(faults_);
        emit jobEnded({clear ? JobKind::ClearFaults : JobKind::ReadFaults, ending, -1, {}});
        emit faultsDone();
        break;
    }
    case Job::Report: {
        JobEnding ending = JobEnding::NoAnswer;
        if (job.ecu)
            ending =
                BuildReport(*Config(), flags_, faults_, *job.ecu, job.text, job.values, report_);
        emit jobEnded({JobKind::Report, ending, -1, {}});
        emit reportDone();
        break;
    }
    case Job::Action:
        if (job.work)
            job.work();
        break;
    }
}

bool DiagSession::startSurvey()
{
    return startSurveyAt(SurveyFileName(Config()->paths, QDateTime::currentDateTime()));
}

bool DiagSession::startSurveyAt(const QString& fileName)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!survey_.StartAt(fileName, config_->link, NowMs()))
        return false;
    surveyActive_ = true;
    wake_.notify_all();
    return true;
}

bool DiagSession::surveyRunning() const
{
    return surveyActive_.load();
}

void DiagSession::RunSurveySteps()
{
    for (;;) {
        int counter = 0;
        int nn = SurveyState::kIdle;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!surveyActive_ || !measurementsShown_ || quitting_ || !jobs_.empty())
                return;
            counter = survey_.counter;
        }
        // A stop asks nothing more of the ECU: the survey ends here, not at its footer.
        if (StopRequested()) {
            CutSurveyShort(counter);
            return;
        }
        emit surveyStep(counter);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            nn = survey_.NextStep(NowMs());
            if (nn == SurveyState::kFinished || nn == SurveyState::kIdle)
                surveyActive_ = false;
        }
        if (nn == SurveyState::kFinished) {
            emit jobEnded({JobKind::Survey, JobEnding::Done, -1, survey_.file.FileName()});
            emit surveyFinished();
            return;
        }
        if (nn < 0)
            return;
        if (!RunSurveyStep(channel_, survey_.file, nn)) {
            CutSurveyShort(nn);
            return;
        }
    }
}

void DiagSession::CutSurveyShort(int nn)
{
    QString fileName;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!surveyActive_)
            return;
        if (nn < 0)
            nn = survey_.counter;
        surveyActive_ = false;
        fileName = survey_.file.FileName();
        survey_.CutShort(config_->texts, nn);
    }
    emit jobEnded({JobKind::Survey, JobEnding::CutShort, nn, fileName});
    emit surveyFinished();
}

} // namespace velmoro
