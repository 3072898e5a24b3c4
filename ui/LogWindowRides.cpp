// The log window's ride: opening a log with its event file, the event list, the ride to compare
// and the messages for logs that cannot be read.
#include "ui/LogWindow.h"

#include "config/LanguageTexts.h"
#include "ui/Layout.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QThread>

namespace velmoro {

namespace {

constexpr int kBusyAfterMs = 400; // a read this long shows a busy dialog

// The window's name of each event kind, in the order of EventKind.
QString EventKindText(LanguageTexts& texts, EventKind kind)
{
    return LogWindowText(texts, QStringLiteral("Ride_%1").arg(12 + int(kind)));
}

// A log and its event file, read together.
struct LogAndEvents {
    LogReadResult log;
    EventLogRead events;
};

// Reads the log (and, when it is readable, its event file) on a worker thread, so that the
// windows keep painting; a read that takes long shows a busy dialog over `parent`. Input waits
// until the log is read, so nothing else starts meanwhile. The busy dialog belongs to `parent`,
// so a parent that goes away meanwhile takes it along and nothing is deleted twice.
LogAndEvents ReadLogInBackground(QWidget* parent, const QString& path, LanguageTexts& texts)
{
    LogAndEvents read;
    QEventLoop loop;
    QThread* reader = QThread::create([&read, path] {
        read.log = ReadLogFile(path);
        if (read.log.Ok())
            read.events = ReadEventFileOf(path);
    });
    QObject::connect(reader, &QThread::finished, &loop, &QEventLoop::quit);
    QPointer<QProgressDialog> busy = new QProgressDialog(
        LogWindowText(texts, QStringLiteral("Ride_22")).arg(QFileInfo(path).fileName()), QString(),
        0, 0, parent);
    busy->setWindowTitle(kWindowTitle);
    busy->setWindowModality(Qt::WindowModal);
    busy->setMinimumDuration(kBusyAfterMs);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    reader->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    reader->wait();
    delete reader;
    QApplication::restoreOverrideCursor();
    delete busy.data();
    return read;
}

} // namespace

QString LogWindowText(LanguageTexts& texts, const QString& key)
{
    return TextOrEnglish(texts, key);
}

QString LogErrorMessage(const LogReadResult& result, const QString& path, LanguageTexts& texts)
{
    const auto t = [&texts](const char* key) { return LogWindowText(texts, QLatin1String(key)); };
    QString reason;
    switch (result.error) {
    case LogError::None:
        return {};
    case LogError::Empty:
        reason = t("Log_12");
        break;
    case LogError::TooLarge:
        reason = t("Log_13").arg(result.detail).arg(kMaxLogBytes / (1024 * 1024));
        break;
    case LogError::CannotOpen:
        reason = t("Log_14").arg(TextOrEnglish(texts, result.detail));
        break;
    case LogError::Binary:
        reason = t("Log_15");
        break;
    case LogError::Utf16:
        reason = t("Ride_10");
        break;
    case LogError::NoHeader:
        reason = t("Log_16");
        break;
    case LogError::NoValueColumns:
        reason = t("Log_17");
        break;
    case LogError::FieldCount: {
        const QStringList counts = result.detail.split(QLatin1Char('/'));
        reason = t("Log_18").arg(counts.value(0), counts.value(1));
        break;
    }
    case LogError::BadTime:
        reason = t("Log_19").arg(result.detail);
        break;
    case LogError::TimeBackwards:
        reason = t("Log_20").arg(result.detail);
        break;
    case LogError::NoDataLines:
        reason = t("Log_21");
        break;
    }
    QString message =
        QDir::toNativeSeparators(path) + QStringLiteral("\n\n") + t("Log_10") + QLatin1Char('\n');
    if (result.line > 0)
        message += t("Log_11").arg(result.line) + QStringLiteral(": ");
    return message + reason;
}

void LogWindow::BuildEventList()
{
    eventList_->clear();
    for (const LogEvent& event : events_) {
        QString text = FormatLogTime(event.timeMs, longLog_, longLog_ ? 1 : -1) +
                       QStringLiteral("  ") + EventKindText(texts_, event.kind);
        if (!event.code.isEmpty())
            text += QLatin1Char(' ') + event.code;
        if (!event.text.isEmpty())
            text += QStringLiteral(": ") + event.text;
        auto* item = new QListWidgetItem(text, eventList_);
        item->setToolTip(text);
        if (IsFaultEvent(event.kind))
            item->setForeground(QColor(200, 0, 0));
    }
    eventList_->setVisible(!events_.empty());
}

void LogWindow::NoteEventProblems(int count)
{
    if (count <= 0)
        return;
    const QString note = Text(QStringLiteral("Ride_11")).arg(count);
    eventList_->setToolTip(eventList_->toolTip() + QLatin1Char('\n') + note);
    auto* item = new QListWidgetItem(note);
    item->setFlags(Qt::NoItemFlags);
    // Kept after the events, so that rows and events keep the same numbers.
    eventList_->addItem(item);
    eventList_->setVisible(true);
}

void LogWindow::GoToEvent(int index)
{
    if (index < 0 || size_t(index) >= events_.size() || log_.timesMs.empty())
        return;
    const double at =
        std::clamp(events_[size_t(index)].timeMs, log_.timesMs.front(), log_.timesMs.back());
    if (at < fromMs_ || at > toMs_) {
        const double span = toMs_ - fromMs_;
        SetVisibleRange(at - span / 2, at + span / 2);
    }
    SetCursorMs(at);
    if (eventList_->currentRow() != index)
        eventList_->setCurrentRow(index);
}

bool LogWindow::ChooseCompareLog()
{
    QString title = Text(QStringLiteral("Ride_1"));
    title.remove(QChar(0x2026)).remove(QStringLiteral("...")).remove(QLatin1Char('&'));
    const QString path =
        askCompareFileName
            ? askCompareFileName()
            : QFileDialog::getOpenFileName(this, title, QFileInfo(path_).absolutePath(),
                                           QStringLiteral("CSV (*.csv);;* (*)"));
    if (path.isEmpty())
        return false;
    // The window stays open while the read runs, but is gone if it was closed meanwhile.
    const QPointer<LogWindow> self(this);
    LogAndEvents read = ReadLogInBackground(this, path, texts_);
    if (!self)
        return false;
    if (!read.log.Ok()) {
        QMessageBox::warning(this, kWindowTitle, LogErrorMessage(read.log, path, texts_));
        return false;
    }
    SetCompareLog(std::move(read.log.log), std::move(read.events.events), path);
    return true;
}

LogWindow* OpenLogWindow(QWidget* parent, const QString& csvPath, LanguageTexts& texts,
                         QString* error)
{
    LogAndEvents read = ReadLogInBackground(parent, csvPath, texts);
    if (!read.log.Ok()) {
        if (error)
            *error = LogErrorMessage(read.log, csvPath, texts);
        return nullptr;
    }
    auto* window = new LogWindow(std::move(read.log.log), csvPath, texts, parent, nullptr,
                                 std::move(read.events.events));
    window->NoteEventProblems(int(read.events.problems.size()));
    window->show();
    return window;
}

QString AskLogFile(QWidget* parent, const QString& loggingDirectory, LanguageTexts& texts)
{
    QString title = LogWindowText(texts, QStringLiteral("Log_1"));
    title.remove(QChar(0x2026)).remove(QStringLiteral("...")).remove(QLatin1Char('&'));
    return QFileDialog::getOpenFileName(parent, title, loggingDirectory,
                                        QStringLiteral("CSV (*.csv);;* (*)"));
}

} // namespace velmoro
