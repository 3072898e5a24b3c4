// The command line of velmoro-cli: its options, the exit statuses, and the one mapping from the
// way a job or a link ended to a status.
#pragma once

#include "cli/CliSetup.h"
#include "link/LinkFailure.h"
#include "values/JobEnding.h"

#include <QString>
#include <QStringList>

namespace velmoro::cli {

enum ExitStatus : int {
    ExitDone = 0,
    ExitFailed = 1,    // the ECU refused a job, or a file could not be written
    ExitUsage = 2,     // unknown command, value, action, model or language; no port or model
    ExitPort = 3,      // the port does not exist, is busy or is refused
    ExitAdapter = 4,   // the adapter does not answer
    ExitEcuSilent = 5, // the ECU does not answer (ignition off?)
    ExitLinkLost = 6,  // the link ended in the middle
    ExitInterrupted = 130,
    // A signal that ends the run (SIGTERM, SIGHUP, SIGPIPE) gives 128 + its number.
    ExitBySignal = 128,
};

// The one place where the way a job or a link ended becomes the run's exit status.
int ExitStatusOf(JobEnding ending);
int ExitStatusOf(LinkFailure failure);
// A signal that ended the run: 130 for Ctrl-C, 128 + its number for the others.
int ExitStatusOfSignal(int signal);

// The options that only some commands take; a command's entry in the table lists its own.
enum CommandOption : unsigned {
    OptCsv = 1u << 0,
    OptPasses = 1u << 1,
    OptInterval = 1u << 2,
    OptDuration = 1u << 3,
    OptReconnect = 1u << 4,
    OptClear = 1u << 5,
    OptOutput = 1u << 6,
    OptWait = 1u << 7,
    OptFaultsEvery = 1u << 8,
    OptRideGap = 1u << 9,
};

struct CliOptions {
    QString command;
    QStringList arguments;
    SettingsChoice settings;
    bool json = false;
    bool quiet = false;
    bool yes = false;
    bool clear = false;
    bool reconnect = false;
    QString csvFile;
    QString debugLogFile;
    QString outputFile;
    QString passes;      // checked when the texts are known
    QString duration;    // seconds
    QString interval;    // watch: the least milliseconds from one pass's start to the next's
    bool fast = false;   // --fast: fast refresh for this run, whatever the settings say
    bool noFast = false; // --no-fast: the normal pace for this run
    bool wait = false;   // record: a port or adapter not there yet is tried until it is
    QString faultsEvery; // record: seconds between two reads of the fault memory
    QString rideGap;     // record: seconds of link loss that end a ride

    // The first command option given that is not among `accepted`, as typed ("--csv"); empty
    // when every one given is accepted.
    QString OptionNotFor(unsigned accepted) const;
};

// Reads the command line into options. Returns -1 to go on, or the status to end with after
// --help, --version or a malformed command line (the text is already printed, and as JSON on
// stdout too when --json was among the arguments).
int ParseCommandLine(const QStringList& arguments, CliOptions& options);

} // namespace velmoro::cli
