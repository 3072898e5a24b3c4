// Test doubles of the link tests: a scripted port on a hand-driven clock, a recording UiBridge,
// and a harness that runs a CommWorker against an in-process simulator on its own thread.
#pragma once

#include "config/LanguageTexts.h"
#include "link/AdapterPort.h"
#include "link/Clock.h"
#include "link/CommWorker.h"
#include "link/RequestChannel.h"
#include "link/UiBridge.h"
#include "sim/Simulator.h"
#include "sim/SimulatorPort.h"

#include <QByteArrayList>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace velmoro::test {

// Bound of every wait in the link tests; reached only when something hangs.
constexpr int kHangMs = 10000;

// A port whose answers arrive at given times of a ManualClock. Waiting with nothing due
// advances the clock to the next arrival (or by the whole time-out), so time-outs cost no real
// time. Single-threaded: for SendAdapterCommand tests.
class ScriptedPort : public AdapterPort {
public:
    explicit ScriptedPort(ManualClock& clock) : clock_(clock) {}

    // bytes become readable at clock time atMs.
    void Arrive(qint64 atMs, const QByteArray& bytes) { arrivals_.push_back({atMs, bytes}); }
    // Called with every write; may call Arrive.
    std::function<void(const QByteArray&)> onWrite;

    QByteArray written;

    qint64 BytesWaiting() override
    {
        Deliver();
        return buffer_.size();
    }
    QByteArray Read(qint64 maxBytes) override
    {
        Deliver();
        const QByteArray out = buffer_.left(maxBytes);
        buffer_.remove(0, out.size());
        return out;
    }
    bool Write(const QByteArray& bytes) override
    {
        written += bytes;
        if (onWrite) {
            onWrite(bytes);
        }
        return true;
    }
    bool WaitForReadable(int timeoutMs) override
    {
        Deliver();
        if (!buffer_.isEmpty()) {
            return true;
        }
        const qint64 limit = clock_.NowMs() + timeoutMs;
        qint64 next = limit;
        for (const auto& a : arrivals_) {
            next = std::min(next, a.first);
        }
        clock_.AdvanceMs(std::max<qint64>(0, next - clock_.NowMs()));
        Deliver();
        return !buffer_.isEmpty();
    }
    void Close() override {}
    bool Failed() const override { return false; }

private:
    void Deliver()
    {
        for (auto it = arrivals_.begin(); it != arrivals_.end();) {
            if (it->first <= clock_.NowMs()) {
                buffer_ += it->second;
                it = arrivals_.erase(it);
            } else {
                ++it;
            }
        }
    }

    ManualClock& clock_;
    std::deque<std::pair<qint64, QByteArray>> arrivals_;
    QByteArray buffer_;
};

// Confirms every prompt at once and records what the worker told the user.
class RecordingUi : public UiBridge {
public:
    void ShowMessageAndWait(const QString& text) override
    {
        std::unique_lock<std::mutex> lock(mutex_);
        messages_.append(text);
        changed_.notify_all();
        changed_.wait_for(lock, std::chrono::milliseconds(kHangMs), [this] { return !hold_; });
    }
    void Connected() override {}
    void Disconnect() override {}
    void LinkLost() override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++linkLost_;
        changed_.notify_all();
    }

    // While held, ShowMessageAndWait blocks like an open message box.
    void Hold(bool on)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        hold_ = on;
        changed_.notify_all();
    }
    bool WaitForMessage()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(kHangMs),
                                 [this] { return !messages_.isEmpty(); });
    }
    QStringList Messages()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return messages_;
    }
    int LinkLostCount()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return linkLost_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    QStringList messages_;
    int linkLost_ = 0;
    bool hold_ = false;
};

// A CommWorker on its own thread against a simulator the test configures.
class WorkerHarness {
public:
    explicit WorkerHarness(std::shared_ptr<Simulator> sim = std::make_shared<Simulator>(),
                           Clock* clock = nullptr)
        : sim(std::move(sim)), clock_(clock)
    {
        texts.Set(QStringLiteral("Thread_2"), QStringLiteral("Please switch on ignition."));
        texts.Set(QStringLiteral("Thread_3"), QStringLiteral("      Then press Ok."));
    }
    ~WorkerHarness() { Stop(); }

    // Starts the worker; with waitRunning, returns once it reached workerState 1 (or ended).
    bool Start(bool waitRunning = true, const CommWorkerTimings& timings = {})
    {
        flags.workerState.store(kWorkerStarting);
        auto portSim = sim;
        AdapterPortFactory factory = portFactory;
        if (!factory && realPortName.isEmpty()) {
            factory = [this, portSim](const QString&) {
                return openFails ? nullptr : OpenSimulatorPort(portSim);
            };
        }
        worker_ = std::make_unique<CommWorker>(
            channel, texts, ui, realPortName.isEmpty() ? QStringLiteral("Simulator") : realPortName,
            clock_, factory, [this](qint64 ms, QByteArray command, QByteArray answer) {
                std::lock_guard<std::mutex> lock(logMutex_);
                log_.append({ms, command, answer});
            });
        worker_->SetTimings(timings);
        worker_->SetFastRefresh(fast, [this] { ++fellBack; });
        // A QThread, so that the serial port's socket notifiers have a Qt thread to live on.
        thread_.reset(QThread::create([this] { worker_->Run(); }));
        thread_->start();
        if (!waitRunning) {
            return true;
        }
        return flags.WaitForWorkerState([](int s) { return s != kWorkerStarting; }, kHangMs) &&
               flags.workerState.load() == kWorkerRunning;
    }

    void Stop()
    {
        if (thread_) {
            channel.Stop();
            Join();
        }
    }
    void Join()
    {
        if (thread_) {
            thread_->wait();
            thread_.reset();
        }
    }
    bool WaitStopped()
    {
        return flags.WaitForWorkerState([](int s) { return s == kWorkerStopped; }, kHangMs);
    }

    struct LogLine {
        qint64 ms;
        QByteArray command;
        QByteArray answer;
    };
    QList<LogLine> Log()
    {
        std::lock_guard<std::mutex> lock(logMutex_);
        return log_;
    }

    std::shared_ptr<Simulator> sim;
    LinkFlags flags;
    RequestChannel channel{flags};
    LanguageTexts texts;
    RecordingUi ui;
    bool openFails = false;
    bool fast = false;            // fast refresh wanted
    std::atomic<int> fellBack{0}; // times fast refresh ended
    QString realPortName;         // non-empty: open this port with OpenAdapterPort instead of `sim`
    AdapterPortFactory portFactory; // set: opens the port instead of both of the above

private:
    Clock* clock_;
    std::unique_ptr<CommWorker> worker_;
    std::unique_ptr<QThread> thread_;
    std::mutex logMutex_;
    QList<LogLine> log_;
};

// The adapter set-up as the worker sends it, for comparison with what an adapter received.
inline QByteArrayList SetUpCommands(const QByteArray& identity)
{
    QByteArrayList commands = {"", "ATZ", "ATE 0", "STMFR"};
    if (identity == "stn") {
        commands << "STP 33";
    } else if (identity == "vgate") {
        commands << "VTPROI"
                 << "VTP2 33";
    } else {
        commands << "VTPROI"
                 << "ATSP 6";
    }
    commands << "ATSH 7A0"
             << "ATCRA 7A8"
             << "1003";
    return commands;
}

} // namespace velmoro::test
