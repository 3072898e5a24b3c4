// The settings dialog: opening rules, immediate reactions and the closing steps.
#include "ui/SettingsDialog.h"

#include "config/LanguageTexts.h"
#include "ecu/CoreState.h"
#include "ecu/Ecu.h"
#include "link/PortDiscovery.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFontMetrics>
#include <QFutureWatcher>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTreeView>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cmath>

namespace velmoro {

namespace {

// The second column of the port list: the port's own description, or what the program knows.
QString PortDescription(LanguageTexts& texts, const PortEntry& entry)
{
    if (entry.presence == PortPresence::Absent)
        return TextOrEnglish(texts, QStringLiteral("Port_1"));
    if (entry.presence == PortPresence::Unavailable)
        return TextOrEnglish(texts, QStringLiteral("Port_2"));
    if (entry.kind == PortKind::Simulator)
        return TextOrEnglish(texts, QStringLiteral("Port_3"));
    if (entry.kind == PortKind::Network)
        return TextOrEnglish(texts, QStringLiteral("Port_6"));
    return entry.description;
}

// What the port search hands back to the window's thread.
struct PortSearch {
    QList<PortEntry> entries;
    int selected = -1;
};

} // namespace

SettingsDialog::SettingsDialog(CoreState& state, int& restartPending, int& setupPending,
                               SettingsServices services, QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      state_(state), restartPending_(restartPending), setupPending_(setupPending),
      services_(std::move(services))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::WindowModal);
    // Taller than the tabs' first options need: the later options sit below them.
    setFixedSize(Scaled(300), Scaled(280));

    tabs_ = new QTabWidget(this);
    tabs_->setGeometry(Scaled(10), Scaled(10), Scaled(280), Scaled(260));
    auto* general = new QWidget;
    auto* extras = new QWidget;
    tabs_->addTab(general, QString());
    tabs_->addTab(extras, QString());
    auto place = [this](QWidget* w, int x, int y, int wd, int h) {
        w->setGeometry(Scaled(x), Scaled(y), Scaled(wd), Scaled(h));
    };

    languageLabel_ = new QLabel(general);
    place(languageLabel_, 10, 15, 80, 20);
    languageList_ = new QComboBox(general);
    place(languageList_, 100, 10, 160, 25);
    portLabel_ = new QLabel(general);
    place(portLabel_, 10, 45, 80, 20);
    portList_ = new QComboBox(general);
    portList_->setEditable(true); // "/dev/rfcomm0" or "host:port" may be typed in
    portList_->setInsertPolicy(QComboBox::NoInsert);
    place(portList_, 100, 40, 160, 25);
    portNote_ = new QLabel(general);
    portNote_->setTextFormat(Qt::PlainText);
    portNote_->setWordWrap(true);
    portNote_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(portNote_, 10, 140, 260, 32);
    modelLabel_ = new QLabel(general);
    place(modelLabel_, 10, 75, 80, 20);
    modelList_ = new QComboBox(general);
    place(modelList_, 100, 70, 160, 25);
    maxWindowBox_ = new QCheckBox(general);
    place(maxWindowBox_, 10, 110, 280, 20);

    // As wide as the later options below them, so that no language's text is cut.
    debugBox_ = new QCheckBox(extras);
    place(debugBox_, 10, 10, 250, 20);
    loggingBox_ = new QCheckBox(extras);
    place(loggingBox_, 10, 40, 250, 20);
    csvBox_ = new QCheckBox(extras);
    place(csvBox_, 10, 70, 250, 20);
    directoryLabel_ = new QLabel(extras);
    place(directoryLabel_, 10, 100, 200, 20);
    directoryField_ = new QLineEdit(extras);
    directoryField_->setReadOnly(true); // changed only through the chooser
    place(directoryField_, 10, 130, 210, 20);
    directoryButton_ = new QPushButton(QStringLiteral("..."), extras);
    place(directoryButton_, 230, 130, 30, 20);
    reconnectBox_ = new QCheckBox(extras);
    place(reconnectBox_, 10, 165, 250, 20);
    fastRefreshBox_ = new QCheckBox(extras);
    place(fastRefreshBox_, 10, 195, 260, 20);

