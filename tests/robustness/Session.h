// A whole connection of the core against an in-process simulator, with the main thread's share of
// connection control played by the test: worker, connect thread, refresh passes and the CSV log.
#pragma once

#include "ecu/CoreState.h"
#include "ecu/Ecu.h"
#include "ecu/Identification.h"
#include "ecu/RefreshCycle.h"
#include "link/AdapterPort.h"
#include "link/CommWorker.h"
#include "link/UiBridge.h"
#include "output/CsvLog.h"
#include "sim/Simulator.h"
#include "sim/SimulatorPort.h"
#include "support/FamilyRig.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace velmoro::robust {

// Bound of every wait; reached only when something hangs.
constexpr int kHangMs = 20000;

// Runs fn on its own thread; the thread can be awaited with a bound and is always joined.
class BoundedThread {
public:
    BoundedThread() = default;
    BoundedThread(const BoundedThread&) = delete;
    BoundedThread& operator=(const BoundedThread&) = delete;
    ~BoundedThread() { Join(); }

    void Start(std::function<void()> fn)
    {
        Join();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = false;
        }
        thread_ = std::thread([this, fn = std::move(fn)] {
            fn();
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
            ended_.notify_all();
        });
    }
    bool Running() const { return thread_.joinable(); }
    // Joins the thread when it ends within the bound. A thread still running after kHangMs
    // means a hang: the process stops with a message instead of blocking the suite for ever.
    void Join(const char* what = "thread")
    {
        if (!thread_.joinable()) {
            return;
        }
        std::unique_lock<std::mutex> lock(mutex_);
        if (!ended_.wait_for(lock, std::chrono::milliseconds(kHangMs), [this] { return done_; })) {
            std::fprintf(stderr, "HANG: %s still running after %d ms\n", what, kHangMs);
            std::abort();
        }
        lock.unlock();
        thread_.join();
    }

private:
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable ended_;
    bool done_ = true;
};

// What the connect thread and the worker tell the user interface, recorded; the ignition prompt
// is confirmed at once unless the test holds it.
class SessionUi : public UiBridge {
public:
    void ShowMessageAndWait(const QString& text) override
    {
        std::unique_lock<std::mutex> lock(mutex_);
        ++prompts_;
        lastPrompt_ = text;
        changed_.notify_all();
        changed_.wait_for(lock, std::chrono::milliseconds(kHangMs), [this] { return !hold_; });
    }
    void SetEcuInfoText(const QString& text)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ecuInfo_ = text;
    }
    void Connected() override { Note(connected_); }
    void Disconnect() override { Note(disconnectRequests_); }
    void LinkLost() override { Note(linkLost_); }

    void Hold(bool on)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        hold_ = on;
        changed_.notify_all();
    }
    bool WaitForPrompt()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(kHangMs),
                                 [this] { return prompts_ > 0; });
    }
    // Waits until the core reported an outcome: connected, a disconnect request or a lost link.
    bool WaitForOutcome()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(kHangMs), [this] {
            return connected_ + disconnectRequests_ + linkLost_ > 0;
        });
    }
    bool WaitForLinkLost()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(kHangMs),
                                 [this] { return linkLost_ > 0; });
    }
    int Connections() { return Get(connected_); }
    int DisconnectRequests() { return Get(disconnectRequests_); }
    int LinkLostCount() { return Get(linkLost_); }
    int Prompts() { return Get(prompts_); }
    QString EcuInfo()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return ecuInfo_;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        connected_ = disconnectRequests_ = linkLost_ = prompts_ = 0;
        ecuInfo_.clear();
    }

private:
    void Note(int& counter)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++counter;
        changed_.notify_all();
    }
    int Get(const int& counter)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return counter;
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    bool hold_ = false;
    int prompts_ = 0;
    int connected_ = 0;
    int disconnectRequests_ = 0;
    int linkLost_ = 0;
    QString lastPrompt_;
    QString ecuInfo_;
};

struct SessionOptions {
    int family = kSimFamilyMiug4;
    int latencyMs = 1;
    CommWorkerTimings timings{200, 2, 60000}; // adapter time-out, pause, keep-alive idle
    bool csv = true;
};

