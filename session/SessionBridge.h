// What the worker and the connect sequence tell a view, turned into the session's state and
// signals; shared by the files that make up the session.
#pragma once

#include "link/UiBridge.h"
#include "session/DiagSession.h"

#include <QSemaphore>
#include <memory>
#include <mutex>

namespace velmoro {

class DiagSession::Bridge : public UiBridge {
public:
    explicit Bridge(DiagSession& session) : session_(session) {}

    void ShowMessageAndWait(const QString& text) override
    {
        auto gate = std::make_shared<QSemaphore>(0);
        {
            std::lock_guard<std::mutex> lock(session_.mutex_);
            if (session_.quitting_)
                return;
            session_.gates_.push_back(gate);
        }
        emit session_.question(text);
        gate->acquire();
    }
    void Connected() override
    {
        LinkFailureReport failure;
        {
            std::lock_guard<std::mutex> lock(session_.mutex_);
            if (session_.linkState_ != LinkState::Connecting || session_.quitting_)
                return;
            session_.linkState_ = LinkState::Connected;
            session_.everConnected_ = true;
            session_.retries_ = 0;
            failure = session_.setUpFailure_;
        }
        session_.wake_.notify_all();
        emit session_.linkStateChanged(LinkState::Connected);
        emit session_.connected();
        if (failure.failure != LinkFailure::None)
            session_.ReportFailure(failure);
    }
    // The identification failed, or the port failed while connected: the link ends, or is
    // tried again when the user wants that.
    void Disconnect() override
    {
        {
            std::lock_guard<std::mutex> lock(session_.mutex_);
            session_.NoteConnectFailureLocked(session_.flags_.workerState.load() == kWorkerRunning);
        }
        session_.EndLink(false);
    }
    void SetUpFailed(const LinkFailureReport& report) override
    {
        const QString text = LinkFailureText(session_.Config()->texts, report);
        std::lock_guard<std::mutex> lock(session_.mutex_);
        session_.setUpFailure_ = report;
        session_.adapterInfo_.setUpFailure = report.failure;
        session_.adapterInfo_.setUpFailureText = text;
    }
    void AdapterFound(const FoundAdapter& adapter) override
    {
        std::lock_guard<std::mutex> lock(session_.mutex_);
        AdapterInfo& info = session_.adapterInfo_;
        info.answered = adapter.answered;
        info.kind = adapter.kind;
        info.banner = adapter.banner;
        info.detail = adapter.detail;
    }
    void LinkLost() override { session_.EndLink(false); }
    void AdapterRestarted(const QString& seen) override
    {
        const QString text = TextOrEnglish(session_.Config()->texts, QStringLiteral("Restart_1"));
        const qint64 startMs = session_.flags_.workerStartTimeMs.load();
        session_.debugLog_.Note(session_.NowMs() - startMs,
                                text + QStringLiteral(" (") + seen + QStringLiteral(")"));
        emit session_.adapterRestarted(text);
    }
    void ConnectProgress(ConnectStep step, int n) override
    {
        {
            std::lock_guard<std::mutex> lock(session_.mutex_);
            if (session_.linkState_ != LinkState::Connecting || session_.quitting_)
                return;
        }
        emit session_.connectProgress(step, ConnectStepText(session_.Config()->texts, step, n));
    }

private:
    DiagSession& session_;
};

} // namespace velmoro
