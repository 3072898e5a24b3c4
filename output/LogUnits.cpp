// Units by value name, taken from the catalogues' own readers.
#include "output/LogUnits.h"

#include "config/IniFile.h"
#include "config/LanguageTexts.h"
#include "config/Settings.h"
#include "values/MeasurementLists.h"
#include "values/ValueCatalog.h"

#include <QVector>

namespace velmoro {

namespace {

// Answers every request with data bytes 1, 2, 3, 4: a reading every reader accepts (no marker
// value, no set top bit), so each one names the unit it shows its value in.
class UnitProbeLink : public ExchangeLink {
public:
    ExchangeResult Exchange(const std::uint8_t*, int) override
    {
        ExchangeResult answer;
        answer.result = 4;
        for (int i = 0; i < 4; ++i)
            answer.response[static_cast<std::size_t>(1 + i)] = static_cast<std::uint8_t>(1 + i);
        return answer;
    }
};

void AddUnits(LanguageTexts& texts, const QVector<QString>& names, int lastIndex,
              int (*dispatcher)(ReaderContext&, MeasurementRow&), QHash<QString, QString>& units)
{
    UnitProbeLink link;
    float smoothing = 0;
    ReaderContext ctx{link, texts, smoothing};
    for (int index = 1; index <= lastIndex && index < names.size(); ++index) {
        const QString& name = names[index];
        if (name.isEmpty() || units.contains(name))
            continue;
        MeasurementRow row;
        row.valueIndex = index;
        if (dispatcher(ctx, row) > 0 && !row.unitText.isEmpty())
            units.insert(name, row.unitText);
    }
}

} // namespace

QHash<QString, QString> ValueUnitsByName(LanguageTexts& texts)
{
    QHash<QString, QString> units;
    QVector<QString> names;
    BuildValueNamesMiug4(texts, names);
    AddUnits(texts, names, kLastIndexMiug4, &ValueDispatcherMiug4, units);
    BuildValueNames11mp(texts, names);
    AddUnits(texts, names, kLastIndex11mp, &ValueDispatcher11mp, units);
    return units;
}

QHash<QString, QString> ValueUnitsOfAllLanguages(LanguageTexts& texts)
{
    // The built-in languages never change while the program runs: probed once.
    static const QHash<QString, QString> builtIn = [] {
        QHash<QString, QString> units;
        IniFile ini;
        ini.SetContent(DefaultSettingsFile());
        for (const QString& section : ini.SectionNames()) {
            if (section.isEmpty() ||
                section.compare(QStringLiteral("Settings"), Qt::CaseInsensitive) == 0 ||
                section.compare(QStringLiteral("Modells"), Qt::CaseInsensitive) == 0)
                continue;
            LanguageTexts language;
            for (const auto& [key, text] : ini.Entries(section))
                language.Set(key, text);
            const QHash<QString, QString> found = ValueUnitsByName(language);
            for (auto it = found.begin(); it != found.end(); ++it)
                if (!units.contains(it.key()))
                    units.insert(it.key(), it.value());
        }
        return units;
    }();
    QHash<QString, QString> units = ValueUnitsByName(texts);
    for (auto it = builtIn.begin(); it != builtIn.end(); ++it)
        if (!units.contains(it.key()))
            units.insert(it.key(), it.value());
    return units;
}

} // namespace velmoro
