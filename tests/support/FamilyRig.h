// A family over a channel of its own, with a view's value choices: what the session and a view
// hold between them, for tests and benchmarks that drive a family without a session.
#pragma once

#include "ecu/CoreState.h"
#include "ecu/Ecu.h"
#include "ecu/FaultLists.h"
#include "ecu/RefreshCycle.h"
#include "link/Clock.h"
#include "link/LinkFlags.h"
#include "link/RequestChannel.h"

#include <memory>

namespace velmoro::test {

struct FamilyRig : CoreState, ValueChoices {
    LinkFlags flags;
    RequestChannel channel{flags};
    FaultLists faults;
    // Empty until Choose().
    std::shared_ptr<Ecu> ecu;

    // Chooses link.family from link.ecuId and makes that family over this channel, with a copy
    // of the configuration as it is now. Its procedures wait on the steady clock; a disconnect
    // or quit asked for before the wait ends it.
    void Choose()
    {
        ChooseFamily(link);
        auto config = std::make_shared<CoreState>(static_cast<const CoreState&>(*this));
        ecu = MakeEcu(config, channel, [this](int ms) {
            const auto stopped = [this] { return flags.stopFlag.load() || flags.quitFlag.load(); };
            if (stopped())
                return false;
            SteadyClockInstance().SleepMs(ms);
            return !stopped();
        });
    }
    // The choosers of the chosen family, as a view fills them.
    void Refresh(bool keepPositions) { RefreshChoosers(*this, *ecu, keepPositions); }
};

} // namespace velmoro::test
