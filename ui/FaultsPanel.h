// The faults view's behaviour: Read and Clear as session jobs, one at a time, and the two lists
// mirrored from the state as the job fills them.
#pragma once

#include "session/DiagSession.h"
#include "ui/AppState.h"
#include "ui/Views.h"

#include <QObject>

namespace velmoro {

class FaultsPanel : public QObject {
    Q_OBJECT
public:
    FaultsPanel(FaultsView* view, AppState& state, DiagSession& session);
    ~FaultsPanel() override;

    void ApplyTexts();
    // Showing starts with empty lists; the stored list and Clear only where the family keeps
    // stored faults, the buttons not under the quick menu.
    void Show(bool show, bool quickMenuShown);
    // The buttons, hidden under the quick menu.
    void SetHeaderVisible(bool visible);
    // Read and Clear follow the link, and stay grey while a job of theirs runs.
    void SetButtonsDisabled(bool disabled);
    // The session has run the read or clear job.
    void JobDone();

private:
    void Run(bool clear);
    void Mirror();
    bool StoredFaults() const
    {
        const std::shared_ptr<const Ecu> family = session_.family();
        return family && family->hasStoredFaults();
    }

    FaultsView* view_;
    AppState& state_;
    DiagSession& session_;
    bool busy_ = false;
    bool disabled_ = true;
};

} // namespace velmoro
