// Menus, status fields and quick menu of the main window.
#include "ui/MainMenu.h"

#include "config/DataLocations.h"
#include "config/LanguageTexts.h"
#include "ui/Layout.h"
#include "ui/LinkStatus.h"
#include "ui/LogWindow.h"
#include "ui/StatusBarField.h"

#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>

namespace velmoro {

namespace {

// A quick button is a square of fixed size: a caption wider than the button is broken onto more
// lines at its blanks instead of being cut ("Valeurs mesurées" -> "Valeurs\nmesurées").
void SetQuickCaption(QPushButton* button, const QString& text)
{
    const QFontMetrics metrics = button->fontMetrics();
    const int room =
        button->width() - button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
    QStringList lines;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString longer = lines.isEmpty() ? word : lines.last() + QLatin1Char(' ') + word;
        if (!lines.isEmpty() && metrics.horizontalAdvance(longer) <= room)
            lines.last() = longer;
        else
            lines << word;
    }
    button->setText(lines.join(QLatin1Char('\n')));
}

// The log field without a debug log: where the files go when that is not beside the program.
QString IdleLogFieldText(const ProgramPaths& paths)
{
    return UsesUserFolders(paths) ? paths.directory : QStringLiteral(" ");
}

} // namespace

MainMenu::MainMenu(QMainWindow* window, AppState& state, std::function<void(int id)> chosen,
                   std::function<bool()> hasCoTrim)
    : state_(state), hasCoTrim_(std::move(hasCoTrim))
{
    auto* bar = window->menuBar();
    auto add = [this, window, chosen](QMenu* menu, int id, bool checkable = false) {
        QAction* action = menu->addAction(QString());
        action->setCheckable(checkable);
        QObject::connect(action, &QAction::triggered, window, [chosen, id] { chosen(id); });
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

void MainMenu::BuildStatusBar(QMainWindow* window)
{
    // Pixels, not scaled: the narrowest each field gets and the most it asks for. The log field
    // takes whatever the window leaves; a text longer than its field is shown whole in the tool
    // tip, and no text widens the window.
    const int minWidths[3] = {150, 100, 200};
    const int maxHintWidths[3] = {250, 250, 200};
    for (int i = 0; i < 3; ++i) {
        status_[i] = new StatusBarField(minWidths[i], maxHintWidths[i], window);
        status_[i]->setAlignment(i < 2 ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignVCenter));
        window->statusBar()->addWidget(status_[i], i == StatusLog ? 1 : 0);
    }
    window->statusBar()->setSizeGripEnabled(false);
    status_[StatusModel]->setText(state_.link.model);
    status_[StatusLog]->setText(state_.settings.logging != 0
                                    ? state_.paths.directory + state_.paths.baseName +
                                          QStringLiteral(".log")
                                    : IdleLogFieldText(state_.paths));
    if (UsesUserFolders(state_.paths))
        status_[StatusLog]->setToolTip(DataLocationText(state_.paths));
}

void MainMenu::BuildQuickMenu(QWidget* client, std::function<void(int id)> pressed)
{
    const float scale = state_.settings.windowScale;
    quickMenu_ = new QFrame(client);
    quickMenu_->setGeometry(ScaledRect(scale, 0, 120, 800, 420));
    FillBackground(quickMenu_, kBackgroundRed);
    const int xs[7] = {10, 110, 230, 330, 430, 530, 680};
    const int ids[7] = {ItemConnect, ItemQuit, ItemMeasurements, ItemFaults, ItemActors,
                        ItemCoTrim,  -1};
    for (int i = 0; i < 7; ++i) {
        quickButtons_[i] = new QPushButton(quickMenu_);
        quickButtons_[i]->setGeometry(ScaledRect(scale, xs[i], 10, 100, 100));
        const int id = ids[i];
        QObject::connect(quickButtons_[i], &QPushButton::clicked, client,
                         [pressed, id] { pressed(id); });
    }
    quickButtons_[6]->setText(QStringLiteral("X"));
    quickMenu_->hide();
}

void MainMenu::ApplyTexts()
{
    LanguageTexts& t = state_.texts;
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
    status_[StatusLink]->setText(t.Text(QStringLiteral("PStatus_2")));
}

void MainMenu::SetLinkMenuState(bool disconnected)
{
    for (int id : {ItemFaults, ItemDiagram, ItemActors, ItemReport})
        items_[id]->setEnabled(!disconnected);
    items_[ItemCoTrim]->setEnabled(HasCoTrim() && !disconnected);
    if (state_.link.ecuId.isEmpty() || state_.link.port.isEmpty()) {
        for (int id : {ItemConnect, ItemEcuRead, ItemEcuWrite, ItemEeprom})
            items_[id]->setEnabled(false);
    } else {
        items_[ItemConnect]->setEnabled(true);
        SetToolsEnabled(disconnected);
    }
}

void MainMenu::SetToolsEnabled(bool enabled)
{
    for (int id : {ItemEcuRead, ItemEcuWrite, ItemEeprom})
        items_[id]->setEnabled(enabled);
}

void MainMenu::ShowLinkField(bool up)
{
    status_[StatusLink]->setText(up ? ConnectedStatusText(state_.texts, state_.link.port)
                                    : state_.texts.Text(QStringLiteral("PStatus_2")));
}

void MainMenu::ShowConnectText(bool up)
{
    items_[ItemConnect]->setText(
        state_.texts.Text(up ? QStringLiteral("Menu_11b") : QStringLiteral("Menu_11a")));
}

void MainMenu::SetLogField(const QString& text)
{
    status_[StatusLog]->setText(text.trimmed().isEmpty() ? IdleLogFieldText(state_.paths) : text);
}

void MainMenu::KeepLogFieldForRetry()
{
    if (logFieldBeforeRetry_.isNull())
        logFieldBeforeRetry_ = status_[StatusLog]->text();
}

void MainMenu::ShowRetryCountdown(int seconds)
{
    status_[StatusLog]->setText(
        seconds > 0 ? TextOrEnglish(state_.texts, QStringLiteral("Link_1")).arg(seconds)
                    : TextOrEnglish(state_.texts, QStringLiteral("Link_2")));
}

void MainMenu::RestoreLogField()
{
    if (!logFieldBeforeRetry_.isNull())
        status_[StatusLog]->setText(logFieldBeforeRetry_);
    logFieldBeforeRetry_ = QString();
}

void MainMenu::FillQuickButtons(bool running)
{
    LanguageTexts& t = state_.texts;
    SetQuickCaption(quickButtons_[0], items_[ItemConnect]->text());
    SetQuickCaption(quickButtons_[1], t.Text(QStringLiteral("Menu_13")));
    SetQuickCaption(quickButtons_[2], t.Text(QStringLiteral("Menu_21")));
    SetQuickCaption(quickButtons_[3], t.Text(QStringLiteral("Menu_22")));
    SetQuickCaption(quickButtons_[4], t.Text(QStringLiteral("Menu_24")));
    SetQuickCaption(quickButtons_[5], t.Text(QStringLiteral("Menu_25")));
    quickButtons_[3]->setEnabled(running);
    quickButtons_[4]->setEnabled(running);
    quickButtons_[5]->setEnabled(running && HasCoTrim());
    quickButtons_[0]->setEnabled(items_[ItemConnect]->isEnabled());
}

QAction* MainMenu::Item(int id) const
{
    auto it = items_.find(id);
    return it == items_.end() ? nullptr : it->second;
}

QMenu* MainMenu::Title(int index) const
{
    return index >= 0 && index < 4 ? titles_[index] : nullptr;
}

QString MainMenu::StatusText(int field) const
{
    return field >= 0 && field < 3 ? status_[field]->text() : QString();
}

} // namespace velmoro
