// The companion programs for reading, writing and EEPROM work, started with the adapter port.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace velmoro {

struct LinkSettings;

// "IAW" + family text ("MIUG4" for 0, "11MP" for 1, nothing otherwise) + kind ("Reader",
// "Writer", "EEPROMTool"). (1, "EEPROMTool") -> "IAW11MPEEPROMTool".
QString ExternalToolName(int family, const QString& kind);

// The tool's full path in programDirectory, or empty. On Windows files named name*.exe;
// elsewhere files named name* with the executable bit (no directories). The last in name order
// wins.
QString FindExternalTool(const QString& programDirectory, const QString& name);

// The command line arguments: "-c" and the port, or "-c" alone for an empty port.
QStringList ExternalToolArguments(const QString& port);

struct ExternalToolHooks {
    // Hidden and disabled while the tool runs; may be null.
    QWidget* mainWindow = nullptr;
    // Shows a message box (title, text). Default: QMessageBox::information on mainWindow.
    std::function<void(const QString& title, const QString& text)> showMessage;
    // Called once on the main thread when the tool has ended, with its exit code (-1 when it
    // crashed or could not be started), after the main window is shown again.
    std::function<void(int exitCode)> finished;
};

// Finds the tool for link.family and kind. When present, hides and disables the main window and
// starts it in programDirectory with ExternalToolArguments(link.port); the event loop goes on
// while it runs (the tool owns the adapter port until it ends, so there is no time-out), and
// its end shows the main window again and calls hooks.finished. Otherwise shows "Info": name +
// " not found" and returns false; finished is then not called.
bool StartExternalTool(const QString& programDirectory, const LinkSettings& link,
                       const QString& kind, const ExternalToolHooks& hooks);

} // namespace velmoro
