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

// What the dialog needs from the shell. Every hook may be left empty; an empty hook is skipped
// unless a default is named.
struct SettingsHooks {
    // ApplyLanguage(name): load the section, rewrite every text of the program including this
    // dialog's (SettingsDialog::ApplyTexts), write [Settings] Language.
    std::function<void(const QString& name)> applyLanguage;
    // The ECU information text of the measurements view ("IAW " + ecuId + " " + ecuVariant).
    std::function<void(const QString& text)> setEcuInfoText;
    // The CO Trim menu item: enabled only if the family offers it and the worker runs.
    std::function<void()> updateCoTrimMenu;
    // Status field 0 := model, centred.
    std::function<void(const QString& model)> setStatusModel;
    // Status field 2: the debug-log indication, or empty when debug logging is off.
    std::function<void(const QString& text)> setStatusLog;
    // The Debug option changed: if the measurements view is shown, show it again so the raw
    // texts appear or disappear.
    std::function<void()> debugChanged;
    // RefreshChoosers keeping positions has just run on closing: mirror the choosers into the
    // widgets, rebuild the actors list (FillActorsList) and, if the measurements view is shown,
    // show it again.
    std::function<void()> choosersRefreshed;
    // Enable the Connect menu item after the first-start set-up (SetLinkMenuState).
    std::function<void()> enableConnect;
    // The window-size procedure; returns the factor. Default: none (WindowScale unchanged).
    std::function<float()> askWindowScale;
    // StopAll: quit so that the exit saves and restarts the program.
    std::function<void()> stopAll;
    // RefreshChoosers keeping positions, with the family the closing chose. Default: none.
    std::function<void()> refreshChoosers;
    // The model, and with it link.family, changed: the window hands the settings to the session,
    // takes the family's value names and actions and disables the external-tool items.
    std::function<void()> familyChosen;
    // The languages offered. Default: the sections of the settings file.
    std::function<QStringList()> languageNames;
    // The port list. Default: DiscoverPorts(). Called off the window's thread, so it must not
    // touch anything the window may change meanwhile.
    std::function<QList<PortEntry>()> discoverPorts;
    // The directory chooser: parent, title, start directory; empty when cancelled.
    // Default: QFileDialog::getExistingDirectory.
    std::function<QString(QWidget*, const QString&, const QString&)> chooseDirectory;
};

// Built by OpenSettingsDialog each time the user opens the settings. Works directly on the
// window's configuration, which the window hands to the session (familyChosen); restartPending and
// setupPending are the shell's flags of the same names and must outlive the dialog. The ports are
// searched off the window's thread: meanwhile the port list is greyed out and says so, and closing
// keeps the saved port. The title-bar close is the only way out and runs the closing steps; the
// dialog then deletes itself. It is window-modal for its owner, so no connection can start while it
// is open.
class SettingsDialog : public QWidget {
    Q_OBJECT
public:
    SettingsDialog(CoreState& state, int& restartPending, int& setupPending, SettingsHooks hooks,
                   QWidget* owner);

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
    // After the closing steps, just before a requested StopAll.
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
    SettingsHooks hooks_;
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
// back to the first entry at once. Returns the dialog (deleted on close).
SettingsDialog* OpenSettingsDialog(CoreState& state, int& restartPending, int& setupPending,
                                   SettingsHooks hooks, QWidget* owner);

} // namespace velmoro
