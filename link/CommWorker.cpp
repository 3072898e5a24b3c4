// The communication worker: port, adapter set-up, request loop and end stage.
#include "link/CommWorker.h"

#include "config/LanguageTexts.h"
#include "link/AdapterCommand.h"
#include "link/AnswerParser.h"
#include "link/LinkFailure.h"
#include "link/RequestChannel.h"
#include "link/UiBridge.h"

#include <algorithm>

namespace velmoro {

namespace {
// Reading what an adapter left in the port before we talk to it; bounded so that a device that
// never stops sending cannot hold the worker here.
constexpr int kMaxDrainReads = 1000;
// Answers of earlier, timed-out requests passed over before the answer to a request; more than
// this means the adapter is out of step for good, and the request yields no data.
constexpr int kMaxStaleAnswers = 3;
// Set-ups in a row, each after an answer that showed the adapter had restarted, before the link
// counts as lost.
constexpr int kMaxSetUpsInRow = 3;

// The adapter ends every answer with a blank line before its prompt.
bool EndsWithBlankLine(const QByteArray& answer)
{
    QByteArray end = answer.right(6);
    end.replace("\r\n", "\r").replace('\n', '\r');
    return end.endsWith("\r\r");
}
} // namespace

CommWorker::CommWorker(RequestChannel& channel, LanguageTexts& texts, UiBridge& ui,
                       QString portName, Clock* clock, AdapterPortFactory portFactory,
                       ExchangeLogger logger)
    : channel_(channel), texts_(texts), ui_(ui), portName_(std::move(portName)),
      clock_(clock != nullptr ? *clock : SteadyClockInstance()),
      portFactory_(std::move(portFactory)), logger_(std::move(logger))
{
}

bool CommWorker::StopRequested() const
{
    return channel_.Flags().stopFlag.load() != 0;
}

QByteArray CommWorker::Command(AdapterPort& port, const QByteArray& text, bool* prompted)
{
    AdapterCommand command;
    command.port = &port;
    command.timeoutMs = timings_.adapterTimeoutMs;
    command.command = text;
    SendAdapterCommand(command, clock_);
    if (logger_) {
        logger_(clock_.NowMs() - linkStartMs_, command.command, command.answer);
    }
    if (prompted != nullptr) {
        *prompted = command.prompted;
    }
    return command.answer;
}

QByteArray CommWorker::Request(AdapterPort& port, const std::uint8_t* bytes, int length,
                               bool* complete)
{
    bool prompted = false;
    QByteArray answer = Command(port, pace_.RequestText(bytes, length), &prompted);
    // An answer that came after its request had timed out arrives ahead of the answer to this
    // one. Taking it would put every later value one request behind, into the wrong rows, so it
    // is passed over and the next answer read; when none that fits comes, there is no data.
    for (int stale = 0; !AnswerBelongsTo(bytes, length, answer); ++stale) {
        if (stale == kMaxStaleAnswers || port.Failed()) {
            prompted = false;
            answer.clear();
            break;
        }
        AdapterCommand next;
        next.port = &port;
        next.timeoutMs = timings_.adapterTimeoutMs;
        ReceiveAdapterAnswer(next, clock_);
        if (logger_) {
            logger_(clock_.NowMs() - linkStartMs_, QByteArray(), next.answer);
        }
        answer = next.answer;
        prompted = next.prompted;
    }
    if (complete != nullptr) {
        *complete = prompted;
    }
    return answer;
}

void CommWorker::Run()
{
    LinkFlags& flags = channel_.Flags();
    // A stop that arrives from here on is honoured; an old one from the last link is not.
    flags.stopFlag.store(0);
    channel_.Reset();
    // Every link starts with the pace the user wants, whatever the last one fell back to.
    pace_ = LinkPace(fastWanted_);
    setUpsInRow_ = 0;
    setUpLost_ = false;

    SetLastPortOpenError(QString());
    ui_.ConnectProgress(ConnectStep::OpeningPort);
    std::unique_ptr<AdapterPort> port =
        portFactory_ ? portFactory_(portName_) : OpenAdapterPort(portName_);
    if (!port) {
        ui_.SetUpFailed({LinkFailure::PortNotOpened, portName_, LastPortOpenError()});
        channel_.Abort();
        flags.SetWorkerState(kWorkerStopped);
        return;
    }

    for (int i = 0; i < kMaxDrainReads; ++i) {
        if (port->BytesWaiting() == 0 && !port->WaitForReadable(0)) {
            break;
        }
        port->Read(port->BytesWaiting());
    }

    if (resume_) {
        linkStartMs_ = flags.workerStartTimeMs.load();
    } else {
        ui_.ShowMessageAndWait(texts_.Text(QStringLiteral("Thread_2")) + QLatin1Char('\n') +
                               texts_.Text(QStringLiteral("Thread_3")));
        linkStartMs_ = clock_.NowMs();
        flags.workerStartTimeMs.store(linkStartMs_);
    }

    bool lost = false;
    const auto proceed = [&] {
        if (port->Failed()) {
            lost = true;
        }
        return !lost && !StopRequested();
    };

    // The answers are only heard, never acted on: a failed step is named, the set-up goes on.
    SetUpAnswers heard;
    if (proceed()) {
        SetUpAdapter(*port, heard, true);
    }

    ui_.AdapterFound(AdapterOf(heard));
    if (proceed() && heard.adapterSilent) {
        // Named at once: waiting out every further set-up command would only keep the user
        // looking at a link that cannot come up.
        ui_.SetUpFailed(DiagnoseSetUp(portName_, heard));
    } else if (proceed()) {
        const LinkFailureReport report = DiagnoseSetUp(portName_, heard);
        if (report.failure != LinkFailure::None) {
            ui_.SetUpFailed(report);
        }
        flags.SetWorkerState(kWorkerRunning);
        RequestLoop(*port);
        lost = port->Failed() || setUpLost_;
    }

    // A vanished port cannot take the reset, nor needs it an adapter that never answered (each
    // unanswered command would only hold the stop up for the adapter's time-out).
    if (!lost && !port->Failed() && AdapterAnswered(heard)) {
        Command(*port, QByteArrayLiteral("ATZ"));
    } else if (lost || port->Failed()) {
        lost = true;
    }
    port->Close();
    channel_.Abort();
    const bool wasConnected = flags.workerState.load() == kWorkerRunning;
    flags.SetWorkerState(kWorkerStopped);
    if (lost && wasConnected) {
        ui_.LinkLost();
    }
}

void CommWorker::SetUpAdapter(AdapterPort& port, SetUpAnswers& heard, bool connecting)
{
    // Commands in a row that brought nothing back, not even a prompt.
    int unanswered = 0;
    const auto proceed = [&] { return !port.Failed() && !StopRequested() && !heard.adapterSilent; };
    const auto command = [&](const QByteArray& text) {
        if (connecting) {
            ui_.ConnectProgress(ConnectStep::AdapterSetUp, AdapterSetUpStep(text));
        }
        bool prompted = false;
        heard.all << Command(port, text, &prompted);
        unanswered = heard.all.last().isEmpty() && !prompted ? unanswered + 1 : 0;
        heard.adapterSilent = unanswered >= kSilentSetUpCommands;
        return heard.all.last();
    };
    heard.protocolCommand = QByteArrayLiteral("ATSP 6");
    const QByteArray setUp[] = {QByteArray(), QByteArrayLiteral("ATZ"), QByteArrayLiteral("ATE 0")};
    for (const QByteArray& text : setUp) {
        if (!proceed()) {
            return;
        }
        const QByteArray answer = command(text);
        if (text == "ATZ") {
            heard.resetAnswer = answer;
        }
    }
    if (proceed()) {
        const QByteArray stn = command(QByteArrayLiteral("STMFR"));
        if (stn.contains("OBD Solutions")) {
            heard.protocolCommand = QByteArrayLiteral("STP 33");
            heard.identityCommand = QByteArrayLiteral("STMFR");
            heard.identityAnswer = stn;
        } else if (proceed()) {
            const QByteArray vgate = command(QByteArrayLiteral("VTPROI"));
            if (vgate.contains("Vgate")) {
                heard.protocolCommand = QByteArrayLiteral("VTP2 33");
                heard.identityCommand = QByteArrayLiteral("VTPROI");
                heard.identityAnswer = vgate;
            }
        }
    }
    if (proceed()) {
        heard.protocolAnswer = command(heard.protocolCommand);
    }
    for (const QByteArray& text : {QByteArrayLiteral("ATSH 7A0"), QByteArrayLiteral("ATCRA 7A8")}) {
        if (!proceed()) {
            return;
        }
        command(text);
    }
    if (proceed()) {
        const std::uint8_t session[] = {0x10, 0x03};
        if (connecting) {
            ui_.ConnectProgress(ConnectStep::EcuSession);
        }
        heard.sessionAnswer = Request(port, session, 2);
        heard.all << heard.sessionAnswer;
        ResponseBuffer scratch{};
        if (!ParseAnswer(heard.sessionAnswer, scratch, session, 2).answerBytes.isEmpty())
            channel_.NoteEcuAnswer();
    }
    if (pace_.Fast() && proceed()) {
        bool prompted = false;
        const QByteArray answer = Command(port, LinkPace::CountDigitProbe(), &prompted);
        pace_.TakeProbeAnswer(answer, prompted);
    }
}

bool CommWorker::SetUpAgain(AdapterPort& port, const QByteArray& sign)
{
    // An adapter that shows the signs again and again without one sound answer between them is
    // not mended by setting it up: the link is lost, and reconnecting (when on) takes over.
    if (++setUpsInRow_ > kMaxSetUpsInRow) {
        return false;
    }
    SetUpAnswers heard;
    SetUpAdapter(port, heard, false);
    if (port.Failed()) {
        return false;
    }
    if (StopRequested()) {
        return true;
    }
    // Only silence ends the link here. An adapter that took CAN at connect does not refuse it
    // now: a "?" where the protocol's answer belongs is an answer of an earlier command that came
    // late, and a set-up that did not take shows at the next request, which sets up again.
    if (DiagnoseSetUp(portName_, heard).failure == LinkFailure::AdapterSilent) {
        return false;
    }
    ui_.AdapterRestarted(QString::fromLatin1(sign));
    return true;
}

QByteArray CommWorker::NoteRestartSign(const QByteArray& answer, const QByteArray& sent)
{
    QByteArray sign = AdapterRestartSign(answer, sent);
    if (sign.isEmpty()) {
        setUpsInRow_ = 0;
    }
    return sign;
}

void CommWorker::RequestLoop(AdapterPort& port)
{
    ResponseBuffer response = channel_.WorkerResponseBuffer();
    qint64 lastActivityMs = clock_.NowMs();

    while (!StopRequested() && !port.Failed()) {
        const qint64 idleMs = clock_.NowMs() - lastActivityMs;
        const int waitMs = static_cast<int>(
            std::clamp<qint64>(timings_.keepAliveIdleMs - idleMs + 1, 0, kStopPollMs));
        RequestBuffer request{};
        int length = 0;
        if (channel_.WaitForRequest(waitMs, request, length)) {
            bool complete = false;
            const QByteArray sent = pace_.RequestText(request.data(), length);
            const QByteArray answer = Request(port, request.data(), length, &complete);
            if (port.Failed()) {
                break; // the end stage aborts the waiting caller with -1
            }
            // An answer that never reached its prompt may be cut anywhere, even between two
            // bytes, where it would still read as clean: it is data only when the adapter ended
            // it with its blank line all the same.
            const bool whole = complete || EndsWithBlankLine(answer);
            const ParsedAnswer parsed =
                whole ? ParseAnswer(answer, response, request.data(), length) : ParsedAnswer{};
            const QByteArray restartSign = NoteRestartSign(answer, sent);
            // Told before the caller is woken, so the news is never behind the next request.
            // A restart is no bad answer of the pace: the set-up probes the digit again.
            if (restartSign.isEmpty() && pace_.Judge(request.data(), length, answer, complete) &&
                fellBack_) {
                fellBack_();
            }
            // Set up again before the caller is woken, so its next request finds the adapter
            // as the link needs it.
            if (!restartSign.isEmpty() && !SetUpAgain(port, restartSign)) {
                setUpLost_ = true;
                break; // the end stage aborts the waiting caller with -1
            }
            // Taken before the caller is woken, so the idle time starts with this answer.
            lastActivityMs = clock_.NowMs();
            channel_.Complete(parsed.count, response, parsed.answerBytes);
            clock_.SleepMs(pace_.PauseAfterRequestMs(timings_.pauseAfterRequestMs));
        } else if (clock_.NowMs() - lastActivityMs > timings_.keepAliveIdleMs) {
            // Encoded from its own bytes, so a request being prepared is never overwritten;
            // the answer, positive or not, is ignored.
            const std::uint8_t keepAlive[] = {0x3E, 0x00};
            const QByteArray sent = pace_.RequestText(keepAlive, 2);
            const QByteArray restartSign = NoteRestartSign(Request(port, keepAlive, 2), sent);
            if (!restartSign.isEmpty() && !port.Failed() && !SetUpAgain(port, restartSign)) {
                setUpLost_ = true;
                break;
            }
            lastActivityMs = clock_.NowMs();
        } else {
            // Lets a port notice that its device went away while the link is idle.
            port.WaitForReadable(0);
        }
    }
}

} // namespace velmoro
