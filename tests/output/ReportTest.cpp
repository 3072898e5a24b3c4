// The diagnostic report: builder sections, cancel handling and the saved file's layout.
#include "output/Report.h"
#include "ecu/CoreState.h"
#include "support/FakeEcu.h"
#include "support/FamilyRig.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace velmoro {
namespace {

using Lines = QVector<QStringList>;

// Each line as kind followed by its four columns, for compact comparison.
Lines Flatten(const ReportList& list)
{
    Lines out;
    for (const ReportLine& line : list.Lines())
        out.append({QString::number(line.kind), line.columns[0], line.columns[1], line.columns[2],
                    line.columns[3]});
    return out;
}

class ReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (auto [key, text] : {std::pair{"Menu_21", "Measurements"},
                                 {"Menu_22", "Faults"},
                                 {"Value_13", "Status"},
                                 {"View_21", "New faults"},
                                 {"View_22", "Stored faults"}})
            state.texts.Set(key, text);
        state.link.model = "Velmoro 800";
        state.choosers[0].entries = {{"", 0}, {"RPM", 1}, {"  Voltage ", 13}, {"Unknown 7F", 86}};
        ecu.value = [this](MeasurementRow& row) {
            dispatched << row.valueIndex;
            if (row.valueIndex == 1) {
                row.valueText = "1200";
                row.unitText = "rpm";
                return 1;
            }
            if (row.valueIndex == 13) {
                row.valueText = "14.0";
                row.unitText = "V";
                return 1;
            }
            row.valueText = "----";
            row.unitText.clear();
            return 0;
        };
    }
    test::FamilyRig state;
    test::FakeEcu ecu;
    ReportList list;
    QList<int> dispatched;
};

TEST_F(ReportTest, Miug4ReportWithHeaderValuesStatusAndFaults)
{
    ecu.engineStatus = [](MeasurementRow& row) {
        row.valueText = "Idle\nThrottle closed\n\nnot shown";
        return 1;
    };
    ecu.faults = [](FaultLists& faults) {
        faults.Clear();
        faults.AddCurrent("P0105-1C LED on");
        faults.AddCurrent("P0201-00");
        faults.AddStored("No stored faults");
    };
    BuildReport(state, state.flags, state.faults, ecu, "IAW MIUG4\r\nABC\nDEF\n\nignored",
                state.choosers[0].entries, list);

    const Lines expected = {
        {"1", "Velmoro 800", "IAW MIUG4", "", ""},
        {"1", "", "ABC", "", ""},
        {"1", "", "DEF", "", ""},
        {"1", "", "", "", ""},
        {"1", "", "", "", ""},
        {"1", "Measurements", "", "", ""},
        {"1", "", "", "", ""},
        {"2", "", "RPM", "1200", "rpm"},
        {"2", "", "Voltage", "14.0", "V"},
        {"2", "", "Unknown 7F", "", ""},
        {"1", "", "", "", ""},
        {"1", "Status", "", "", ""},
        {"3", "", "Idle", "", ""},
        {"3", "", "Throttle closed", "", ""},
        {"1", "", "", "", ""},
        {"1", "", "", "", ""},
        {"1", "Faults", "", "", ""},
        {"1", "", "", "", ""},
        {"3", "New faults", "P0105-1C LED on", "", ""},
        {"3", "", "P0201-00", "", ""},
        {"1", "", "", "", ""},
        {"3", "Stored faults", "No stored faults", "", ""},
    };
    EXPECT_EQ(Flatten(list), expected);
    EXPECT_EQ(dispatched, (QList<int>{1, 13, 86}));
}

