// velmoro-cli's results as JSON.
#include "cli/CliJson.h"

#include "cli/Terminal.h"

#include <QJsonDocument>

namespace velmoro::cli {

void PrintJson(const QJsonValue& value)
{
    const QJsonDocument document =
        value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    PrintOut(QString::fromUtf8(document.toJson(QJsonDocument::Compact)));
}

QJsonValue JsonValue(const QString& text)
{
    if (text.isEmpty() || text == QLatin1String("----"))
        return QJsonValue::Null;
    const bool bits =
        text.size() > 1 && text.startsWith(QLatin1Char('0')) && !text.contains(QLatin1Char('.'));
    bool number = false;
    const double value = text.toDouble(&number);
    return number && !bits ? QJsonValue(value) : QJsonValue(text);
}

QJsonObject ErrorJson(const QString& text, int status)
{
    return QJsonObject{{QStringLiteral("error"), text}, {QStringLiteral("status"), status}};
}

QString JobEndingName(JobEnding ending)
{
    switch (ending) {
    case JobEnding::Done:
        return QStringLiteral("done");
    case JobEnding::Refused:
        return QStringLiteral("refused");
    case JobEnding::NoAnswer:
        return QStringLiteral("no answer");
    case JobEnding::CutShort:
        return QStringLiteral("cut short");
    }
    return {};
}

QJsonArray FaultsJson(const QVector<FaultEntry>& entries)
{
    QJsonArray array;
    for (const FaultEntry& entry : entries) {
        const QString text = entry.text.trimmed();
        if (text.isEmpty())
            continue;
        const auto orNull = [](bool known, const QJsonValue& value) {
            return known ? value : QJsonValue(QJsonValue::Null);
        };
        array.append(
            QJsonObject{{QStringLiteral("code"), orNull(!entry.code.isEmpty(), entry.code)},
                        {QStringLiteral("status"), orNull(entry.status >= 0, entry.status)},
                        {QStringLiteral("text"), text}});
    }
    return array;
}

} // namespace velmoro::cli
