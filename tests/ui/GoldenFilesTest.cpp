// What the program writes and sends, for both families on the simulated motorcycle, compared with
// the golden files in tests/golden: the CSV and debug logs, the survey, the report, the stored
// data, the fault lists and the adapter traffic of each job. Time stamps and durations are masked;
// every other byte counts. VELMORO_UPDATE_GOLDEN=1 writes the files anew instead of comparing.
#include "ShellFixture.h"

#include "ui/Views.h"

#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace velmoro::test {
namespace {

QString GoldenDir(const QString& family)
{
    return QStringLiteral(VELMORO_SOURCE_DIR "/tests/golden/") + family + QStringLiteral("/");
}

bool Updating()
{
    return qEnvironmentVariableIntValue("VELMORO_UPDATE_GOLDEN") == 1;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Compares text with the golden file `name` (or writes it when updating).
void ExpectGolden(const QString& family, const QString& name, const QByteArray& text)
{
    const QString path = GoldenDir(family) + name;
    if (Updating()) {
        QDir().mkpath(GoldenDir(family));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
        return;
    }
    const QByteArray golden = ReadAll(path);
    ASSERT_FALSE(golden.isEmpty()) << "missing golden file " << path.toStdString();
    EXPECT_EQ(text.toStdString(), golden.toStdString()) << "differs from " << path.toStdString();
}

// The only file in the folder matching pattern.
QByteArray OnlyFile(const QString& folder, const QString& pattern)
{
    const QStringList files = QDir(folder).entryList({pattern}, QDir::Files);
    EXPECT_EQ(files.size(), 1) << pattern.toStdString();
    return files.isEmpty() ? QByteArray() : ReadAll(folder + QStringLiteral("/") + files.front());
}

// The leading millisecond count of every line, quoted or not, replaced by "T".
QByteArray MaskLeadingTimes(const QByteArray& text, char separator)
{
    QList<QByteArray> lines = text.split('\n');
    for (QByteArray& line : lines) {
        const qsizetype end = line.indexOf(separator);
        const qsizetype from = line.startsWith('"') ? 1 : 0;
        const qsizetype to = end > 0 && line[end - 1] == '"' && from == 1 ? end - 1 : end;
        bool number = to > from;
        for (qsizetype i = from; number && i < to; ++i)
            number = line[i] >= '0' && line[i] <= '9';
        if (number)
            line = "T" + line.mid(end);
    }
    return lines.join('\n');
}

// The debug log with its times masked and the keep-alive left out (it follows idle time), each
// distinct line once in the order of first appearance: passes repeat, their number follows time.
QByteArray DebugLogShape(const QByteArray& log)
{
    QByteArrayList seen;
    for (const QByteArray& line : MaskLeadingTimes(log, ' ').split('\n'))
        if (!line.startsWith("T > 3E 00") && !seen.contains(line))
            seen << line;
    return seen.join('\n');
}

QByteArrayList WithoutKeepAlive(const QByteArrayList& commands)
{
    QByteArrayList kept;
    for (const QByteArray& c : commands)
        if (c != "3E00" && c != "3E 00")
            kept << c;
    return kept;
}

class GoldenFilesTest : public ShellFixture {
protected:
    std::shared_ptr<Simulator> sim_;

    QByteArrayList TakeCommands()
    {
        const QByteArrayList commands = WithoutKeepAlive(sim_->ReceivedCommands());
        sim_->ClearReceived();
        return commands;
    }

    void Run(const QString& model, const QString& family, const QByteArray& identificationRequest)
    {
        WriteSettings({{"Port", "Simulator"},
                       {"Modell", model},
                       {"Language", "English"},
                       {"Logging", "1"},
                       {"CSV", "1"}});
        // A simulator of its own: what others left in theirs changes the first answer.
        sim_ = std::make_shared<Simulator>();
        options.session.simulator = sim_;
        Start();
        auto sim = sim_;
        sim->SetEngineTimeMs(90000);
        // Eight different values, picked as the user would.
        for (int r = 0; r < 8; ++r) {
            QComboBox* box = window->Measurements()->choosers[r];
            ASSERT_GT(box->count(), 40);
            const int entry = 1 + r * 5;
            box->setCurrentIndex(entry);
            emit box->activated(entry);
        }
        sim->ClearReceived();

        // Connect, three passes, then the faults view (the pass in progress ends first).
        ASSERT_TRUE(ConnectAndWait());
        ASSERT_TRUE(WaitUntil([this] {
            const QByteArray csv = OnlyFile(dir.path(), QStringLiteral("*.csv"));
            return csv.count('\n') >= 4;
        }));
        window->HandleMenu(ItemFaults);
        ASSERT_TRUE(WaitUntil([this] { return window->Session()->idle(); }));
        const QByteArrayList connectAndPasses = TakeCommands();
        const qsizetype idAt = connectAndPasses.lastIndexOf(identificationRequest);
        ASSERT_GE(idAt, 0);
        const QByteArrayList setUp = connectAndPasses.mid(0, idAt + 1);
        // Every pass sends the same requests: the first one is the golden pass, the others repeat
        // it (the last may be cut off by the view switch).
        const QByteArrayList passes = connectAndPasses.mid(idAt + 1);
        const qsizetype passLength = passes.indexOf(passes.value(0), 1);
        ASSERT_GT(passLength, 0);
        for (qsizetype i = 0; i < passes.size(); ++i)
            EXPECT_EQ(passes[i], passes[i % passLength]) << i;
        ExpectGolden(family, QStringLiteral("traffic-connect.txt"), setUp.join('\n'));
        ExpectGolden(family, QStringLiteral("traffic-pass.txt"),
                     passes.mid(0, passLength).join('\n'));
        ExpectGolden(family, QStringLiteral("ecu-info.txt"),
                     window->Measurements()->ecuInfoText->toPlainText().toUtf8());

        // Faults: read, then clear. (Connecting chose the simulated family afresh.)
        sim->SetCurrentFaults({{0x01, 0x05, 0x1C, 0x01}});
        sim->SetStoredFaults({{0x02, 0x30, 0x11, 0x00}, {0x01, 0x15, 0x1C, 0x00}});
        FaultsView* faults = window->Faults();
        faults->readButton->click();
        ASSERT_TRUE(WaitUntil([&] { return faults->readButton->isEnabled(); }));
        ASSERT_TRUE(WaitUntil([&] { return faults->newList->count() > 0; }));
        QByteArray faultText;
        for (QListWidget* list : {faults->newList, faults->storedList}) {
            faultText += "--\n";
            for (int i = 0; i < list->count(); ++i)
                faultText += list->item(i)->text().toUtf8() + "\n";
        }
        ExpectGolden(family, QStringLiteral("faults.txt"), faultText);
        ExpectGolden(family, QStringLiteral("traffic-faults-read.txt"), TakeCommands().join('\n'));
        if (faults->clearButton->isVisible()) {
            faults->clearButton->click();
            ASSERT_TRUE(WaitUntil([&] { return faults->clearButton->isEnabled(); }));
            ExpectGolden(family, QStringLiteral("traffic-faults-clear.txt"),
                         TakeCommands().join('\n'));
        }

        // The report, built and saved.
        window->HandleMenu(ItemReport);
        ReportView* report = window->Report();
        report->readButton->click();
        ASSERT_TRUE(WaitUntil([&] { return report->saveButton->isEnabled(); }, 60000));
        report->saveButton->click();
        ExpectGolden(family, QStringLiteral("traffic-report.txt"), TakeCommands().join('\n'));
        // The header line ends in the date and time of the build.
        QByteArray reportText = OnlyFile(dir.path(), QStringLiteral("*Report*"));
        const qsizetype stampEnd = reportText.indexOf("\r\n", 2);
        ASSERT_GT(stampEnd, 16);
        reportText.replace(stampEnd - 16, 16, "yyyy.MM.dd hh:mm");
        ExpectGolden(family, QStringLiteral("report.txt"), reportText);

        // The stored-data download from the actors view.
        window->HandleMenu(ItemActors);
        QListWidget* actions = window->Actors()->list;
        const QString downloadText = state.texts.Text(QStringLiteral("View_68"));
        int downloadRow = -1;
        for (int i = 0; i < actions->count(); ++i)
            if (actions->item(i)->text().trimmed() == downloadText)
                downloadRow = i;
        ASSERT_GE(downloadRow, 0);
        actions->setCurrentRow(downloadRow);
        window->Actors()->startButton->click();
        ASSERT_TRUE(WaitUntil(
            [&] {
                return !QDir(dir.path())
                            .entryList({QStringLiteral("*StoredData.bin")}, QDir::Files)
                            .isEmpty() &&
                       window->ActorsLogic()->ButtonState() == ActorsIdle;
            },
            60000));
        ExpectGolden(family, QStringLiteral("traffic-download.txt"), TakeCommands().join('\n'));
        ExpectGolden(family, QStringLiteral("stored-data.bin"),
                     OnlyFile(dir.path(), QStringLiteral("*StoredData.bin")));

        // The survey from the measurements view.
        window->HandleMenu(ItemMeasurements);
        QPushButton* readAll = window->Measurements()->readAllButton;
        ASSERT_TRUE(WaitUntil([&] { return readAll->isEnabled(); }));
        readAll->click();
        ASSERT_TRUE(WaitUntil([&] { return readAll->isEnabled(); }, 120000));
        QByteArray survey = OnlyFile(dir.path(), QStringLiteral("TestResultate_*.log"));
        QList<QByteArray> surveyLines = survey.split('\n');
        for (QByteArray& line : surveyLines)
            if (line.startsWith("Needed: "))
                line = "Needed: Tms\r";
        ExpectGolden(family, QStringLiteral("survey.log"), surveyLines.join('\n'));

        // Disconnect: the logs are complete.
        sim_->ClearReceived();
        window->HandleMenu(ItemConnect);
        ASSERT_TRUE(WaitUntil([this] { return !window->WorkerAlive(); }));
        ExpectGolden(family, QStringLiteral("traffic-disconnect.txt"), TakeCommands().join('\n'));
        const QByteArray csv = OnlyFile(dir.path(), QStringLiteral("*.csv"));
        const QList<QByteArray> csvLines = MaskLeadingTimes(csv, ',').split('\n');
        ASSERT_GE(csvLines.size(), 4);
        ExpectGolden(family, QStringLiteral("values.csv"), csvLines.mid(0, 4).join('\n'));
        ExpectGolden(family, QStringLiteral("debug-log-shape.txt"),
                     DebugLogShape(OnlyFile(dir.path(), QStringLiteral("VelmoroCanDiag*.log"))));
    }
};

TEST_F(GoldenFilesTest, Miug4WritesAndSendsWhatItAlwaysHas)
{
    Run(QStringLiteral("Velmoro 850"), QStringLiteral("miug4"), QByteArray("22109A"));
}

TEST_F(GoldenFilesTest, Family11mpWritesAndSendsWhatItAlwaysHas)
{
    Run(QStringLiteral("Velmoro 1000"), QStringLiteral("11mp"), QByteArray("22B0"));
}

} // namespace
} // namespace velmoro::test
