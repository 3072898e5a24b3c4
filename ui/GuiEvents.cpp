// Registration of the custom main-window event types.
#include "ui/GuiEvents.h"

namespace velmoro {

namespace {
QEvent::Type Register(int hint)
{
    return static_cast<QEvent::Type>(QEvent::registerEventType(QEvent::User + hint));
}
} // namespace

QEvent::Type EventWorkerMessage()
{
    static const QEvent::Type type = Register(2);
    return type;
}

QEvent::Type EventRefreshDone()
{
    static const QEvent::Type type = Register(3);
    return type;
}

QEvent::Type EventReadAllStep()
{
    static const QEvent::Type type = Register(4);
    return type;
}

QEvent::Type EventReportDone()
{
    static const QEvent::Type type = Register(5);
    return type;
}

} // namespace velmoro
