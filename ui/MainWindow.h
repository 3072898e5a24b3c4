// Window 1: menus, status bar, logo, quick menu and the views; a view of the diagnostic session,
// which it forwards the user's commands to and whose signals it shows.
#pragma once

#include "ecu/ActorsController.h"
#include "output/Report.h"
#include "session/DiagSession.h"
#include "ui/AppState.h"
#include "ui/SettingsDialog.h"

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;

namespace velmoro {

class ActorsView;
class CoTrimView;
class DiagramWindow;
class FaultsView;
class Logo;
class MeasurementsView;
class ReportView;

// What tests (and only tests) replace; every hook left empty keeps the real behaviour.
struct MainWindowOptions {
    // Instead of a modal message box: title, text; returns when "closed".
    std::function<void(const QString& title, const QString& text)> showMessage;
    // Instead of opening the help page in the browser.
    std::function<void(const QString& path)> openHelp;
    // The settings dialog's port list (default: port discovery).
    std::function<QStringList()> discoverPorts;
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

    // Start-up steps 11 to 16 after construction: language, choosers, menu state, show, and
    // either the settings dialog (no model) or the ECU information text.
    void FinishStartup();

    void ApplyLanguage(const QString& name);
    // Opens a CSV value log in a log window; a file that cannot be read is named in a message.
    void OpenLog(const QString& path);
    void SetLinkMenuState(bool disconnected);
    void HandleMenu(int id);
    void PostMenu(int id);

    // Connection control.
    void OnConnected();
    void Disconnect();
    void SetFaultButtonsDisabled(bool disabled);
    void SetEcuInfoText(const QString& text);
    // Quit: asks the session to stop; the event loop ends once it has. Safe to call twice.
    void StopAll();
    // The exit steps after the loop: logs completed, [Settings] saved. Returns true when the
    // program must start itself again.
    bool SaveOnExit();

    // The quick menu (logo left click) and its buttons.
    void ShowQuickMenu();
    void QuickMenuPressed(int id);

    // Read-only access for tests and the settings hooks.
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
    QFrame* QuickMenuPanel() const { return quickMenu_; }
    QPushButton* QuickButton(int index) const { return quickButtons_[index]; }
    SettingsDialog* SettingsWindow() const { return settings_.data(); }
    ActorsController* ActorsLogic() const { return actorsController_.get(); }
    DiagSession* Session() const { return session_.get(); }
    const CsvLog& Csv() const { return session_->csv(); }
    bool LinkActive() const { return linkActive_; }
    bool WorkerAlive() const { return session_->workerAlive(); }
    bool Stopped() const { return stopped_; }

signals:
    // StopAll has finished: the event loop may end.
    void quitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenu();
    void BuildStatusBar();
    void BuildQuickMenu();
    void WireViews();

    void Connect();
    void WireSession();
    void OnDisconnecting();
    void OnReconnecting();
    // The log field as it was before a retry countdown took it over.
    void RestoreLogField();

    // Views.
    void ShowView(int id);
    void ShowMeasurements(bool show);
    void ShowFaults(bool show);
    void ShowActors(bool show);
    void ShowReport(bool show);
    void ShowCoTrim(bool show);
    void ShowDiagram(bool show);
    void SetHeaderGadgetsVisible(bool visible);
    bool HasCoTrim() const { return state_.ecu && state_.ecu->hasCoTrim(); }
    void MirrorChoosers();
    void MirrorFaults();
    void FillActorsList();
    void OnChooserPicked(int chooser, int entry);
    QStringList ChooserTexts() const;

    // Values, survey, faults and report.
    void DisplayRows(const RowsSnapshot& rows);
    void OnReadAll();
    void OnSurveyStep(int counter);
    void OnSurveyFinished();
    void RunFaultOperation(bool clear);
    void OnReportRead();
    void OnReportDone();
    void OnReportSave();
    void MirrorReport(ReportChange change, int line);
    void OpenSettings();

    void ShowMessage(const QString& title, const QString& text);
    void OpenHelp();

    AppState& state_;
    MainWindowOptions options_;
    std::unique_ptr<DiagSession> session_;

    QWidget* client_ = nullptr;
    std::map<int, QAction*> items_;
    QMenu* titles_[4] = {};
    QLabel* status_[3] = {};
    QLabel* info_ = nullptr;
    Logo* logo_ = nullptr;
    QFrame* quickMenu_ = nullptr;
    QPushButton* quickButtons_[7] = {};

    MeasurementsView* measurements_ = nullptr;
    FaultsView* faults_ = nullptr;
    ActorsView* actors_ = nullptr;
    CoTrimView* coTrim_ = nullptr;
    ReportView* report_ = nullptr;
    DiagramWindow* diagram_ = nullptr;
    QPointer<SettingsDialog> settings_;

    std::unique_ptr<ActorsController> actorsController_;
    QTimer* procedureTimer_ = nullptr;
    QTimer* selfLearningTimer_ = nullptr;

    bool faultsBusy_ = false;
    bool linkActive_ = false;
    bool faultButtonsDisabled_ = true;
    bool stopped_ = false;
    bool quickMenuShown_ = false;
    QString logFieldBeforeRetry_;
};

} // namespace velmoro
