// The main window: construction, the session's signals wired to the panels, connection control
// and quitting. Switching between the views is in MainWindowViews.cpp.
#include "ui/MainWindow.h"

#include "config/DataLocations.h"
#include "config/LanguageTexts.h"
#include "config/Settings.h"
#include "ecu/RefreshCycle.h"
#include "link/PortDiscovery.h"
#include "ui/AboutBox.h"
#include "ui/ActorsPanel.h"
#include "ui/DiagramWindow.h"
#include "ui/ExternalTools.h"
#include "ui/FaultsPanel.h"
#include "ui/Layout.h"
#include "ui/LinkStatus.h"
#include "ui/LogWindow.h"
#include "ui/Logo.h"
#include "ui/MeasurementsPanel.h"
#include "ui/ReportPanel.h"
#include "ui/SettingsDialog.h"
#include "ui/Views.h"
#include "ui/WindowScaleDialog.h"

#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QUrl>
#include <utility>

namespace velmoro {

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
    menu_ = std::make_unique<MainMenu>(
        this, state_, [this](int id) { HandleMenu(id); }, [this] { return HasCoTrim(); });

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

    const ShowMessageFn message = [this](const QString& title, const QString& text) {
        ShowMessage(title, text);
    };
    measurementsPanel_ =
        std::make_unique<MeasurementsPanel>(measurements_, diagram_, state_, *session_, message);
    faultsPanel_ = std::make_unique<FaultsPanel>(faults_, state_, *session_);
    actorsPanel_ = std::make_unique<ActorsPanel>(actors_, state_, *session_, message, [this] {
        // A running procedure stops at once; the window follows.
        session_->quit();
        QMetaObject::invokeMethod(
            this, [this] { StopAll(); }, Qt::QueuedConnection);
    });
    reportPanel_ = std::make_unique<ReportPanel>(
        report_, state_, *session_, message, [this] { return measurementsPanel_->EcuInfoText(); });
    state_.viewMode = ViewMeasurements;
    ShowMeasurements(true);

    menu_->BuildStatusBar(this);
    info_ = new QLabel(client_);
    info_->setGeometry(ScaledRect(scale, 250, 460, 370, 30));
    info_->setFont(state_.bigFont);
    info_->setTextFormat(Qt::PlainText);
    FillBackground(info_, kBackgroundRed);
    menu_->BuildQuickMenu(client_, [this](int id) { QuickMenuPressed(id); });
    logo_ = new Logo(client_);
    logo_->move(Scaled(scale, 590), Scaled(scale, 360));
    connect(logo_, &Logo::leftClicked, this, &MainWindow::ShowQuickMenu);
    connect(logo_, &Logo::rightClicked, this, &MainWindow::OpenHelp);
    connect(diagram_, &DiagramWindow::closeRequested, this, [this] { PostMenu(ItemDiagram); });
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    WireSession();
}

MainWindow::~MainWindow()
{
    StopAll();
    // No job of the session is left to hand a panel anything once it has stopped.
    session_->waitStopped();
}

