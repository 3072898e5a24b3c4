// Number formats and rounding rules shared by the measured-value readers of both families.
#include "values/Formats.h"

#include <cmath>
#include <cstdio>

namespace velmoro {

QString FormatInt(std::int64_t value)
{
    return QString::number(value);
}

QString FormatFixed(double value, int decimals)
{
    const float single = static_cast<float>(value);
    if (!std::isfinite(single)) {
        return QStringLiteral("----");
    }
    if (decimals < 0 || decimals > 6) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.*f", decimals < 0 ? 0 : decimals,
                      static_cast<double>(single));
        return QString::fromLatin1(buffer);
    }
    // A float has 24 significant bits and 10^6 needs 14 more, so the scaled value is exact in
    // double precision and the rounding below decides on the float's true value, the same way
    // on every platform.
    double scale = 1.0;
    for (int i = 0; i < decimals; ++i) {
        scale *= 10.0;
    }
    const double scaled = std::round(std::fabs(static_cast<double>(single)) * scale);
    if (scaled >= 9.0e15) {
        char buffer[400];
        std::snprintf(buffer, sizeof buffer, "%.*f", decimals, static_cast<double>(single));
        return QString::fromLatin1(buffer);
    }
    const auto units = static_cast<std::int64_t>(scaled);
    QString digits = QString::number(units);
    if (digits.size() <= decimals) {
        digits = QString(decimals + 1 - digits.size(), QLatin1Char('0')) + digits;
    }
    QString text = decimals == 0 ? digits
                                 : digits.left(digits.size() - decimals) + QLatin1Char('.') +
                                       digits.right(decimals);
    if (single < 0.0f && units != 0) {
        text.prepend(QLatin1Char('-'));
    }
    return text;
}

QString FormatBin8(std::uint32_t value)
{
    return QString::number(value, 2).rightJustified(8, QLatin1Char('0'));
}

std::int32_t RoundHalfEven(double value)
{
    const double lower = std::floor(value);
    const double fraction = value - lower;
    double result = lower;
    if (fraction > 0.5) {
        result = lower + 1.0;
    } else if (fraction == 0.5) {
        result = std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
    }
    return static_cast<std::int32_t>(result);
}

std::int32_t RoundHalfAwayFromZero(double value)
{
    return static_cast<std::int32_t>(std::round(value));
}

QString RawValueText(std::int32_t rawValue)
{
    const auto low16 = static_cast<std::uint32_t>(rawValue) & 0xFFFFu;
    return QStringLiteral("0x") + QString::number(low16, 16).toUpper() + QStringLiteral(" (") +
           QString::number(rawValue) + QLatin1Char(')');
}

} // namespace velmoro
