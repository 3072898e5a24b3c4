// The main window: construction, language, menus, connection control and quitting.
#include "ui/MainWindow.h"

#include "config/DataLocations.h"
#include "config/LanguageTexts.h"
#include "config/Settings.h"
#include "ecu/RefreshCycle.h"
#include "link/AdapterPort.h"
#include "link/PortDiscovery.h"
#include "ui/AboutBox.h"
#include "ui/DiagramWindow.h"
#include "ui/ExternalTools.h"
#include "ui/Layout.h"
#include "ui/LogWindow.h"
#include "ui/Logo.h"
#include "ui/SettingsDialog.h"
#include "ui/Views.h"
#include "ui/WindowScaleDialog.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

namespace velmoro {

namespace {

// The log field without a debug log: where the files go when that is not beside the program.
QString IdleLogFieldText(const ProgramPaths& paths)
{
    return UsesUserFolders(paths) ? paths.directory : QStringLiteral(" ");
}

} // namespace

MainWindow::MainWindow(AppState& state, MainWindowOptions options)
    : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                               Qt::WindowCloseButtonHint),
      state_(state), options_(std::move(options)),
      session_(std::make_unique<DiagSession>(state_, options_.session))
{
    const float scale = state_.settings.windowScale;
    setWindowTitle(kWindowTitle);
    move(state_.settings.windowX, state_.settings.windowY);

    client_ = new QWidget(this);
    client_->setFixedSize(Scaled(scale, kDesignWidth), Scaled(scale, kDesignHeight));
    FillBackground(client_, kBackgroundRed);
    setCentralWidget(client_);
    BuildMenu();

    const ViewFonts fonts{state_.bigFont, state_.normalFont};
    measurements_ = new MeasurementsView(client_, scale, fonts);
    faults_ = new FaultsView(client_, scale);
    faults_->hide();
    diagram_ = new DiagramWindow(this, state_.paths.directory);
    diagram_->hide();
    actors_ = new ActorsView(client_, scale, fonts);
    actors_->hide();
    coTrim_ = new CoTrimView(client_, scale, fonts);
    coTrim_->hide();
    report_ = new ReportView(client_, scale);
    report_->hide();
    state_.viewMode = ViewMeasurements;
    ShowMeasurements(true);

    BuildStatusBar();
    info_ = new QLabel(client_);
    info_->setGeometry(ScaledRect(scale, 250, 460, 370, 30));
    info_->setFont(state_.bigFont);
    info_->setTextFormat(Qt::PlainText);
    FillBackground(info_, kBackgroundRed);
    BuildQuickMenu();
    logo_ = new Logo(client_);
    logo_->move(Scaled(scale, 590), Scaled(scale, 360));
    connect(logo_, &Logo::leftClicked, this, &MainWindow::ShowQuickMenu);
    connect(logo_, &Logo::rightClicked, this, &MainWindow::OpenHelp);

    WireViews();
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    WireSession();
    state_.onEcuChosen = [this] {
        for (int id : {ItemEcuRead, ItemEcuWrite, ItemEeprom})
            items_[id]->setEnabled(false);
    };
    state_.faults.changed = [this] {
        QMetaObject::invokeMethod(
            this, [this] { MirrorFaults(); }, Qt::QueuedConnection);
    };
    session_->report().changed = [this](ReportChange change, int line) {
        QMetaObject::invokeMethod(
            this, [this, change, line] { MirrorReport(change, line); }, Qt::QueuedConnection);
    };
}

MainWindow::~MainWindow()
{
    StopAll();
    actorsController_.reset();
    session_->waitStopped();
    state_.faults.changed = nullptr;
    state_.onEcuChosen = nullptr;
    session_->report().changed = nullptr;
}