void MainWindow::WireSession()
{
    DiagSession* s = session_.get();
    recorder_ = std::make_unique<RideRecorder>(*s, s->faults(), RideRecorderOptions{});
    auto* markKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_M), this);
    connect(markKey, &QShortcut::activated, this, &MainWindow::MarkRide);
    connect(s, &DiagSession::question, this, [this](const QString& text) {
        if (!stopped_)
            ShowMessage(kWindowTitle, text);
        session_->answerQuestion();
    });
    connect(s, &DiagSession::identified, this,
            [this](const EcuInfo& info) { SetEcuInfoText(EcuInfoText(info)); });
    connect(s, &DiagSession::connected, this, &MainWindow::OnConnected);
    connect(s, &DiagSession::linkStateChanged, this, [this](LinkState link) {
        if (link == LinkState::Disconnecting)
            OnDisconnecting();
        else if (link == LinkState::Reconnecting)
            OnReconnecting();
    });
    connect(s, &DiagSession::reconnectCountdown, this, [this](int seconds) {
        if (!stopped_ && linkActive_)
            menu_->ShowRetryCountdown(seconds);
    });
    connect(s, &DiagSession::fastRefreshEnded, this, [this] {
        ShowLinkFailure(menu_->Status(StatusLog),
                        TextOrEnglish(state_.texts, QStringLiteral("Fast_2")));
    });
    connect(s, &DiagSession::adapterRestarted, this,
            [this](const QString& text) { ShowLinkFailure(menu_->Status(StatusLog), text); });
    connect(s, &DiagSession::disconnected, this, &MainWindow::Disconnect);
    connect(s, &DiagSession::rowsRead, this, [this](const RowsSnapshot& rows) {
        // A pass that ended before the link went down may arrive after it did: the dashes stay.
        if (state_.viewMode == ViewMeasurements && !stopped_ && linkActive_)
            measurementsPanel_->DisplayRows(rows);
    });
    connect(s, &DiagSession::surveyStep, this,
            [this](int counter) { measurementsPanel_->SurveyStep(counter); });
    connect(s, &DiagSession::surveyFinished, this,
            [this] { measurementsPanel_->SurveyFinished(linkActive_); });
    // A job that did not do what was asked says so in the status field.
    connect(s, &DiagSession::jobEnded, this, [this](const JobResult& result) {
        const QString text = JobResultText(state_.texts, result);
        if (!text.isEmpty())
            ShowLinkFailure(menu_->Status(StatusLog), text);
    });
    connect(s, &DiagSession::faultsDone, this, [this] { faultsPanel_->JobDone(); });
    connect(s, &DiagSession::reportDone, this, [this] { reportPanel_->JobDone(); });
    connect(s, &DiagSession::logProblem, this,
            [this](const QString& text) { menu_->Status(StatusLog)->setText(text); });
    connect(s, &DiagSession::linkFailed, this, [this](LinkFailure failure, const QString& text) {
        ShowLinkFailure(menu_->Status(StatusLog), text);
        // A link that never came up says why in the box that ends it.
        if (!linkUp_)
            connectFailure_ = {failure, text};
    });
    connect(s, &DiagSession::connectProgress, this, [this](ConnectStep, const QString& text) {
        if (linkActive_ && !linkUp_ && !stopped_)
            menu_->Status(StatusLink)->setText(text);
    });
    connect(s, &DiagSession::stopped, this, [this] {
        if (stopped_)
            emit quitRequested();
    });
}

void MainWindow::FinishStartup(const QString& settingsProblem)
{
    // Start-up read the texts with the settings; without a language there are none to show.
    if (!state_.texts.Language().isEmpty())
        ShowTexts();
    if (!state_.link.ecuId.isEmpty()) {
        FillChoosers(false);
        measurementsPanel_->MirrorChoosers();
    }
    SetLinkMenuState(true);
    show();
    // An empty model list has a cause the user can mend: the file is named with its fault.
    if (!settingsProblem.isEmpty())
        ShowMessage(kWindowTitle, settingsProblem);
    if (state_.link.model.isEmpty()) {
        state_.setupPending = 1;
        OpenSettings();
    } else {
        SetEcuInfoText(ModelEcuText(state_.link));
        menu_->SetToolsEnabled(true);
    }
}

void MainWindow::ApplyLanguage(const QString& name)
{
    LanguageTexts& t = state_.texts;
    if (!LoadLanguage(state_.paths, name, t))
        return;
    state_.settings.language = name;
    session_->applySettings(state_);
    ShowTexts();
}

void MainWindow::ShowTexts()
{
    LanguageTexts& t = state_.texts;
    menu_->ApplyTexts();
    info_->setText(t.Text(QStringLiteral("Info_1")));
    measurementsPanel_->ApplyTexts();
    faultsPanel_->ApplyTexts();
    diagram_->ApplyTexts(t);
    coTrim_->startButton->setText(t.Text(QStringLiteral("View_51")));
    reportPanel_->ApplyTexts();
    if (settings_)
        settings_->ApplyTexts();
    logo_->setToolTip(t.Text(QStringLiteral("Tip_2")));
    actorsPanel_->ApplyTexts();

    if (FillChoosers(true))
        measurementsPanel_->MirrorChoosers();
}

