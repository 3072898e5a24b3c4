// The measurements view's display step, raw texts, choosers, and the show/hide rules of the views.
#include "ShellFixture.h"

#include "ui/DiagramWindow.h"
#include "ui/Views.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

namespace velmoro::test {
namespace {

class MeasurementsViewTest : public ShellFixture {
protected:
    void StartWith(const QString& debug)
    {
        WriteSettings({{"Port", "Simulator"},
                       {"Modell", "Velmoro 850"},
                       {"Language", "English"},
                       {"Debug", debug},
                       {"Value1", "RPM"},
                       {"Value2", "Voltage"}});
        Start();
    }
    MeasurementsView* View() const { return window->Measurements(); }
    bool HasValue(int row) const
    {
        const QString text = View()->valueTexts[row]->text();
        return !text.isEmpty() && !text.startsWith(QStringLiteral("----"));
    }
};

TEST_F(MeasurementsViewTest, FailedReadsShowDashesWithTheOldUnitAndRawMinusOne)
{
    StartWith(QStringLiteral("1"));
    ASSERT_TRUE(ConnectAndWait());
    for (QLabel* raw : View()->rawTexts)
        EXPECT_TRUE(raw->isVisible());
    ASSERT_TRUE(WaitUntil([this] { return HasValue(1); }));
    const QString good = View()->valueTexts[1]->text();
    EXPECT_TRUE(good.endsWith(QStringLiteral("V"))) << good.toStdString();
    EXPECT_TRUE(View()->rawTexts[1]->text().startsWith(QStringLiteral("0x")));

    // The ECU stops answering: "----" followed by the unit of the last good read.
    SharedSimulator()->SetEcuSilent(true);
    ASSERT_TRUE(WaitUntil([this] {
        return View()->valueTexts[1]->text() == QStringLiteral("----V") &&
               View()->rawTexts[1]->text() == QStringLiteral("0xFFFF (-1)");
    }));
    // Rows without a value stay empty.
    EXPECT_TRUE(View()->valueTexts[3]->text().isEmpty());
    EXPECT_EQ(window->Diagram()->LegendText(3), QString());
}

TEST_F(MeasurementsViewTest, RawTextsNeverAppearWithDebugOff)
{
    StartWith(QStringLiteral("0"));
    ASSERT_TRUE(ConnectAndWait());
    ASSERT_TRUE(WaitUntil([this] { return HasValue(0); }));
    for (int i = 0; i < 8; ++i) {
        EXPECT_FALSE(View()->rawTexts[i]->isVisible());
        EXPECT_TRUE(View()->rawTexts[i]->text().isEmpty());
    }
    window->HandleMenu(ItemFaults);
    window->HandleMenu(ItemMeasurements);
    for (QLabel* raw : View()->rawTexts)
        EXPECT_FALSE(raw->isVisible());
}

TEST_F(MeasurementsViewTest, EmptyChoiceClearsTheRowAtOnceAndStaysEmpty)
{
    StartWith(QStringLiteral("0"));
    ASSERT_TRUE(ConnectAndWait());
    ASSERT_TRUE(WaitUntil([this] { return HasValue(0); }));
    QComboBox* box = View()->choosers[0];
    box->setCurrentIndex(0);
    emit box->activated(0);
    EXPECT_EQ(state.rows[0].valueIndex, 0);
    EXPECT_TRUE(View()->valueTexts[0]->text().isEmpty());
    EXPECT_FALSE(View()->bars[0]->isVisible());
    // Later passes leave the empty row alone while the other row goes on.
    const int before = static_cast<int>(SharedSimulator()->ReceivedCommands().size());
    ASSERT_TRUE(
        WaitUntil([&] { return SharedSimulator()->ReceivedCommands().size() > before + 4; }));
    EXPECT_TRUE(View()->valueTexts[0]->text().isEmpty());
    EXPECT_TRUE(HasValue(1));
}

TEST_F(MeasurementsViewTest, ViewSwitchingFollowsTheRules)
{
    StartWith(QStringLiteral("0"));
    ASSERT_TRUE(ConnectAndWait());
    EXPECT_TRUE(window->MenuItem(ItemDiagram)->isEnabled());

    // The diagram window toggles with item 5, and its close button clears the check mark.
    window->HandleMenu(ItemDiagram);
    EXPECT_TRUE(window->Diagram()->isVisible());
    EXPECT_TRUE(window->MenuItem(ItemDiagram)->isChecked());
    window->Diagram()->close();
    ASSERT_TRUE(WaitUntil([this] { return !window->MenuItem(ItemDiagram)->isChecked(); }));
    EXPECT_FALSE(window->Diagram()->isVisible());

    // Faults: lists emptied each time the view is shown; the measurement chain stops.
    window->HandleMenu(ItemFaults);
    EXPECT_EQ(state.viewMode, ViewFaults);
    EXPECT_FALSE(window->MenuItem(ItemDiagram)->isEnabled());
    EXPECT_FALSE(View()->isVisible());
    EXPECT_TRUE(window->MenuItem(ItemFaults)->isChecked());
    EXPECT_FALSE(window->MenuItem(ItemMeasurements)->isChecked());
    SharedSimulator()->SetCurrentFaults({{0x01, 0x05, 0x1C, 0x01}});
    window->Faults()->readButton->click();
    ASSERT_TRUE(WaitUntil([this] { return window->Faults()->newList->count() > 0; }));
    EXPECT_TRUE(window->Faults()->newList->item(0)->text().startsWith(QStringLiteral("P0105")));
    SharedSimulator()->SetCurrentFaults({});
    window->HandleMenu(ItemFaults);
    EXPECT_EQ(window->Faults()->newList->count(), 0);
    EXPECT_EQ(window->Faults()->storedList->count(), 0);

    // No pass runs while another view is shown.
    WaitUntil([] { return false; }, 200);
    SharedSimulator()->ClearReceived();
    WaitUntil([] { return false; }, 300);
    for (const QByteArray& command : SharedSimulator()->ReceivedCommands())
        EXPECT_FALSE(command.startsWith("22")) << command.toStdString();

    // Back to the measurements: the values are read again; choosing it twice starts no second
    // chain (the diagram moves one step per pass, not two).
    window->HandleMenu(ItemMeasurements);
    window->HandleMenu(ItemMeasurements);
    EXPECT_TRUE(window->MenuItem(ItemDiagram)->isEnabled());
    EXPECT_TRUE(window->MenuItem(ItemMeasurements)->isChecked());
    SharedSimulator()->ClearReceived();
    ASSERT_TRUE(WaitUntil([] { return SharedSimulator()->ReceivedCommands().size() >= 12; }));
    // Two rows per pass (RPM, Voltage) plus the status block: the requests never overlap, so a
    // second chain would show as the same identifier twice in a row.
    const QByteArrayList commands = SharedSimulator()->ReceivedCommands();
    for (int i = 1; i < commands.size(); ++i)
        EXPECT_NE(commands[i], commands[i - 1]) << i;

    // Actors and report views show their gadgets.
    window->HandleMenu(ItemActors);
    EXPECT_TRUE(window->Actors()->isVisible());
    EXPECT_TRUE(window->Actors()->list->isEnabled());
    window->HandleMenu(ItemReport);
    EXPECT_TRUE(window->Report()->isVisible());
    EXPECT_FALSE(window->Actors()->isVisible());
    EXPECT_TRUE(window->MenuItem(ItemReport)->isChecked());
}

TEST_F(MeasurementsViewTest, ReportIsBuiltCancelledAndSaved)
{
    StartWith(QStringLiteral("0"));
    ASSERT_TRUE(ConnectAndWait());
    window->HandleMenu(ItemReport);
    QPushButton* read = window->Report()->readButton;
    QPushButton* save = window->Report()->saveButton;
    EXPECT_EQ(read->text(), QStringLiteral("Read"));

    read->click();
    EXPECT_EQ(read->text(), state.texts.Text(QStringLiteral("Report_5")));
    EXPECT_FALSE(save->isEnabled());
    ASSERT_TRUE(WaitUntil([&] { return read->text() == QStringLiteral("Read"); }, 60000));
    EXPECT_TRUE(save->isEnabled());
    QTreeWidget* list = window->Report()->list;
    ASSERT_GT(list->topLevelItemCount(), 10);
    EXPECT_EQ(list->topLevelItem(0)->text(0), QStringLiteral("Velmoro 850"));
    EXPECT_EQ(list->topLevelItem(0)->text(1), QStringLiteral("IAW MIUG4"));

    messages.clear();
    save->click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].second, QStringLiteral("Report saved"));

    // Cancel: the list is discarded when the builder ends.
    read->click();
    read->click();
    ASSERT_TRUE(WaitUntil([&] { return read->text() == QStringLiteral("Read"); }, 60000));
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_FALSE(save->isEnabled());
}

} // namespace
} // namespace velmoro::test