    // Content and opening rules, before any reaction is connected.
    const QStringList languages =
        services_.languageNames ? services_.languageNames() : LanguageSectionNames(state_.paths);
    languageList_->addItems(languages);
    languageList_->setCurrentIndex(
        std::max(0, static_cast<int>(languages.indexOf(state_.settings.language))));

    SearchPorts();

    int modelIndex = -1;
    for (int i = 0; i < state_.models.size(); ++i) {
        modelList_->addItem(state_.models[i].name);
        if (modelIndex < 0 && state_.models[i].name == state_.link.model)
            modelIndex = i;
    }
    if (modelIndex < 0 && !state_.models.isEmpty()) {
        modelIndex = 0;
        const ModelEntry& first = state_.models.first();
        state_.link.model = first.name;
        state_.link.ecuId = first.ecuId;
        state_.link.ecuVariant = first.ecuVariant;
    }
    modelList_->setCurrentIndex(modelIndex);

    maxWindowBox_->setChecked(state_.settings.maxWindow == 1);
    debugBox_->setChecked(state_.settings.debug == 1);
    loggingBox_->setChecked(state_.settings.logging == 1);
    csvBox_->setChecked(state_.settings.csv == 1);
    reconnectBox_->setChecked(state_.settings.reconnect != 0);
    fastRefreshBox_->setChecked(state_.settings.fastRefresh != 0);
    directoryField_->setText(state_.settings.loggingDirectory);
    ApplyTexts();

    connect(portList_, &QComboBox::currentIndexChanged, this, [this] { ShowPortNote(); });
    connect(portList_, &QComboBox::editTextChanged, this, [this] { ShowPortNote(); });
    connect(languageList_, &QComboBox::currentIndexChanged, this,
            &SettingsDialog::OnLanguageChanged);
    connect(modelList_, &QComboBox::currentIndexChanged, this, &SettingsDialog::OnModelChanged);
    connect(debugBox_, &QCheckBox::toggled, this, &SettingsDialog::OnDebugToggled);
    connect(loggingBox_, &QCheckBox::toggled, this, &SettingsDialog::OnLoggingToggled);
    connect(csvBox_, &QCheckBox::toggled, this, &SettingsDialog::OnCsvToggled);
    connect(reconnectBox_, &QCheckBox::toggled, this,
            [this](bool on) { state_.settings.reconnect = on ? 1 : 0; });
    connect(fastRefreshBox_, &QCheckBox::toggled, this,
            [this](bool on) { state_.settings.fastRefresh = on ? 1 : 0; });
    connect(directoryButton_, &QPushButton::clicked, this, &SettingsDialog::OnDirectoryButton);
}

void SettingsDialog::ApplyTexts()
{
    LanguageTexts& t = state_.texts;
    setWindowTitle(QStringLiteral("Velmoro Diag ") + t.Text(QStringLiteral("Settings_1")));
    tabs_->setTabText(0, t.Text(QStringLiteral("Settings_2")));
    tabs_->setTabText(1, t.Text(QStringLiteral("Settings_7")));
    languageLabel_->setText(t.Text(QStringLiteral("Settings_11")));
    portLabel_->setText(t.Text(QStringLiteral("Settings_3")));
    modelLabel_->setText(t.Text(QStringLiteral("Settings_4")));
    maxWindowBox_->setText(t.Text(QStringLiteral("Settings_13")));
    debugBox_->setText(t.Text(QStringLiteral("Settings_8")));
    loggingBox_->setText(t.Text(QStringLiteral("Settings_9")));
    csvBox_->setText(t.Text(QStringLiteral("Settings_10")));
    reconnectBox_->setText(TextOrEnglish(t, QStringLiteral("Link_3")));
    fastRefreshBox_->setText(TextOrEnglish(t, QStringLiteral("Fast_1")));
    fastRefreshBox_->setToolTip(TextOrEnglish(t, QStringLiteral("Fast_3")));
    directoryLabel_->setText(t.Text(QStringLiteral("Settings_12")));
    if (searchingPorts_)
        ShowSearching();
    else if (!ports_.isEmpty())
        FillPortList(portList_->currentIndex(), portList_->currentText());
}

