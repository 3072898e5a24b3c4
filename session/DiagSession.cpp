// The diagnostic session: worker, connect sequence, refresh loop, jobs and logs.
#include "session/DiagSession.h"

#include "ecu/RefreshCycle.h"
#include "link/CommWorker.h"
#include "link/PortDiscovery.h"
#include "link/UiBridge.h"
#include "sim/Simulator.h"
#include "sim/SimulatorPort.h"

#include <QDateTime>
#include <algorithm>
#include <cctype>
#include <chrono>

namespace velmoro {

namespace {

// While a stop is asked for, the worker is reminded this often: it clears the flag when it
// starts, so one request made before that would be lost.
constexpr int kStopRepeatMs = 20;
// Passes in which every chosen row failed before the diagnostic session is opened again.
constexpr int kSilentPassesBeforeReopen = 3;

// The lines of an adapter answer without the echo of its command, the prompt and blank lines.
QStringList AnswerLines(const QByteArray& command, const QByteArray& answer)
{
    QStringList lines;
    for (const QByteArray& raw : answer.split('\r')) {
        const QString line = QString::fromLatin1(raw).remove(QLatin1Char('>')).trimmed();
        if (!line.isEmpty() && line != QString::fromLatin1(command))
            lines << line;
    }
    return lines;
}

// An answer made of hex bytes (and the numbered lines of a long one) came from the ECU; "NO DATA",
// "CAN ERROR", "?" and silence did not.
bool FromEcu(const QByteArray& answer)
{
    const QList<QByteArray> words = answer.simplified().replace('>', ' ').split(' ');
    bool any = false;
    for (const QByteArray& word : words) {
        if (word.isEmpty())
            continue;
        QByteArray digits = word.endsWith(':') ? word.chopped(1) : word;
        if (digits.isEmpty() || digits.size() > 3)
            return false;
        for (const char c : digits)
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                return false;
        any = true;
    }
    return any;
}

bool IsDiagnosticRequest(const QByteArray& command)
{
    if (command.isEmpty())
        return false;
    for (const char c : command)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

} // namespace

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

// What the worker and the connect sequence tell the user interface, turned into the session's
// state and signals.
class DiagSession::Bridge : public UiBridge {
public:
    explicit Bridge(DiagSession& session) : session_(session) {}

