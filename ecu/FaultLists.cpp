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
    AddCurrent(FaultEntry{line, {}, -1});
}

void FaultLists::AddStored(const QString& line)
{
    AddStored(FaultEntry{line, {}, -1});
}

void FaultLists::AddCurrent(const FaultEntry& entry)
{
    {
        QMutexLocker lock(&mutex_);
        current_.append(entry);
    }
    Notify();
}

void FaultLists::AddStored(const FaultEntry& entry)
{
    {
        QMutexLocker lock(&mutex_);
        stored_.append(entry);
    }
    Notify();
}

namespace {
QStringList Texts(const QVector<FaultEntry>& entries)
{
    QStringList texts;
    for (const FaultEntry& entry : entries)
        texts << entry.text;
    return texts;
}
} // namespace

QStringList FaultLists::Current() const
{
    QMutexLocker lock(&mutex_);
    return Texts(current_);
}

QStringList FaultLists::Stored() const
{
    QMutexLocker lock(&mutex_);
    return Texts(stored_);
}

QVector<FaultEntry> FaultLists::CurrentEntries() const
{
    QMutexLocker lock(&mutex_);
    return current_;
}

QVector<FaultEntry> FaultLists::StoredEntries() const
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
