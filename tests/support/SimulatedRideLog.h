// A CSV value log written the way the program writes one on a connection to the simulated
// motorcycle: the family's readers against the simulated ECU, their texts into CsvLog.
#pragma once

#include "config/IniFile.h"
#include "config/LanguageTexts.h"
#include "config/Settings.h"
#include "output/CsvLog.h"
#include "sim/SimulatedEcu.h"
#include "sim/Simulator.h"
#include "values/MeasurementLists.h"
#include "values/ValueCatalog.h"

#include <QDateTime>
#include <QString>
#include <array>
#include <vector>

namespace velmoro::test {

// The English texts of the built-in default file.
inline void LoadDefaultEnglish(LanguageTexts& texts)
{
    IniFile ini;
    ini.SetContent(DefaultSettingsFile());
    for (const auto& [key, text] : ini.Entries(QStringLiteral("English")))
        texts.Set(key, text);
}

// The simulated ECU behind the link, its engine time moved on by the caller.
class SimulatedEcuLink : public ExchangeLink {
public:
    explicit SimulatedEcuLink(int family) : ecu_(family) {}
    qint64 engineMs = 0;

    ExchangeResult Exchange(const std::uint8_t* request, int length) override
    {
        const QByteArray answer =
            ecu_.Answer(QByteArray(reinterpret_cast<const char*>(request), length), engineMs);
        ExchangeResult result;
        result.answerBytes = answer;
        if (answer.size() <= 3 || static_cast<std::uint8_t>(answer[0]) == 0x7F) {
            result.result = kExchangeNoData;
            return result;
        }
        const int count = std::min<int>(int(answer.size()) - 3, kResponseBufferSize - 1);
        for (int i = 0; i < count; ++i)
            result.response[static_cast<std::size_t>(1 + i)] =
                static_cast<std::uint8_t>(answer[3 + i]);
        result.result = count;
        return result;
    }

private:
    SimulatedEcu ecu_;
};

struct RideLog {
    QString fileName;
    std::array<QString, 8> names;             // the header's chooser texts
    std::vector<std::array<QString, 8>> rows; // the value texts of each line
    std::vector<qint64> timesMs;
};

// `passes` measurement passes stepMs apart of the values `indices` (0 = an empty chooser) of
// family kSimFamilyMiug4 or kSimFamily11mp, logged into directory (ending in "/").
inline RideLog WriteSimulatedRideLog(const QString& directory, int family, int passes,
                                     const std::array<int, 8>& indices, int stepMs = 50)
{
    LanguageTexts texts;
    LoadDefaultEnglish(texts);
    QVector<QString> names;
    if (family == kSimFamilyMiug4)
        BuildValueNamesMiug4(texts, names);
    else
        BuildValueNames11mp(texts, names);

    RideLog ride;
    for (std::size_t i = 0; i < 8; ++i)
        ride.names[i] = indices[i] > 0 ? names.value(indices[i]) : QString();

    CsvLog log;
    const QString base =
        family == kSimFamilyMiug4 ? QStringLiteral("RideMIUG4") : QStringLiteral("Ride11MP");
    log.OpenCsvLog(directory, base, QDateTime(QDate(2026, 5, 1), QTime(10, 0, 0)),
                   texts.Text(QStringLiteral("CSV_1")), ride.names);
    ride.fileName = log.FileName();

    SimulatedEcuLink link(family);
    float smoothing = 0;
    ReaderContext ctx{link, texts, smoothing};
    std::array<MeasurementRow, 8> rows;
    for (int pass = 0; pass < passes; ++pass) {
        const qint64 t = qint64(pass) * stepMs;
        // The engine was started two minutes before the connection, so it idles and revs.
        link.engineMs = 120000 + t;
        std::array<QString, 8> values;
        for (std::size_t i = 0; i < 8; ++i) {
            if (indices[i] == 0)
                continue;
            rows[i].valueIndex = indices[i];
            if (family == kSimFamilyMiug4)
                ValueDispatcherMiug4(ctx, rows[i]);
            else
                ValueDispatcher11mp(ctx, rows[i]);
            values[i] = rows[i].valueText;
        }
        log.AddCsvLine(true, t, values);
        ride.rows.push_back(values);
        ride.timesMs.push_back(t);
    }
    log.FlushCsvLog();
    return ride;
}

} // namespace velmoro::test
