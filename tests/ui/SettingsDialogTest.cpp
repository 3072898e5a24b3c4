// The settings dialog: opening fallbacks, immediate reactions and the closing steps in order.
#include "ui/SettingsDialog.h"
#include "ecu/CoreState.h"
#include "ecu/Ecu.h"
#include "support/WaitUntil.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThreadPool>
#include <gtest/gtest.h>
#include <tuple>

using namespace velmoro;

namespace {

// Entries as discovery gives them for ports the system knows nothing about.
QList<PortEntry> Entries(const QStringList& names)
{
    QList<PortEntry> entries;
    for (const QString& name : names)
        entries << PortEntry{name, name, {}, KindOfPort(name), PortPresence::Listed};
    return entries;
}

class SettingsDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        state.paths.directory = dir.path() + "/";
        state.paths.baseName = "VelmoroCanDiag";
        QFile ini(state.paths.SettingsFile());
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("\xEF\xBB\xBF[Settings]\r\nLanguage = Deutsch\r\n[Modells]\r\n"
                  "Velmoro 850 = MIUG4\r\nVelmoro 1000 = 11MP, B\r\n"
                  "[Deutsch]\r\nSettings_1 = Einstellungen\r\n"
                  "[English]\r\nSettings_1 = Settings\r\n");
        ini.close();
        state.settings.language = "Deutsch";
        state.settings.maxWindow = 0;
        state.settings.loggingDirectory = state.paths.directory;
        state.models = {{"Velmoro 850", "MIUG4", ""}, {"Velmoro 1000", "11MP", "B"}};
        state.texts.Set("Settings_1", "Einstellungen");
        state.texts.Set("Settings_12", "Verzeichnis für Logging:");
        state.texts.Set("Settings_3", "COM Port:");
    }

    // What the dialog asks for; the window-size question is recorded among the signals.
    SettingsServices Services()
    {
        SettingsServices services;
        services.askWindowScale = [this] {
            calls << "askWindowScale";
            return 1.5f;
        };
        // The search runs on another thread: it gets the list as it is now.
        services.discoverPorts = [list = ports] { return list; };
        services.chooseDirectory = [this](QWidget*, const QString& title, const QString& start) {
            calls << "chooser " + title + " " + start;
            return chosenDirectory;
        };
        return services;
    }

    // Every signal records what the configuration holds when it arrives, so that both the
    // order of the steps and that each one comes after its change are checked.
    void Record(SettingsDialog* dialog)
    {
        QObject::connect(dialog, &SettingsDialog::languageChosen, [this](const QString& name) {
            calls << "language " + name + " saved " + state.settings.language;
        });
        QObject::connect(dialog, &SettingsDialog::modelChosen, [this] {
            calls << "model " + state.link.model + " IAW " + state.link.ecuId + " " +
                         state.link.ecuVariant + " family " + QString::number(state.link.family);
        });
        QObject::connect(dialog, &SettingsDialog::debugChanged,
                         [this] { calls << "debug " + QString::number(state.settings.debug); });
        QObject::connect(dialog, &SettingsDialog::loggingChanged,
                         [this](const QString& text) { calls << "status2 " + text; });
        QObject::connect(dialog, &SettingsDialog::settingsTaken, [this](bool firstSetUp) {
            calls << "taken " + state.link.model + " " + state.link.port + " slowInit " +
                         QString::number(state.link.slowInit) + " setup " + QString::number(setup) +
                         (firstSetUp ? " first" : "");
        });
        QObject::connect(dialog, &SettingsDialog::closed,
                         [this] { calls << (restart == 1 ? "closed restart" : "closed"); });
    }

    SettingsDialog* OpenRecorded(const SettingsServices& services)
    {
        SettingsDialog* dialog = OpenSettingsDialog(state, restart, setup, services, nullptr);
        Record(dialog);
        return dialog;
    }

    // Opens the dialog and lets its port search end.
    SettingsDialog* Open()
    {
        SettingsDialog* dialog = OpenRecorded(Services());
        EXPECT_TRUE(velmoro::test::WaitUntil([dialog] { return !dialog->SearchingPorts(); }));
        return dialog;
    }

    QTemporaryDir dir;
    CoreState state;
    int restart = 0;
    int setup = 0;
    QStringList calls;
    QList<PortEntry> ports = Entries({"/dev/ttyUSB0", "/dev/ttyUSB1", "Simulator"});
    QString chosenDirectory;
};

} // namespace

