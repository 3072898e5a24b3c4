// Window 1: menus, status bar, logo, quick menu, the views, the event dispatch, the connection
// control and the refresh loop.
#pragma once

#include "app/AppState.h"
#include "ecu/ActorsController.h"
#include "output/CsvLog.h"
#include "output/DebugLog.h"
#include "output/Report.h"
#include "output/Survey.h"
#include "ui/GuiBridge.h"
#include "ui/SettingsDialog.h"

#include <QMainWindow>
#include <QPointer>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

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
    void SetLinkMenuState(bool disconnected);
    void HandleMenu(int id);
    void PostMenu(int id);

    // Connection control.
    void OnConnected();
    void Disconnect(bool wait, bool fromWorkerThread);
    void SetFaultButtonsDisabled(bool disabled);
    void SetEcuInfoText(const QString& text);
    // Quit: stop every thread, then end the event loop. Safe to call twice.
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
    const CsvLog& Csv() const { return csvLog_; }
    bool LinkActive() const { return linkActive_; }
    bool WorkerAlive() const { return workerAlive_.load(); }
    bool Stopped() const { return stopped_; }

signals:
    // StopAll has finished: the event loop may end.
    void quitRequested();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenu();
    void BuildStatusBar();
    void BuildQuickMenu();
    void WireViews();

    void Connect();
    void WaitForWorker();
    void JoinThread(std::thread& thread);

    // Views.
    void ShowView(int id);
    void ShowMeasurements(bool show);
    void ShowFaults(bool show);
    void ShowActors(bool show);
    void ShowReport(bool show);
    void ShowCoTrim(bool show);
    void ShowDiagram(bool show);
    void SetHeaderGadgetsVisible(bool visible);
    void MirrorChoosers();
    void MirrorFaults();
    void FillActorsList();
    void OnChooserPicked(int chooser, int entry);
    QStringList ChooserTexts() const;

    // Refresh loop, survey, faults and report.
    void StartRefreshPass();
    void OnRefreshDone();
    void DisplayRows();
    void OnReadAll();
    void OnReadAllStep();
    void StartSurveyStep(int nn);
    void RunFaultOperation(bool clear);
    void OnReportRead();
    void OnReportDone();
    void OnReportSave();
    void MirrorReport(ReportChange change, int line);
    void OpenSettings();

    void ShowMessage(const QString& title, const QString& text);
    void OpenHelp();
    qint64 NowMs() const;

    AppState& state_;
    MainWindowOptions options_;
    GuiBridge bridge_;

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

    // Threads: joined, never detached, so nothing outlives the window.
    std::thread worker_;
    std::thread connect_;
    std::thread refresh_; // the measurement pass or the survey step
    std::thread faultThread_;
    std::thread reportThread_;
    std::atomic<bool> workerAlive_{false};
    std::atomic<bool> faultsBusy_{false};
    std::mutex workerMutex_;
    std::condition_variable workerEnded_;
    quint64 passGeneration_ = 0;
    bool passRunning_ = false;

    bool linkActive_ = false;
    bool faultButtonsDisabled_ = true;
    bool stopped_ = false;
    bool quickMenuShown_ = false;

    CsvLog csvLog_;
    DebugLog debugLog_;
    SurveyState survey_;
    ReportList reportList_;
};

} // namespace velmoro
