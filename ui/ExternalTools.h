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
};

// Finds the tool for link.family and kind; if present, hides and disables the main window, runs
// it in programDirectory with ExternalToolArguments(link.port), waits for its end and shows the
// main window again. Otherwise shows "Info": name + " not found". Returns the tool's exit code,
// or -1 when it was missing or could not be started.
int RunExternalTool(const QString& programDirectory, const LinkSettings& link, const QString& kind,
                    const ExternalToolHooks& hooks);

} // namespace velmoro
