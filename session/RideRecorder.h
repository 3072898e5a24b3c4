// What happened on a ride, noted beside its CSV log: the event file.
//
// A view that logs values makes one beside its session (velmoro-cli record; the window while its
// CSV log is on). It writes the event file next to the session's CSV log, on the CSV log's clock,
// one flushed line per event: the ride's start (and that the values are invented when the link
// is simulated), faults that appeared in or went from the fault memory, the link lost and back,
// the adapter restarted and set up again, fast refresh fallen back, the ECU session reopened
// after an ignition cycle, and the user's own marks. With a fault interval it asks the session
// for a read of the fault memory that often, between two passes; a read the ECU did not answer
// changes nothing (an unread memory is no empty one). With a ride gap, a link that comes back
// after being down longer than that starts a new ride: new CSV log, new event file.
#pragma once

#include "output/EventLog.h"
#include "session/DiagSession.h"

#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

namespace velmoro {

struct RideRecorderOptions {
    // Seconds between two reads of the fault memory; 0: none of its own (reads a view asks for
    // are still compared).
    int faultsEverySeconds = 0;
    // Seconds the link may stay down before the ride counts as ended; 0: never.
    int rideGapSeconds = 0;
};

// The fault codes of fault-list entries ("P0105-1C"), each with its line as the fault view shows
// it; lines that name no fault (texts saying the memory holds entries it cannot show) are left
// out.
QMap<QString, QString> FaultCodesOf(const QVector<FaultEntry>& entries);

class RideRecorder : public QObject {
    Q_OBJECT
public:
    // Lives on the main thread with the session; follows its signals from the next connect on.
    // faults: the lists the session's fault reads fill (the view's state).
    RideRecorder(DiagSession& session, FaultLists& faults, RideRecorderOptions options,
                 QObject* parent = nullptr);

    // Options for the next connect on (the window reads them from its settings at each connect).
    void setOptions(RideRecorderOptions options);

    // The user's mark, at this moment of the ride. False when no event file is open.
    bool mark(const QString& note = {});
    // The event file of the ride being recorded; empty when none is open.
    QString eventFileName() const { return log_.IsOpen() ? log_.FileName() : QString(); }
    // False after an event could not be written (the event file could not be created, disk
    // full); problem() names the file.
    bool writeOk() const { return log_.WriteOk() && problem_.isEmpty(); }
    QString problem() const { return problem_; }

signals:
    // An event was written (for a view that shows them as they come).
    void noted(const velmoro::LogEvent& event);
    // A new event file was opened beside a new CSV log.
    void rideStarted(const QString& csvFileName, const QString& eventFileName);

private:
    void OpenRide();
    void OpenRideBeside(const QString& csvFileName);
    void Note(EventKind kind, const QString& code = {}, const QString& text = {});
    void OnLinkState(LinkState state);
    void OnFaultsRead();
    void ReadFaults();

    DiagSession& session_;
    FaultLists& faultLists_;
    RideRecorderOptions options_;
    EventLog log_;
    QString problem_;
    QTimer faultsTimer_;
    // The fault memory as last read: code -> line; known once a read succeeded on this ride.
    QMap<QString, QString> faults_;
    bool faultsKnown_ = false;
    bool up_ = false;
    bool lost_ = false;
    qint64 lostAtMs_ = 0;
};

} // namespace velmoro
