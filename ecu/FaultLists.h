// The current and stored fault lines: owned by the session, filled by its fault jobs and the
// report, read by the views.
#pragma once

#include <QMutex>
#include <QStringList>
#include <functional>

namespace velmoro {

// Written by whichever thread reads the faults; the faults view redraws on `changed`, which is
// called on the writing thread (the GUI queues it to the main thread).
class FaultLists {
public:
    void Clear();
    void AddCurrent(const QString& line);
    void AddStored(const QString& line);
    QStringList Current() const;
    QStringList Stored() const;
    // The ECU did not give its fault memory (no answer, refused, link ended): both lists are
    // empty and mean "not read", not "no faults". Clear() takes the mark away.
    void MarkUnread();
    bool Unread() const;
    std::function<void()> changed;

private:
    void Notify();
    mutable QMutex mutex_;
    QStringList current_;
    QStringList stored_;
    bool unread_ = false;
};

} // namespace velmoro