    void ShowMessageAndWait(const QString& text) override
    {
        auto gate = std::make_shared<QSemaphore>(0);
        {
            std::lock_guard<std::mutex> lock(session_.mutex_);
            if (session_.quitting_)
                return;
            session_.gates_.push_back(gate);
        }
        emit session_.question(text);
        gate->acquire();
    }
    void SetEcuInfoText(const QString& text) override { emit session_.ecuInfoText(text); }
    void Connected() override
    {
        LinkFailureReport failure;
        {
            std::lock_guard<std::mutex> lock(session_.mutex_);
            if (session_.linkState_ != LinkState::Connecting || session_.quitting_)
                return;
            session_.linkState_ = LinkState::Connected;
            session_.everConnected_ = true;
            session_.retries_ = 0;
            failure = session_.setUpFailure_;
        }
        session_.wake_.notify_all();
        emit session_.linkStateChanged(LinkState::Connected);
        emit session_.connected();
        if (failure.failure != LinkFailure::None)
            session_.ReportFailure(failure);
    }
    // The identification failed, or the port failed while connected: the link ends, or is
    // tried again when the user wants that.
    void Disconnect() override
    {
        {
            std::lock_guard<std::mutex> lock(session_.mutex_);
            session_.NoteConnectFailureLocked(session_.flags_.workerState.load() == kWorkerRunning);
        }
        session_.EndLink(false);
    }
    void SetUpFailed(const LinkFailureReport& report) override
    {
        const QString text = LinkFailureText(session_.Config()->texts, report);
        std::lock_guard<std::mutex> lock(session_.mutex_);
        session_.setUpFailure_ = report;
        session_.adapterInfo_.setUpFailure = report.failure;
        session_.adapterInfo_.setUpFailureText = text;
    }
    void LinkLost() override { session_.EndLink(false); }
    void AdapterRestarted(const QString& seen) override
    {
        const QString text = TextOrEnglish(session_.Config()->texts, QStringLiteral("Restart_1"));
        const qint64 startMs = session_.flags_.workerStartTimeMs.load();
        session_.debugLog_.Note(session_.NowMs() - startMs,
                                text + QStringLiteral(" (") + seen + QStringLiteral(")"));
        emit session_.adapterRestarted(text);
    }
    void ConnectProgress(ConnectStep step, int n) override
    {
        {
            std::lock_guard<std::mutex> lock(session_.mutex_);
            if (session_.linkState_ != LinkState::Connecting || session_.quitting_)
                return;
        }
        emit session_.connectProgress(step, ConnectStepText(session_.Config()->texts, step, n));
    }

private:
    DiagSession& session_;
};

DiagSession::DiagSession(CoreState config, DiagSessionOptions options, QObject* parent)
    : QObject(parent), options_(std::move(options)),
      simulator_(options_.simulator ? options_.simulator
                                    : std::make_shared<Simulator>(RealisticSimulatorOptions())),
      bridge_(std::make_unique<Bridge>(*this)),
      retryClock_(options_.retryClock != nullptr ? *options_.retryClock : SteadyClockInstance())
{
    qRegisterMetaType<RowsSnapshot>();
    qRegisterMetaType<LinkState>();
    qRegisterMetaType<LinkFailure>();
    qRegisterMetaType<ConnectStep>();
    qRegisterMetaType<JobResult>();
    if (!options_.portFactory) {
        std::shared_ptr<Simulator> simulator = simulator_;
        options_.portFactory = [simulator](const QString& name) -> std::unique_ptr<AdapterPort> {
            if (name == kSimulatorPortName)
                return OpenSimulatorPort(simulator);
            return OpenAdapterPort(name);
        };
    }
    faults_.changed = [this] { emit faultsChanged(); };
    applySettings(std::move(config));
    config_ = applied_;
    retryWatch_ = retryClock_.Watch([this] {
        // Taking the lock orders the wake-up after the loop's look at the clock.
        std::lock_guard<std::mutex> lock(mutex_);
        wake_.notify_all();
    });
    loop_.reset(QThread::create([this] { LoopMain(); }));
    loop_->start();
}

DiagSession::~DiagSession()
{
    waitStopped();
    retryClock_.Unwatch(retryWatch_);
}

// ---- in ----

void DiagSession::applySettings(CoreState config)
{
    auto applied = std::make_shared<CoreState>(std::move(config));
    ChooseFamily(applied->link);
    std::shared_ptr<Ecu> family;
    if (!applied->link.ecuId.isEmpty())
        family = MakeEcu(applied, channel_, flags_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        applied_ = std::move(applied);
        family_ = std::move(family);
    }
    wake_.notify_all();
}

std::shared_ptr<const Ecu> DiagSession::family() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return family_;
}

std::shared_ptr<CoreState> DiagSession::Config() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return config_;
}

void DiagSession::TakeSettingsLocked()
{
    config_ = applied_;
}

bool DiagSession::connectLink(const std::array<QString, 8>& csvHeader,
                              const std::array<int, 8>& valueIndices)
{
    std::shared_ptr<CoreState> config;
    std::shared_ptr<Ecu> family;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (linkState_ != LinkState::Disconnected || quitting_)
            return false;
        config = applied_;
        family = family_;
    }
    if (config->link.ecuId.isEmpty() || config->link.port.isEmpty() || !family)
        return false;
    const CoreState& state = *config;
    const QDateTime now = QDateTime::currentDateTime();
    QString csvFileName;
    QString debugLogFileName;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        csvFileName = csvFileName_;
        debugLogFileName = debugLogFileName_;
        adapterInfo_ = AdapterInfo{};
    }
    if (debugLogFileName.isEmpty())
        debugLogFileName = LogFileName(state.settings.loggingDirectory, state.paths.baseName, now,
                                       QStringLiteral(".log"));
    if (csvFileName.isEmpty())
        csvFileName = LogFileName(state.settings.loggingDirectory, state.paths.baseName, now,
                                  QStringLiteral(".csv"));
    QStringList unwritable;
    if (state.settings.logging != 0 && !debugLog_.OpenDebugLogAt(debugLogFileName))
        unwritable << debugLogFileName;
    if (state.settings.csv != 0 &&
        !csvLog_.OpenCsvLogAt(csvFileName, config->texts.Text(QStringLiteral("CSV_1")), csvHeader))
        unwritable << csvLog_.FailedFileName();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // The link reads the settings it was asked with.
        config_ = config;
        csvOpenFileName_ = csvLog_.IsOpen() ? csvLog_.FileName() : QString();
        csvHeader_ = csvHeader;
        rideNumber_ = 1;
        newRidePending_ = false;
    }
    if (!unwritable.isEmpty())
        emit logProblem(TextOrEnglish(config->texts, QStringLiteral("Err_14"))
                            .arg(unwritable.join(QStringLiteral(", "))));

    if (state.link.port == kSimulatorPortName)
        simulator_->SetFamily(state.link.family);
    channel_.Reset();
    flags_.workerState = kWorkerStarting;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        linkState_ = LinkState::Connecting;
        connectPending_ = true;
        startPending_ = true;
        resumePending_ = false;
        userStop_ = false;
        retryAfterStop_ = false;
        reconnectWanted_ = state.settings.reconnect != 0;
        fastWanted_ = state.settings.fastRefresh != 0;
        nextPassAtMs_ = 0;
        port_ = state.link.port;
        everConnected_ = false;
        retries_ = 0;
        // The family stays the same for the life of the link, whatever the settings choose.
        ecu_ = family;
        setUpFailure_ = {};
        connectFailure_ = {};
        // The rows read what the choosers show now.
        for (int r = 0; r < kDisplayRows; ++r)
            choices_.emplace_back(r, valueIndices[static_cast<std::size_t>(r)]);
        workerAlive_ = true;
    }
    emit linkStateChanged(LinkState::Connecting);
    wake_.notify_all();
    return true;
}

