// The measurement view's behaviour: the choosers and the session's choices, the rows a pass left,
// the read-all survey button, and the dashes of a link that is going down.
#pragma once

#include "session/DiagSession.h"
#include "ui/AppState.h"
#include "ui/Views.h"

#include <QObject>
#include <QStringList>

namespace velmoro {

class DiagramWindow;

class MeasurementsPanel : public QObject {
    Q_OBJECT
public:
    MeasurementsPanel(MeasurementsView* view, DiagramWindow* diagram, AppState& state,
                      DiagSession& session, ShowMessageFn showMessage);

    void ApplyTexts();
    // The choosers as the state holds them; a named row shows "----" until its first read.
    void MirrorChoosers();
    // Every chooser's current text, row by row.
    QStringList ChooserTexts() const;
    void SetEcuInfoText(const QString& text);
    QString EcuInfoText() const;

    // Showing brings the raw texts with the Debug option; hiding hides the bars with the view.
    void Show(bool show);
    // The ECU information and the Read all button, hidden under the quick menu.
    void SetHeaderVisible(bool visible);

    // What a pass read, into the rows and the diagram.
    void DisplayRows(const RowsSnapshot& rows);
    // The link is up: Read all may start.
    void LinkUp();
    // The link is going down: Read all goes grey, the named rows and the engine status clear.
    void LinkGoingDown();
    void SurveyStep(int counter);
    void SurveyFinished(bool linkActive);

private:
    void ChooserPicked(int chooser, int entry);
    void ReadAll();

    MeasurementsView* view_;
    DiagramWindow* diagram_;
    AppState& state_;
    DiagSession& session_;
    ShowMessageFn showMessage_;
};

} // namespace velmoro
