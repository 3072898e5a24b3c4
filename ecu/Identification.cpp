// Identification of both families and the ECU information texts it builds.
#include "ecu/Identification.h"

#include "link/AnswerParser.h"

namespace velmoro {

namespace {

constexpr int kMiug4RecordSize = 73;
constexpr int k11mpMinimumBytes = 67;

struct Field {
    int offset;
    int length;
};

void AppendLine(QString& text, const QString& field)
{
    const QString trimmed = field.trimmed();
    if (!trimmed.isEmpty())
        text += trimmed + QLatin1Char('\n');
}

// The worker sets the state once the ignition prompt and the adapter set-up are done, which
// takes as long as the user needs. The bounded waits only matter if a writer skips the wake-up.
int WaitForWorker(LinkFlags& flags)
{
    constexpr int kRecheckMs = 100;
    while (flags.workerState.load() < 0)
        flags.WaitForWorkerState([](int state) { return state >= 0; }, kRecheckMs);
    return flags.workerState.load();
}

} // namespace

QString AsciiField(const QByteArray& bytes, int offset, int length)
{
    QString text;
    for (int i = offset; i < offset + length && i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == 0)
            break;
        text += QLatin1Char(c);
    }
    return text;
}

QByteArray DataBytes(const ExchangeResult& result)
{
    if (result.result <= 0)
        return {};
    const int count = std::min(result.result, kResponseBufferSize - 1);
    return QByteArray(reinterpret_cast<const char*>(&result.response[1]), count);
}

QString IdentificationLinesMiug4(const QByteArray& idData)
{
    QByteArray record = idData.left(kMiug4RecordSize);
    record.append(QByteArray(kMiug4RecordSize - record.size(), '\0'));

    QString text;
    AppendLine(text, AsciiField(record, 0, 11));
    AppendLine(text, AsciiField(record, 11, 6) + QLatin1Char(' ') + AsciiField(record, 17, 5));
    AppendLine(text, AsciiField(record, 23, 4) + QLatin1Char(' ') + AsciiField(record, 27, 7));
    AppendLine(text, AsciiField(record, 36, 6));
    AppendLine(text, AsciiField(record, 47, 11));
    const auto byte = [&record](int i) { return static_cast<std::uint8_t>(record[i]); };
    text += QString::fromLatin1(Hex2(byte(69)) + Hex2(byte(70)) + '.' + Hex2(byte(71)) + '.' +
                                Hex2(byte(72)));
    return text;
}

QString EcuInfoTextMiug4(const QString& ecuId, const QByteArray& idData,
                         const std::optional<QByteArray>& versionData)
{
    QString text = QStringLiteral("IAW ") + ecuId + QLatin1Char('\n');
    text += IdentificationLinesMiug4(idData);
    if (versionData && !versionData->isEmpty())
        text += QLatin1Char('\n') + AsciiField(*versionData, 0, versionData->size());
    return text;
}

QString EcuInfoText11mp(const QString& ecuId, const QString& variant, const QByteArray& idData)
{
    QString text = QStringLiteral("IAW ") + ecuId + QLatin1Char(' ') + variant + QLatin1Char('\n');
    if (idData.size() < k11mpMinimumBytes)
        return text;
    static constexpr Field kFields[] = {{0, 11}, {11, 11}, {23, 10}, {35, 6}, {52, 9}, {61, 6}};
    QStringList lines;
    for (const Field& field : kFields) {
        const QString trimmed = AsciiField(idData, field.offset, field.length).trimmed();
        if (!trimmed.isEmpty())
            lines.append(trimmed);
    }
    return text + lines.join(QLatin1Char('\n'));
}

void ConnectMiug4(LinkFlags& flags, const LinkSettings& settings, ExchangeLink& link, UiBridge& ui)
{
    if (WaitForWorker(flags) != kWorkerRunning) {
        ui.Disconnect();
        return;
    }
    ui.ConnectProgress(ConnectStep::Identification);
    const ExchangeResult id = link.Exchange({0x22, 0x10, 0x80});
    if (id.result <= 0) {
        ui.Disconnect();
        return;
    }
    const QByteArray idData = DataBytes(id);
    std::optional<QByteArray> version;
    const ExchangeResult v = link.Exchange({0x22, 0x10, 0x9A});
    if (v.result >= 1)
        version = DataBytes(v);
    ui.SetEcuInfoText(EcuInfoTextMiug4(settings.ecuId, idData, version));
    ui.Connected();
}

void Connect11mp(LinkFlags& flags, const LinkSettings& settings, ExchangeLink& link, UiBridge& ui)
{
    if (WaitForWorker(flags) != kWorkerRunning) {
        ui.Disconnect();
        return;
    }
    ui.ConnectProgress(ConnectStep::Identification);
    // Any answer, or none, counts as connected; a short one only leaves the fields out.
    const ExchangeResult id = link.Exchange({0x22, 0xB0});
    ui.SetEcuInfoText(EcuInfoText11mp(settings.ecuId, settings.ecuVariant, DataBytes(id)));
    ui.Connected();
}

} // namespace velmoro
