// Builds the program in a fresh temporary program directory with recorded message boxes.
#pragma once

#include "app/Startup.h"
#include "config/Settings.h"
#include "sim/Simulator.h"
#include "support/WaitUntil.h"
#include "ui/AppState.h"
#include "ui/LinkStatus.h"
#include "ui/MainWindow.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>

namespace velmoro::test {

// The simulated motorcycle the windows of the GUI tests connect to.
inline std::shared_ptr<Simulator> SharedSimulator()
{
    static const std::shared_ptr<Simulator> simulator = std::make_shared<Simulator>();
    return simulator;
}

class ShellFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        paths.directory = dir.path() + QStringLiteral("/");
        paths.baseName = QStringLiteral("VelmoroCanDiag");
        options.showMessage = [this](const QString& title, const QString& text) {
            messages.push_back({title, text});
        };
        options.discoverPorts = [] {
            return QList<PortEntry>{{QStringLiteral("Simulator"),
                                     QStringLiteral("Simulator"),
                                     {},
                                     PortKind::Simulator,
                                     PortPresence::Listed}};
        };
        options.openHelp = [this](const QString& path) { helpOpened = path; };
        options.session.simulator = SharedSimulator();
        auto sim = SharedSimulator();
        sim->SetLatencyMs(0);
        sim->SetEcuSilent(false);
        sim->SetSilent(false);
        sim->Restore();
        sim->ClearReceived();
    }

    void TearDown() override
    {
        if (window)
            window->StopAll();
        window.reset();
        auto sim = SharedSimulator();
        sim->SetLatencyMs(0);
        sim->SetEcuSilent(false);
    }

    // The built-in default file with [Settings] keys replaced (key -> value).
    void WriteSettings(const std::map<QString, QString>& keys)
    {
        const QByteArray builtIn = DefaultSettingsFile();
        QByteArray text(builtIn.constData(), builtIn.size()); // a mutable copy
        for (const auto& [key, value] : keys) {
            const QByteArray head = "\r\n" + key.toUtf8() + " =";
            const qsizetype at = text.indexOf(head);
            ASSERT_GE(at, 0) << key.toStdString();
            const qsizetype end = text.indexOf("\r\n", at + 2);
            text.replace(at, end - at, head + " " + value.toUtf8());
        }
        QFile file(paths.SettingsFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    void Start()
    {
        window = StartProgram(state, paths, options, [this](const QStringList&, float) {
            ADD_FAILURE() << "no language chooser expected";
            return QString();
        });
    }

    // Menu item 0 as the user chooses it, then the link coming up.
    bool ConnectAndWait()
    {
        window->HandleMenu(ItemConnect);
        return WaitUntil([this] {
            return window->StatusText(1) == ConnectedStatusText(state.texts, state.link.port) &&
                   window->Session()->workerRunning();
        });
    }

    int CountMessages(const QString& text) const
    {
        int n = 0;
        for (const auto& m : messages)
            n += m.second == text ? 1 : 0;
        return n;
    }

    QTemporaryDir dir;
    ProgramPaths paths;
    AppState state;
    MainWindowOptions options;
    std::vector<std::pair<QString, QString>> messages;
    QString helpOpened;
    std::unique_ptr<MainWindow> window;
};

} // namespace velmoro::test
