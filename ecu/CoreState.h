// The application state below the widgets: one object, created by main() and passed by reference.
#pragma once

#include "config/LanguageTexts.h"
#include "config/Settings.h"
#include "ecu/EcuOps.h"
#include "ecu/FaultLists.h"
#include "link/LinkFlags.h"
#include "link/RequestChannel.h"
#include "link/UiBridge.h"
#include "values/ActionList.h"
#include "values/MeasurementRow.h"
#include "values/ValueChooser.h"

#include <QVector>
#include <array>
#include <functional>

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
    QVector<QString> valueNames11mp = QVector<QString>(116);
    QVector<QString> valueNamesMiug4 = QVector<QString>(87);
    std::array<ValueChooser, 8> choosers;
    ActionList actions;
    ProcedureRecord procedure;
    float rpmSmoothing11mp = 0.0f;
    float rpmSmoothingMiug4 = 0.0f;

    EcuOps ops;
    FaultLists faults;

    // Set by the shell: disables the external-tool menu items once the menu exists.
    std::function<void()> onEcuOpsFilled;
    // Set by the shell (or a test recorder) before the first connect.
    UiBridge* ui = nullptr;
};

} // namespace velmoro