TEST_F(SettingsDialogTest, FirstStartChoosingModelAndClosingFillsEcuTextAndEnablesConnect)
{
    setup = 1;
    QPointer<SettingsDialog> dialog = Open();
    EXPECT_EQ(dialog->windowTitle(), "Velmoro Diag Einstellungen");
    // Nothing saved yet: the first port and the first model are taken.
    EXPECT_EQ(state.link.port, "/dev/ttyUSB0");
    EXPECT_EQ(state.link.model, "Velmoro 850");
    EXPECT_EQ(state.link.ecuId, "MIUG4");
    EXPECT_EQ(dialog->LanguageList()->currentText(), "Deutsch");
    EXPECT_TRUE(calls.isEmpty());

    dialog->ModelList()->setCurrentIndex(1);
    EXPECT_EQ(state.link.ecuId, "11MP");
    EXPECT_EQ(state.link.family, Family11mp);
    EXPECT_EQ(calls,
              QStringList{"model Velmoro 1000 IAW 11MP B family " + QString::number(Family11mp)});
    calls.clear();

    dialog->PortList()->setCurrentIndex(1);
    state.link.slowInit = 3;
    dialog->close();
    QApplication::processEvents();
    EXPECT_EQ(calls,
              (QStringList{"taken Velmoro 1000 /dev/ttyUSB1 slowInit 0 setup 0 first", "closed"}));
    EXPECT_EQ(setup, 0);
    EXPECT_EQ(restart, 0);
    EXPECT_EQ(state.link.port, "/dev/ttyUSB1");
    EXPECT_EQ(state.link.slowInit, 0);
    EXPECT_EQ(state.settings.language, "Deutsch");
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dialog.isNull());
}

TEST_F(SettingsDialogTest, LanguageChangeAppliesAtOnceAndClosingChangesNothingElse)
{
    state.link.port = "/dev/ttyUSB1";
    state.link.model = "Velmoro 850";
    state.link.ecuId = "MIUG4";
    ChooseFamily(state.link);
    const LinkSettings linkBefore = state.link;
    const Settings settingsBefore = state.settings;
    SettingsDialog* dialog = Open();
    ASSERT_EQ(dialog->LanguageList()->count(), 2);

    dialog->LanguageList()->setCurrentIndex(1);
    EXPECT_EQ(calls, QStringList{"language English saved English"});
    EXPECT_EQ(state.settings.language, "English");
    calls.clear();

    dialog->close();
    EXPECT_EQ(calls, (QStringList{"taken Velmoro 850 /dev/ttyUSB1 slowInit 0 setup 0", "closed"}));
    EXPECT_EQ(std::tie(state.link.port, state.link.model, state.link.ecuId, state.link.family),
              std::tie(linkBefore.port, linkBefore.model, linkBefore.ecuId, linkBefore.family));
    EXPECT_EQ(std::tie(state.settings.maxWindow, state.settings.windowScale),
              std::tie(settingsBefore.maxWindow, settingsBefore.windowScale));
    EXPECT_EQ(restart, 0);
}

