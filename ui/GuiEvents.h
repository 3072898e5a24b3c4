// The custom main-window events through which other threads reach the main thread.
#pragma once

#include <QEvent>
#include <QString>
#include <memory>

class QSemaphore;

namespace velmoro {

// Registered once with QEvent::registerEventType; the values are the toolkit's, the meanings
// those of the worker message, the end of a measurement pass and the next survey step.
QEvent::Type EventWorkerMessage();
QEvent::Type EventRefreshDone();
QEvent::Type EventReadAllStep();
// The report builder's end gets its own event so that it is never lost in another view.
QEvent::Type EventReportDone();

// A text to show; the poster waits on `gate` until the box was closed.
class WorkerMessageEvent : public QEvent {
public:
    WorkerMessageEvent(const QString& text, std::shared_ptr<QSemaphore> gate)
        : QEvent(EventWorkerMessage()), text(text), gate(std::move(gate))
    {
    }
    QString text;
    std::shared_ptr<QSemaphore> gate;
};

// A pass or step event carries the number of the thread run that posted it, so that an event of
// a pass the window already waited for (view hidden) never starts a second chain.
class PassEvent : public QEvent {
public:
    PassEvent(QEvent::Type type, quint64 generation) : QEvent(type), generation(generation) {}
    quint64 generation;
};

} // namespace velmoro
