// Identification of both families and the ECU information text of what it read.
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

// Adds the field trimmed, unless it is blank.
void AppendField(QStringList& fields, const QString& field)
{
    const QString trimmed = field.trimmed();
    if (!trimmed.isEmpty())
        fields.append(trimmed);
}

} // namespace

// The bounded waits only matter if a writer skips the wake-up.
int WaitForWorker(LinkFlags& flags)
{
    constexpr int kRecheckMs = 100;
    while (flags.workerState.load() < 0)
        flags.WaitForWorkerState([](int state) { return state >= 0; }, kRecheckMs);
    return flags.workerState.load();
}

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

EcuInfo EcuInfoMiug4(const QString& ecuId, const QByteArray& idData,
                     const std::optional<QByteArray>& versionData)
{
    QByteArray record = idData.left(kMiug4RecordSize);
    record.append(QByteArray(kMiug4RecordSize - record.size(), '\0'));

    EcuInfo info;
    info.family = FamilyMiug4;
    info.ecuId = ecuId;
    AppendField(info.fields, AsciiField(record, 0, 11));
    AppendField(info.fields,
                AsciiField(record, 11, 6) + QLatin1Char(' ') + AsciiField(record, 17, 5));
    AppendField(info.fields,
                AsciiField(record, 23, 4) + QLatin1Char(' ') + AsciiField(record, 27, 7));
    AppendField(info.fields, AsciiField(record, 36, 6));
    AppendField(info.fields, AsciiField(record, 47, 11));
    const auto byte = [&record](int i) { return static_cast<std::uint8_t>(record[i]); };
    info.release = QString::fromLatin1(Hex2(byte(69)) + Hex2(byte(70)) + '.' + Hex2(byte(71)) +
                                       '.' + Hex2(byte(72)));
    if (versionData && !versionData->isEmpty())
        info.version = AsciiField(*versionData, 0, versionData->size());
    return info;
}

EcuInfo EcuInfo11mp(const QString& ecuId, const QString& variant, const QByteArray& idData)
{
    EcuInfo info;
    info.family = Family11mp;
    info.ecuId = ecuId;
    info.variant = variant;
    if (idData.size() < k11mpMinimumBytes)
        return info;
    static constexpr Field kFields[] = {{0, 11}, {11, 11}, {23, 10}, {35, 6}, {52, 9}, {61, 6}};
    for (const Field& field : kFields)
        AppendField(info.fields, AsciiField(idData, field.offset, field.length));
    return info;
}

QString EcuInfoText(const EcuInfo& info)
{
    if (info.family == Family11mp)
        return QStringLiteral("IAW ") + info.ecuId + QLatin1Char(' ') + info.variant +
               QLatin1Char('\n') + info.fields.join(QLatin1Char('\n'));
    QString text = QStringLiteral("IAW ") + info.ecuId + QLatin1Char('\n');
    for (const QString& field : info.fields)
        text += field + QLatin1Char('\n');
    text += info.release;
    if (info.version)
        text += QLatin1Char('\n') + *info.version;
    return text;
}

QString ModelEcuText(const LinkSettings& link)
{
    return QStringLiteral("IAW ") + link.ecuId + QLatin1Char(' ') + link.ecuVariant;
}

std::optional<EcuInfo> IdentifyMiug4(ExchangeLink& link, const LinkSettings& settings)
{
    const ExchangeResult id = link.Exchange({0x22, 0x10, 0x80});
    if (id.result <= 0)
        return std::nullopt;
    const QByteArray idData = DataBytes(id);
    std::optional<QByteArray> version;
    const ExchangeResult v = link.Exchange({0x22, 0x10, 0x9A});
    if (v.result >= 1)
        version = DataBytes(v);
    return EcuInfoMiug4(settings.ecuId, idData, version);
}

EcuInfo Identify11mp(ExchangeLink& link, const LinkSettings& settings)
{
    return EcuInfo11mp(settings.ecuId, settings.ecuVariant, DataBytes(link.Exchange({0x22, 0xB0})));
}

} // namespace velmoro
