// Why a link did not come up, named by the step that failed, and the words that tell the user.
//
// The worker finds the step from the answers of its set-up (it sends what it always sends, and
// only stops early when two commands in a row bring nothing back): nothing answered at all, or
// that early stop -> AdapterSilent; the protocol command answered "?" -> CanRefused; the session
// request 10 03 answered "NO DATA", "CAN ERROR" or "UNABLE TO CONNECT" -> EcuSilent. A set-up that
// went well but whose identification brought no data is NoIdentification; a port that did not open
// is PortNotOpened.
#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QMetaType>
#include <QString>
#include <functional>

namespace velmoro {

class LanguageTexts;

// The steps of bringing a link up, in order, as the worker and the connect sequence report them.
enum class ConnectStep {
    OpeningPort,
    AdapterSetUp, // n of kAdapterSetUpSteps
    EcuSession,
    Identification,
};

// The adapter set-up counted as the user sees it: reset (CR, ATZ), echo off, the identity
// question (STMFR, then VTPROI, counted as one), protocol, header, receive filter.
constexpr int kAdapterSetUpSteps = 7;

// The set-up step a command belongs to: "" -> 1, "ATZ" -> 2, "ATE 0" -> 3, "STMFR" or
// "VTPROI" -> 4, a protocol command ("ATSP 6", "STP 33", "VTP2 33") -> 5, "ATSH 7A0" -> 6,
// "ATCRA 7A8" -> 7; anything else 0.
int AdapterSetUpStep(const QByteArray& command);

enum class LinkFailure {
    None,
    PortNotOpened,
    AdapterSilent,
    CanRefused,
    EcuSilent,
    NoIdentification,
};

struct LinkFailureReport {
    LinkFailure failure = LinkFailure::None;
    QString port;
    // PortNotOpened: the language key of the reason (LastPortOpenError); CanRefused: the
    // protocol command; EcuSilent: the adapter's answer ("NO DATA").
    QString detail;
};

// What the set-up heard: every answer (set-up commands and 10 03), the protocol command sent and
// its answer, and the answer to 10 03.
struct SetUpAnswers {
    QByteArrayList all;
    QByteArray protocolCommand;
    QByteArray protocolAnswer;
    QByteArray sessionAnswer;
    // kSilentSetUpCommands commands in a row went unanswered: the set-up stopped there.
    bool adapterSilent = false;
    // The answer to ATZ, and the vendor identity command that was recognised ("STMFR",
    // "VTPROI"; empty for a plain ELM327) with its answer.
    QByteArray resetAnswer{};
    QByteArray identityCommand{};
    QByteArray identityAnswer{};
};

// The adapter a set-up found, as the worker reports it.
struct FoundAdapter {
    bool answered = false; // any set-up answer held more than blanks
    QString kind;          // "ELM327", "STN" or "Vgate"
    QString banner;        // the answer to ATZ without its echo, e.g. "ELM327 v1.5"
    QString detail;        // the STN's or Vgate's answer to its identity command
};

// {resetAnswer "ATZ\r\rELM327 v1.5\r\r"} -> ELM327, "ELM327 v1.5"; with identityCommand
// "STMFR" -> STN and the answer's lines as the detail.
FoundAdapter AdapterOf(const SetUpAnswers& answers);

// Set-up commands in a row that bring nothing back, not even a prompt, after which the adapter
// counts as silent: about two adapter time-outs, instead of one for every set-up command.
constexpr int kSilentSetUpCommands = 2;

// Whether any of the set-up's answers held more than blanks.
bool AdapterAnswered(const SetUpAnswers& answers);

// {"", "", "", ...} -> AdapterSilent; protocol answer "?\r\r" -> CanRefused (detail "ATSP 6");
// session answer "NO DATA\r\r" -> EcuSilent (detail "NO DATA"); anything else -> None.
LinkFailureReport DiagnoseSetUp(const QString& port, const SetUpAnswers& answers);

// The language key of the failure's text; a Bluetooth port has its own texts: whether it is bound
// (its device exists, per exists; empty: the file system) when it did not open, and what to check
// when the adapter behind it is silent. Empty for None.
QString LinkFailureKey(const LinkFailureReport& report,
                       const std::function<bool(const QString& path)>& exists = {});

// The step in the user's language (English where an older settings file lacks the key), short
// enough for the status bar: "Adapter set-up 3 of 7". n counts only for AdapterSetUp.
QString ConnectStepText(LanguageTexts& texts, ConnectStep step, int n = 0);

// Whether the failure means the ECU is what stayed silent, the usual sign of the ignition being
// off; the adapter and the port worked.
bool EcuStayedSilent(LinkFailure failure);

// The failure in the user's language (English where an older settings file lacks the key), with
// the port, the reason and, for a serial device this user may not open, the advice on joining its
// group on the lines after the first.
QString LinkFailureText(LanguageTexts& texts, const LinkFailureReport& report,
                        const std::function<bool(const QString& path)>& exists = {});

} // namespace velmoro

Q_DECLARE_METATYPE(velmoro::LinkFailure)
Q_DECLARE_METATYPE(velmoro::ConnectStep)
