// velmoro-sim: the simulated adapter and ECU on a pseudo-terminal or a loopback TCP port.
//
//   velmoro-sim --pty            prints the slave device path, e.g. /dev/pts/7
//   velmoro-sim --tcp PORT       listens on 127.0.0.1:PORT (0 = any free port), prints the port
//   velmoro-sim --tcp HOST:PORT  the same on the IPv4 address HOST ("localhost" = 127.0.0.1)
// Options: --family miug4|11mp, --latency MS (every answer), --request-latency MS (the ECU's
//          answer time, default 5), --identity elm|stn|vgate, --no-trailing-spaces,
//          --crlf, --trace (prints "RX <command>" for every command line received),
//          --engine-time MS (the engine stands still at that moment: values repeat exactly),
//          --fault current|stored:HHLLTTSS (a fault record, repeatable; 11MP uses HH LL SS),
//          --silent (the adapter answers nothing), --ecu-silent (the adapter says NO DATA),
//          --fault silent|no-can|ecu-silent|port-missing (an adapter that answers nothing; one
//          that answers "?" to the protocol command; an ECU that answers nothing, so the adapter
//          says NO DATA, also to 10 03; a device that is not there: the printed device path does
//          not exist, the printed TCP port has no listener),
//          the adapter's timing: --baud N (serial line, default 115200; 0: no line time),
//          --processing-us N (default 1000), --answer-wait MS (wait for further answers, default
//          30), --no-count-digit (a request with the response-count digit gets "?"), --ideal
//          (all of the timing 0: answers at once), --refuse HEX (requests starting with these
//          bytes are refused: 7F <service> 31), --unanswered HEX (they get NO DATA); both repeat.
//          --chaos RATE (a diagnostic request meets a random fault with that probability, see
//          SimChaos.h), --chaos-seed N (default 1; the same seed gives the same faults),
//          --chaos-kinds message,status,noise,late,silent,half,restart (default all).
// With chaos on, SIGINT or SIGTERM print the faults injected, by kind, to stderr before exiting.
// Runs until killed; killing it is how tests make the device vanish.
#include "sim/Simulator.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#ifdef Q_OS_UNIX
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>
#endif

using velmoro::AdapterIdentity;
using velmoro::SimFault;
using velmoro::Simulator;
using velmoro::SimulatorOptions;

