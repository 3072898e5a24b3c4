// A status bar field that cuts a long text short and shows it whole in its tool tip.
#include "ui/StatusBarField.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>
#include <algorithm>

namespace velmoro {

StatusBarField::StatusBarField(int minWidth, int maxHintWidth, QWidget* parent)
    : QLabel(parent), minWidth_(minWidth), maxHintWidth_(std::max(minWidth, maxHintWidth))
{
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

bool StatusBarField::Elided() const
{
    return ShownText() != text();
}

QString StatusBarField::ShownText() const
{
    // A field holds one line; the lines after the first belong in the tool tip.
    const QString line = text().section(QLatin1Char('\n'), 0, 0);
    const QString shown = fontMetrics().elidedText(line, Qt::ElideRight, contentsRect().width());
    return shown;
}

QSize StatusBarField::sizeHint() const
{
    const QSize full = QLabel::sizeHint();
    return {std::clamp(full.width(), minWidth_, maxHintWidth_), full.height()};
}

QSize StatusBarField::minimumSizeHint() const
{
    return {minWidth_, QLabel::minimumSizeHint().height()};
}

bool StatusBarField::event(QEvent* event)
{
    // A field without a tool tip of its own shows its whole text there when it is cut short.
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty()) {
        if (Elided())
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text(), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QLabel::event(event);
}

void StatusBarField::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event);
    QPainter painter(this);
    drawFrame(&painter);
    style()->drawItemText(&painter, contentsRect(), static_cast<int>(alignment()), palette(),
                          isEnabled(), ShownText(), foregroundRole());
}

} // namespace velmoro
