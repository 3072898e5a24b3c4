// Queues the core threads' requests to the main window.
#include "ui/GuiBridge.h"

#include "ui/GuiEvents.h"
#include "ui/MainWindow.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <algorithm>

namespace velmoro {

GuiBridge::GuiBridge(MainWindow* window) : window_(window) {}

void GuiBridge::ShowMessageAndWait(const QString& text)
{
    auto gate = std::make_shared<QSemaphore>(0);
    {
        QMutexLocker lock(&mutex_);
        if (closing_ || window_ == nullptr)
            return;
        pending_.push_back(gate);
        QCoreApplication::postEvent(window_, new WorkerMessageEvent(text, gate));
    }
    gate->acquire();
}

void GuiBridge::Release(const std::shared_ptr<QSemaphore>& gate)
{
    QMutexLocker lock(&mutex_);
    auto it = std::find(pending_.begin(), pending_.end(), gate);
    if (it == pending_.end())
        return; // already let go by OpenAllGates
    pending_.erase(it);
    gate->release();
}

void GuiBridge::OpenAllGates()
{
    QMutexLocker lock(&mutex_);
    closing_ = true;
    for (auto& gate : pending_)
        gate->release();
    pending_.clear();
}

void GuiBridge::SetEcuInfoText(const QString& text)
{
    QMetaObject::invokeMethod(
        window_, [w = window_, text] { w->SetEcuInfoText(text); }, Qt::QueuedConnection);
}

void GuiBridge::Connected()
{
    QMetaObject::invokeMethod(
        window_, [w = window_] { w->OnConnected(); }, Qt::QueuedConnection);
}

void GuiBridge::Disconnect(bool wait, bool /*fromWorkerThread*/)
{
    // The main thread runs the procedure; it shows "Ignition off" itself, so the calling thread
    // never blocks on the window.
    QMetaObject::invokeMethod(
        window_, [w = window_, wait] { w->Disconnect(wait, false); }, Qt::QueuedConnection);
}

void GuiBridge::LinkLost()
{
    QMetaObject::invokeMethod(
        window_, [w = window_] { w->Disconnect(true, false); }, Qt::QueuedConnection);
}

} // namespace velmoro