namespace {

struct ToolOptions {
    bool pty = false;
    bool tcp = false;
    int tcpPort = 0;
    std::uint32_t tcpHost = 0x7F000001; // IPv4 address, host order
    bool trace = false;
    bool silent = false;
    bool canRefused = false;
    bool ecuSilent = false;
    bool portMissing = false;
    SimulatorOptions sim = velmoro::RealisticSimulatorOptions();
    qint64 engineTimeMs = -1;
    std::vector<SimFault> currentFaults;
    std::vector<SimFault> storedFaults;
    QByteArrayList refused;    // requests starting with these bytes get 7F <service> 31
    QByteArrayList unanswered; // requests starting with these bytes get NO DATA
};

// "current:01051C01" -> a current fault 01 05 1C 01.
bool ParseFault(const std::string& text, ToolOptions& options)
{
    const QString value = QString::fromStdString(text);
    const int colon = value.indexOf(QLatin1Char(':'));
    const QByteArray bytes = QByteArray::fromHex(value.mid(colon + 1).toLatin1());
    if (colon < 0 || bytes.size() != 4 || value.size() != colon + 9) {
        return false;
    }
    const auto at = [&bytes](int i) { return static_cast<std::uint8_t>(bytes[i]); };
    const SimFault fault{at(0), at(1), at(2), at(3)};
    if (value.left(colon) == QLatin1String("current")) {
        options.currentFaults.push_back(fault);
    } else if (value.left(colon) == QLatin1String("stored")) {
        options.storedFaults.push_back(fault);
    } else {
        return false;
    }
    return true;
}

// "35000" -> 127.0.0.1:35000; "0.0.0.0:35000" -> any address; "localhost:0" -> a free port on
// 127.0.0.1. Anything else ("127.0.0.1", "35a", "host:", ":35000", "70000") is refused: a port
// read from the wrong part would listen where nobody looks.
bool ParseTcpAddress(const std::string& text, ToolOptions& options)
{
    const std::size_t colon = text.rfind(':');
    const std::string host = colon == std::string::npos ? std::string() : text.substr(0, colon);
    const std::string port = colon == std::string::npos ? text : text.substr(colon + 1);
    if (port.empty() || port.size() > 5 ||
        port.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    const int number = std::atoi(port.c_str());
    if (number > 65535) {
        return false;
    }
    std::uint32_t address = 0x7F000001;
    if (colon != std::string::npos && host != "localhost") {
        const QStringList parts = QString::fromStdString(host).split(QLatin1Char('.'));
        if (parts.size() != 4) {
            return false;
        }
        address = 0;
        for (const QString& part : parts) {
            const bool digits = !part.isEmpty() && part.size() <= 3 &&
                                std::all_of(part.begin(), part.end(),
                                            [](QChar c) { return c >= u'0' && c <= u'9'; });
            if (!digits || part.toUInt() > 255) {
                return false;
            }
            address = (address << 8) | part.toUInt();
        }
    }
    options.tcp = true;
    options.tcpPort = number;
    options.tcpHost = address;
    return true;
}

int Usage()
{
    std::fprintf(
        stderr,
        "usage: velmoro-sim (--pty | --tcp PORT | --tcp HOST:PORT) [--family miug4|11mp] "
        "[--latency MS] [--request-latency MS] [--identity elm|stn|vgate] [--no-trailing-spaces] "
        "[--crlf] [--trace] [--engine-time MS] [--fault current|stored:HHLLTTSS]... [--silent] "
        "[--ecu-silent] [--fault silent|no-can|ecu-silent|port-missing] [--baud N] "
        "[--processing-us N] [--answer-wait MS] [--no-count-digit] [--ideal] [--chaos RATE] "
        "[--chaos-seed N] [--chaos-kinds LIST] [--refuse HEX]... [--unanswered HEX]...\n");
    return 2;
}

bool ParseArguments(int argc, char** argv, ToolOptions& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--pty") {
            options.pty = true;
        } else if (arg == "--tcp" && hasValue) {
            const std::string value = argv[++i];
            if (!ParseTcpAddress(value, options)) {
                std::fprintf(stderr,
                             "velmoro-sim: --tcp takes PORT or HOST:PORT (an IPv4 address or "
                             "localhost, a port from 0 to 65535), not \"%s\"\n",
                             value.c_str());
                return false;
            }
        } else if (arg == "--family" && hasValue) {
            const std::string v = argv[++i];
            if (v == "miug4" || v == "0") {
                options.sim.family = velmoro::kSimFamilyMiug4;
            } else if (v == "11mp" || v == "1") {
                options.sim.family = velmoro::kSimFamily11mp;
            } else {
                return false;
            }
        } else if (arg == "--latency" && hasValue) {
            options.sim.latencyMs = std::atoi(argv[++i]);
        } else if (arg == "--request-latency" && hasValue) {
            options.sim.requestLatencyMs = std::atoi(argv[++i]);
        } else if (arg == "--identity" && hasValue) {
            const std::string v = argv[++i];
            if (v == "elm") {
                options.sim.identity = AdapterIdentity::Elm327Clone;
            } else if (v == "stn") {
                options.sim.identity = AdapterIdentity::Stn;
            } else if (v == "vgate") {
                options.sim.identity = AdapterIdentity::Vgate;
            } else {
                return false;
            }
        } else if (arg == "--no-trailing-spaces") {
            options.sim.trailingSpaces = false;
        } else if (arg == "--crlf") {
            options.sim.crlf = true;
        } else if (arg == "--trace") {
            options.trace = true;
        } else if (arg == "--engine-time" && hasValue) {
            options.engineTimeMs = std::atoll(argv[++i]);
        } else if (arg == "--fault" && hasValue) {
            const std::string v = argv[++i];
            if (v == "silent") {
                options.silent = true;
            } else if (v == "no-can") {
                options.canRefused = true;
            } else if (v == "ecu-silent") {
                options.ecuSilent = true;
            } else if (v == "port-missing") {
                options.portMissing = true;
            } else if (!ParseFault(v, options)) {
                return false;
            }
        } else if (arg == "--refuse" && hasValue) {
            options.refused.append(QByteArray::fromHex(argv[++i]));
        } else if (arg == "--unanswered" && hasValue) {
            options.unanswered.append(QByteArray::fromHex(argv[++i]));
        } else if (arg == "--silent") {
            options.silent = true;
        } else if (arg == "--ecu-silent") {
            options.ecuSilent = true;
        } else if (arg == "--baud" && hasValue) {
            options.sim.baudRate = std::atoi(argv[++i]);
        } else if (arg == "--processing-us" && hasValue) {
            options.sim.processingUs = std::atoi(argv[++i]);
        } else if (arg == "--answer-wait" && hasValue) {
            options.sim.answerWaitMs = std::atoi(argv[++i]);
        } else if (arg == "--no-count-digit") {
            options.sim.countDigit = false;
        } else if (arg == "--chaos" && hasValue) {
            options.sim.chaos.rate = std::atof(argv[++i]);
        } else if (arg == "--chaos-seed" && hasValue) {
            options.sim.chaos.seed =
                static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--chaos-kinds" && hasValue) {
            if (!velmoro::ParseChaosKinds(QString::fromLocal8Bit(argv[++i]),
                                          options.sim.chaos.kinds)) {
                return false;
            }
        } else if (arg == "--ideal") {
            options.sim.baudRate = 0;
            options.sim.processingUs = 0;
            options.sim.answerWaitMs = 0;
            options.sim.requestLatencyMs = 0;
        } else {
            return false;
        }
    }
    return options.pty != options.tcp && options.sim.chaos.rate >= 0.0 &&
           options.sim.chaos.rate <= 1.0 && options.tcpPort >= 0 && options.tcpPort <= 65535 &&
           options.sim.baudRate >= 0 && options.sim.processingUs >= 0 &&
           options.sim.answerWaitMs >= 0 && options.sim.requestLatencyMs >= 0;
}