bool MainWindow::FillChoosers(bool keepPositions)
{
    const std::shared_ptr<const Ecu> family = session_->family();
    if (!family)
        return false;
    RefreshChoosers(state_, *family, keepPositions);
    actorsPanel_->FillList();
    return true;
}

void MainWindow::SetLinkMenuState(bool disconnected)
{
    menu_->SetLinkMenuState(disconnected);
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
        StartExternalTool(state_.paths.ProgramDirectory(), state_.link, kind, hooks);
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
    SettingsServices services;
    services.askWindowScale = [this] { return AskWindowScale(state_.texts, this, state_.bigFont); };
    if (options_.discoverPorts)
        services.discoverPorts = options_.discoverPorts;
    services.languageNames = [this] { return state_.languages; };
    settings_ = OpenSettingsDialog(state_, state_.restartPending, state_.setupPending,
                                   std::move(services), this);
    connect(settings_, &SettingsDialog::languageChosen, this, &MainWindow::ApplyLanguage);
    connect(settings_, &SettingsDialog::modelChosen, this, &MainWindow::SettingsModelChosen);
    connect(settings_, &SettingsDialog::debugChanged, this, [this] {
        if (state_.viewMode == ViewMeasurements)
            ShowMeasurements(true);
    });
    connect(settings_, &SettingsDialog::loggingChanged, this,
            [this](const QString& text) { menu_->SetLogField(text); });
    connect(settings_, &SettingsDialog::settingsTaken, this, &MainWindow::SettingsTaken);
    // Quitting so that the exit saves the settings and starts the program again.
    connect(settings_, &SettingsDialog::closed, this, [this] {
        if (state_.restartPending == 1)
            StopAll();
    });
}

void MainWindow::TakeSettingsFamily()
{
    session_->applySettings(state_);
    if (const std::shared_ptr<const Ecu> family = session_->family())
        state_.valueNames = family->valueNames();
    menu_->SetToolsEnabled(false);
}

void MainWindow::SettingsModelChosen()
{
    TakeSettingsFamily();
    SetEcuInfoText(ModelEcuText(state_.link));
    menu_->Item(ItemCoTrim)->setEnabled(HasCoTrim() && session_->workerRunning());
    menu_->Status(StatusModel)->setText(state_.link.model);
}

void MainWindow::SettingsTaken(bool firstSetUp)
{
    TakeSettingsFamily();
    menu_->Status(StatusModel)->setText(state_.link.model);
    if (state_.link.ecuId.isEmpty())
        return;
    FillChoosers(true);
    measurementsPanel_->MirrorChoosers();
    if (state_.viewMode == ViewMeasurements)
        ShowMeasurements(true);
    if (firstSetUp)
        SetEcuInfoText(ModelEcuText(state_.link));
    SetLinkMenuState(true);
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
    measurementsPanel_->SetEcuInfoText(text);
}

// ---- connection control ----

void MainWindow::Connect()
{
    // The link takes the settings as they are now.
    session_->applySettings(state_);
    if (state_.link.ecuId.isEmpty() || state_.link.port.isEmpty() || !session_->family())
        return;
    std::array<QString, 8> header;
    const QStringList texts = measurementsPanel_->ChooserTexts();
    for (int i = 0; i < 8; ++i)
        header[i] = texts.value(i);
    ClearLinkFailure(menu_->Status(StatusLog));
    // The ride's event file comes with the CSV log; fault reads of its own only when set.
    recorder_->setOptions({state_.settings.faultsEvery, 0});
    connectFailure_ = {};
    std::array<int, 8> indices;
    for (int i = 0; i < 8; ++i)
        indices[i] = state_.rows[static_cast<std::size_t>(i)].valueIndex;
    if (!session_->connectLink(header, indices))
        return;
    linkActive_ = true;
    setWindowTitle(LinkWindowTitle(state_.texts, state_.link.port, true));
    // The attempt can be stopped at once: the item reads Disconnect while the steps show in the
    // link field.
    menu_->ShowConnectText(true);
    menu_->Item(ItemConnect)->setEnabled(true);
    menu_->Item(ItemPreferences)->setEnabled(false);
}

