// The shared current/stored fault lines.
#include "ecu/FaultLists.h"

#include <QMutexLocker>

namespace velmoro {

void FaultLists::Clear()
{
    {
        QMutexLocker lock(&mutex_);
        current_.clear();
        stored_.clear();
        unread_ = false;
    }
    Notify();
}

void FaultLists::MarkUnread()
{
    {
        QMutexLocker lock(&mutex_);
        current_.clear();
        stored_.clear();
        unread_ = true;
    }
    Notify();
}

bool FaultLists::Unread() const
{
    QMutexLocker lock(&mutex_);
    return unread_;
}

void FaultLists::AddCurrent(const QString& line)
{
    {
        QMutexLocker lock(&mutex_);
        current_.append(line);
    }
    Notify();
}

void FaultLists::AddStored(const QString& line)
{
    {
        QMutexLocker lock(&mutex_);
        stored_.append(line);
    }
    Notify();
}

QStringList FaultLists::Current() const
{
    QMutexLocker lock(&mutex_);
    return current_;
}

QStringList FaultLists::Stored() const
{
    QMutexLocker lock(&mutex_);
    return stored_;
}

void FaultLists::Notify()
{
    if (changed)
        changed();
}

} // namespace velmoro
