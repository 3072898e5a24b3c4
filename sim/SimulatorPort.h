// The in-process simulated adapter as an adapter port: how the simulator plugs into the link.
#pragma once

#include "link/AdapterPort.h"

#include <memory>

namespace velmoro {

class Simulator;

// A port onto the given simulator; nullptr when there is none or it has vanished.
std::unique_ptr<AdapterPort> OpenSimulatorPort(std::shared_ptr<Simulator> simulator);

} // namespace velmoro
