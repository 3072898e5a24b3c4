// The logo of the main window: our own 195 x 150 picture; left click opens the quick menu,
// right click the help page.
#pragma once

#include <QLabel>
#include <QPixmap>

namespace velmoro {

constexpr int kLogoWidth = 195;
constexpr int kLogoHeight = 150;

// The picture itself, drawn with QPainter (no image file is needed).
QPixmap DrawLogoPicture();

class Logo : public QLabel {
    Q_OBJECT
public:
    explicit Logo(QWidget* parent);

signals:
    void leftClicked();
    void rightClicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

} // namespace velmoro
