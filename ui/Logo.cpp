// Drawing of the logo picture and its mouse clicks.
#include "ui/Logo.h"

#include <QFont>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace velmoro {

QPixmap DrawLogoPicture()
{
    QPixmap picture(kLogoWidth, kLogoHeight);
    picture.fill(QColor(204, 0, 0));
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient shade(0, 0, 0, kLogoHeight);
    shade.setColorAt(0, QColor(40, 40, 40));
    shade.setColorAt(1, QColor(10, 10, 10));
    p.setPen(QPen(QColor(230, 230, 230), 2));
    p.setBrush(shade);
    p.drawRoundedRect(QRectF(3, 3, kLogoWidth - 6, kLogoHeight - 6), 14, 14);

    // A rev counter dial: white scale, red zone, needle.
    const QPointF centre(97.5, 92);
    const double radius = 52;
    p.setPen(QPen(Qt::white, 3));
    p.setBrush(Qt::NoBrush);
    const QRectF dial(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    p.drawArc(dial, 0 * 16, 180 * 16);
    p.setPen(QPen(QColor(230, 30, 30), 6));
    p.drawArc(dial, 0 * 16, 40 * 16);
    p.setPen(QPen(Qt::white, 2));
    for (int i = 0; i <= 10; ++i) {
        const double a = M_PI - i * M_PI / 10;
        const QPointF outer(centre.x() + radius * std::cos(a), centre.y() - radius * std::sin(a));
        const QPointF inner(centre.x() + (radius - 9) * std::cos(a),
                            centre.y() - (radius - 9) * std::sin(a));
        p.drawLine(inner, outer);
    }
    p.setPen(QPen(QColor(255, 200, 0), 3, Qt::SolidLine, Qt::RoundCap));
    const double needle = M_PI * 0.3;
    p.drawLine(centre, QPointF(centre.x() + (radius - 6) * std::cos(needle),
                               centre.y() - (radius - 6) * std::sin(needle)));
    p.setBrush(QColor(255, 200, 0));
    p.drawEllipse(centre, 5, 5);

    QFont title(QStringLiteral("Arial"));
    title.setBold(true);
    title.setPixelSize(20);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 8, kLogoWidth, 26), Qt::AlignCenter, QStringLiteral("Velmoro"));
    QFont sub(QStringLiteral("Arial"));
    sub.setPixelSize(13);
    p.setFont(sub);
    p.setPen(QColor(255, 200, 0));
    p.drawText(QRectF(0, 112, kLogoWidth, 30), Qt::AlignCenter, QStringLiteral("CAN Diag"));
    return picture;
}

Logo::Logo(QWidget* parent) : QLabel(parent)
{
    setPixmap(DrawLogoPicture());
    setFixedSize(kLogoWidth, kLogoHeight);
    setCursor(Qt::PointingHandCursor);
}

void Logo::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit leftClicked();
    else if (event->button() == Qt::RightButton)
        emit rightClicked();
}

} // namespace velmoro
