// The session's loop: what runs next (connect, job, pass, countdown), the refresh passes and the
// logs they write.
#include "session/DiagSession.h"
#include "session/SessionBridge.h"

#include "ecu/RefreshCycle.h"

#include <QDateTime>
#include <algorithm>
#include <chrono>

namespace velmoro {

namespace {

// While a stop is asked for, the worker is reminded this often: it clears the flag when it
// starts, so one request made before that would be lost.
constexpr int kStopRepeatMs = 20;
// Passes in which every chosen row failed before the diagnostic session is opened again.
constexpr int kSilentPassesBeforeReopen = 3;

} // namespace

void DiagSession::LoopMain()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (startPending_ && (quitting_ || linkState_ == LinkState::Disconnecting)) {
            // The link ended before its worker started: there is nothing to stop.
            startPending_ = false;
            connectPending_ = false;
            workerAlive_ = false;
            flags_.SetWorkerState(kWorkerStopped);
        }
        const bool workerEnded = !workerAlive_.load();
        if (quitting_ && workerEnded)
            break;
        if (linkState_ == LinkState::Disconnecting && workerEnded) {
            ForgetSwitchLocked();
            if (retryAfterStop_ && RetryWantedLocked()) {
                retryAfterStop_ = false;
                linkState_ = LinkState::Reconnecting;
                // 2 s, then 5 s, then every 10 s.
                const int delayMs = retries_ == 0 ? 2000 : retries_ == 1 ? 5000 : 10000;
                ++retries_;
                retryAtMs_ = retryClock_.NowMs() + delayMs;
                countdownShown_ = -1;
                lock.unlock();
                channel_.Abort();
                CutSurveyShort();
                emit linkStateChanged(LinkState::Reconnecting);
                lock.lock();
                continue;
            }
            lock.unlock();
            FinishDisconnect();
            lock.lock();
            continue;
        }
        if (!quitting_ && linkState_ == LinkState::Reconnecting && workerEnded) {
            const qint64 leftMs = retryAtMs_ - retryClock_.NowMs();
            if (leftMs > 0) {
                const int seconds = static_cast<int>((leftMs + 999) / 1000);
                if (seconds != countdownShown_) {
                    countdownShown_ = seconds;
                    lock.unlock();
                    emit reconnectCountdown(seconds);
                    lock.lock();
                    continue;
                }
                // Woken by a disconnect or quit, by a clock advanced by hand, or when the next
                // second of the countdown begins.
                wake_.wait_for(lock, std::chrono::milliseconds(leftMs - (seconds - 1) * 1000));
                continue;
            }
            channel_.Reset();
            flags_.workerState = kWorkerStarting;
            linkState_ = LinkState::Connecting;
            connectPending_ = true;
            startPending_ = true;
            // A first connect that failed is tried again from its start, ignition prompt and
            // all; a link that was up resumes without them.
            resumePending_ = everConnected_;
            workerAlive_ = true;
            lock.unlock();
            emit reconnectCountdown(0);
            emit linkStateChanged(LinkState::Connecting);
            lock.lock();
            continue;
        }
        if (!quitting_ && startPending_) {
            startPending_ = false;
            const bool resume = resumePending_;
            lock.unlock();
            StartWorker(resume);
            lock.lock();
            continue;
        }
        if (!quitting_ && connectPending_) {
            connectPending_ = false;
            const std::shared_ptr<Ecu> ecu = ecu_;
            lock.unlock();
            Identify(*ecu);
            lock.lock();
            continue;
        }
        if (!quitting_ && !jobs_.empty()) {
            Job job = std::move(jobs_.front());
            jobs_.pop_front();
            jobRunning_ = true;
            TakeSettingsLocked();
            lock.unlock();
            // The job is gone before the lock is taken again: what it holds ends with it.
            RunJob(std::move(job));
            lock.lock();
            jobRunning_ = false;
            continue;
        }
        const bool passes = !quitting_ && linkState_ == LinkState::Connected &&
                            measurementsShown_ && !StopRequested();
        if (passes && passIntervalMs_ > 0) {
            // Woken early by a job, a stop or a hidden view; the pass waits for its time.
            const qint64 leftMs = nextPassAtMs_ - NowMs();
            if (leftMs > 0) {
                wake_.wait_for(lock, std::chrono::milliseconds(leftMs));
                continue;
            }
            nextPassAtMs_ = NowMs() + passIntervalMs_;
        }
        if (passes) {
            TakeSettingsLocked();
            lock.unlock();
            RunPass();
            RunSurveySteps();
            lock.lock();
            continue;
        }
        if ((quitting_ || linkState_ == LinkState::Disconnecting) && !workerEnded) {
            // Waiting for the worker to end: keep the stop request standing.
            flags_.stopFlag = 1;
            wake_.wait_for(lock, std::chrono::milliseconds(kStopRepeatMs));
            continue;
        }
        idle_ = true;
        wake_.wait(lock);
        idle_ = false;
    }
    lock.unlock();
    channel_.Abort();
    CutSurveyShort();
    CloseLogs();
    emit stopped();
}

