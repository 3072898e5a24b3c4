// The simulated adapter behind the link's port interface.
#include "sim/SimulatorPort.h"

#include "sim/Simulator.h"

namespace velmoro {

namespace {

class SimulatorAdapterPort : public AdapterPort {
public:
    explicit SimulatorAdapterPort(std::shared_ptr<Simulator> simulator)
        : simulator_(std::move(simulator))
    {
    }

    qint64 BytesWaiting() override { return Failed() ? 0 : simulator_->BytesAvailable(); }
    QByteArray Read(qint64 maxBytes) override
    {
        return Failed() ? QByteArray() : simulator_->Read(maxBytes);
    }
    bool Write(const QByteArray& bytes) override
    {
        if (Failed()) {
            return false;
        }
        simulator_->Write(bytes);
        return true;
    }
    bool WaitForReadable(int timeoutMs) override
    {
        return !Failed() && simulator_->WaitForOutput(timeoutMs);
    }
    void Close() override { closed_ = true; }
    bool Failed() const override
    {
        // Once gone, stays gone for this port, even if the simulator is restored.
        if (!failed_ && (closed_ || simulator_->Vanished())) {
            failed_ = true;
        }
        return failed_;
    }

private:
    std::shared_ptr<Simulator> simulator_;
    bool closed_ = false;
    mutable bool failed_ = false;
};

} // namespace

std::unique_ptr<AdapterPort> OpenSimulatorPort(std::shared_ptr<Simulator> simulator)
{
    if (!simulator || simulator->Vanished()) {
        SetLastPortOpenError(QStringLiteral("Err_9"));
        return nullptr;
    }
    return std::make_unique<SimulatorAdapterPort>(std::move(simulator));
}

} // namespace velmoro