TEST_F(SettingsDialogTest, TogglingMaxWindowAsksForTheSizeThenRequestsRestart)
{
    SettingsDialog* dialog = Open();
    dialog->MaxWindowBox()->setChecked(true);
    dialog->close();
    EXPECT_EQ(restart, 1);
    EXPECT_EQ(state.settings.maxWindow, 1);
    EXPECT_FLOAT_EQ(state.settings.windowScale, 1.5f);
    ASSERT_GE(calls.size(), 2);
    EXPECT_EQ(calls.mid(calls.size() - 2), (QStringList{"askWindowScale", "closed restart"}));

    // Still checked with a factor above 1.0: nothing is asked, nothing restarts.
    restart = 0;
    calls.clear();
    Open()->close();
    EXPECT_FALSE(calls.contains("askWindowScale"));
    EXPECT_EQ(calls.last(), "closed");
    EXPECT_FLOAT_EQ(state.settings.windowScale, 1.5f);

    // Unchecking returns to 1.0 and restarts.
    dialog = Open();
    dialog->MaxWindowBox()->setChecked(false);
    dialog->close();
    EXPECT_FLOAT_EQ(state.settings.windowScale, 1.0f);
    EXPECT_EQ(state.settings.maxWindow, 0);
    EXPECT_EQ(restart, 1);
    EXPECT_EQ(calls.last(), "closed restart");
}

TEST_F(SettingsDialogTest, PortFallbacksAndImmediateOptions)
{
    // A saved WiFi address cannot be discovered but stays chosen, and so does an unplugged
    // adapter, marked as not present.
    state.link.port = "192.168.0.10:35000";
    SettingsDialog* dialog = Open();
    EXPECT_EQ(dialog->PortList()->currentText(), "192.168.0.10:35000");
    dialog->close();
    EXPECT_EQ(state.link.port, "192.168.0.10:35000");

    state.link.port = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A5-if00-port0";
    dialog = Open();
    EXPECT_EQ(dialog->PortList()->currentIndex(), 0);
    EXPECT_EQ(dialog->PortList()->currentText(), state.link.port);
    EXPECT_EQ(dialog->PortNote()->text(), "COM Port: not present");
    dialog->close();
    EXPECT_EQ(state.link.port, "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A5-if00-port0");

    state.link.port = "/dev/ttyUSB7";
    ports.clear();
    dialog = Open();
    EXPECT_EQ(state.link.port, "/dev/ttyUSB7");
    // Typed in by the user.
    dialog->PortList()->setEditText(" /dev/rfcomm0 ");

    calls.clear();
    dialog->LoggingBox()->setChecked(true);
    dialog->DebugBox()->setChecked(true);
    dialog->CsvBox()->setChecked(true);
    EXPECT_EQ(calls, (QStringList{"status2 " + state.paths.directory + "VelmoroCanDiag_xxx.log",
                                  "debug 1"}));
    EXPECT_EQ(std::tie(state.settings.logging, state.settings.debug, state.settings.csv),
              std::make_tuple(1, 1, 1));
    calls.clear();
    dialog->LoggingBox()->setChecked(false);
    EXPECT_EQ(calls, QStringList{"status2 "});
    dialog->FastRefreshBox()->setChecked(true);
    EXPECT_EQ(state.settings.fastRefresh, 1);

    // A cancelled chooser keeps the directory; a chosen one becomes a prefix ending in "/".
    calls.clear();
    dialog->DirectoryButton()->click();
    EXPECT_EQ(calls, QStringList{"chooser Verzeichnis für Logging: " + state.paths.directory});
    EXPECT_EQ(state.settings.loggingDirectory, state.paths.directory);
    chosenDirectory = dir.path() + "/logs";
    dialog->DirectoryButton()->click();
    EXPECT_EQ(state.settings.loggingDirectory, dir.path() + "/logs/");

    dialog->close();
    EXPECT_EQ(state.link.port, "/dev/rfcomm0");
}