class Session {
public:
    explicit Session(const SessionOptions& options = {})
        : options_(options),
          sim(std::make_shared<Simulator>(SimulatorOptions{options.family, options.latencyMs}))
    {
        state.texts.Set(QStringLiteral("Thread_2"), QStringLiteral("Please switch on ignition."));
        state.texts.Set(QStringLiteral("Thread_3"), QStringLiteral("      Then press Ok."));
        state.texts.Set(QStringLiteral("View_56"), QStringLiteral("Ignition off"));
        SetFamily(options.family);
        for (int r = 0; r < kDisplayRows; ++r) {
            state.rows[static_cast<std::size_t>(r)].valueIndex = r + 1;
        }
    }
    ~Session()
    {
        state.channel.Stop();
        refresh_.Join("refresh thread");
        connect_.Join("connect thread");
        worker_.Join("worker");
    }

    void SetFamily(int family)
    {
        sim->SetFamily(family);
        state.link.ecuId =
            family == kSimFamily11mp ? QStringLiteral("11MP") : QStringLiteral("MIUG4");
        state.link.ecuVariant = QStringLiteral("V1");
        state.link.port = QStringLiteral("Simulator");
        state.Choose();
    }

    // The connect menu entry: log file, worker and connect thread, as the shell starts them.
    void Connect()
    {
        worker_.Join("previous worker");
        connect_.Join("previous connect thread");
        refresh_.Join("previous refresh thread");
        ui.Clear();
        {
            std::lock_guard<std::mutex> lock(passMutex_);
            passes_ = 0;
        }
        if (options_.csv) {
            std::array<QString, 8> header;
            for (int i = 0; i < 8; ++i) {
                header[static_cast<std::size_t>(i)] = QStringLiteral("Value %1").arg(i + 1);
            }
            csv.OpenCsvLog(logDir.path() + QLatin1Char('/'), QStringLiteral("Soak"),
                           QDateTime::currentDateTime().addSecs(sessions_++),
                           QStringLiteral("Time"), header);
        }
        linkActive_ = true;
        ignitionOffShown_ = 0;
        state.channel.Reset();
        state.flags.workerState = kWorkerStarting;
        auto simulator = sim;
        worker_.Start([this, simulator] {
            CommWorker worker(state.channel, state.texts, ui, state.link.port, nullptr,
                              [simulator](const QString&) { return OpenSimulatorPort(simulator); });
            worker.SetTimings(options_.timings);
            worker.Run();
        });
        connect_.Start([this] {
            // As the session does: the identification once the worker is up.
            std::optional<EcuInfo> info;
            if (WaitForWorker(state.flags) == kWorkerRunning)
                info = state.ecu->identify();
            if (info) {
                ui.SetEcuInfoText(EcuInfoText(*info));
                ui.Connected();
            } else {
                ui.Disconnect();
            }
        });
    }

    // The main thread's reaction to the outcome: stay connected, or disconnect on a request or a
    // lost link. True when connected.
    bool Settle()
    {
        if (!ui.WaitForOutcome()) {
            return false;
        }
        connect_.Join("connect thread");
        if (ui.DisconnectRequests() > 0 || ui.LinkLostCount() > 0) {
            Disconnect();
            return false;
        }
        return true;
    }

    // Measurement passes on their own thread until the link stops; each finished pass is one CSV
    // line, as the shell writes it when the pass reports back. Passes are counted per connection.
    void StartRefresh()
    {
        refresh_.Start([this] {
            while (state.flags.stopFlag.load() == 0 &&
                   state.flags.workerState.load() == kWorkerRunning) {
                RunRefreshPass(*state.ecu, state.flags, state.rows);
                if (state.flags.stopFlag.load() != 0) {
                    break;
                }
                std::array<QString, 8> values;
                for (int r = 0; r < kDisplayRows; ++r) {
                    values[static_cast<std::size_t>(r)] =
                        state.rows[static_cast<std::size_t>(r)].valueText;
                }
                std::lock_guard<std::mutex> lock(passMutex_);
                csv.AddCsvLine(options_.csv, passes_, values);
                ++passes_;
                lastValues_ = values;
                passDone_.notify_all();
            }
        });
    }
    bool WaitForPasses(int count)
    {
        std::unique_lock<std::mutex> lock(passMutex_);
        return passDone_.wait_for(lock, std::chrono::milliseconds(kHangMs),
                                  [this, count] { return passes_ >= count; });
    }
    int Passes()
    {
        std::lock_guard<std::mutex> lock(passMutex_);
        return passes_;
    }
    std::array<QString, 8> LastValues()
    {
        std::lock_guard<std::mutex> lock(passMutex_);
        return lastValues_;
    }
    void StopRefresh() { refresh_.Join("refresh thread"); }

