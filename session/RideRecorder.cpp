// The event file of a ride, written as the session's signals come.
#include "session/RideRecorder.h"

#include "link/PortDiscovery.h"

#include <algorithm>

namespace velmoro {

QMap<QString, QString> FaultCodesOf(const QVector<FaultEntry>& entries)
{
    QMap<QString, QString> codes;
    for (const FaultEntry& entry : entries) {
        if (!entry.code.isEmpty())
            codes.insert(entry.code, entry.text.trimmed());
    }
    return codes;
}

RideRecorder::RideRecorder(DiagSession& session, FaultLists& faults, RideRecorderOptions options,
                           QObject* parent)
    : QObject(parent), session_(session), faultLists_(faults), options_(options)
{
    setOptions(options_);
    connect(&faultsTimer_, &QTimer::timeout, this, [this] {
        // Between two passes, like a read the user asks for; one at a time.
        if (up_ && !session_.jobRunning())
            ReadFaults();
    });
    connect(&session_, &DiagSession::linkStateChanged, this, &RideRecorder::OnLinkState);
    connect(&session_, &DiagSession::connected, this, [this] {
        if (!log_.IsOpen())
            OpenRide();
        if (lost_) {
            const qint64 downMs = session_.linkTimeMs() - lostAtMs_;
            lost_ = false;
            if (options_.rideGapSeconds > 0 && downMs > qint64{options_.rideGapSeconds} * 1000) {
                session_.startNewRide();
            } else {
                Note(EventKind::LinkBack);
            }
        }
        up_ = true;
        if (options_.faultsEverySeconds > 0) {
            faultsTimer_.start();
            ReadFaults();
        }
    });
    connect(&session_, &DiagSession::rideRolled, this,
            [this](const QString& csvFileName) { OpenRideBeside(csvFileName); });
    connect(&session_, &DiagSession::adapterRestarted, this,
            [this](const QString& text) { Note(EventKind::AdapterRestarted, {}, text); });
    connect(&session_, &DiagSession::fastRefreshEnded, this,
            [this] { Note(EventKind::FastRefreshEnded); });
    connect(&session_, &DiagSession::sessionReopened, this,
            [this] { Note(EventKind::SessionReopened); });
    connect(&session_, &DiagSession::faultsDone, this, &RideRecorder::OnFaultsRead);
    connect(&session_, &DiagSession::disconnected, this, [this] {
        faultsTimer_.stop();
        up_ = false;
        lost_ = false;
        log_.Close();
    });
}

void RideRecorder::setOptions(RideRecorderOptions options)
{
    options_ = options;
    faultsTimer_.setInterval(std::max(1, options_.faultsEverySeconds) * 1000);
}

void RideRecorder::ReadFaults()
{
    // An answer without records leaves the lists as they are: they start empty, as the fault
    // view's Read starts them.
    faultLists_.Clear();
    session_.readFaults();
}

bool RideRecorder::mark(const QString& note)
{
    if (!log_.IsOpen())
        return false;
    Note(EventKind::Mark, {}, note);
    return true;
}

void RideRecorder::OpenRide()
{
    const QString csvFileName = session_.csvLogFileName();
    if (!csvFileName.isEmpty())
        OpenRideBeside(csvFileName);
}

void RideRecorder::OpenRideBeside(const QString& csvFileName)
{
    log_.Close();
    faults_.clear();
    faultsKnown_ = false;
    if (!log_.Open(csvFileName)) {
        problem_ = EventFileName(csvFileName);
        return;
    }
    problem_.clear();
    emit rideStarted(csvFileName, log_.FileName());
    Note(EventKind::RideStart);
    if (session_.linkIsSimulated())
        Note(EventKind::Simulated);
}

void RideRecorder::Note(EventKind kind, const QString& code, const QString& text)
{
    if (!log_.IsOpen())
        return;
    LogEvent event;
    event.timeMs = static_cast<double>(std::max<qint64>(0, session_.linkTimeMs()));
    event.kind = kind;
    event.code = code;
    event.text = text;
    log_.Append(event);
    emit noted(event);
}

void RideRecorder::OnLinkState(LinkState state)
{
    // The link went down by itself while it was up (the user's Disconnect ends the ride instead).
    if (up_ && state == LinkState::Reconnecting) {
        up_ = false;
        lost_ = true;
        lostAtMs_ = session_.linkTimeMs();
        faultsTimer_.stop();
        Note(EventKind::LinkLost);
    }
}

void RideRecorder::OnFaultsRead()
{
    // A memory the ECU did not give is not an empty one: nothing appeared or went.
    if (faultLists_.Unread())
        return;
    const QMap<QString, QString> now =
        FaultCodesOf(faultLists_.CurrentEntries() + faultLists_.StoredEntries());
    if (faultsKnown_) {
        for (auto it = now.cbegin(); it != now.cend(); ++it)
            if (!faults_.contains(it.key()))
                Note(EventKind::FaultAppeared, it.key(), it.value());
        for (auto it = faults_.cbegin(); it != faults_.cend(); ++it)
            if (!now.contains(it.key()))
                Note(EventKind::FaultGone, it.key(), it.value());
    } else {
        // What the memory holds when the ride starts is where the ride starts: each fault is
        // noted once, so a ride's file tells all it had.
        for (auto it = now.cbegin(); it != now.cend(); ++it)
            Note(EventKind::FaultAppeared, it.key(), it.value());
    }
    faults_ = now;
    faultsKnown_ = true;
}

} // namespace velmoro
