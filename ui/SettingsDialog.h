// The settings dialog: language, port, model, window size, debug and logging options.
#pragma once

#include "link/PortDiscovery.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace velmoro {

struct CoreState;

// What the dialog asks the shell for, and what tests replace. Every service may be left empty;
// an empty one falls back to the default named.
struct SettingsServices {
    // The languages offered. Default: the sections of the settings file.
    std::function<QStringList()> languageNames;
    // The port list. Default: DiscoverPorts(). Called off the window's thread, so it must not
    // touch anything the window may change meanwhile.
    std::function<QList<PortEntry>()> discoverPorts;
    // The directory chooser: parent, title, start directory; empty when cancelled.
    // Default: QFileDialog::getExistingDirectory.
    std::function<QString(QWidget*, const QString&, const QString&)> chooseDirectory;
    // The window-size procedure; returns the factor. Default: none (WindowScale unchanged).
    std::function<float()> askWindowScale;
};

// Built by OpenSettingsDialog each time the user opens the settings. Works directly on the
// window's configuration and says what changed through its signals, each sent after the
// configuration holds the change; the window reacts to them (hands the settings to the session,
// updates menus, status fields and views). restartPending and setupPending are the shell's flags
// of the same names and must outlive the dialog. The ports are searched off the window's thread:
// meanwhile the port list is greyed out and says so, and closing keeps the saved port. The
// title-bar close is the only way out and runs the closing steps (settingsTaken, the window-size
// question, closed); the dialog then deletes itself. It is window-modal for its owner, so no
// connection can start while it is open.
class SettingsDialog : public QWidget {
    Q_OBJECT
public:
    SettingsDialog(CoreState& state, int& restartPending, int& setupPending,
                   SettingsServices services, QWidget* owner);

    // Tab titles, labels and check box texts in the current language.
    void ApplyTexts();

    QComboBox* LanguageList() const { return languageList_; }
    QComboBox* PortList() const { return portList_; }
    // Whether the port search still runs.
    bool SearchingPorts() const { return searchingPorts_; }
    // What is known about the chosen port: its description, or that it is not present.
    QLabel* PortNote() const { return portNote_; }
    QComboBox* ModelList() const { return modelList_; }
    QCheckBox* MaxWindowBox() const { return maxWindowBox_; }
    QCheckBox* DebugBox() const { return debugBox_; }
    QCheckBox* LoggingBox() const { return loggingBox_; }
    QCheckBox* CsvBox() const { return csvBox_; }
    QCheckBox* ReconnectBox() const { return reconnectBox_; }
    QCheckBox* FastRefreshBox() const { return fastRefreshBox_; }
    QLineEdit* DirectoryField() const { return directoryField_; }
    QPushButton* DirectoryButton() const { return directoryButton_; }
    QTabWidget* Tabs() const { return tabs_; }

signals:
    // The user chose a language; [Settings] Language already names it. The receiver loads its
    // texts and shows them everywhere, this dialog included (ApplyTexts).
    void languageChosen(const QString& name);
    // The user chose a model: the model, its ECU and link.family are set.
    void modelChosen();
    // The Debug option changed.
    void debugChanged();
    // The Logging option changed: the status bar's log indication, empty when logging is off.
    void loggingChanged(const QString& statusText);
    // Closing has taken the port, the model and its family into the configuration.
    // firstSetUp: this closing ended the first-start set-up (a model is chosen, and
    // setupPending was 1 and is now 0).
    void settingsTaken(bool firstSetUp);
    // The last closing step, after the window-size question; restartPending says whether the
    // program must now quit and start again.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void OnLanguageChanged(int index);
    void OnModelChanged(int index);
    void OnDebugToggled(bool on);
    void OnLoggingToggled(bool on);
    void OnCsvToggled(bool on);
    void OnDirectoryButton();
    void TakeModel(int index);
    void SearchPorts();
    void ShowSearching();
    void PortsFound(const QList<PortEntry>& entries, int selected);
    void FillPortList(int selected, const QString& editText);
    void ShowPortNote();
    // The name the settings keep for the port list's text: an entry's stable name, or as typed.
    QString ChosenPort() const;
    int Scaled(int designUnits) const;

    CoreState& state_;
    int& restartPending_;
    int& setupPending_;
    SettingsServices services_;
    bool closing_ = false;

    QTabWidget* tabs_ = nullptr;
    QLabel* languageLabel_ = nullptr;
    QComboBox* languageList_ = nullptr;
    QLabel* portLabel_ = nullptr;
    QComboBox* portList_ = nullptr;
    QLabel* portNote_ = nullptr;
    QList<PortEntry> ports_;
    bool searchingPorts_ = false;
    QLabel* modelLabel_ = nullptr;
    QComboBox* modelList_ = nullptr;
    QCheckBox* maxWindowBox_ = nullptr;
    QCheckBox* debugBox_ = nullptr;
    QCheckBox* loggingBox_ = nullptr;
    QCheckBox* reconnectBox_ = nullptr;
    QCheckBox* fastRefreshBox_ = nullptr;
    QCheckBox* csvBox_ = nullptr;
    QLabel* directoryLabel_ = nullptr;
    QLineEdit* directoryField_ = nullptr;
    QPushButton* directoryButton_ = nullptr;
};

// Builds the dialog, starts the port search, applies the opening rules and shows it centred on
// the owner. Once the search has ended, a saved port stays chosen, also when it is not present
// now, and with none saved the first port other than the simulator is taken; the model falls
// back to the first entry at once. Returns the dialog (deleted on close); it sends no signal
// before the event loop runs again, so the caller connects them after this returns.
SettingsDialog* OpenSettingsDialog(CoreState& state, int& restartPending, int& setupPending,
                                   SettingsServices services, QWidget* owner);

} // namespace velmoro
