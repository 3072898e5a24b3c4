// The MIUG4 engine status block: one request, eight on/off lines from the bits of d1.
#include "config/LanguageTexts.h"
#include "values/ValueCatalog.h"

namespace velmoro {

int ReadEngineStatusMiug4(ExchangeLink& link, LanguageTexts& texts, MeasurementRow& row)
{
    const ExchangeResult answer = link.Exchange({0x22, 0x10, 0x74});
    if (answer.result <= 0) {
        return 0;
    }
    const std::uint8_t bits = answer.d(1);
    const QString offSuffix =
        QStringLiteral(" (") +
        QStringLiteral("%1").arg(answer.d(4), 2, 16, QLatin1Char('0')).toUpper() +
        QStringLiteral(")\n");
    QString block;
    for (int mask = 1; mask <= 128; mask <<= 1) {
        if ((bits & mask) != 0) {
            block += texts.Text(QStringLiteral("Status_11")) + QLatin1Char('\n');
        } else {
            block += texts.Text(QStringLiteral("Status_12")) + offSuffix;
        }
    }
    row.valueText = block;
    return 1;
}

} // namespace velmoro
