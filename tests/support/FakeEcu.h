// An ECU family whose operations a test sets one by one; what it leaves unset does nothing.
#pragma once

#include "ecu/Ecu.h"

#include <functional>

namespace velmoro::test {

class FakeEcu final : public Ecu {
public:
    FakeEcu() : Ecu(EcuContext{}) {}

    std::function<int(MeasurementRow&)> value;
    std::function<int(MeasurementRow&)> engineStatus; // unset: the family has none
    std::function<void(FaultLists&)> faults;

    int family() const override { return FamilyMiug4; }
    QVector<QString> valueNames() const override { return {}; }
    int lastValueIndex() const override { return 0; }
    ActionList actions() const override { return {}; }
    std::optional<EcuInfo> identify() override { return EcuInfo{}; }
    int readValue(MeasurementRow& row) override { return value ? value(row) : 0; }
    bool hasEngineStatus() const override { return static_cast<bool>(engineStatus); }
    int readEngineStatus(MeasurementRow& row) override
    {
        return engineStatus ? engineStatus(row) : 0;
    }
    bool hasStoredFaults() const override { return true; }
    JobEnding readFaults(FaultLists& lists) override
    {
        if (faults)
            faults(lists);
        return JobEnding::Done;
    }
    JobEnding clearFaults(FaultLists& lists) override { return readFaults(lists); }
    bool hasRoutineResult() const override { return false; }
    int routineResult(ProcedureRecord&) override { return 0; }
};

} // namespace velmoro::test