#ifdef Q_OS_UNIX

// Set by SIGINT / SIGTERM: the serving loops end, so that the chaos figures can be printed.
volatile std::sig_atomic_t g_stop = 0;

void OnStopSignal(int)
{
    g_stop = 1;
}

void PrintLine(const QByteArray& line)
{
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

bool WriteAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            return false;
        }
        done += n;
    }
    return true;
}

// Moves bytes between fd and the simulator until fd closes or fails. Returns when the peer went
// away (TCP) or on an error.
void Serve(int fd, Simulator& sim, bool trace, qsizetype& traced)
{
    for (;;) {
        // Wakes the moment the next answer is due, not up to a millisecond later.
        const qint64 waitUs = sim.UsUntilNextOutput();
        const qint64 timeoutUs = waitUs < 0 ? 1000000 : waitUs;
        const timespec timeout{static_cast<time_t>(timeoutUs / 1000000),
                               static_cast<long>(timeoutUs % 1000000) * 1000};
        pollfd p{fd, POLLIN, 0};
        const int ready = ::ppoll(&p, 1, &timeout, nullptr);
        if (g_stop != 0 || (ready < 0 && errno != EINTR)) {
            return;
        }
        if (ready > 0 && (p.revents & POLLIN) != 0) {
            char buffer[512];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0) {
                return;
            }
            sim.Write(QByteArray(buffer, static_cast<qsizetype>(n)));
            if (trace) {
                const QByteArrayList received = sim.ReceivedCommands();
                for (; traced < received.size(); ++traced) {
                    PrintLine("RX " + received[traced]);
                }
            }
        } else if (ready > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            return;
        }
        const QByteArray out = sim.Read(1 << 16);
        if (!out.isEmpty() && !WriteAll(fd, out)) {
            return;
        }
    }
}