    // The disconnect procedure of the shell: stop, wait for the worker, reset the channel, tell
    // the user once, complete the log.
    void Disconnect()
    {
        if (!linkActive_) {
            return;
        }
        linkActive_ = false;
        state.channel.Stop();
        worker_.Join("worker");
        refresh_.Join("refresh thread");
        connect_.Join("connect thread");
        state.channel.Abort();
        ++ignitionOffShown_;
        csv.FlushCsvLog();
    }

    bool LinkActive() const { return linkActive_; }
    int IgnitionOffShown() const { return ignitionOffShown_; }
    bool ThreadsRunning() const
    {
        return worker_.Running() || connect_.Running() || refresh_.Running();
    }

    SessionOptions options_;
    std::shared_ptr<Simulator> sim;
    test::FamilyRig state;
    SessionUi ui;
    CsvLog csv;
    QTemporaryDir logDir;

private:
    BoundedThread worker_;
    BoundedThread connect_;
    BoundedThread refresh_;
    std::mutex passMutex_;
    std::condition_variable passDone_;
    int passes_ = 0;
    std::array<QString, 8> lastValues_;
    bool linkActive_ = false;
    int ignitionOffShown_ = 0;
    int sessions_ = 0;
};

// The CSV file as lines; each must end in CR LF.
inline QList<QByteArray> CsvLines(const QString& path, bool* allEndInCrLf)
{
    QFile file(path);
    QList<QByteArray> lines;
    *allEndInCrLf = file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    for (const QByteArray& line : bytes.split('\n')) {
        if (line.isEmpty()) {
            continue;
        }
        if (!line.endsWith('\r')) {
            *allEndInCrLf = false;
        }
        lines.append(line.chopped(line.endsWith('\r') ? 1 : 0));
    }
    if (!bytes.isEmpty() && !bytes.endsWith("\r\n")) {
        *allEndInCrLf = false;
    }
    return lines;
}

// Every row of a pass read as "----": nothing usable arrived.
inline bool AllUnread(const std::array<QString, 8>& values)
{
    for (const QString& v : values) {
        if (v != QLatin1String("----")) {
            return false;
        }
    }
    return true;
}

// The state after a disconnect: the worker has ended, every thread is joined, Exchange refuses
// without sending anything, the user was told once, and the CSV file is whole.
inline void ExpectCleanlyDisconnected(Session& s)
{
    EXPECT_FALSE(s.LinkActive());
    EXPECT_FALSE(s.ThreadsRunning());
    EXPECT_EQ(s.state.flags.workerState.load(), kWorkerStopped);
    EXPECT_EQ(s.IgnitionOffShown(), 1);
    const int received = s.sim->ReceivedCommands().size();
    EXPECT_EQ(s.state.channel.Exchange({0x22, 0x10, 0x80}).result, kExchangeNotConnected);
    EXPECT_EQ(s.sim->ReceivedCommands().size(), received);
    EXPECT_FALSE(s.csv.IsOpen());
    if (!s.csv.FileName().isEmpty()) {
        bool crlf = false;
        const QList<QByteArray> lines = CsvLines(s.csv.FileName(), &crlf);
        EXPECT_TRUE(crlf);
        // The header and one line per finished pass, each with nine quoted fields.
        ASSERT_EQ(lines.size(), 1 + s.Passes());
        for (const QByteArray& line : lines) {
            EXPECT_TRUE(line.startsWith('"') && line.endsWith('"')) << line.constData();
            EXPECT_EQ(line.count("\",\""), 8) << line.constData();
        }
    }
}

} // namespace velmoro::robust
