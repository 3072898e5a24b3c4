// The main window: menus, status bar, logo, quick menu and the views; a view of the diagnostic
// session, which it forwards the user's commands to and whose signals it shows.
#pragma once

#include "session/DiagSession.h"
#include "session/RideRecorder.h"
#include "ui/ActorsPanel.h"
#include "ui/AppState.h"
#include "ui/MainMenu.h"
#include "ui/SettingsDialog.h"

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;

namespace velmoro {

class ActorsView;
class CoTrimView;
class DiagramWindow;
class FaultsPanel;
class FaultsView;
class Logo;
class MeasurementsPanel;
class MeasurementsView;
class ReportPanel;
class ReportView;

// What tests (and only tests) replace; every hook left empty keeps the real behaviour.
struct MainWindowOptions {
    // Instead of a modal message box: title, text; returns when "closed".
    std::function<void(const QString& title, const QString& text)> showMessage;
    // Instead of opening the help page in the browser.
    std::function<void(const QString& path)> openHelp;
    // The settings dialog's port list (default: port discovery).
    std::function<QList<PortEntry>()> discoverPorts;
    // The session's ports and simulated motorcycle.
    DiagSessionOptions session;
};

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Builds the window hidden, at the state's window position, with every view (start-up steps
    // 7 to 10); the caller then applies the language and shows it (RunStartup does all that).
    MainWindow(AppState& state, MainWindowOptions options = {});
    ~MainWindow() override;

    // The rest of start-up after construction: language, choosers, menu state, show, and
    // either the settings dialog (no model) or the ECU information text. settingsProblem: what
    // is wrong with the settings file, said once before anything else is asked.
    void FinishStartup(const QString& settingsProblem = QString());

    // The user's choice of language: loads its texts, stores the choice and shows the texts.
    void ApplyLanguage(const QString& name);
    // Opens a CSV value log in a log window; a file that cannot be read is named in a message.
    void OpenLog(const QString& path);
    void SetLinkMenuState(bool disconnected);
    void HandleMenu(int id);
    void PostMenu(int id);

    // Connection control.
    void OnConnected();
    void Disconnect();
    void SetEcuInfoText(const QString& text);
    // Quit: asks the session to stop; the event loop ends once it has. Safe to call twice.
    void StopAll();
    // The exit steps after the loop: logs completed, [Settings] saved. Returns true when the
    // program must start itself again.
    bool SaveOnExit();

    // The quick menu (logo left click) and its buttons.
    void ShowQuickMenu();
    void QuickMenuPressed(int id);

    // Read-only access for tests.
    QAction* MenuItem(int id) const;
    QMenu* MenuTitle(int index) const;
    QString StatusText(int field) const;
    MeasurementsView* Measurements() const { return measurements_; }
    FaultsView* Faults() const { return faults_; }
    ActorsView* Actors() const { return actors_; }
    CoTrimView* CoTrim() const { return coTrim_; }
    ReportView* Report() const { return report_; }
    DiagramWindow* Diagram() const { return diagram_; }
    QLabel* InfoLabel() const { return info_; }
    Logo* LogoWidget() const { return logo_; }
    QFrame* QuickMenuPanel() const { return menu_->QuickPanel(); }
    QPushButton* QuickButton(int index) const { return menu_->QuickButton(index); }
    SettingsDialog* SettingsWindow() const { return settings_.data(); }
    const ActorsPanel* ActorsLogic() const { return actorsPanel_.get(); }
    DiagSession* Session() const { return session_.get(); }
    const CsvLog& Csv() const { return session_->csv(); }
    bool LinkActive() const { return linkActive_; }
    // Notes what happens on a ride in an event file beside the CSV log.
    RideRecorder* Recorder() const { return recorder_.get(); }
    // The user's mark (Ctrl+M): noted in the ride's event file, said in the status bar.
    void MarkRide();
    bool WorkerAlive() const { return session_->workerAlive(); }
    bool Stopped() const { return stopped_; }

signals:
    // StopAll has finished: the event loop may end.
    void quitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Connect();
    void WireSession();
    void OnDisconnecting();
    void OnReconnecting();
    void OpenSettings();
    // The window's part when the settings dialog has chosen a model, and when its closing has
    // taken the settings: the session gets them, with the family's value names, and the
    // external-tool items are greyed out until the next connection.
    void TakeSettingsFamily();
    void SettingsModelChosen();
    void SettingsTaken(bool firstSetUp);
    // Every text of the window and its views in the language of state_.texts.
    void ShowTexts();

    // Views.
    void ShowView(int id);
    void ShowMeasurements(bool show);
    void ShowFaults(bool show);
    void ShowPanel(QWidget* view, int item, bool show);
    void ShowDiagram(bool show);
    void SetHeaderGadgetsVisible(bool visible);
    bool HasCoTrim() const
    {
        const std::shared_ptr<const Ecu> family = session_->family();
        return family && family->hasCoTrim();
    }
    // The choosers (keepPositions: by each row's value, else by its saved name) and the actions
    // list in the language and family of the session's settings; false while none is chosen.
    bool FillChoosers(bool keepPositions);

    void ShowMessage(const QString& title, const QString& text);
    void OpenHelp();

    AppState& state_;
    MainWindowOptions options_;
    std::unique_ptr<DiagSession> session_;
    std::unique_ptr<RideRecorder> recorder_;

    QWidget* client_ = nullptr;
    QLabel* info_ = nullptr;
    Logo* logo_ = nullptr;
    MeasurementsView* measurements_ = nullptr;
    FaultsView* faults_ = nullptr;
    ActorsView* actors_ = nullptr;
    CoTrimView* coTrim_ = nullptr;
    ReportView* report_ = nullptr;
    DiagramWindow* diagram_ = nullptr;
    QPointer<SettingsDialog> settings_;

    // Declared after the session, so they go before it; by then the destructor has waited for
    // the session, and no job of it hands them anything any more.
    std::unique_ptr<MainMenu> menu_;
    std::unique_ptr<MeasurementsPanel> measurementsPanel_;
    std::unique_ptr<FaultsPanel> faultsPanel_;
    std::unique_ptr<ActorsPanel> actorsPanel_;
    std::unique_ptr<ReportPanel> reportPanel_;

    bool linkActive_ = false;
    // The link came up (connected() arrived) and has not ended since.
    bool linkUp_ = false;
    // Why the link being brought up failed, for the box that ends it.
    std::pair<LinkFailure, QString> connectFailure_{LinkFailure::None, QString()};
    bool stopped_ = false;
    bool quickMenuShown_ = false;
};

} // namespace velmoro
