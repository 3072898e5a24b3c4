// The two ECU families behind one interface, and the choice of the family from the model's ECU
// identifier.
#include "ecu/Ecu.h"

#include "ecu/Actuators.h"
#include "ecu/CoreState.h"
#include "ecu/Faults.h"
#include "ecu/Identification.h"
#include "values/MeasurementLists.h"
#include "values/ValueCatalog.h"

#include <algorithm>

namespace velmoro {

namespace {

// MIUG4 speaks UDS: identifiers 0x1000..0x10FF, ReadDTCInformation, routine control.
class EcuMiug4 final : public Ecu {
public:
    using Ecu::Ecu;
    int family() const override { return FamilyMiug4; }
    QVector<QString> valueNames() const override
    {
        QVector<QString> names;
        BuildValueNamesMiug4(*ctx_.texts, names);
        return names;
    }
    int lastValueIndex() const override { return kLastIndexMiug4; }
    ActionList actions() const override
    {
        return BuildActions(FamilyMiug4, *ctx_.texts, ctx_.procedures);
    }
    void identify(UiBridge& ui) override
    {
        ConnectMiug4(*ctx_.flags, *ctx_.settings, *ctx_.link, ui);
    }
    int readValue(MeasurementRow& row) override
    {
        ReaderContext reader{*ctx_.link, *ctx_.texts, rpmSmoothing_};
        return ValueDispatcherMiug4(reader, row);
    }
    bool hasEngineStatus() const override { return true; }
    int readEngineStatus(MeasurementRow& row) override
    {
        return ReadEngineStatusMiug4(*ctx_.link, *ctx_.texts, row);
    }
    bool hasStoredFaults() const override { return true; }
    JobEnding readFaults(FaultLists& lists) override
    {
        return ReadFaultsMiug4(*ctx_.link, *ctx_.texts, lists);
    }
    JobEnding clearFaults(FaultLists& lists) override
    {
        return ClearFaultsMiug4(*ctx_.link, *ctx_.texts, lists);
    }
    bool hasRoutineResult() const override { return false; }
    int routineResult(ProcedureRecord&) override { return 0; }

private:
    float rpmSmoothing_ = 0.0f;
};

// 11MP speaks the local-identifier services: one-byte identifiers, fault records by status.
class Ecu11mp final : public Ecu {
public:
    using Ecu::Ecu;
    int family() const override { return Family11mp; }
    QVector<QString> valueNames() const override
    {
        QVector<QString> names;
        BuildValueNames11mp(*ctx_.texts, names);
        return names;
    }
    int lastValueIndex() const override { return kLastIndex11mp; }
    ActionList actions() const override
    {
        return BuildActions(Family11mp, *ctx_.texts, ctx_.procedures);
    }
    void identify(UiBridge& ui) override
    {
        Connect11mp(*ctx_.flags, *ctx_.settings, *ctx_.link, ui);
    }
    int readValue(MeasurementRow& row) override
    {
        ReaderContext reader{*ctx_.link, *ctx_.texts, rpmSmoothing_};
        return ValueDispatcher11mp(reader, row);
    }
    bool hasEngineStatus() const override { return false; }
    int readEngineStatus(MeasurementRow&) override { return 0; }
    bool hasStoredFaults() const override { return true; }
    JobEnding readFaults(FaultLists& lists) override
    {
        return ReadFaults11mp(*ctx_.link, *ctx_.texts, lists);
    }
    JobEnding clearFaults(FaultLists& lists) override
    {
        return ClearFaults11mp(*ctx_.link, *ctx_.texts, lists);
    }
    bool hasRoutineResult() const override { return true; }
    int routineResult(ProcedureRecord& record) override
    {
        return RoutineResult11mp(*ctx_.link, *ctx_.texts, record);
    }

private:
    float rpmSmoothing_ = 0.0f;
};

} // namespace

bool Ecu::reopenSession()
{
    // The positive answer 50 03 carries the session's timing bytes.
    return ctx_.link->Exchange({0x10, 0x03}).result > 0;
}

std::unique_ptr<Ecu> MakeEcuMiug4(EcuContext context)
{
    return std::make_unique<EcuMiug4>(std::move(context));
}

std::unique_ptr<Ecu> MakeEcu11mp(EcuContext context)
{
    return std::make_unique<Ecu11mp>(std::move(context));
}

EcuContext ContextOf(CoreState& config, ExchangeLink& link, LinkFlags& flags, Clock& clock)
{
    EcuContext ctx;
    ctx.link = &link;
    ctx.texts = &config.texts;
    ctx.flags = &flags;
    ctx.settings = &config.link;
    ctx.procedures.link = &link;
    ctx.procedures.texts = &config.texts;
    ctx.procedures.paths = config.paths;
    LinkFlags* stop = &flags;
    // Sliced so that a disconnect or quit cuts the wait short.
    ctx.procedures.wait = [stop, &clock](int ms) {
        constexpr int kSliceMs = 10;
        for (int waited = 0; waited < ms; waited += kSliceMs) {
            if (stop->stopFlag.load() || stop->quitFlag.load())
                return false;
            clock.SleepMs(std::min(kSliceMs, ms - waited));
        }
        return !stop->stopFlag.load() && !stop->quitFlag.load();
    };
    ctx.procedures.now = [] { return QDateTime::currentDateTime(); };
    return ctx;
}

void ChooseFamily(LinkSettings& link)
{
    if (link.ecuId == QLatin1String("MIUG4")) {
        link.family = FamilyMiug4;
    } else if (link.ecuId == QLatin1String("11MP")) {
        link.family = Family11mp;
    }
}

std::shared_ptr<Ecu> MakeEcu(std::shared_ptr<CoreState> config, ExchangeLink& link,
                             LinkFlags& flags, std::function<bool(int ms)> wait)
{
    EcuContext ctx = ContextOf(*config, link, flags, SteadyClockInstance());
    if (wait)
        ctx.procedures.wait = std::move(wait);
    // The context points into the snapshot: the family and its procedures keep it alive.
    ctx.procedures.owner = config;
    const bool elevenMp = config->link.family == Family11mp;
    if (elevenMp)
        return MakeEcu11mp(std::move(ctx));
    return MakeEcuMiug4(std::move(ctx));
}

} // namespace velmoro
