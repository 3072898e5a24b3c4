// The diagnostic session: its settings, the worker, the connect sequence and the link state.
#include "session/DiagSession.h"
#include "session/SessionBridge.h"

#include "link/CommWorker.h"
#include "link/PortDiscovery.h"
#include "link/UiBridge.h"
#include "sim/Simulator.h"
#include "sim/SimulatorPort.h"

#include <QDateTime>

namespace velmoro {

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
    qRegisterMetaType<EcuInfo>();
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

void DiagSession::applySettings(CoreState config)
{
    auto applied = std::make_shared<CoreState>(std::move(config));
    ChooseFamily(applied->link);
    std::shared_ptr<Ecu> family;
    if (!applied->link.ecuId.isEmpty())
        // The procedures wait on the session's clock, woken by a disconnect or a quit.
        family = MakeEcu(applied, channel_, [this](int ms) { return WaitOnClock(ms); });
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

bool DiagSession::linkIsSimulated() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return port_ == kSimulatorPortName;
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
    answersAtWorkerStart_ = channel_.EcuAnswers();
    worker_.reset(QThread::create([this, port, resume, fast, config] {
        const bool debugLogOpen = debugLog_.IsOpen();
        ExchangeLogger logger;
        if (debugLogOpen)
            logger = [this](qint64 ms, QByteArray command, QByteArray answer) {
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
        // The loop finishes the disconnect only once the worker counts as ended, so the view
        // hears that the link is ending before it hears that it is down, never the other way.
        if (lost)
            emit linkStateChanged(retry ? LinkState::Reconnecting : LinkState::Disconnecting);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            workerAlive_ = false;
        }
        wake_.notify_all();
    }));
    worker_->start();
}

void DiagSession::Identify(Ecu& ecu)
{
    if (WaitForWorker(flags_) != kWorkerRunning) {
        bridge_->Disconnect();
        return;
    }
    bridge_->ConnectProgress(ConnectStep::Identification, 0);
    const std::optional<EcuInfo> info = ecu.identify();
    if (channel_.EcuAnswers() > answersAtWorkerStart_) {
        std::lock_guard<std::mutex> lock(mutex_);
        adapterInfo_.ecuAnswered = true;
    }
    if (!info) {
        bridge_->Disconnect();
        return;
    }
    emit identified(*info);
    bridge_->Connected();
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

bool DiagSession::workerRunning() const
{
    return flags_.workerState.load() == kWorkerRunning;
}

AdapterInfo DiagSession::adapterInfo() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return adapterInfo_;
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
