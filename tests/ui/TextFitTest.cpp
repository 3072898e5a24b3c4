// Every language's texts fit their gadgets: the main window with its views and quick menu, each
// tab of the settings dialog, the about box and a log window, opened offscreen in each language.
#include "ShellFixture.h"

#include "config/DataLocations.h"
#include "config/LanguageTexts.h"
#include "ui/AboutBox.h"
#include "ui/Layout.h"
#include "ui/LogWindow.h"
#include "ui/MainMenu.h"
#include "ui/StatusBarField.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QToolTip>

namespace velmoro::test {
namespace {

int WidestLine(const QFontMetrics& metrics, const QString& text)
{
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    return widest;
}

// The texts that `root` and its shown children cut, as "kind 'text' (needs N, has M px)".
QStringList CutTexts(QWidget* root)
{
    QStringList cut;
    auto note = [&cut](const char* kind, const QString& text, int needs, int has) {
        cut << QStringLiteral("%1 '%2' (needs %3, has %4 px)")
                   .arg(QLatin1String(kind), text)
                   .arg(needs)
                   .arg(has);
    };
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* w : widgets) {
        if (!w->isVisible())
            continue;
        // The status bar's fields cut long texts on purpose and show them whole as tool tips.
        if (qobject_cast<StatusBarField*>(w))
            continue;
        if (auto* label = qobject_cast<QLabel*>(w)) {
            if (label->wordWrap() || label->text().isEmpty() || label->textFormat() == Qt::RichText)
                continue;
            const int has =
                label->contentsRect().width() - 2 * label->margin() - std::max(0, label->indent());
            const int needs = WidestLine(label->fontMetrics(), label->text());
            if (needs > has)
                note("label", label->text(), needs, has);
        } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
            if (box->sizeHint().width() > box->width())
                note("check box", box->text(), box->sizeHint().width(), box->width());
        } else if (auto* radio = qobject_cast<QRadioButton*>(w)) {
            if (radio->sizeHint().width() > radio->width())
                note("radio button", radio->text(), radio->sizeHint().width(), radio->width());
        } else if (auto* button = qobject_cast<QPushButton*>(w)) {
            const QString text = QString(button->text()).remove(QLatin1Char('&'));
            const int needs =
                WidestLine(button->fontMetrics(), text) +
                button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
            if (!text.isEmpty() && needs > button->width())
                note("button", text, needs, button->width());
        } else if (auto* tabs = qobject_cast<QTabBar*>(w)) {
            for (int i = 0; i < tabs->count(); ++i) {
                const int needs = tabs->fontMetrics().horizontalAdvance(tabs->tabText(i));
                if (tabs->tabText(i).isEmpty() || needs > tabs->tabRect(i).width())
                    note("tab", tabs->tabText(i), needs, tabs->tabRect(i).width());
            }
        } else if (auto* bar = qobject_cast<QMenuBar*>(w)) {
            // A title that is blank, or pushed off the bar's end, cannot be read.
            for (QAction* title : bar->actions()) {
                const QRect at = bar->actionGeometry(title);
                if (title->text().isEmpty() || !bar->rect().contains(at))
                    note("menu title", title->text(), at.right(), bar->width());
                for (QAction* item : title->menu()->actions())
                    if (!item->isSeparator() && item->text().isEmpty())
                        note("menu item under", title->text(), 1, 0);
            }
        }
    }
    return cut;
}

class TextFitTest : public ShellFixture {
protected:
    void StartIn(const QString& language)
    {
        WriteSettings({{"Port", "Simulator"}, {"Modell", "Velmoro 850"}, {"Language", language}});
        Start();
        ASSERT_EQ(state.settings.language, language);
    }

    void Expect(QWidget* root, const QString& where)
    {
        QApplication::processEvents();
        const QStringList cut = CutTexts(root);
        EXPECT_TRUE(cut.isEmpty())
            << where.toStdString() << ":\n  " << cut.join(QStringLiteral("\n  ")).toStdString();
    }
};

