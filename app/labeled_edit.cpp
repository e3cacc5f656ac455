#include "app/labeled_edit.h"

#include <QEvent>

namespace ortholay {

LabeledEdit::LabeledEdit(QWidget* parent, const QString& label, LabelPosition position,
                         int spacing)
    : QLineEdit(parent), label_(new QLabel(label, parent)), position_(position), spacing_(spacing) {
    label_->setTextFormat(Qt::PlainText);
    PlaceLabel();
}

void LabeledEdit::SetLabelFont(const QFont& font) {
    label_->setFont(font);
    PlaceLabel();
}

void LabeledEdit::moveEvent(QMoveEvent* event) {
    QLineEdit::moveEvent(event);
    PlaceLabel();
}

void LabeledEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    PlaceLabel();
}

void LabeledEdit::changeEvent(QEvent* event) {
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        label_->setEnabled(isEnabled());
    }
}

// The label is as tall as its text and as wide as it needs, its left edge on
// the box's.
void LabeledEdit::PlaceLabel() {
    const QSize size = label_->sizeHint();
    const int top = position_ == LabelPosition::Above ? y() - spacing_ - size.height()
                                                      : y() + height() + spacing_;
    label_->setGeometry(x(), top, size.width(), size.height());
}

}  // namespace ortholay
