// The actors view's behaviour: the list of the family's actuator tests and procedures, the
// start/stop logic of its button, and the session's actions it starts and shows the end of.
#pragma once

#include "session/DiagSession.h"
#include "ui/AppState.h"
#include "ui/Views.h"

#include <QObject>
#include <functional>

namespace velmoro {

// What the button stands for (the running state the view keeps with it).
enum ActorsButtonState : int {
    ActorsIdle = 0,
    ActorsSwitchOn = 1,
    ActorsProcedureRunning = 3,
    ActorsSelfLearningRunning = 4
};

class ActorsPanel : public QObject {
    Q_OBJECT
public:
    // quit: a successful self-learning ends the program.
    ActorsPanel(ActorsView* view, AppState& state, DiagSession& session, ShowMessageFn showMessage,
                std::function<void()> quit);

    // The Start text of an idle, enabled button in the current language.
    void ApplyTexts();
    // The list from the chosen family's actions: engine-off entries, then engine-running ones
    // under their heading; the first entry selected.
    void FillList();
    // The link is up or down. Down disables list and button; up enables them with the button
    // reading Start, except while a procedure runs: its end enables them.
    void SetEnabled(bool enabled);

    int ButtonState() const { return buttonState_; }

private:
    // The item data of the selected row: an entry's position, -1 for a heading or no selection.
    void Select(int itemData);
    void Press();
    void OnActionFinished(const ActionResult& result);
    void EnableControls();
    void SetButton(const QString& text, bool enabled);
    void SetList(bool enabled);
    void Show(const QString& text);
    const ActionEntry* EntryAt(int position) const;

    ActorsView* view_;
    AppState& state_;
    DiagSession& session_;
    ShowMessageFn showMessage_;
    std::function<void()> quit_;
    ActionList actions_;
    int selected_ = -1;
    int buttonState_ = ActorsIdle;
    bool buttonEnabled_ = false;
    bool listEnabled_ = false;
    bool linkUp_ = false;
    QString buttonText_;
};

} // namespace velmoro
