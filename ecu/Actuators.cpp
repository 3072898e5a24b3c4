// The actors lists of both families with their switch requests and procedures.
#include "ecu/Actuators.h"

#include "ecu/StoredData.h"

#include <iterator>

namespace velmoro {

namespace {

using ProcedureFn = int (*)(const ProcedureContext&, ProcedureRecord&);

// One line of a family's actors list. A switch has an identifier; the others a
// procedure.
struct ActionRow {
    const char* key;
    const char* suffix; // some 11MP entries name a cylinder: " 1", " 2"
    int kind;
    int group; // 1: engine off, 0: engine running
    std::uint8_t switchId;
    bool stateByte; // MIUG4: the on request carries the state byte 0x64
    ProcedureFn procedure;
};

int ResetMiug4(const ProcedureContext& c, ProcedureRecord& r)
{
    return ResetLearnedValues(c, FamilyMiug4, r);
}
int ClearStoredMiug4(const ProcedureContext& c, ProcedureRecord& r)
{
    return ClearStoredData(c, FamilyMiug4, r);
}
int HandleLearning11mp(const ProcedureContext& c, ProcedureRecord& r)
{
    return StartSelfLearning11mp(c, 0x22, r);
}
int ThrottleLearning11mp(const ProcedureContext& c, ProcedureRecord& r)
{
    return StartSelfLearning11mp(c, 0x23, r);
}
int Reset11mp(const ProcedureContext& c, ProcedureRecord& r)
{
    return ResetLearnedValues(c, Family11mp, r);
}
int ClearStored11mp(const ProcedureContext& c, ProcedureRecord& r)
{
    return ClearStoredData(c, Family11mp, r);
}

// MIUG4: 2F 50 id 03 [64] / 2F 50 id 00.
constexpr ActionRow kActionsMiug4[] = {
    {"View_42", "", KindSwitch, 1, 0x79, false, nullptr},
    {"View_43", "", KindSwitch, 1, 0x77, false, nullptr},
    {"View_44", "", KindSwitch, 1, 0x03, true, nullptr},
    {"View_45", "", KindSwitch, 1, 0x78, false, nullptr},
    {"View_46", "", KindSwitch, 1, 0x09, true, nullptr},
    {"View_47", "", KindSwitch, 1, 0x06, true, nullptr},
    {"View_64", "", KindSwitch, 1, 0x7B, false, nullptr},
    {"View_65", "", KindSwitch, 1, 0x0F, true, nullptr},
    {"View_66", "", KindSwitch, 1, 0x11, true, nullptr},
    {"View_67", "", KindSwitch, 1, 0x0C, true, nullptr},
    {"View_60", "", KindProcedure, 1, 0, false, ThrottleSelfLearningMiug4},
    {"View_49", "", KindProcedure, 1, 0, false, ResetMiug4},
    {"View_68", "", KindProcedure, 1, 0, false, DownloadStoredDataMiug4},
    {"View_69", "", KindProcedure, 1, 0, false, ClearStoredMiug4},
    {"View_61", "", KindSwitch, 0, 0x04, false, nullptr},
};

// 11MP: 30 id 07 / 30 id 00.
constexpr ActionRow kActions11mp[] = {
    {"View_42", "", KindSwitch, 1, 0x05, false, nullptr},
    {"View_43", " 1", KindSwitch, 1, 0x02, false, nullptr},
    {"View_43", " 2", KindSwitch, 1, 0x22, false, nullptr},
    {"View_44", " 1", KindSwitch, 1, 0x03, false, nullptr},
    {"View_44", " 2", KindSwitch, 1, 0x23, false, nullptr},
    {"View_45", "", KindSwitch, 1, 0x08, false, nullptr},
    {"View_46", "", KindSwitch, 1, 0x09, false, nullptr},
    {"View_47", "", KindSwitch, 1, 0x06, false, nullptr},
    {"View_59", "", KindSelfLearning, 1, 0, false, HandleLearning11mp},
    {"View_60", "", KindSelfLearning, 1, 0, false, ThrottleLearning11mp},
    {"View_49", "", KindProcedure, 1, 0, false, Reset11mp},
    {"View_68", "", KindProcedure, 1, 0, false, DownloadStoredData11mp},
    {"View_69", "", KindProcedure, 1, 0, false, ClearStored11mp},
};

struct Table {
    const ActionRow* rows;
    int size;
};

Table TableOf(int family)
{
    if (family == Family11mp)
        return {kActions11mp, static_cast<int>(std::size(kActions11mp))};
    return {kActionsMiug4, static_cast<int>(std::size(kActionsMiug4))};
}

const ActionRow* FindSwitch(int family, int position)
{
    const Table table = TableOf(family);
    if (position < 0 || position >= table.size || table.rows[position].kind != KindSwitch)
        return nullptr;
    return &table.rows[position];
}

QByteArray Bytes(std::initializer_list<std::uint8_t> bytes)
{
    QByteArray out;
    for (std::uint8_t b : bytes)
        out.append(static_cast<char>(b));
    return out;
}

} // namespace

QByteArray ActuatorOnRequest(int family, int position)
{
    const ActionRow* row = FindSwitch(family, position);
    if (!row)
        return {};
    if (family == Family11mp)
        return Bytes({0x30, row->switchId, 0x07});
    QByteArray request = Bytes({0x2F, 0x50, row->switchId, 0x03});
    if (row->stateByte)
        request.append(static_cast<char>(0x64));
    return request;
}

QByteArray ActuatorOffRequest(int family, int position)
{
    const ActionRow* row = FindSwitch(family, position);
    if (!row)
        return {};
    if (family == Family11mp)
        return Bytes({0x30, row->switchId, 0x00});
    return Bytes({0x2F, 0x50, row->switchId, 0x00});
}

ActionList BuildActions(int family, LanguageTexts& texts, const ProcedureContext& ctx)
{
    const Table table = TableOf(family);
    ActionList actions;
    for (int position = 0; position < table.size; ++position) {
        const ActionRow& row = table.rows[position];
        ActionEntry entry;
        entry.position = position;
        entry.key = QLatin1String(row.key);
        entry.text = texts.Text(entry.key) + QLatin1String(row.suffix);
        entry.kind = row.kind;
        entry.group = row.group;
        if (row.kind == KindSwitch) {
            const QByteArray on = ActuatorOnRequest(family, position);
            const QByteArray off = ActuatorOffRequest(family, position);
            ExchangeLink* link = ctx.link;
            entry.switchActuator = [link, on, off](int switchOn) {
                const QByteArray& request = switchOn ? on : off;
                const ExchangeResult r =
                    link->Exchange(reinterpret_cast<const std::uint8_t*>(request.constData()),
                                   static_cast<int>(request.size()));
                return EndingOf(r, PositiveAnswer(r));
            };
        } else {
            const ProcedureFn procedure = row.procedure;
            entry.procedure = [ctx, procedure](ProcedureRecord& r) { return procedure(ctx, r); };
        }
        actions.append(entry);
    }
    return actions;
}

} // namespace velmoro