void MainWindow::WireSession()
{
    DiagSession* s = session_.get();
    connect(s, &DiagSession::question, this, [this](const QString& text) {
        if (!stopped_)
            ShowMessage(kWindowTitle, text);
        session_->answerQuestion();
    });
    connect(s, &DiagSession::ecuInfoText, this, &MainWindow::SetEcuInfoText);
    connect(s, &DiagSession::connected, this, &MainWindow::OnConnected);
    connect(s, &DiagSession::linkStateChanged, this, [this](LinkState link) {
        if (link == LinkState::Disconnecting)
            OnDisconnecting();
        else if (link == LinkState::Reconnecting)
            OnReconnecting();
    });
    connect(s, &DiagSession::reconnectCountdown, this, [this](int seconds) {
        if (stopped_ || !linkActive_)
            return;
        status_[2]->setText(seconds > 0
                                ? TextOrEnglish(state_.texts, QStringLiteral("Link_1")).arg(seconds)
                                : TextOrEnglish(state_.texts, QStringLiteral("Link_2")));
    });
    connect(s, &DiagSession::disconnected, this, &MainWindow::Disconnect);
    connect(s, &DiagSession::rowsRead, this, &MainWindow::DisplayRows);
    connect(s, &DiagSession::surveyStep, this, &MainWindow::OnSurveyStep);
    connect(s, &DiagSession::surveyFinished, this, &MainWindow::OnSurveyFinished);
    connect(s, &DiagSession::faultsDone, this, [this] {
        faultsBusy_ = false;
        SetFaultButtonsDisabled(faultButtonsDisabled_);
    });
    connect(s, &DiagSession::reportDone, this, &MainWindow::OnReportDone);
    connect(s, &DiagSession::logProblem, this,
            [this](const QString& text) { status_[2]->setText(text); });
    connect(s, &DiagSession::stopped, this, [this] {
        if (stopped_)
            emit quitRequested();
    });
}

void MainWindow::BuildMenu()
{
    auto* bar = menuBar();
    auto add = [this](QMenu* menu, int id, bool checkable = false) {
        QAction* action = menu->addAction(QString());
        action->setCheckable(checkable);
        connect(action, &QAction::triggered, this, [this, id] { HandleMenu(id); });
        items_[id] = action;
    };
    titles_[0] = bar->addMenu(QString());
    add(titles_[0], ItemConnect);
    titles_[0]->addSeparator();
    add(titles_[0], ItemPreferences);
    add(titles_[0], ItemOpenLog);
    titles_[0]->addSeparator();
    add(titles_[0], ItemQuit);
    titles_[1] = bar->addMenu(QString());
    add(titles_[1], ItemMeasurements, true);
    add(titles_[1], ItemDiagram, true);
    add(titles_[1], ItemFaults, true);
    add(titles_[1], ItemActors, true);
    add(titles_[1], ItemCoTrim, true);
    add(titles_[1], ItemReport, true);
    titles_[2] = bar->addMenu(QString());
    add(titles_[2], ItemEcuRead);
    add(titles_[2], ItemEcuWrite);
    add(titles_[2], ItemEeprom);
    titles_[3] = bar->addMenu(QString());
    add(titles_[3], ItemAbout);
}

void MainWindow::BuildStatusBar()
{
    const int widths[3] = {150, 100, 350}; // pixels, not scaled
    for (int i = 0; i < 3; ++i) {
        status_[i] = new QLabel(this);
        status_[i]->setFixedWidth(widths[i]);
        status_[i]->setTextFormat(Qt::PlainText);
        status_[i]->setAlignment(i < 2 ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignVCenter));
        statusBar()->addWidget(status_[i]);
    }
    statusBar()->setSizeGripEnabled(false);
    status_[0]->setText(state_.link.model);
    status_[2]->setText(state_.settings.logging != 0
                            ? state_.paths.directory + state_.paths.baseName +
                                  QStringLiteral(".log")
                            : IdleLogFieldText(state_.paths));
    if (UsesUserFolders(state_.paths))
        status_[2]->setToolTip(DataLocationText(state_.paths));
}