void DiagSession::disconnectLink()
{
    EndLink(true);
}

void DiagSession::EndLink(bool byUser)
{
    bool retry = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (byUser)
            userStop_ = true;
        if (linkState_ == LinkState::Reconnecting) {
            if (!byUser)
                return;
            // A retry countdown ends at once: no worker runs during it.
            linkState_ = LinkState::Disconnecting;
        } else {
            if (linkState_ != LinkState::Connecting && linkState_ != LinkState::Connected)
                return;
            linkState_ = LinkState::Disconnecting;
            retryAfterStop_ = RetryWantedLocked();
            retry = retryAfterStop_;
        }
    }
    flags_.stopFlag = 1;
    wake_.notify_all();
    emit linkStateChanged(retry ? LinkState::Reconnecting : LinkState::Disconnecting);
}

bool DiagSession::RetryWantedLocked() const
{
    return reconnectWanted_ && (everConnected_ || retryFirstConnect_) && !userStop_ && !quitting_;
}

void DiagSession::setRetryFirstConnect(bool retry)
{
    std::lock_guard<std::mutex> lock(mutex_);
    retryFirstConnect_ = retry;
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

bool DiagSession::linkIsSimulated() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return port_ == kSimulatorPortName;
}

qint64 DiagSession::linkTimeMs() const
{
    return NowMs() - flags_.workerStartTimeMs.load();
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

void DiagSession::StartWorker(bool resume)
{
    // The previous worker has ended (a link is asked for only after that): collect it.
    if (worker_)
        worker_->wait();
    QString port;
    bool fast = false;
    std::shared_ptr<CoreState> config;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        port = port_;
        setUpFailure_ = {};
        fast = fastWanted_;
        config = config_;
    }
    silentPasses_ = 0;
    worker_.reset(QThread::create([this, port, resume, fast, config] {
        const bool debugLogOpen = debugLog_.IsOpen();
        ExchangeLogger logger = [this, debugLogOpen](qint64 ms, QByteArray command,
                                                     QByteArray answer) {
            NoteAdapterExchange(command, answer);
            if (debugLogOpen)
                debugLog_.Log(ms, command, answer);
        };
        AdapterPortFactory factory = [this](const QString& name) {
            std::unique_ptr<AdapterPort> opened = options_.portFactory(name);
            std::lock_guard<std::mutex> lock(mutex_);
            adapterInfo_.portOpened = opened != nullptr;
            return opened;
        };
        CommWorker worker(channel_, config->texts, *bridge_, port, nullptr, factory, logger);
        worker.SetTimings(options_.workerTimings);
        worker.SetResume(resume);
        worker.SetFastRefresh(fast, [this] { emit fastRefreshEnded(); });
        worker.Run();
        bool lost = false;
        bool retry = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            workerAlive_ = false;
            // The worker ended by itself (the port failed or could not be opened): the link
            // ends as if asked to, or is tried again.
            if (linkState_ == LinkState::Connecting || linkState_ == LinkState::Connected) {
                NoteConnectFailureLocked(false);
                linkState_ = LinkState::Disconnecting;
                retryAfterStop_ = RetryWantedLocked();
                retry = retryAfterStop_;
                lost = true;
            }
        }
        wake_.notify_all();
        if (lost)
            emit linkStateChanged(retry ? LinkState::Reconnecting : LinkState::Disconnecting);
    }));
    worker_->start();
}

