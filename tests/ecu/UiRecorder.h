// A UiBridge that records the connect thread's calls, in order, as short texts.
#pragma once

#include "link/UiBridge.h"

#include <QStringList>
#include <mutex>

namespace velmoro::test {

class UiRecorder : public UiBridge {
public:
    void ShowMessageAndWait(const QString& text) override { Record("message " + text); }
    void SetEcuInfoText(const QString& text) override { Record("info " + text); }
    void Connected() override { Record("connected"); }
    void Disconnect() override { Record("disconnect"); }
    void LinkLost() override { Record("lost"); }
    QStringList Calls() const
    {
        std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    void Record(const QString& call)
    {
        std::lock_guard lock(mutex_);
        calls_ << call;
    }
    mutable std::mutex mutex_;
    QStringList calls_;
};

} // namespace velmoro::test