void SettingsDialog::SearchPorts()
{
    searchingPorts_ = true;
    ShowSearching();
    // Discovery opens every port to see whether it opens, and placing the saved port may open
    // that one too: both run on a pool thread. The search gets copies only, and its watcher goes
    // with the dialog, so a dialog closed meanwhile leaves the search nothing to touch.
    std::function<QList<PortEntry>()> discover = services_.discoverPorts;
    if (!discover)
        discover = [] { return DiscoverPorts(); };
    const QString saved = state_.link.port;
    auto* watcher = new QFutureWatcher<PortSearch>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        const PortSearch found = watcher->result();
        watcher->deleteLater();
        PortsFound(found.entries, found.selected);
    });
    watcher->setFuture(QtConcurrent::run([discover, saved] {
        PortSearch search;
        search.entries = discover();
        search.selected = PlaceSavedPort(search.entries, saved);
        return search;
    }));
}

void SettingsDialog::ShowSearching()
{
    const QSignalBlocker block(portList_);
    portList_->clear();
    portList_->addItem(TextOrEnglish(state_.texts, QStringLiteral("House_1")));
    portList_->setCurrentIndex(0);
    portList_->setToolTip(QString());
    portList_->setEnabled(false);
    portNote_->clear();
}

void SettingsDialog::PortsFound(const QList<PortEntry>& entries, int selected)
{
    // A dialog already closed (and about to be deleted) has taken its port: nothing changes.
    if (closing_)
        return;
    searchingPorts_ = false;
    ports_ = entries;
    // The simulator is never chosen for the user: only a saved "Simulator" selects it.
    if (state_.link.port.isEmpty() && selected >= 0)
        state_.link.port = ports_[selected].savedName;
    portList_->setEnabled(true);
    FillPortList(selected, selected >= 0 ? ports_[selected].name : QString());
}

void SettingsDialog::FillPortList(int selected, const QString& editText)
{
    auto* model = new QStandardItemModel(0, 2, portList_);
    for (const PortEntry& entry : ports_) {
        const QString description = PortDescription(state_.texts, entry);
        QString tip = entry.name;
        if (entry.savedName != entry.name)
            tip += QStringLiteral("\n") + entry.savedName;
        if (!description.isEmpty())
            tip += QStringLiteral("\n") + description;
        QList<QStandardItem*> row{new QStandardItem(entry.name), new QStandardItem(description)};
        for (QStandardItem* item : row) {
            item->setEditable(false);
            item->setToolTip(tip);
        }
        model->appendRow(row);
    }
    // Two columns in the drop-down, the port and what it is; the field shows the port. The
    // combo box deletes the model and view it replaces.
    auto* view = new QTreeView;
    view->setHeaderHidden(true);
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setAllColumnsShowFocus(true);
    {
        const QSignalBlocker block(portList_);
        portList_->setModel(model);
        portList_->setView(view);
        portList_->setCurrentIndex(selected);
        portList_->setEditText(editText);
    }
    // As wide as its longest port and description, at least as wide as the field.
    const QFontMetrics metrics(view->font());
    int nameWidth = 0;
    int descriptionWidth = 0;
    for (int row = 0; row < model->rowCount(); ++row) {
        nameWidth = std::max(nameWidth, metrics.horizontalAdvance(model->item(row, 0)->text()));
        descriptionWidth =
            std::max(descriptionWidth, metrics.horizontalAdvance(model->item(row, 1)->text()));
    }
    const int gap = metrics.horizontalAdvance(QStringLiteral("MM"));
    view->setColumnWidth(0, nameWidth + gap);
    view->setMinimumWidth(nameWidth + descriptionWidth + 3 * gap);
    ShowPortNote();
}

void SettingsDialog::ShowPortNote()
{
    const QString text = portList_->currentText().trimmed();
    QString note;
    for (const PortEntry& entry : ports_) {
        if (entry.name == text) {
            note = PortDescription(state_.texts, entry);
            break;
        }
    }
    portNote_->setText(note.isEmpty() ? QString()
                                      : state_.texts.Text(QStringLiteral("Settings_3")) +
                                            QLatin1Char(' ') + note);
    portList_->setToolTip(
        portList_->currentIndex() >= 0
            ? portList_->itemData(portList_->currentIndex(), Qt::ToolTipRole).toString()
            : text);
}

