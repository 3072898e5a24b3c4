// What the worker and the connect sequence tell the user interface. The session turns every call
// into its state and signals; tests implement it with a recorder.
#pragma once

#include <QString>

namespace velmoro {

class UiBridge {
public:
    virtual ~UiBridge() = default;

    // Shows text to the user (a message box titled "VelmoroCanDiag V0.02") and returns once it
    // was closed. Called from threads other than the main thread.
    virtual void ShowMessageAndWait(const QString& text) = 0;

    // The connect sequence's results: the ECU information text, then either Connected() or a
    // request to end the link.
    virtual void SetEcuInfoText(const QString& text) = 0;
    virtual void Connected() = 0;
    virtual void Disconnect() = 0;

    // The adapter port failed while connected (unplugged, Bluetooth or TCP dropped).
    virtual void LinkLost() = 0;
};

} // namespace velmoro
