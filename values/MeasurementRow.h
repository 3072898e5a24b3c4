// One measured-value row: what was read, how it is shown, its bar and its diagram level.
#pragma once

#include <QString>
#include <cstdint>

namespace velmoro {

constexpr int kNoGraphLevel = -100000; // the diagram shows "----" for it
constexpr int kDisplayRows = 8;
constexpr int kEngineStatusRow = 8; // work record of the MIUG4 engine status block

struct MeasurementRow {
    std::int32_t valueIndex = 0;
    std::int32_t displayMode = 0;
    QString valueText;
    QString unitText;
    std::int32_t rawValue = 0;
    std::int32_t barVisible = 0;
    std::int32_t barMin = 0;
    std::int32_t barMax = 0;
    std::int32_t barValue = 0;
    std::int32_t graphLevel = 0;
};

} // namespace velmoro