TEST_F(TextFitTest, EveryLanguageFitsItsWindows)
{
    // The languages as the built-in default file carries them.
    WriteSettings({});
    const QStringList languages = LanguageSectionNames(paths);
    ASSERT_EQ(languages.size(), 9);

    for (const QString& language : languages) {
        SCOPED_TRACE(language.toStdString());
        StartIn(language);
        if (HasFatalFailure())
            return;

        for (const auto& [item, view] :
             {std::pair{ItemMeasurements, "measurements"}, std::pair{ItemFaults, "faults"},
              std::pair{ItemActors, "actors"}, std::pair{ItemReport, "report"}}) {
            window->HandleMenu(item);
            Expect(window.get(), language + QStringLiteral(", main window, ") + view);
        }
        window->HandleMenu(ItemMeasurements);
        window->ShowQuickMenu();
        Expect(window.get(), language + QStringLiteral(", quick menu"));
        window->QuickMenuPressed(-1);

        window->HandleMenu(ItemPreferences);
        SettingsDialog* settings = window->SettingsWindow();
        ASSERT_NE(settings, nullptr);
        for (int tab = 0; tab < settings->Tabs()->count(); ++tab) {
            settings->Tabs()->setCurrentIndex(tab);
            Expect(settings,
                   language + QStringLiteral(", settings tab ") + settings->Tabs()->tabText(tab));
        }
        settings->hide();

        QMessageBox about(QMessageBox::NoIcon, kWindowTitle,
                          AboutText(state.texts) + QStringLiteral("\n\n") + DataLocationText(paths),
                          QMessageBox::Ok);
        about.show();
        Expect(&about, language + QStringLiteral(", about box"));
        about.hide();

        const QString csv = dir.filePath(QStringLiteral("ride.csv"));
        QFile file(csv);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("\"" + state.texts.Text(QStringLiteral("CSV_1")).toUtf8() +
                   "\",\"RPM\",\"Voltage\"\r\n0,1200,12.5\r\n250,1300,12.4\r\n500,1250,12.6\r\n");
        file.close();
        QString error;
        LogWindow* log = OpenLogWindow(window.get(), csv, state.texts, &error);
        ASSERT_NE(log, nullptr) << error.toStdString();
        Expect(log, language + QStringLiteral(", log window"));
        log->close();

        window->StopAll();
        window.reset();
    }
}

// The status bar's fields share the window's width; a text longer than its field is cut with an
// ellipsis on screen and shown whole as the tool tip, and never widens the window.
TEST_F(TextFitTest, StatusFieldsUseTheWindowsWidthAndShowLongTextsWhole)
{
    StartIn(QStringLiteral("English"));
    QApplication::processEvents();
    const int windowWidth = window->width();
    // In the order the bar was built: model, link, log.
    const QList<StatusBarField*> fields = window->findChildren<StatusBarField*>();
    ASSERT_EQ(fields.size(), 3);
    int used = 0;
    for (StatusBarField* field : fields)
        used += field->width();
    EXPECT_GT(used, windowWidth * 9 / 10) << used << " of " << windowWidth;

    StatusBarField* log = fields[StatusLog];
    const QString longText = QStringLiteral("/home/rider/Documents/VelmoroCanDiag/") +
                             QString(QStringLiteral("a-long-folder/")).repeated(12) +
                             QStringLiteral("VelmoroCanDiag_20261208_170403.log");
    log->setText(longText);
    QApplication::processEvents();
    EXPECT_EQ(window->width(), windowWidth) << "a long text must not widen the window";
    EXPECT_TRUE(log->Elided());
    EXPECT_TRUE(log->ShownText().endsWith(QChar(0x2026)));
    EXPECT_LE(log->fontMetrics().horizontalAdvance(log->ShownText()), log->contentsRect().width());
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), log->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(log, &help);
    EXPECT_EQ(QToolTip::text(), longText);

    log->setText(QStringLiteral("short"));
    EXPECT_FALSE(log->Elided());
}

} // namespace
} // namespace velmoro::test