int RunPty(Simulator& sim, bool trace)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        std::perror("velmoro-sim: pseudo-terminal");
        return 1;
    }
    const char* slaveName = ::ptsname(master);
    if (slaveName == nullptr) {
        std::perror("velmoro-sim: ptsname");
        return 1;
    }
    const QByteArray path(slaveName);
    // Holding the slave open keeps the master from seeing a hang-up between two clients.
    const int keeper = ::open(slaveName, O_RDWR | O_NOCTTY);
    if (keeper >= 0) {
        termios tio{};
        if (::tcgetattr(keeper, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(keeper, TCSANOW, &tio);
        }
    }
    PrintLine(path);
    qsizetype traced = 0;
    while (g_stop == 0) {
        Serve(master, sim, trace, traced);
        ::usleep(10000); // the master only fails while no client holds the slave
    }
    return 0;
}

int RunTcp(Simulator& sim, std::uint32_t host, int port, bool trace)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listener < 0) {
        std::perror("velmoro-sim: socket");
        return 1;
    }
    const int one = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(host);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 1) != 0) {
        std::perror("velmoro-sim: bind");
        return 1;
    }
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    PrintLine(QByteArray::number(ntohs(address.sin_port)));
    qsizetype traced = 0;
    for (;;) {
        const int client = ::accept(listener, nullptr, nullptr);
        if (g_stop != 0) {
            return 0;
        }
        if (client < 0) {
            if (errno == EINTR) {
                continue;
            }
            return 1;
        }
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        Serve(client, sim, trace, traced);
        ::close(client);
    }
}

// A device that is not there: a path nothing will create, or a loopback port nobody listens on.
int RunMissing(bool tcp)
{
    if (!tcp) {
        PrintLine("/dev/velmoro-sim-missing-" + QByteArray::number(::getpid()));
    } else {
        const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (probe < 0 ||
            ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            std::perror("velmoro-sim: socket");
            return 1;
        }
        ::close(probe);
        PrintLine(QByteArray::number(ntohs(address.sin_port)));
    }
    for (;;) {
        ::pause();
    }
}

#endif

} // namespace

int main(int argc, char** argv)
{
    ToolOptions options;
    if (!ParseArguments(argc, argv, options)) {
        return Usage();
    }
    Simulator sim(options.sim);
    sim.SetEngineTimeMs(options.engineTimeMs);
    sim.SetCurrentFaults(options.currentFaults);
    sim.SetStoredFaults(options.storedFaults);
    sim.SetSilent(options.silent);
    sim.SetCanRefused(options.canRefused);
    sim.SetEcuSilent(options.ecuSilent);
    for (const QByteArray& prefix : options.refused)
        sim.RefuseRequests(prefix);
    for (const QByteArray& prefix : options.unanswered)
        sim.LeaveUnanswered(prefix);
#ifdef Q_OS_UNIX
    if (options.portMissing) {
        return RunMissing(options.tcp);
    }
    if (options.sim.chaos.rate > 0.0) {
        // Without SA_RESTART, so that a waiting ppoll or accept returns at once.
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        ::sigaction(SIGINT, &action, nullptr);
        ::sigaction(SIGTERM, &action, nullptr);
    }
    const int status = options.pty ? RunPty(sim, options.trace)
                                   : RunTcp(sim, options.tcpHost, options.tcpPort, options.trace);
    if (options.sim.chaos.rate > 0.0) {
        using velmoro::ChaosKind;
        std::fprintf(stderr, "chaos:");
        for (ChaosKind kind :
             {ChaosKind::None, ChaosKind::Message, ChaosKind::Status, ChaosKind::Noise,
              ChaosKind::Late, ChaosKind::Silent, ChaosKind::Half, ChaosKind::Restart}) {
            std::fprintf(stderr, " %s %d", velmoro::ChaosKindName(kind), sim.ChaosCount(kind));
        }
        std::fprintf(stderr, "\n");
    }
    return status;
#else
    std::fprintf(stderr, "velmoro-sim: pseudo-terminals and the TCP mode need a Unix system\n");
    return 1;
#endif
}
