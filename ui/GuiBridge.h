// The GUI side of UiBridge: every call is queued to the main thread; worker messages wait on a
// MessageGate that the main thread releases once the box is closed.
#pragma once

#include "link/UiBridge.h"

#include <QMutex>
#include <QSemaphore>
#include <memory>
#include <vector>

namespace velmoro {

class MainWindow;

class GuiBridge : public UiBridge {
public:
    explicit GuiBridge(MainWindow* window);

    void ShowMessageAndWait(const QString& text) override;
    void SetEcuInfoText(const QString& text) override;
    void Connected() override;
    void Disconnect(bool wait, bool fromWorkerThread) override;
    void LinkLost() override;

    // The main thread closed the box of `gate`.
    void Release(const std::shared_ptr<QSemaphore>& gate);
    // The program is ending: every waiting thread is let go, later messages are not shown.
    void OpenAllGates();

private:
    MainWindow* window_; // outlives every thread that holds the bridge
    QMutex mutex_;
    bool closing_ = false;
    std::vector<std::shared_ptr<QSemaphore>> pending_;
};

} // namespace velmoro
