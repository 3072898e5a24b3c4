// Start-up loading of the settings into the configuration, with the first-start row defaults
// for the view.
#include "ecu/StateSetup.h"

#include "ecu/CoreState.h"
#include "ecu/Ecu.h"
#include "ecu/RefreshCycle.h"

namespace velmoro {

namespace {
constexpr int kFirstStartIndices[] = {9, 7, 4, 5};
}

SettingsReadResult LoadSettings(CoreState& state, ValueChoices& view)
{
    SettingsReadResult result =
        ReadSettingsFile(state.paths, state.settings, state.link, state.models);
    ApplySettings(state, view, result);
    return result;
}

void ApplySettings(CoreState& state, ValueChoices& view, const SettingsReadResult& result)
{
    state.firstStart = result.firstStart;
    if (result.firstStart) {
        int r = 0;
        for (const int index : kFirstStartIndices) {
            view.rows[static_cast<std::size_t>(r++)].valueIndex = index;
        }
    }
    for (int r = 0; r < kDisplayRows; ++r) {
        view.rows[static_cast<std::size_t>(r)].valueText =
            state.settings.values[static_cast<std::size_t>(r)];
    }
    for (const ModelEntry& model : result.matchingModels) {
        state.link.ecuId = model.ecuId;
        state.link.ecuVariant = model.ecuVariant;
        ChooseFamily(state.link);
    }
}

} // namespace velmoro
