// velmoro-sim as a child process, for tests that drive the real serial and TCP code paths.
#pragma once

#include <QByteArrayList>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace velmoro::test {

// Started with --trace: its first output line is the device path or TCP port, every later line
// "RX <command>" for a command line the simulated adapter received. The adapter answers at once
// (--ideal) unless the arguments ask for timing.
class SimProcess {
public:
    static constexpr int kWaitMs = 10000;

    explicit SimProcess(QStringList arguments)
    {
        process_.setProgram(QStringLiteral(VELMORO_SIM_EXECUTABLE));
        process_.setArguments(QStringList{QStringLiteral("--ideal")} << arguments
                                                                     << QStringLiteral("--trace"));
        process_.start();
        if (process_.waitForStarted(kWaitMs))
            address_ = QString::fromLatin1(NextLine());
    }
    ~SimProcess() { Kill(); }

    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The pty's path, or the TCP port number.
    QString Address() const { return address_; }
    void Kill()
    {
        process_.kill();
        process_.waitForFinished(kWaitMs);
    }

    // Command lines the simulator received, in order, as far as they arrived up to `wanted`.
    QByteArrayList Received(const QByteArray& wanted, int times = 1)
    {
        while (received_.count(wanted) < times) {
            const QByteArray line = NextLine();
            if (line.isNull())
                break;
            if (line.startsWith("RX "))
                received_.append(line.mid(3));
        }
        return received_;
    }

private:
    QByteArray NextLine()
    {
        while (!process_.canReadLine()) {
            if (!process_.waitForReadyRead(kWaitMs))
                return {};
        }
        return process_.readLine().chopped(1);
    }

    QProcess process_;
    QString address_;
    QByteArrayList received_;
};

} // namespace velmoro::test
