// The application state below the widgets: one object, created by main() and passed by reference.
#pragma once

#include "config/LanguageTexts.h"
#include "config/Settings.h"
#include "ecu/Ecu.h"
#include "ecu/FaultLists.h"
#include "link/LinkFlags.h"
#include "link/RequestChannel.h"
#include "link/UiBridge.h"
#include "values/MeasurementRow.h"
#include "values/ValueChooser.h"

#include <QVector>
#include <array>
#include <functional>
#include <memory>

namespace velmoro {

struct CoreState {
    ProgramPaths paths;
    Settings settings;
    LinkSettings link;
    ModelList models;
    bool firstStart = false;

    LanguageTexts texts;
    LinkFlags flags;
    RequestChannel channel{flags};

    std::array<MeasurementRow, 9> rows; // 0..7 displayed, 8 the engine status work record
    // The chosen family's value names by dispatcher index, as the choosers were last filled.
    QVector<QString> valueNames;
    std::array<ValueChooser, 8> choosers;

    // The chosen ECU family; empty until a model has been chosen. The session keeps its own
    // reference for the life of a link.
    std::shared_ptr<Ecu> ecu;
    FaultLists faults;

    // Set by the shell: disables the external-tool menu items once the menu exists.
    std::function<void()> onEcuChosen;
};

} // namespace velmoro
