// Waiting in tests for something another thread does, with the event loop running meanwhile.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>

namespace velmoro::test {

// Processes events until done() holds or timeoutMs have passed; the result of done().
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 15000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

} // namespace velmoro::test