void DiagSession::quit()
{
    std::vector<std::shared_ptr<QSemaphore>> gates;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (quitting_)
            return;
        quitting_ = true;
        gates.swap(gates_);
        jobs_.clear();
    }
    flags_.stopFlag = 1;
    flags_.quitFlag = 1;
    if (report_.Building())
        report_.RequestRead(); // a report being built is cancelled
    for (auto& gate : gates)
        gate->release();
    wake_.notify_all();
}

void DiagSession::waitStopped()
{
    quit();
    if (loop_)
        loop_->wait();
    if (worker_)
        worker_->wait();
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

void DiagSession::startAction(std::function<void()> work)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!quitting_)
        jobs_.push_back({Job::Action, {}, std::move(work), {}, nullptr});
    wake_.notify_all();
}

int DiagSession::routineResult(ProcedureRecord& record)
{
    const std::shared_ptr<Ecu> ecu = CurrentEcu();
    return ecu ? ecu->routineResult(record) : 0;
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

void DiagSession::answerQuestion()
{
    std::shared_ptr<QSemaphore> gate;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (gates_.empty())
            return;
        gate = gates_.front();
        gates_.erase(gates_.begin());
    }
    gate->release();
}

LinkState DiagSession::linkState() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return linkState_;
}

bool DiagSession::jobRunning() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return jobRunning_ || !jobs_.empty();
}

bool DiagSession::idle() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return idle_ && jobs_.empty() && !connectPending_;
}

bool DiagSession::workerRunning() const
{
    return flags_.workerState.load() == kWorkerRunning;
}

bool DiagSession::surveyRunning() const
{
    return surveyActive_.load();
}

AdapterInfo DiagSession::adapterInfo() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return adapterInfo_;
}

void DiagSession::NoteAdapterExchange(const QByteArray& command, const QByteArray& answer)
{
    std::lock_guard<std::mutex> lock(mutex_);
    // What the adapter and the ECU show of themselves while the link comes up.
    if (linkState_ != LinkState::Connecting)
        return;
    AdapterInfo& info = adapterInfo_;
    const QStringList lines = AnswerLines(command, answer);
    if (!lines.isEmpty())
        info.answered = true;
    if (command == "ATZ") {
        info.banner = lines.join(QLatin1Char(' '));
        info.kind = QStringLiteral("ELM327");
    } else if (command == "STMFR" && answer.contains("OBD Solutions")) {
        info.kind = QStringLiteral("STN");
        info.detail = lines.join(QLatin1Char(' '));
    } else if (command == "VTPROI" && answer.contains("Vgate")) {
        info.kind = QStringLiteral("Vgate");
        info.detail = lines.join(QLatin1Char(' '));
    } else if (IsDiagnosticRequest(command) && FromEcu(answer)) {
        info.ecuAnswered = true;
    }
}

void DiagSession::CloseLogs()
{
    debugLog_.Close();
    csvLog_.FlushCsvLog();
}

// ---- the loop ----

bool DiagSession::StopRequested() const
{
    return flags_.stopFlag.load() != 0;
}

qint64 DiagSession::NowMs() const
{
    return SteadyClockInstance().NowMs();
}

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
            ecu->identify(*bridge_);
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

std::shared_ptr<Ecu> DiagSession::CurrentEcu() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return ecu_;
}

std::shared_ptr<Ecu> DiagSession::JobEcu() const
{
    return ecu_ ? ecu_ : family_;
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

void DiagSession::NoteConnectFailureLocked(bool workerRunning)
{
    // A retry of a link that was up is not the user's connect: its countdown speaks for it.
    if (linkState_ != LinkState::Connecting || everConnected_ ||
        connectFailure_.failure != LinkFailure::None)
        return;
    connectFailure_ = setUpFailure_;
    if (connectFailure_.failure == LinkFailure::None && workerRunning)
        connectFailure_ = {LinkFailure::NoIdentification, port_, {}};
}

void DiagSession::ReportFailure(const LinkFailureReport& report)
{
    const QString text = LinkFailureText(Config()->texts, report);
    const qint64 startMs = flags_.workerStartTimeMs.load();
    // A port that did not open never reached the moment the link's times count from.
    debugLog_.Note(report.failure == LinkFailure::PortNotOpened ? 0 : NowMs() - startMs, text);
    emit linkFailed(report.failure, text);
}

void DiagSession::FinishDisconnect()
{
    LinkFailureReport failure;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::swap(failure, connectFailure_);
    }
    if (failure.failure != LinkFailure::None)
        ReportFailure(failure);
    channel_.Abort();
    CutSurveyShort();
    CloseLogs();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        linkState_ = LinkState::Disconnected;
    }
    emit linkStateChanged(LinkState::Disconnected);
    emit disconnected();
}

} // namespace velmoro
