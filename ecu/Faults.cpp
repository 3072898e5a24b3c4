// Fault memory of both families: decoding records into lines and filling the two lists.
#include "ecu/Faults.h"

#include "link/AnswerParser.h"

#include <algorithm>

namespace velmoro {

namespace {

// A key that has no entry yields nothing, without leaving an empty entry behind.
QString Description(LanguageTexts& texts, const QString& key)
{
    return texts.Contains(key) ? texts.Text(key) : QString();
}

void Publish(LanguageTexts& texts, FaultLists& lists, const QVector<FaultLine>& lines)
{
    lists.Clear();
    if (lines.isEmpty()) {
        lists.AddCurrent(texts.Text(QStringLiteral("Fault_1")));
        lists.AddStored(texts.Text(QStringLiteral("Fault_2")));
        return;
    }
    for (const FaultLine& line : lines) {
        if (line.target == FaultTarget::Stored)
            lists.AddStored(line.entry);
        else if (line.target == FaultTarget::Current)
            lists.AddCurrent(line.entry);
    }
}

} // namespace

QString FaultCodeText(std::uint8_t hi, std::uint8_t lo)
{
    static const char letters[] = {'P', 'C', 'B', 'U'};
    const int code = ((hi << 8) | lo) & 0x0FFF;
    return QString(QLatin1Char(letters[hi >> 6])) + QString::number((hi >> 4) & 0x03) +
           QStringLiteral("%1").arg(code, 3, 16, QLatin1Char('0')).toUpper();
}

FaultLine DecodeFaultMiug4(const std::uint8_t* record, LanguageTexts& texts)
{
    const QString bare = FaultCodeText(record[0], record[1]);
    const QString code = bare + QLatin1Char('-') + QString::fromLatin1(Hex2(record[2]));
    const std::uint8_t status = record[3];

    FaultLine line;
    line.entry.code = code;
    line.entry.status = status;
    QString& text = line.entry.text;
    text = code;
    // The shipped descriptions are keyed by the bare code, so fall back to it.
    QString description = Description(texts, code);
    if (description.isEmpty())
        description = Description(texts, bare);
    if (!description.isEmpty())
        text += QLatin1Char(' ') + description;
    if (status & 0x80)
        text += QStringLiteral(" LED on");
    if (status & 0x08)
        line.target = FaultTarget::Stored;
    else if (status & 0x07)
        line.target = FaultTarget::Current;
    return line;
}

FaultLine DecodeFault11mp(const std::uint8_t* record, LanguageTexts& texts)
{
    const QString code = FaultCodeText(record[0], record[1]);
    const std::uint8_t status = record[2];

    FaultLine line;
    line.entry.code = code;
    line.entry.status = status;
    QString& text = line.entry.text;
    text = code;
    const QString description = Description(texts, code);
    if (!description.isEmpty())
        text += QLatin1Char(' ') + description;
    QString suffixKey;
    switch (status & 0x0F) {
    case 1:
        suffixKey = QStringLiteral("Fault_3");
        break;
    case 2:
        suffixKey = QStringLiteral("Fault_4");
        break;
    case 4:
        suffixKey = QStringLiteral("Fault_5");
        break;
    case 8:
        suffixKey = QStringLiteral("Fault_6");
        break;
    default:
        break;
    }
    if (!suffixKey.isEmpty())
        text += QStringLiteral(" : ") + texts.Text(suffixKey);
    line.target = (status & 0x20) ? FaultTarget::Stored : FaultTarget::Current;
    return line;
}

JobEnding ReadFaultsMiug4(ExchangeLink& link, LanguageTexts& texts, FaultLists& lists)
{
    const ExchangeResult r = link.Exchange({0x19, 0x02, 0xAF});
    const JobEnding ending = EndingOf(r, PositiveAnswer(r));
    if (ending != JobEnding::Done) {
        lists.MarkUnread();
        return ending;
    }
    if (r.result <= 0)
        return ending;
    // DtcCount survives from earlier answers; never decode more records than this answer held.
    const int count = std::min(r.dtcCount(), r.result / 4);
    QVector<FaultLine> lines;
    for (int k = 0; k < count; ++k)
        lines.append(DecodeFaultMiug4(&r.response[static_cast<std::size_t>(1 + 4 * k)], texts));
    Publish(texts, lists, lines);
    return ending;
}

JobEnding ReadFaults11mp(ExchangeLink& link, LanguageTexts& texts, FaultLists& lists)
{
    const ExchangeResult r = link.Exchange({0x18, 0x00, 0xFF, 0x00});
    const QByteArray& answer = r.answerBytes;
    // 58, the number of records, then the records; a cut-off answer yields what arrived whole.
    const JobEnding ending =
        EndingOf(r, answer.size() >= 2 && static_cast<std::uint8_t>(answer[0]) == 0x58);
    if (ending != JobEnding::Done) {
        lists.MarkUnread();
        return ending;
    }
    if (r.result <= 0)
        return ending;
    const int announced = static_cast<std::uint8_t>(answer[1]);
    const int received = std::max<qsizetype>(0, answer.size() - 2) / 3;
    const int count = std::min(announced, received);
    QVector<FaultLine> lines;
    for (int k = 0; k < count; ++k) {
        const auto* record = reinterpret_cast<const std::uint8_t*>(answer.constData() + 2 + 3 * k);
        lines.append(DecodeFault11mp(record, texts));
    }
    Publish(texts, lists, lines);
    return ending;
}

JobEnding ClearFaultsMiug4(ExchangeLink& link, LanguageTexts& texts, FaultLists& lists)
{
    const ExchangeResult r = link.Exchange({0x14, 0xFF, 0xFF, 0xFF});
    if (r.result < 0) {
        lists.MarkUnread();
        return JobEnding::CutShort;
    }
    return WorstOf(EndingOf(r, PositiveAnswer(r)), ReadFaultsMiug4(link, texts, lists));
}

JobEnding ClearFaults11mp(ExchangeLink& link, LanguageTexts& texts, FaultLists& lists)
{
    const ExchangeResult r = link.Exchange({0x14, 0xFF, 0x00});
    if (r.result < 0) {
        lists.MarkUnread();
        return JobEnding::CutShort;
    }
    return WorstOf(EndingOf(r, PositiveAnswer(r)), ReadFaults11mp(link, texts, lists));
}

} // namespace velmoro
