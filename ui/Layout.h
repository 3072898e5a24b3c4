// Design units to pixels, and the framed look shared by the views.
#pragma once

#include <QColor>
#include <QFrame>
#include <QLabel>
#include <QPalette>
#include <QRect>
#include <QWidget>
#include <cmath>

namespace velmoro {

constexpr int kDesignWidth = 800;
constexpr int kDesignHeight = 540;
inline const QColor kBackgroundRed(204, 0, 0);
inline const QString kWindowTitle = QStringLiteral("VelmoroCanDiag V0.02");

// Every design coordinate and size is multiplied by WindowScale and rounded to the nearest.
inline int Scaled(float scale, int designUnits)
{
    return static_cast<int>(std::lround(static_cast<double>(designUnits) * scale));
}

inline QRect ScaledRect(float scale, int x, int y, int w, int h)
{
    return QRect(Scaled(scale, x), Scaled(scale, y), Scaled(scale, w), Scaled(scale, h));
}

inline void FillBackground(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// A sunken-framed label; white background unless told otherwise.
inline QLabel* FramedLabel(QWidget* parent, bool white = true, bool centred = true)
{
    auto* label = new QLabel(parent);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setTextFormat(Qt::PlainText);
    if (centred)
        label->setAlignment(Qt::AlignCenter);
    if (white)
        FillBackground(label, Qt::white);
    return label;
}

} // namespace velmoro
