// The window's pill-shaped push buttons: a rectangle with semicircular ends,
// filled with a gradient from yellow to green, with an offset bevel and a
// grey shadow, a 16 x 16 picture beside the caption. They are worked with
// the mouse only and never take the keyboard focus.
#pragma once

#include <QAbstractButton>
#include <QPixmap>

namespace ortholay {

class ShapeButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit ShapeButton(QWidget* parent = nullptr);

    // The two-state picture: 32 x 16 pixels, the normal picture on the left
    // and the greyed one, shown while the button is disabled, on the right.
    void setPictures(const QPixmap& pictures);
    QPixmap picture(bool enabled) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    QPixmap pictures_;
};

}  // namespace ortholay
