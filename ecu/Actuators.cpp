// Actuator tables of both families and the binding of their requests and procedures.
#include "ecu/Actuators.h"

#include "ecu/CoreState.h"
#include "ecu/StoredData.h"

#include <chrono>
#include <thread>

namespace velmoro {

namespace {

struct SwitchRow {
    int position;
    std::uint8_t id;
    bool stateByte; // MIUG4: the on request carries the state byte 0x64
};

// MIUG4: 2F 50 id 03 [64] / 2F 50 id 00.
constexpr SwitchRow kMiug4Switches[] = {
    {0, 0x79, false}, {1, 0x77, false}, {2, 0x03, true},   {3, 0x78, false},
    {4, 0x09, true},  {5, 0x06, true},  {6, 0x7B, false},  {7, 0x0F, true},
    {8, 0x11, true},  {9, 0x0C, true},  {14, 0x04, false},
};

// 11MP: 30 id 07 / 30 id 00.
constexpr SwitchRow k11mpSwitches[] = {
    {0, 0x05, false}, {1, 0x02, false}, {2, 0x22, false}, {3, 0x03, false},
    {4, 0x23, false}, {5, 0x08, false}, {6, 0x09, false}, {7, 0x06, false},
};

const SwitchRow* FindSwitch(int family, int position)
{
    if (family == Family11mp) {
        for (const SwitchRow& row : k11mpSwitches)
            if (row.position == position)
                return &row;
    } else {
        for (const SwitchRow& row : kMiug4Switches)
            if (row.position == position)
                return &row;
    }
    return nullptr;
}

QByteArray Bytes(std::initializer_list<std::uint8_t> bytes)
{
    QByteArray out;
    for (std::uint8_t b : bytes)
        out.append(static_cast<char>(b));
    return out;
}

using Procedure = std::function<int(ProcedureRecord&)>;

Procedure ProcedureAt(const ProcedureContext& ctx, int family, int position)
{
    if (family == Family11mp) {
        switch (position) {
        case 8:
            return [ctx](ProcedureRecord& r) { return StartSelfLearning11mp(ctx, 0x22, r); };
        case 9:
            return [ctx](ProcedureRecord& r) { return StartSelfLearning11mp(ctx, 0x23, r); };
        case 10:
            return [ctx](ProcedureRecord& r) { return ResetLearnedValues(ctx, Family11mp, r); };
        case 11:
            return [ctx](ProcedureRecord& r) { return DownloadStoredData11mp(ctx, r); };
        case 12:
            return [ctx](ProcedureRecord& r) { return ClearStoredData(ctx, Family11mp, r); };
        default:
            return {};
        }
    }
    switch (position) {
    case 10:
        return [ctx](ProcedureRecord& r) { return ThrottleSelfLearningMiug4(ctx, r); };
    case 11:
        return [ctx](ProcedureRecord& r) { return ResetLearnedValues(ctx, FamilyMiug4, r); };
    case 12:
        return [ctx](ProcedureRecord& r) { return DownloadStoredDataMiug4(ctx, r); };
    case 13:
        return [ctx](ProcedureRecord& r) { return ClearStoredData(ctx, FamilyMiug4, r); };
    default:
        return {};
    }
}

} // namespace

QByteArray ActuatorOnRequest(int family, int position)
{
    const SwitchRow* row = FindSwitch(family, position);
    if (!row)
        return {};
    if (family == Family11mp)
        return Bytes({0x30, row->id, 0x07});
    QByteArray request = Bytes({0x2F, 0x50, row->id, 0x03});
    if (row->stateByte)
        request.append(static_cast<char>(0x64));
    return request;
}

QByteArray ActuatorOffRequest(int family, int position)
{
    const SwitchRow* row = FindSwitch(family, position);
    if (!row)
        return {};
    if (family == Family11mp)
        return Bytes({0x30, row->id, 0x00});
    return Bytes({0x2F, 0x50, row->id, 0x00});
}

void BindActionProcedures(ActionList& actions, const ProcedureContext& ctx, int family)
{
    for (ActionEntry& entry : actions) {
        entry.switchActuator = {};
        entry.procedure = {};
        const QByteArray on = ActuatorOnRequest(family, entry.position);
        if (!on.isEmpty()) {
            const QByteArray off = ActuatorOffRequest(family, entry.position);
            ExchangeLink* link = ctx.link;
            entry.switchActuator = [link, on, off](int switchOn) {
                const QByteArray& request = switchOn ? on : off;
                return link
                    ->Exchange(reinterpret_cast<const std::uint8_t*>(request.constData()),
                               static_cast<int>(request.size()))
                    .result;
            };
        } else {
            entry.procedure = ProcedureAt(ctx, family, entry.position);
        }
    }
}

void BindActionProcedures(CoreState& state, int family)
{
    ProcedureContext ctx;
    ctx.link = &state.channel;
    ctx.texts = &state.texts;
    ctx.paths = state.paths;
    LinkFlags* flags = &state.flags;
    // Sliced so that a disconnect or quit cuts the wait short.
    ctx.wait = [flags](int ms) {
        constexpr int kSliceMs = 10;
        for (int waited = 0; waited < ms; waited += kSliceMs) {
            if (flags->stopFlag.load() || flags->quitFlag.load())
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(kSliceMs, ms - waited)));
        }
        return !flags->stopFlag.load() && !flags->quitFlag.load();
    };
    ctx.now = [] { return QDateTime::currentDateTime(); };
    BindActionProcedures(state.actions, ctx, family);
}

} // namespace velmoro