TEST_F(SettingsDialogTest, SimulatorIsNeverChosenForTheUserAndStableNamesAreSaved)
{
    // Nothing saved and no adapter: the port stays empty, so Connect stays disabled.
    ports = Entries({"Simulator"});
    SettingsDialog* dialog = Open();
    EXPECT_EQ(state.link.port, "");
    EXPECT_EQ(dialog->PortList()->currentText(), "");
    EXPECT_EQ(dialog->PortList()->count(), 1);
    dialog->close();
    EXPECT_EQ(state.link.port, "");

    // Nothing saved: the first adapter is taken under its stable name, the list describes every
    // port in a second column, the simulator in the user's language.
    ports = {{"/dev/ttyUSB3", "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A5-if00-port0",
              "FTDI FT232R USB UART (0403:6001)", PortKind::Adapter, PortPresence::Listed},
             {"/dev/pts/4", "/dev/pts/4", {}, PortKind::Other, PortPresence::Listed},
             {"Simulator", "Simulator", {}, PortKind::Simulator, PortPresence::Listed}};
    dialog = Open();
    EXPECT_EQ(state.link.port, "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A5-if00-port0");
    EXPECT_EQ(dialog->PortList()->currentText(), "/dev/ttyUSB3");
    const QAbstractItemModel* model = dialog->PortList()->model();
    ASSERT_EQ(model->columnCount(), 2);
    EXPECT_EQ(model->index(0, 1).data().toString(), "FTDI FT232R USB UART (0403:6001)");
    EXPECT_EQ(model->index(2, 1).data().toString(),
              "no adapter: a simulated motorcycle, invented values");
    EXPECT_EQ(dialog->PortNote()->text(), "COM Port: FTDI FT232R USB UART (0403:6001)");
    dialog->close();
    EXPECT_EQ(state.link.port, "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A5-if00-port0");

    // Saved under its old device name: found, and saved under the stable name from now on.
    state.link.port = "/dev/ttyUSB3";
    Open()->close();
    EXPECT_EQ(state.link.port, "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A5-if00-port0");

    // Chosen by the user, the simulator is kept.
    dialog = Open();
    dialog->PortList()->setCurrentIndex(2);
    dialog->close();
    EXPECT_EQ(state.link.port, "Simulator");
    Open()->close();
    EXPECT_EQ(state.link.port, "Simulator");
}

TEST_F(SettingsDialogTest, PortSearchLeavesTheWindowFreeAndMayOutliveTheDialog)
{
    state.link.port = "/dev/ttyUSB1";
    // The search waits until the test lets it go (bounded, so that a search on the window's
    // thread fails the test instead of hanging it).
    auto gate = std::make_shared<QSemaphore>();
    SettingsServices services = Services();
    services.discoverPorts = [gate, list = ports] {
        gate->tryAcquire(1, 30000);
        return list;
    };
    QPointer<SettingsDialog> dialog = OpenRecorded(services);
    EXPECT_TRUE(dialog->SearchingPorts());
    EXPECT_FALSE(dialog->PortList()->isEnabled());
    EXPECT_EQ(dialog->PortList()->currentText(), "Searching for ports…");
    EXPECT_EQ(dialog->PortNote()->text(), "");
    gate->release();
    ASSERT_TRUE(velmoro::test::WaitUntil([&] { return !dialog->SearchingPorts(); }));
    EXPECT_TRUE(dialog->PortList()->isEnabled());
    EXPECT_EQ(dialog->PortList()->count(), 3);
    EXPECT_EQ(dialog->PortList()->currentText(), "/dev/ttyUSB1");
    dialog->close();

    // Closed while searching: the list showed no port, so none is taken from it, whether the
    // result was already on its way or comes when the dialog is gone.
    for (const bool resultFirst : {true, false}) {
        for (const QString& saved : {QString("/dev/ttyUSB1"), QString()}) {
            state.link.port = saved;
            dialog = OpenRecorded(services);
            if (resultFirst) {
                gate->release();
                QThreadPool::globalInstance()->waitForDone();
            }
            dialog->close();
            EXPECT_EQ(state.link.port, saved);
            ASSERT_TRUE(velmoro::test::WaitUntil([&] { return dialog.isNull(); }));
            if (!resultFirst)
                gate->release();
            QThreadPool::globalInstance()->waitForDone();
            QCoreApplication::processEvents();
            EXPECT_EQ(state.link.port, saved) << resultFirst;
        }
    }
}
