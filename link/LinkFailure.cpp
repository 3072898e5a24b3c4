// The failed step of a connection: found from the set-up's answers, told in the user's words.
#include "link/LinkFailure.h"

#include "config/LanguageTexts.h"
#include "link/AdapterPort.h"
#include "link/PortDiscovery.h"
#include "link/SerialDevice.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>

namespace velmoro {

namespace {

// The answer's lines without blanks, echo lines and the prompt left in.
QByteArrayList Lines(const QByteArray& answer)
{
    QByteArray text = answer;
    text.replace('\n', '\r');
    QByteArrayList lines;
    for (const QByteArray& line : text.split('\r')) {
        const QByteArray trimmed = line.trimmed();
        if (!trimmed.isEmpty() && trimmed != ">")
            lines << trimmed;
    }
    return lines;
}

// The adapter's word for "nothing came back on the bus".
QByteArray BusSilence(const QByteArray& answer)
{
    static const char* const kMessages[] = {"NO DATA", "CAN ERROR", "UNABLE TO CONNECT"};
    const QByteArray upper = answer.toUpper();
    for (const char* message : kMessages)
        if (upper.contains(message))
            return message;
    return {};
}

} // namespace

int AdapterSetUpStep(const QByteArray& command)
{
    static const QByteArrayList kSteps[kAdapterSetUpSteps] = {
        {""},         {"ATZ"},      {"ATE 0"}, {"STMFR", "VTPROI"}, {"ATSP 6", "STP 33", "VTP2 33"},
        {"ATSH 7A0"}, {"ATCRA 7A8"}};
    for (int i = 0; i < kAdapterSetUpSteps; ++i)
        if (kSteps[i].contains(command))
            return i + 1;
    return 0;
}

bool AdapterAnswered(const SetUpAnswers& answers)
{
    return std::any_of(answers.all.begin(), answers.all.end(),
                       [](const QByteArray& a) { return !a.trimmed().isEmpty(); });
}

namespace {
// The lines of an adapter answer without the echo of its command, the prompt and blank lines.
QStringList AnswerLines(const QByteArray& command, const QByteArray& answer)
{
    QStringList lines;
    for (const QByteArray& raw : answer.split('\r')) {
        const QString line = QString::fromLatin1(raw).remove(QLatin1Char('>')).trimmed();
        if (!line.isEmpty() && line != QString::fromLatin1(command))
            lines << line;
    }
    return lines;
}
} // namespace

FoundAdapter AdapterOf(const SetUpAnswers& answers)
{
    FoundAdapter found;
    found.answered = AdapterAnswered(answers);
    found.kind = QStringLiteral("ELM327");
    found.banner = AnswerLines("ATZ", answers.resetAnswer).join(QLatin1Char(' '));
    if (!answers.identityCommand.isEmpty()) {
        found.kind =
            answers.identityCommand == "STMFR" ? QStringLiteral("STN") : QStringLiteral("Vgate");
        found.detail =
            AnswerLines(answers.identityCommand, answers.identityAnswer).join(QLatin1Char(' '));
    }
    return found;
}

LinkFailureReport DiagnoseSetUp(const QString& port, const SetUpAnswers& answers)
{
    LinkFailureReport report;
    report.port = port;
    if (answers.adapterSilent || !AdapterAnswered(answers)) {
        report.failure = LinkFailure::AdapterSilent;
        return report;
    }
    if (Lines(answers.protocolAnswer).contains("?")) {
        report.failure = LinkFailure::CanRefused;
        report.detail = QString::fromLatin1(answers.protocolCommand);
        return report;
    }
    const QByteArray silence = BusSilence(answers.sessionAnswer);
    if (!silence.isEmpty()) {
        report.failure = LinkFailure::EcuSilent;
        report.detail = QString::fromLatin1(silence);
    }
    return report;
}

QString LinkFailureKey(const LinkFailureReport& report,
                       const std::function<bool(const QString& path)>& exists)
{
    const bool bluetooth = IsBluetoothPort(report.port);
    switch (report.failure) {
    case LinkFailure::None:
        break;
    case LinkFailure::PortNotOpened: {
        const bool bound = exists ? exists(report.port) : QFileInfo::exists(report.port);
        return bluetooth && !bound ? QStringLiteral("Port_8") : QStringLiteral("Port_7");
    }
    case LinkFailure::AdapterSilent:
        return bluetooth ? QStringLiteral("Port_10") : QStringLiteral("Port_9");
    case LinkFailure::CanRefused:
        return QStringLiteral("Port_11");
    case LinkFailure::EcuSilent:
        return QStringLiteral("Port_12");
    case LinkFailure::NoIdentification:
        return QStringLiteral("Port_13");
    }
    return {};
}

QString ConnectStepText(LanguageTexts& texts, ConnectStep step, int n)
{
    switch (step) {
    case ConnectStep::OpeningPort:
        return TextOrEnglish(texts, QStringLiteral("Conn_1"));
    case ConnectStep::AdapterSetUp:
        return TextOrEnglish(texts, QStringLiteral("Conn_2")).arg(n).arg(kAdapterSetUpSteps);
    case ConnectStep::EcuSession:
        return TextOrEnglish(texts, QStringLiteral("Conn_3"));
    case ConnectStep::Identification:
        return TextOrEnglish(texts, QStringLiteral("Conn_4"));
    }
    return {};
}

bool EcuStayedSilent(LinkFailure failure)
{
    return failure == LinkFailure::EcuSilent || failure == LinkFailure::NoIdentification;
}

QString LinkFailureText(LanguageTexts& texts, const LinkFailureReport& report,
                        const std::function<bool(const QString& path)>& exists)
{
    const QString key = LinkFailureKey(report, exists);
    if (key.isEmpty())
        return {};
    QString text = TextOrEnglish(texts, key);
    if (key == QLatin1String("Port_8")) {
        static const QRegularExpression number(QStringLiteral("(\\d+)$"));
        const QString n = number.match(report.port).captured(1);
        return text.arg(report.port, n.isEmpty() ? QStringLiteral("0") : n);
    }
    if (key == QLatin1String("Port_7")) {
        const QString reason = TextOrEnglish(
            texts, report.detail.isEmpty() ? QStringLiteral("Err_10") : report.detail);
        text = text.arg(report.port, reason);
        if (report.detail != QLatin1String("Dev_2")) {
            return text;
        }
        return text + QLatin1Char('\n') +
               SerialPermissionAdvice(texts, report.port, ProbeSerialDevice(report.port, false));
    }
    if (key == QLatin1String("Port_10"))
        return text.arg(report.port);
    if (key == QLatin1String("Port_11") || key == QLatin1String("Port_12"))
        return text.arg(report.detail);
    return text;
}

} // namespace velmoro