TEST_F(ReportTest, ElevenMpReportWithoutStatusOrFaults)
{
    BuildReport(state, state.flags, state.faults, ecu, "IAW 11MP A1\n", state.choosers[0].entries,
                list);
    const Lines all = Flatten(list);
    ASSERT_EQ(all.size(), 12);
    EXPECT_EQ(all[0], (QStringList{"1", "Velmoro 800", "IAW 11MP A1", "", ""}));
    EXPECT_EQ(all[7], (QStringList{"2", "", "Unknown 7F", "", ""}));
    EXPECT_EQ(all[8], (QStringList{"1", "", "", "", ""}));
    EXPECT_EQ(all[9], (QStringList{"1", "", "", "", ""}));
    EXPECT_EQ(all[10], (QStringList{"1", "Faults", "", "", ""}));
    EXPECT_EQ(all[11], (QStringList{"1", "", "", "", ""}));
}

TEST_F(ReportTest, CancelSkipsValuesButKeepsStatusAndFaultsThenDiscards)
{
    int faultReads = 0;
    int statusReads = 0;
    ecu.engineStatus = [&statusReads](MeasurementRow&) {
        ++statusReads;
        return 0;
    };
    ecu.faults = [&faultReads](FaultLists&) { ++faultReads; };
    // Cancel arrives while the first value is read.
    ecu.value = [this](MeasurementRow& row) {
        dispatched << row.valueIndex;
        EXPECT_FALSE(list.RequestRead()); // Read pressed again while building: only cancels
        return 0;
    };

    ASSERT_TRUE(list.RequestRead());
    EXPECT_TRUE(list.Building());
    BuildReport(state, state.flags, state.faults, ecu, "IAW MIUG4", state.choosers[0].entries,
                list);
    EXPECT_EQ(dispatched, QList<int>{1});
    EXPECT_EQ(statusReads, 1);
    EXPECT_EQ(faultReads, 1);
    EXPECT_GT(list.Count(), 0);

    EXPECT_FALSE(list.FinishBuild());
    EXPECT_EQ(list.Count(), 0);
    EXPECT_FALSE(list.Building());

    // A new read starts clean and an uncancelled one is kept.
    ASSERT_TRUE(list.RequestRead());
    EXPECT_FALSE(list.Cancelled());
    list.Add(ReportPlain, "x");
    EXPECT_TRUE(list.FinishBuild());
    EXPECT_EQ(list.Count(), 1);
}

TEST(ReportFileTest, SavedLayout)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ReportList list;
    list.Add(ReportPlain, "Velmoro 800", "IAW MIUG4");
    list.Add(ReportValue, {}, "Voltage", "14.0", "V");
    list.Add(ReportValue, {}, "A name of thirty-one characters", "1", "%");
    list.Add(ReportValue, {}, "Unknown 7F");
    list.Add(ReportIndented, "New faults", "P0105-1C");
    list.Add(ReportIndented, "", "P0201-00");
    list.Add(ReportIndented, "  ", "P0202-00");
    ProgramPaths paths;
    paths.directory = dir.path() + "/";
    paths.baseName = "VelmoroCanDiag";
    const QDateTime now(QDate(2026, 12, 7), QTime(2, 15, 59));
    ASSERT_TRUE(SaveReport(list, paths, now));

    QFile file(dir.path() + "/VelmoroDiag_Report_20261207_021559.txt");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray expected = "\r\n"
                                "VelmoroCanDiag V0.02" +
                                QByteArray(44, ' ') +
                                "2026.12.07 02:15\r\n"
                                "\r\n"
                                "\r\n"
                                "Velmoro 800                     IAW MIUG4\r\n" +
                                QByteArray(23, ' ') + "Voltage: 14.0 V\r\n" +
                                "A name of thirty-one character: 1 %\r\n" + QByteArray(20, ' ') +
                                "Unknown 7F:  \r\n" + QByteArray(20, ' ') +
                                "New faults:  P0105-1C\r\n" + QByteArray(33, ' ') + "P0201-00\r\n" +
                                QByteArray(33, ' ') + "P0202-00\r\n" + "\r\n";
    EXPECT_EQ(file.readAll(), expected);

    paths.directory = dir.path() + "/missing/";
    EXPECT_FALSE(SaveReport(list, paths, now));
}

} // namespace
} // namespace velmoro
