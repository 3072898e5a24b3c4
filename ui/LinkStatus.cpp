// The simulated link's title and status texts, and a failed step in the log field.
#include "ui/LinkStatus.h"

#include "config/LanguageTexts.h"
#include "link/PortDiscovery.h"
#include "ui/Layout.h"

#include <QLabel>
#include <QVariant>

namespace velmoro {

namespace {

// Kept on the label itself, so the window needs no state of its own for it.
constexpr const char* kShownFailure = "velmoroShownFailure";
constexpr const char* kTextBefore = "velmoroTextBefore";
constexpr const char* kTipBefore = "velmoroTipBefore";

} // namespace

QString LinkWindowTitle(LanguageTexts& texts, const QString& port, bool linkActive)
{
    if (!linkActive || !IsSimulatorPort(port))
        return kWindowTitle;
    return kWindowTitle + QStringLiteral(" \u2013 ") +
           TextOrEnglish(texts, QStringLiteral("Port_5"));
}

QString ConnectedStatusText(LanguageTexts& texts, const QString& port)
{
    return IsSimulatorPort(port) ? TextOrEnglish(texts, QStringLiteral("Port_4"))
                                 : texts.Text(QStringLiteral("PStatus_1"));
}

void ShowLinkFailure(QLabel* field, const QString& text)
{
    if (!field->property(kShownFailure).isValid()) {
        field->setProperty(kTextBefore, field->text());
        field->setProperty(kTipBefore, field->toolTip());
    }
    // The field cuts the line short where it is too narrow.
    const QString line = text.section(QLatin1Char('\n'), 0, 0);
    field->setProperty(kShownFailure, line);
    field->setText(line);
    field->setToolTip(text);
}

void ClearLinkFailure(QLabel* field)
{
    const QVariant shown = field->property(kShownFailure);
    if (!shown.isValid())
        return;
    if (field->text() == shown.toString())
        field->setText(field->property(kTextBefore).toString());
    field->setToolTip(field->property(kTipBefore).toString());
    field->setProperty(kShownFailure, QVariant());
    field->setProperty(kTextBefore, QVariant());
    field->setProperty(kTipBefore, QVariant());
}

} // namespace velmoro
