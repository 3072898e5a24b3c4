// The communication worker: the one thread that owns the adapter port.
//
// Run() does everything on the calling thread and returns when the worker has ended:
//   clear stopFlag; open the port (failure: workerState 0 at once, nothing sent, no prompt);
//   drain the input; the ignition prompt through UiBridge::ShowMessageAndWait; workerStartTimeMs;
//   the adapter set-up (CR, ATZ, ATE 0, STMFR / VTPROI, protocol, ATSH 7A0, ATCRA 7A8); session
//   request 10 03; with fast refresh wanted, the count-digit check (LinkPace.h); workerState 1;
//   the request loop (paced by LinkPace, keep-alive 3E 00 after idle); on stopFlag: ATZ (only
//   where the adapter answered the set-up), close, workerState 0.
// What the set-up heard names a failed step (LinkFailure.h) through UiBridge::SetUpFailed, before
// workerState changes; the commands sent stay the same whatever the answers.
// A stop requested during the prompt or the set-up is honoured: the worker skips to the end stage
// instead of entering the request loop. A port that fails while connected ends the worker like a
// stop without the ATZ: pending and later Exchange calls return -1, the port is closed,
// workerState becomes 0 and UiBridge::LinkLost() is called once.
// An answer that shows the adapter restarted by itself and lost its set-up (AnswerParser.h,
// AdapterRestartSign) makes the worker send the whole set-up again before the caller is woken,
// then tell UiBridge::AdapterRestarted; when that set-up fails the link is lost as above.
#pragma once

#include "link/AdapterPort.h"
#include "link/Clock.h"
#include "link/LinkFailure.h"
#include "link/LinkPace.h"
#include "link/LinkTimings.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

namespace velmoro {

class LanguageTexts;
class RequestChannel;
class UiBridge;

// Called once per adapter exchange (set-up, requests, keep-alive), on the worker thread.
using ExchangeLogger =
    std::function<void(qint64 msSinceStart, QByteArray command, QByteArray answer)>;

// Overridable timings; tests shorten them, the program keeps the defaults.
struct CommWorkerTimings {
    int adapterTimeoutMs = kAdapterTimeoutMs;
    int pauseAfterRequestMs = kPauseAfterRequestMs;
    int keepAliveIdleMs = kKeepAliveIdleMs;
};

class CommWorker {
public:
    // clock: nullptr = the steady clock. portFactory: empty = OpenAdapterPort. Every referenced
    // object must outlive Run().
    CommWorker(RequestChannel& channel, LanguageTexts& texts, UiBridge& ui, QString portName,
               Clock* clock = nullptr, AdapterPortFactory portFactory = {},
               ExchangeLogger logger = {});

    void SetTimings(const CommWorkerTimings& timings) { timings_ = timings; }
    // The link resumes one that was lost: no ignition prompt, and the times of the logs keep
    // counting from the start of the first link (flags.workerStartTimeMs is left as it is).
    void SetResume(bool resume) { resume_ = resume; }
    // Fast refresh for this link (see LinkPace.h). fellBack is called on the worker thread when
    // answers turned bad and the link went back to the normal pace.
    void SetFastRefresh(bool wanted, std::function<void()> fellBack = {})
    {
        fastWanted_ = wanted;
        fellBack_ = std::move(fellBack);
    }

    void Run();

private:
    QByteArray Command(AdapterPort& port, const QByteArray& text, bool* prompted = nullptr);
    // complete: the answer taken ended with the prompt.
    QByteArray Request(AdapterPort& port, const std::uint8_t* bytes, int length,
                       bool* complete = nullptr);
    bool StopRequested() const;
    // The adapter set-up (CR, ATZ, ATE 0, STMFR / VTPROI, protocol, ATSH 7A0, ATCRA 7A8), the
    // session request 10 03 and, while fast, the count-digit check; stops early when the port
    // failed or a stop was asked for. connecting: each step is reported as the link's progress
    // (not when an adapter that restarted is set up again).
    void SetUpAdapter(AdapterPort& port, SetUpAnswers& heard, bool connecting);
    // The adapter restarted (sign: what showed it): the whole set-up again, without the ignition
    // prompt. False when the link is lost: the port failed, the adapter stayed silent, or it
    // kept restarting.
    bool SetUpAgain(AdapterPort& port, const QByteArray& sign);
    // What in this answer shows a restart (empty: nothing); counts the restarts in a row.
    QByteArray NoteRestartSign(const QByteArray& answer, const QByteArray& sent);
    void RequestLoop(AdapterPort& port);

    RequestChannel& channel_;
    LanguageTexts& texts_;
    UiBridge& ui_;
    QString portName_;
    Clock& clock_;
    AdapterPortFactory portFactory_;
    ExchangeLogger logger_;
    CommWorkerTimings timings_;
    qint64 linkStartMs_ = 0;
    bool resume_ = false;
    bool fastWanted_ = false;
    std::function<void()> fellBack_;
    LinkPace pace_;
    int setUpsInRow_ = 0;
    bool setUpLost_ = false; // the adapter could not be set up again after a restart
};

} // namespace velmoro