void MainWindow::BuildQuickMenu()
{
    const float scale = state_.settings.windowScale;
    quickMenu_ = new QFrame(client_);
    quickMenu_->setGeometry(ScaledRect(scale, 0, 120, 800, 420));
    FillBackground(quickMenu_, kBackgroundRed);
    const int xs[7] = {10, 110, 230, 330, 430, 530, 680};
    const int ids[7] = {ItemConnect, ItemQuit, ItemMeasurements, ItemFaults, ItemActors,
                        ItemCoTrim,  -1};
    for (int i = 0; i < 7; ++i) {
        quickButtons_[i] = new QPushButton(quickMenu_);
        quickButtons_[i]->setGeometry(ScaledRect(scale, xs[i], 10, 100, 100));
        const int id = ids[i];
        connect(quickButtons_[i], &QPushButton::clicked, this,
                [this, id] { QuickMenuPressed(id); });
    }
    quickButtons_[6]->setText(QStringLiteral("X"));
    quickMenu_->hide();
}

void MainWindow::FinishStartup()
{
    ApplyLanguage(state_.settings.language);
    if (!state_.link.ecuId.isEmpty()) {
        RefreshChoosers(state_, false, [this] { FillActorsList(); });
        MirrorChoosers();
    }
    SetLinkMenuState(true);
    state_.flags.quitFlag = 0;
    show();
    if (state_.link.model.isEmpty()) {
        state_.setupPending = 1;
        OpenSettings();
    } else {
        SetEcuInfoText(QStringLiteral("IAW ") + state_.link.ecuId + QStringLiteral(" ") +
                       state_.link.ecuVariant);
        for (int id : {ItemEcuRead, ItemEcuWrite, ItemEeprom})
            items_[id]->setEnabled(true);
    }
}

void MainWindow::ApplyLanguage(const QString& name)
{
    LanguageTexts& t = state_.texts;
    if (!LoadLanguage(state_.paths, name, t))
        return;
    state_.settings.language = name;

    titles_[0]->setTitle(t.Text(QStringLiteral("Menu_1")));
    titles_[1]->setTitle(t.Text(QStringLiteral("Menu_2")));
    titles_[2]->setTitle(t.Text(QStringLiteral("Menu_4")));
    titles_[3]->setTitle(t.Text(QStringLiteral("Menu_3")));
    const std::pair<int, const char*> itemKeys[] = {
        {ItemConnect, "Menu_11a"},     {ItemPreferences, "Menu_12"}, {ItemQuit, "Menu_13"},
        {ItemMeasurements, "Menu_21"}, {ItemFaults, "Menu_22"},      {ItemDiagram, "Menu_23"},
        {ItemActors, "Menu_24"},       {ItemCoTrim, "Menu_25"},      {ItemReport, "Menu_26"},
        {ItemEcuRead, "Menu_41"},      {ItemEcuWrite, "Menu_42"},    {ItemEeprom, "Menu_43"},
        {ItemAbout, "Menu_31"}};
    for (const auto& [id, key] : itemKeys)
        items_[id]->setText(t.Text(QString::fromLatin1(key)));
    // English when an older settings file lacks the key.
    items_[ItemOpenLog]->setText(LogWindowText(t, QStringLiteral("Log_1")));

    info_->setText(t.Text(QStringLiteral("Info_1")));
    measurements_->ecuInfoCaption->setText(t.Text(QStringLiteral("View_11")));
    measurements_->readAllButton->setText(t.Text(QStringLiteral("View_12")));
    measurements_->statusCaption->setText(t.Text(QStringLiteral("Value_13")));
    faults_->newCaption->setText(t.Text(QStringLiteral("View_21")));
    faults_->storedCaption->setText(t.Text(QStringLiteral("View_22")));
    faults_->readButton->setText(t.Text(QStringLiteral("View_23")));
    faults_->clearButton->setText(t.Text(QStringLiteral("View_24")));
    diagram_->ApplyTexts(t);
    coTrim_->startButton->setText(t.Text(QStringLiteral("View_51")));
    report_->readButton->setText(t.Text(
        session_->report().Building() ? QStringLiteral("Report_5") : QStringLiteral("Report_2")));
    report_->saveButton->setText(t.Text(QStringLiteral("Report_3")));
    status_[1]->setText(t.Text(QStringLiteral("PStatus_2")));
    if (settings_)
        settings_->ApplyTexts();
    logo_->setToolTip(t.Text(QStringLiteral("Tip_2")));
    if (actorsController_ && actorsController_->ButtonState() == ActorsIdle &&
        actorsController_->ButtonEnabled())
        actors_->startButton->setText(t.Text(QStringLiteral("View_100")));

    if (state_.ecu) {
        RefreshChoosers(state_, true, [this] { FillActorsList(); });
        MirrorChoosers();
    }
}

