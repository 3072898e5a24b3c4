// What the worker and the connect sequence tell the user interface. The session turns every call
// into its state and signals; tests implement it with a recorder.
#pragma once

#include "link/LinkFailure.h"

#include <QString>

namespace velmoro {

class UiBridge {
public:
    virtual ~UiBridge() = default;

    // Shows text to the user (a message box titled "VelmoroCanDiag V0.02") and returns once it
    // was closed. Called from threads other than the main thread.
    virtual void ShowMessageAndWait(const QString& text) = 0;

    // The connect sequence's results: either Connected() or a request to end the link.
    virtual void Connected() = 0;
    virtual void Disconnect() = 0;

    // The adapter port failed while connected (unplugged, Bluetooth or TCP dropped).
    virtual void LinkLost() = 0;

    // The worker's set-up found the step that failed (the port did not open, the adapter was
    // silent, refused CAN, or the ECU did not answer). Called on the worker thread before the
    // worker state changes; what follows (Disconnect, Connected) is unchanged by it.
    virtual void SetUpFailed(const LinkFailureReport& report) { Q_UNUSED(report); }

    // The adapter the connect's set-up found (also when it stayed silent). Called on the worker
    // thread before SetUpFailed and before the worker state changes.
    virtual void AdapterFound(const FoundAdapter& adapter) { Q_UNUSED(adapter); }

    // The adapter restarted by itself while connected and was set up again; seen is what showed
    // it ("ELM327 v1.5", "LV RESET", the echo of a request, "SEARCHING..."). Called on the worker
    // thread before the caller of the request that showed it is woken.
    virtual void AdapterRestarted(const QString& seen) { Q_UNUSED(seen); }

    // The step the link is at while it comes up (n: the adapter set-up's step, 1 to
    // kAdapterSetUpSteps). Called on the worker and the connect thread; only news, nothing
    // waits for it.
    virtual void ConnectProgress(ConnectStep step, int n = 0)
    {
        Q_UNUSED(step);
        Q_UNUSED(n);
    }
};

} // namespace velmoro
