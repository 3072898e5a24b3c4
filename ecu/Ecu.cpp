// The two ECU families behind one interface, each a table of its operations, and the choice of
// the family from the model's ECU identifier.
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

// What tells one family from the other: its tables and requests. An empty entry: the family
// does not offer it.
struct FamilyOps {
    int family;
    int lastValueIndex;
    void (*valueNames)(LanguageTexts& texts, QVector<QString>& names);
    std::optional<EcuInfo> (*identify)(ExchangeLink& link, const LinkSettings& settings);
    int (*readValue)(ReaderContext& reader, MeasurementRow& row);
    int (*readEngineStatus)(ExchangeLink& link, LanguageTexts& texts, MeasurementRow& row);
    JobEnding (*readFaults)(ExchangeLink& link, LanguageTexts& texts, FaultLists& lists);
    JobEnding (*clearFaults)(ExchangeLink& link, LanguageTexts& texts, FaultLists& lists);
    int (*routineResult)(ExchangeLink& link, LanguageTexts& texts, ProcedureRecord& record);
};

// MIUG4 speaks UDS: identifiers 0x1000..0x10FF, ReadDTCInformation, routine control.
constexpr FamilyOps kMiug4{
    .family = FamilyMiug4,
    .lastValueIndex = kLastIndexMiug4,
    .valueNames = BuildValueNamesMiug4,
    .identify = IdentifyMiug4,
    .readValue = ValueDispatcherMiug4,
    .readEngineStatus = ReadEngineStatusMiug4,
    .readFaults = ReadFaultsMiug4,
    .clearFaults = ClearFaultsMiug4,
    .routineResult = nullptr,
};

// 11MP speaks the local-identifier services: one-byte identifiers, fault records by status, a
// self-learning result to poll for.
constexpr FamilyOps k11mp{
    .family = Family11mp,
    .lastValueIndex = kLastIndex11mp,
    .valueNames = BuildValueNames11mp,
    .identify = [](ExchangeLink& link, const LinkSettings& settings) -> std::optional<EcuInfo> {
        return Identify11mp(link, settings);
    },
    .readValue = ValueDispatcher11mp,
    .readEngineStatus = nullptr,
    .readFaults = ReadFaults11mp,
    .clearFaults = ClearFaults11mp,
    .routineResult = RoutineResult11mp,
};

class FamilyEcu final : public Ecu {
public:
    FamilyEcu(const FamilyOps& ops, EcuContext context) : Ecu(std::move(context)), ops_(ops) {}

    int family() const override { return ops_.family; }
    QVector<QString> valueNames() const override
    {
        QVector<QString> names;
        ops_.valueNames(*ctx_.texts, names);
        return names;
    }
    int lastValueIndex() const override { return ops_.lastValueIndex; }
    ActionList actions() const override
    {
        return BuildActions(ops_.family, *ctx_.texts, ctx_.procedures);
    }
    std::optional<EcuInfo> identify() override { return ops_.identify(*ctx_.link, *ctx_.settings); }
    int readValue(MeasurementRow& row) override
    {
        ReaderContext reader{*ctx_.link, *ctx_.texts, rpmSmoothing_};
        return ops_.readValue(reader, row);
    }
    bool hasEngineStatus() const override { return ops_.readEngineStatus != nullptr; }
    int readEngineStatus(MeasurementRow& row) override
    {
        return ops_.readEngineStatus ? ops_.readEngineStatus(*ctx_.link, *ctx_.texts, row) : 0;
    }
    bool hasStoredFaults() const override { return true; }
    JobEnding readFaults(FaultLists& lists) override
    {
        return ops_.readFaults(*ctx_.link, *ctx_.texts, lists);
    }
    JobEnding clearFaults(FaultLists& lists) override
    {
        return ops_.clearFaults(*ctx_.link, *ctx_.texts, lists);
    }
    bool hasRoutineResult() const override { return ops_.routineResult != nullptr; }
    int routineResult(ProcedureRecord& record) override
    {
        return ops_.routineResult ? ops_.routineResult(*ctx_.link, *ctx_.texts, record) : 0;
    }

private:
    const FamilyOps& ops_;
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
    return std::make_unique<FamilyEcu>(kMiug4, std::move(context));
}

std::unique_ptr<Ecu> MakeEcu11mp(EcuContext context)
{
    return std::make_unique<FamilyEcu>(k11mp, std::move(context));
}

EcuContext ContextOf(CoreState& config, ExchangeLink& link)
{
    EcuContext ctx;
    ctx.link = &link;
    ctx.texts = &config.texts;
    ctx.settings = &config.link;
    ctx.procedures.link = &link;
    ctx.procedures.texts = &config.texts;
    ctx.procedures.paths = config.paths;
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
                             std::function<bool(int ms)> wait)
{
    EcuContext ctx = ContextOf(*config, link);
    ctx.procedures.wait = std::move(wait);
    // The context points into the snapshot: the family and its procedures keep it alive.
    ctx.procedures.owner = config;
    const bool elevenMp = config->link.family == Family11mp;
    if (elevenMp)
        return MakeEcu11mp(std::move(ctx));
    return MakeEcuMiug4(std::move(ctx));
}

} // namespace velmoro
