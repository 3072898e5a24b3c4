// A status bar field that takes the width the bar gives it and never widens the window: a text
// longer than the field is cut with an ellipsis and shown whole in the tool tip.
#pragma once

#include <QLabel>

namespace velmoro {

class StatusBarField : public QLabel {
    Q_OBJECT
public:
    // minWidth: the narrowest the field gets; maxHintWidth: the most it asks for, so that the
    // fields together never ask for more than the window is wide.
    StatusBarField(int minWidth, int maxHintWidth, QWidget* parent = nullptr);

    // The text does not fit: the field shows it cut short.
    bool Elided() const;
    // What the field shows now (the text, or its cut-short form).
    QString ShownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int minWidth_;
    int maxHintWidth_;
};

} // namespace velmoro