void DiagSession::RunPass()
{
    // The user's choices reach the rows between two reads, never during one.
    const std::shared_ptr<Ecu> ecu = CurrentEcu();
    const PassResult result = RunRefreshPass(*ecu, flags_, rows_, [this] {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& [row, index] : choices_)
            rows_[static_cast<std::size_t>(row)].valueIndex = index;
        choices_.clear();
    });
    // Every chosen row failed pass after pass: an ECU switched off and on again answers in its
    // default session only, so the session is opened again until it accepts.
    if (!StopRequested()) {
        if (result.answered > 0)
            silentPasses_ = 0;
        else if (result.read > 0 && ++silentPasses_ >= kSilentPassesBeforeReopen &&
                 ecu->reopenSession()) {
            silentPasses_ = 0;
            emit sessionReopened();
        }
    }

    bool shown = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        shown = measurementsShown_ && !quitting_;
    }
    RollRide();
    // A pass whose view was hidden meanwhile, or that a stop cut short, shows and logs nothing.
    if (!shown || StopRequested())
        return;
    std::array<QString, 8> values;
    for (int r = 0; r < kDisplayRows; ++r)
        values[static_cast<std::size_t>(r)] = rows_[static_cast<std::size_t>(r)].valueText;
    csvLog_.AddCsvLine(Config()->settings.csv != 0, NowMs() - flags_.workerStartTimeMs.load(),
                       values);
    bool limitReached = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (passLimit_ > 0 && --passLimit_ == 0) {
            measurementsShown_ = false;
            limitReached = true;
        }
    }
    emit rowsRead(rows_);
    if (limitReached)
        emit passLimitReached();
}

// The CSV log of ride n of a link: a dated name in the logging directory when the session chose
// the first one, else the view's name with "_n" before its extension ("ride.csv" -> "ride_2.csv").
static QString RideFileName(const QString& viewName, const QString& loggingDirectory,
                            const QString& baseName, int n)
{
    if (viewName.isEmpty())
        return LogFileName(loggingDirectory, baseName, QDateTime::currentDateTime(),
                           QStringLiteral(".csv"));
    const int slash = static_cast<int>(viewName.lastIndexOf(QLatin1Char('/')));
    const int dot = static_cast<int>(viewName.lastIndexOf(QLatin1Char('.')));
    const QString suffix = QStringLiteral("_") + QString::number(n);
    if (dot <= slash + 1)
        return viewName + suffix;
    return viewName.left(dot) + suffix + viewName.mid(dot);
}

void DiagSession::RollRide()
{
    QString viewName;
    std::array<QString, 8> header;
    int n = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!newRidePending_)
            return;
        newRidePending_ = false;
        viewName = csvFileName_;
        header = csvHeader_;
        n = ++rideNumber_;
    }
    const std::shared_ptr<CoreState> config = Config();
    const QString name =
        RideFileName(viewName, config->settings.loggingDirectory, config->paths.baseName, n);
    // The new ride's clock starts now; the worker keeps running on the same link.
    flags_.workerStartTimeMs.store(NowMs());
    const bool opened =
        csvLog_.OpenCsvLogAt(name, config->texts.Text(QStringLiteral("CSV_1")), header);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        csvOpenFileName_ = opened ? csvLog_.FileName() : QString();
    }
    if (!opened)
        emit logProblem(QStringLiteral("Cannot write ") + csvLog_.FailedFileName());
    else
        emit rideRolled(csvLog_.FileName());
}

void DiagSession::startNewRide()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (csvOpenFileName_.isEmpty())
            return;
        newRidePending_ = true;
    }
    wake_.notify_all();
}

QString DiagSession::csvLogFileName() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return csvOpenFileName_;
}

qint64 DiagSession::linkTimeMs() const
{
    return NowMs() - flags_.workerStartTimeMs.load();
}

void DiagSession::setLogFileNames(const QString& csvFileName, const QString& debugLogFileName)
{
    std::lock_guard<std::mutex> lock(mutex_);
    csvFileName_ = csvFileName;
    debugLogFileName_ = debugLogFileName;
}

void DiagSession::stopPassesAfter(int passes)
{
    std::lock_guard<std::mutex> lock(mutex_);
    passLimit_ = std::max(0, passes);
}

void DiagSession::setMinimumPassIntervalMs(int intervalMs)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        passIntervalMs_ = std::max(0, intervalMs);
        nextPassAtMs_ = 0;
    }
    wake_.notify_all();
}

void DiagSession::chooseValue(int row, int valueIndex)
{
    if (row < 0 || row >= kDisplayRows)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    choices_.emplace_back(row, valueIndex);
}

void DiagSession::setMeasurementsShown(bool shown)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        measurementsShown_ = shown;
    }
    wake_.notify_all();
}

bool DiagSession::idle() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return idle_ && jobs_.empty() && !connectPending_;
}

void DiagSession::CloseLogs()
{
    debugLog_.Close();
    csvLog_.FlushCsvLog();
}

bool DiagSession::StopRequested() const
{
    return flags_.stopFlag.load() != 0;
}

qint64 DiagSession::NowMs() const
{
    return SteadyClockInstance().NowMs();
}

std::shared_ptr<Ecu> DiagSession::CurrentEcu() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return ecu_;
}

} // namespace velmoro
