// The main window's menu bar, status bar and quick menu: built once, their texts set per language
// and their states per link.
#pragma once

#include "ui/AppState.h"

#include <QString>
#include <functional>
#include <map>

class QAction;
class QFrame;
class QLabel;
class QMainWindow;
class QMenu;
class QPushButton;
class QWidget;

namespace velmoro {

// Status bar fields.
enum StatusField : int { StatusModel = 0, StatusLink = 1, StatusLog = 2 };

class MainMenu {
public:
    // Builds the four menus into the window's menu bar; an item reports its id to chosen.
    // hasCoTrim: whether the chosen family offers the CO trim adjustment.
    MainMenu(QMainWindow* window, AppState& state, std::function<void(int id)> chosen,
             std::function<bool()> hasCoTrim);
    // The three status fields: model, link, log.
    void BuildStatusBar(QMainWindow* window);
    // The quick menu over client, hidden; a button reports its item id (-1: the close button).
    void BuildQuickMenu(QWidget* client, std::function<void(int id)> pressed);

    // Menu titles and items in the current language; the link field reads "disconnected".
    void ApplyTexts();
    // The items that follow the link; Connect and the tools also need an identified ECU and a port.
    void SetLinkMenuState(bool disconnected);
    // The external-tool items (ECU read/write, EEPROM).
    void SetToolsEnabled(bool enabled);
    // The link field (up: connected, or simulated on the simulator), and the Connect item's text
    // (Connect or Disconnect): up or down.
    void ShowLinkField(bool up);
    void ShowConnectText(bool up);
    // The log field: the debug log's name, or where the files go when there is none.
    void SetLogField(const QString& text);
    // A retry countdown takes the log field over (seconds left, 0: trying now); the field as it
    // was when the retries began comes back with RestoreLogField.
    void KeepLogFieldForRetry();
    void ShowRetryCountdown(int seconds);
    void RestoreLogField();
    // The quick buttons' texts and states as the menu stands now.
    void FillQuickButtons(bool running);

    QAction* Item(int id) const;
    QMenu* Title(int index) const;
    QLabel* Status(int field) const { return status_[field]; }
    QString StatusText(int field) const;
    QFrame* QuickPanel() const { return quickMenu_; }
    QPushButton* QuickButton(int index) const { return quickButtons_[index]; }

private:
    bool HasCoTrim() const { return hasCoTrim_ && hasCoTrim_(); }

    AppState& state_;
    std::function<bool()> hasCoTrim_;
    std::map<int, QAction*> items_;
    QMenu* titles_[4] = {};
    QLabel* status_[3] = {};
    QFrame* quickMenu_ = nullptr;
    QPushButton* quickButtons_[7] = {};
    QString logFieldBeforeRetry_;
};

} // namespace velmoro
