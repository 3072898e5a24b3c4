// The actors view's behaviour: the list of the family's actuator tests and procedures, the
// start/stop logic (ActorsController) with its two timers, and the jobs it hands the session.
#pragma once

#include "ecu/ActorsController.h"
#include "session/DiagSession.h"
#include "ui/AppState.h"
#include "ui/Views.h"

#include <QObject>
#include <functional>
#include <memory>

class QTimer;

namespace velmoro {

class ActorsPanel : public QObject {
    Q_OBJECT
public:
    // quit: a successful self-learning ends the program.
    ActorsPanel(ActorsView* view, AppState& state, DiagSession& session, ShowMessageFn showMessage,
                std::function<void()> quit);
    ~ActorsPanel() override;

    // The Start text of an idle, enabled button in the current language.
    void ApplyTexts();
    // The list from the state's actions: engine-off entries, then engine-running ones under
    // their heading; the first entry selected.
    void FillList();
    // The link is up or down.
    void SetEnabled(bool enabled);
    void StopTimers();
    ActorsController* Logic() const { return controller_.get(); }

private:
    ActorsView* view_;
    AppState& state_;
    QTimer* procedureTimer_ = nullptr;
    QTimer* selfLearningTimer_ = nullptr;
    std::unique_ptr<ActorsController> controller_;
};

} // namespace velmoro
