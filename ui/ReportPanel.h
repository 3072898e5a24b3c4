// The report view's behaviour: Read starts (or cancels) the report job, Save writes the file, and
// the list mirrors the session's report as the job fills it.
#pragma once

#include "output/Report.h"
#include "session/DiagSession.h"
#include "ui/AppState.h"
#include "ui/Views.h"

#include <QObject>
#include <functional>

namespace velmoro {

class ReportPanel : public QObject {
    Q_OBJECT
public:
    // ecuInfoText: the ECU information the report starts with, as the measurement view shows it.
    ReportPanel(ReportView* view, AppState& state, DiagSession& session, ShowMessageFn showMessage,
                std::function<QString()> ecuInfoText);
    ~ReportPanel() override;

    // Read reads Cancel while a report is being built.
    void ApplyTexts();
    // The session has ended the report job: a kept report may be saved, a cancelled one goes.
    void JobDone();

private:
    void Read();
    void Save();
    void Mirror(ReportChange change, int line);

    ReportView* view_;
    AppState& state_;
    DiagSession& session_;
    ShowMessageFn showMessage_;
    std::function<QString()> ecuInfoText_;
};

} // namespace velmoro
