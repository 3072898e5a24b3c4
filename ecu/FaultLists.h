// The current and stored fault lines: owned by the session, filled by its fault jobs and the
// report, read by the views.
#pragma once

#include <QMutex>
#include <QStringList>
#include <QVector>
#include <functional>

namespace velmoro {

// One line of a fault list and what it was made from.
struct FaultEntry {
    QString text; // as the views show it: "P0105-1C Throttle sensor LED on"
    // The fault's code, "P0105-1C" (MIUG4, with its failure type) or "P0105" (11MP); empty for a
    // line that names no fault (the memory holds entries it cannot show).
    QString code;
    int status = -1; // the record's status byte; -1 without a record
};

// Written by whichever thread reads the faults; the faults view redraws on `changed`, which is
// called on the writing thread (the GUI queues it to the main thread).
class FaultLists {
public:
    void Clear();
    // A line that names no fault.
    void AddCurrent(const QString& line);
    void AddStored(const QString& line);
    void AddCurrent(const FaultEntry& entry);
    void AddStored(const FaultEntry& entry);
    // The lines' texts.
    QStringList Current() const;
    QStringList Stored() const;
    QVector<FaultEntry> CurrentEntries() const;
    QVector<FaultEntry> StoredEntries() const;
    // The ECU did not give its fault memory (no answer, refused, link ended): both lists are
    // empty and mean "not read", not "no faults". Clear() takes the mark away.
    void MarkUnread();
    bool Unread() const;
    std::function<void()> changed;

private:
    void Notify();
    mutable QMutex mutex_;
    QVector<FaultEntry> current_;
    QVector<FaultEntry> stored_;
    bool unread_ = false;
};

} // namespace velmoro