QString SettingsDialog::ChosenPort() const
{
    const QString text = portList_->currentText().trimmed();
    for (const PortEntry& entry : ports_)
        if (entry.name == text)
            return entry.savedName;
    return text;
}

void SettingsDialog::OnLanguageChanged(int index)
{
    if (index < 0)
        return;
    const QString name = languageList_->itemText(index);
    state_.settings.language = name;
    emit languageChosen(name);
}

void SettingsDialog::TakeModel(int index)
{
    const ModelEntry& entry = state_.models[index];
    state_.link.model = entry.name;
    state_.link.ecuId = entry.ecuId;
    state_.link.ecuVariant = entry.ecuVariant;
}

void SettingsDialog::OnModelChanged(int index)
{
    if (index < 0 || index >= state_.models.size())
        return;
    TakeModel(index);
    ChooseFamily(state_.link);
    emit modelChosen();
}

void SettingsDialog::OnDebugToggled(bool on)
{
    state_.settings.debug = on ? 1 : 0;
    emit debugChanged();
}

void SettingsDialog::OnLoggingToggled(bool on)
{
    state_.settings.logging = on ? 1 : 0;
    emit loggingChanged(on ? state_.settings.loggingDirectory + state_.paths.baseName +
                                 QStringLiteral("_xxx.log")
                           : QString());
}

void SettingsDialog::OnCsvToggled(bool on)
{
    state_.settings.csv = on ? 1 : 0;
}

void SettingsDialog::OnDirectoryButton()
{
    const QString title = state_.texts.Text(QStringLiteral("Settings_12"));
    QString chosen =
        services_.chooseDirectory
            ? services_.chooseDirectory(this, title, state_.settings.loggingDirectory)
            : QFileDialog::getExistingDirectory(this, title, state_.settings.loggingDirectory);
    if (chosen.isEmpty())
        return;
    // The directory is a file-name prefix, so it must end with a separator.
    if (!chosen.endsWith(QLatin1Char('/')) && !chosen.endsWith(QLatin1Char('\\')))
        chosen += QLatin1Char('/');
    state_.settings.loggingDirectory = chosen;
    directoryField_->setText(chosen);
}

void SettingsDialog::closeEvent(QCloseEvent* event)
{
    if (closing_) {
        event->accept();
        return;
    }
    closing_ = true;
    Settings& settings = state_.settings;
    LinkSettings& link = state_.link;

    const int maxWindow = maxWindowBox_->isChecked() ? 1 : 0;
    if (maxWindow != settings.maxWindow) {
        settings.maxWindow = maxWindow;
        restartPending_ = 1;
    }
    // Closed before the search ended: the list showed no port, so the saved one stays.
    if (!searchingPorts_)
        link.port = ChosenPort();
    const int modelIndex = modelList_->currentIndex();
    if (modelIndex >= 0 && modelIndex < state_.models.size())
        TakeModel(modelIndex);
    link.slowInit = 0;
    ChooseFamily(link);
    // A model chosen on the first start ends the set-up, and the language shown is taken.
    bool firstSetUp = false;
    if (!link.ecuId.isEmpty() && setupPending_ == 1) {
        setupPending_ = 0;
        firstSetUp = true;
        if (languageList_->currentIndex() >= 0)
            settings.language = languageList_->currentText();
    }
    emit settingsTaken(firstSetUp);
    hide();

    if (settings.maxWindow == 1) {
        if (settings.windowScale <= 1.0f && services_.askWindowScale)
            settings.windowScale = services_.askWindowScale();
    } else {
        settings.windowScale = 1.0f;
    }
    emit closed();
    event->accept();
}

int SettingsDialog::Scaled(int designUnits) const
{
    return static_cast<int>(
        std::lround(static_cast<double>(designUnits) * state_.settings.windowScale));
}

SettingsDialog* OpenSettingsDialog(CoreState& state, int& restartPending, int& setupPending,
                                   SettingsServices services, QWidget* owner)
{
    auto* dialog =
        new SettingsDialog(state, restartPending, setupPending, std::move(services), owner);
    if (owner) {
        const QRect area = owner->frameGeometry();
        dialog->move(area.center() - QPoint(dialog->width() / 2, dialog->height() / 2));
    }
    dialog->show();
    return dialog;
}

} // namespace velmoro