void MainWindow::SetLinkMenuState(bool disconnected)
{
    for (int id : {ItemFaults, ItemDiagram, ItemActors, ItemReport})
        items_[id]->setEnabled(!disconnected);
    items_[ItemCoTrim]->setEnabled(HasCoTrim() && !disconnected);
    if (state_.link.ecuId.isEmpty() || state_.link.port.isEmpty()) {
        for (int id : {ItemConnect, ItemEcuRead, ItemEcuWrite, ItemEeprom})
            items_[id]->setEnabled(false);
    } else {
        items_[ItemConnect]->setEnabled(true);
        for (int id : {ItemEcuRead, ItemEcuWrite, ItemEeprom})
            items_[id]->setEnabled(disconnected);
    }
}

void MainWindow::PostMenu(int id)
{
    QMetaObject::invokeMethod(
        this, [this, id] { HandleMenu(id); }, Qt::QueuedConnection);
}

void MainWindow::HandleMenu(int id)
{
    if (stopped_)
        return;
    switch (id) {
    case ItemConnect:
        // The item's text toggles with the link; the link state itself decides, so that a
        // language whose Connect and Disconnect texts are equal (or missing) still works.
        if (!linkActive_)
            Connect();
        else
            session_->disconnectLink();
        break;
    case ItemPreferences:
        OpenSettings();
        break;
    case ItemOpenLog:
        OpenLog(AskLogFile(this, state_.settings.loggingDirectory, state_.texts));
        break;
    case ItemQuit:
        StopAll();
        break;
    case ItemMeasurements:
    case ItemFaults:
    case ItemActors:
    case ItemCoTrim:
    case ItemReport:
        ShowView(id);
        break;
    case ItemDiagram:
        ShowDiagram(!diagram_->isVisible());
        break;
    case ItemEcuRead:
    case ItemEcuWrite:
    case ItemEeprom: {
        const QString kind = id == ItemEcuRead    ? QStringLiteral("Reader")
                             : id == ItemEcuWrite ? QStringLiteral("Writer")
                                                  : QStringLiteral("EEPROMTool");
        ExternalToolHooks hooks;
        hooks.mainWindow = this;
        hooks.showMessage = [this](const QString& title, const QString& text) {
            ShowMessage(title, text);
        };
        RunExternalTool(state_.paths.ProgramDirectory(), state_.link, kind, hooks);
        break;
    }
    case ItemAbout:
        // The about text, then where the settings file and the written files are.
        ShowMessage(kWindowTitle, AboutText(state_.texts) + QStringLiteral("\n\n") +
                                      DataLocationText(state_.paths));
        break;
    default:
        break;
    }
}

void MainWindow::OpenSettings()
{
    if (settings_) {
        settings_->raise();
        return;
    }
    SettingsHooks hooks;
    hooks.applyLanguage = [this](const QString& name) { ApplyLanguage(name); };
    hooks.setEcuInfoText = [this](const QString& text) { SetEcuInfoText(text); };
    hooks.updateCoTrimMenu = [this] {
        items_[ItemCoTrim]->setEnabled(HasCoTrim() &&
                                       state_.flags.workerState.load() == kWorkerRunning);
    };
    hooks.setStatusModel = [this](const QString& model) { status_[0]->setText(model); };
    hooks.setStatusLog = [this](const QString& text) {
        status_[2]->setText(text.trimmed().isEmpty() ? IdleLogFieldText(state_.paths) : text);
    };
    hooks.debugChanged = [this] {
        if (state_.viewMode == ViewMeasurements)
            ShowMeasurements(true);
    };
    hooks.choosersRefreshed = [this] {
        MirrorChoosers();
        FillActorsList();
        if (state_.viewMode == ViewMeasurements)
            ShowMeasurements(true);
    };
    hooks.enableConnect = [this] { SetLinkMenuState(true); };
    hooks.askWindowScale = [this] { return AskWindowScale(state_.texts, this, state_.bigFont); };
    hooks.stopAll = [this] { StopAll(); };
    if (options_.discoverPorts)
        hooks.discoverPorts = options_.discoverPorts;
    settings_ = OpenSettingsDialog(state_, state_.restartPending, state_.setupPending,
                                   std::move(hooks), this);
}