void MainWindow::MarkRide()
{
    if (!linkActive_ || stopped_)
        return;
    QLabel* field = menu_->Status(StatusLog);
    if (recorder_->mark())
        field->setText(TextOrEnglish(state_.texts, QStringLiteral("Rec_1"))
                           .arg(QString::number(session_->linkTimeMs() / 1000.0, 'f', 1)));
    else
        field->setText(TextOrEnglish(state_.texts, QStringLiteral("Rec_2")));
}

void MainWindow::OnConnected()
{
    if (!linkActive_ || stopped_)
        return;
    linkUp_ = true;
    menu_->RestoreLogField();
    menu_->ShowLinkField(true);
    menu_->ShowConnectText(true);
    measurementsPanel_->LinkUp();
    faultsPanel_->SetButtonsDisabled(false);
    actorsPanel_->SetEnabled(true);
    SetLinkMenuState(false);
}

void MainWindow::OnDisconnecting()
{
    // The link is ending: the controls go grey and the values show dashes at once; the rest
    // follows when the session reports the link down.
    if (stopped_)
        return;
    linkActive_ = false;
    linkUp_ = false;
    menu_->Item(ItemConnect)->setEnabled(false);
    faultsPanel_->SetButtonsDisabled(true);
    actorsPanel_->SetEnabled(false);
    measurementsPanel_->LinkGoingDown();
}

void MainWindow::OnReconnecting()
{
    // The values show dashes as on a disconnect, but the link stays the user's: Disconnect
    // ends the retries at once.
    if (stopped_)
        return;
    OnDisconnecting();
    linkActive_ = true;
    menu_->Item(ItemConnect)->setEnabled(true);
    menu_->ShowLinkField(false);
    menu_->KeepLogFieldForRetry();
}

void MainWindow::Disconnect()
{
    if (stopped_)
        return;
    menu_->RestoreLogField();
    linkActive_ = false;
    linkUp_ = false;
    setWindowTitle(LinkWindowTitle(state_.texts, state_.link.port, false));
    menu_->ShowLinkField(false);
    // "Ignition off" where the ECU is what stayed silent (and after every link that was up); a
    // port or adapter that failed is named alone, since the ignition is not the trouble there.
    const QString ignitionOff = state_.texts.Text(QStringLiteral("View_56"));
    const auto [failure, failureText] = std::exchange(connectFailure_, {});
    if (failureText.isEmpty())
        ShowMessage(kWindowTitle, ignitionOff);
    else if (EcuStayedSilent(failure))
        ShowMessage(kWindowTitle, ignitionOff + QStringLiteral("\n\n") + failureText);
    else
        ShowMessage(kWindowTitle, failureText);
    menu_->ShowConnectText(false);
    menu_->Item(ItemPreferences)->setEnabled(true);
    SetLinkMenuState(true);
    PostMenu(ItemMeasurements);
}

void MainWindow::StopAll()
{
    if (stopped_)
        return;
    stopped_ = true;
    // The session completes the logs as soon as its threads have stopped and then reports
    // stopped(), which ends the event loop; the window keeps painting meanwhile.
    session_->quit();
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
    // The language whose texts are shown; none loaded leaves the file's line as it is.
    saved.language = state_.texts.Language();
    saved.windowX = pos().x();
    saved.windowY = pos().y();
    const QStringList texts = measurementsPanel_->ChooserTexts();
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
    return menu_->Item(id);
}

QMenu* MainWindow::MenuTitle(int index) const
{
    return menu_->Title(index);
}

QString MainWindow::StatusText(int field) const
{
    return menu_->StatusText(field);
}

} // namespace velmoro