void MainWindow::OpenLog(const QString& path)
{
    if (path.isEmpty())
        return;
    QString error;
    if (!OpenLogWindow(this, path, state_.texts, &error))
        ShowMessage(kWindowTitle, error);
}

void MainWindow::SetEcuInfoText(const QString& text)
{
    measurements_->ecuInfoText->setPlainText(text);
}

// ---- connection control ----

void MainWindow::Connect()
{
    if (state_.link.ecuId.isEmpty() || state_.link.port.isEmpty() || !state_.ecu)
        return;
    // The worker's failed open only ends in "Ignition off"; a refused device needs the user to
    // join its group, which nothing else would tell.
    const QString advice = SerialPermissionAdvice(state_.link.port);
    if (!advice.isEmpty())
        ShowMessage(kWindowTitle, advice);
    std::array<QString, 8> header;
    const QStringList texts = ChooserTexts();
    for (int i = 0; i < 8; ++i)
        header[i] = texts.value(i);
    if (!session_->connectLink(header))
        return;
    linkActive_ = true;
    items_[ItemConnect]->setEnabled(false);
    items_[ItemPreferences]->setEnabled(false);
}

void MainWindow::OnConnected()
{
    if (!linkActive_ || stopped_)
        return;
    RestoreLogField();
    status_[1]->setText(state_.texts.Text(QStringLiteral("PStatus_1")));
    items_[ItemConnect]->setText(state_.texts.Text(QStringLiteral("Menu_11b")));
    measurements_->readAllButton->setEnabled(true);
    SetFaultButtonsDisabled(false);
    actorsController_->SetEnabled(true);
    SetLinkMenuState(false);
}

void MainWindow::OnDisconnecting()
{
    // The link is ending: the controls go grey and the values show dashes at once; the rest
    // follows when the session reports the link down.
    if (stopped_)
        return;
    linkActive_ = false;
    items_[ItemConnect]->setEnabled(false);
    SetFaultButtonsDisabled(true);
    actorsController_->SetEnabled(false);
    measurements_->readAllButton->setEnabled(false);
    for (int r = 0; r < kDisplayRows; ++r) {
        if (state_.rows[r].valueIndex > 0) {
            measurements_->valueTexts[r]->setText(QStringLiteral("----"));
            measurements_->rawTexts[r]->clear();
            measurements_->bars[r]->setValue(0);
        }
    }
    if (!measurements_->statusText->text().isEmpty())
        measurements_->statusText->clear();
}

void MainWindow::OnReconnecting()
{
    // The values show dashes as on a disconnect, but the link stays the user's: Disconnect
    // ends the retries at once.
    if (stopped_)
        return;
    OnDisconnecting();
    linkActive_ = true;
    items_[ItemConnect]->setEnabled(true);
    status_[1]->setText(state_.texts.Text(QStringLiteral("PStatus_2")));
    if (logFieldBeforeRetry_.isNull())
        logFieldBeforeRetry_ = status_[2]->text();
}

void MainWindow::RestoreLogField()
{
    if (!logFieldBeforeRetry_.isNull())
        status_[2]->setText(logFieldBeforeRetry_);
    logFieldBeforeRetry_ = QString();
}

void MainWindow::Disconnect()
{
    if (stopped_)
        return;
    RestoreLogField();
    linkActive_ = false;
    status_[1]->setText(state_.texts.Text(QStringLiteral("PStatus_2")));
    ShowMessage(kWindowTitle, state_.texts.Text(QStringLiteral("View_56")));
    items_[ItemConnect]->setText(state_.texts.Text(QStringLiteral("Menu_11a")));
    items_[ItemPreferences]->setEnabled(true);
    SetLinkMenuState(true);
    PostMenu(ItemMeasurements);
}

void MainWindow::SetFaultButtonsDisabled(bool disabled)
{
    faultButtonsDisabled_ = disabled;
    const bool enabled = !disabled && !faultsBusy_;
    faults_->readButton->setEnabled(enabled);
    faults_->clearButton->setEnabled(enabled);
}

void MainWindow::StopAll()
{
    if (stopped_)
        return;
    stopped_ = true;
    // The session completes the logs as soon as its threads have stopped and then reports
    // stopped(), which ends the event loop; the window keeps painting meanwhile.
    session_->quit();
    if (procedureTimer_)
        procedureTimer_->stop();
    if (selfLearningTimer_)
        selfLearningTimer_->stop();
    if (settings_)
        settings_->hide();
    diagram_->hide();
    if (isVisible())
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

bool MainWindow::SaveOnExit()
{
    session_->waitStopped();
    velmoro::Settings saved = state_.settings;
    saved.windowX = pos().x();
    saved.windowY = pos().y();
    const QStringList texts = ChooserTexts();
    for (int i = 0; i < 8; ++i)
        saved.values[i] = texts.value(i);
    state_.settings.values = saved.values;
    SaveSettingsOnExit(state_.paths, saved, state_.link, state_.restartPending != 0);
    return state_.restartPending != 0;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    StopAll();
    event->accept();
}

void MainWindow::ShowMessage(const QString& title, const QString& text)
{
    if (options_.showMessage) {
        options_.showMessage(title, text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void MainWindow::OpenHelp()
{
    const QString path =
        HelpPagePath(state_.paths.ProgramDirectory(), QStringLiteral(VELMORO_DOCS_DIR),
                     [](const QString& candidate) { return QFileInfo::exists(candidate); });
    if (options_.openHelp)
        options_.openHelp(path);
    else
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

QAction* MainWindow::MenuItem(int id) const
{
    auto it = items_.find(id);
    return it == items_.end() ? nullptr : it->second;
}

QMenu* MainWindow::MenuTitle(int index) const
{
    return index >= 0 && index < 4 ? titles_[index] : nullptr;
}

QString MainWindow::StatusText(int field) const
{
    return field >= 0 && field < 3 ? status_[field]->text() : QString();
}

// ---- quick menu ----

void MainWindow::ShowQuickMenu()
{
    LanguageTexts& t = state_.texts;
    quickButtons_[0]->setText(items_[ItemConnect]->text());
    quickButtons_[1]->setText(t.Text(QStringLiteral("Menu_13")));
    quickButtons_[2]->setText(t.Text(QStringLiteral("Menu_21")));
    quickButtons_[3]->setText(t.Text(QStringLiteral("Menu_22")));
    quickButtons_[4]->setText(t.Text(QStringLiteral("Menu_24")));
    quickButtons_[5]->setText(t.Text(QStringLiteral("Menu_25")));
    const bool running = state_.flags.workerState.load() == kWorkerRunning;
    quickButtons_[3]->setEnabled(running);
    quickButtons_[4]->setEnabled(running);
    quickButtons_[5]->setEnabled(running && HasCoTrim());
    quickButtons_[0]->setEnabled(items_[ItemConnect]->isEnabled());
    info_->hide();
    logo_->hide();
    SetHeaderGadgetsVisible(false);
    quickMenu_->show();
    quickMenu_->raise();
    quickMenuShown_ = true;
}

void MainWindow::QuickMenuPressed(int id)
{
    if (id >= 0)
        PostMenu(id);
    quickMenu_->hide();
    info_->show();
    logo_->show();
    quickMenuShown_ = false;
    SetHeaderGadgetsVisible(true);
}

void MainWindow::SetHeaderGadgetsVisible(bool visible)
{
    if (state_.viewMode == ViewMeasurements) {
        measurements_->ecuInfoCaption->setVisible(visible);
        measurements_->ecuInfoText->setVisible(visible);
        measurements_->readAllButton->setVisible(visible);
    } else if (state_.viewMode == ViewFaults) {
        faults_->readButton->setVisible(visible);
        faults_->clearButton->setVisible(visible && state_.ecu && state_.ecu->hasStoredFaults());
    }
}

} // namespace velmoro
