#include "app/shape_button.h"

#include <QEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "app/fonts.h"

namespace ortholay {

namespace {

constexpr int kPictureSize = 16;
constexpr int kShadowOffset = 3;   // the shadow lies this far right and down
constexpr int kPictureGap = 4;     // between picture and caption

const QColor kShadow(128, 128, 128);

QPainterPath PillPath(const QRectF& rect) {
    QPainterPath path;
    const qreal radius = rect.height() / 2;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

}  // namespace

ShapeButton::ShapeButton(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
    // Drawn over whatever lies below: the frame shows around the pill.
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    setFont(ArialFont(11));
    QPalette colours = palette();
    colours.setColor(QPalette::ButtonText, Qt::black);
    setPalette(colours);
}

void ShapeButton::setPictures(const QPixmap& pictures) {
    pictures_ = pictures;
    update();
}

QPixmap ShapeButton::picture(bool enabled) const {
    if (pictures_.isNull()) {
        return QPixmap();
    }
    return pictures_.copy(enabled ? 0 : kPictureSize, 0, kPictureSize, kPictureSize);
}

QSize ShapeButton::sizeHint() const {
    constexpr int kHeight = 33;  // the round ends take half of it each
    const QFontMetrics metrics(font());
    return QSize(metrics.horizontalAdvance(text()) + kPictureSize + kPictureGap + kHeight +
                     kShadowOffset,
                 kHeight);
}

bool ShapeButton::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverLeave:
        update();
        break;
    default:
        break;
    }
    return QAbstractButton::event(event);
}

void ShapeButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const bool pressed = isDown();
    const bool hovered = underMouse() && isEnabled();
    // A pressed button sinks onto its shadow.
    const int sink = pressed ? 2 : 0;
    const QRectF body = QRectF(0.5, 0.5, width() - kShadowOffset - 1, height() - kShadowOffset - 1)
                            .translated(sink, sink);

    // Shadow.
    if (!pressed) {
        painter.fillPath(PillPath(body.translated(kShadowOffset, kShadowOffset)), kShadow);
    }

    // Body: yellow at the top to green at the bottom, brighter under the mouse,
    // washed out while disabled.
    QColor top(255, 255, 0);
    QColor bottom(0, 176, 0);
    if (!isEnabled()) {
        top = QColor(236, 236, 200);
        bottom = QColor(184, 208, 184);
    } else if (hovered) {
        top = QColor(255, 255, 150);
        bottom = QColor(60, 210, 60);
    }
    QLinearGradient gradient(body.topLeft(), body.bottomLeft());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    const QPainterPath pill = PillPath(body);
    painter.fillPath(pill, gradient);

    // Offset bevel: a light rim shifted up and left, a dark one down and
    // right, both kept inside the pill.
    painter.save();
    painter.setClipPath(pill);
    painter.setPen(QPen(QColor(255, 255, 255, pressed ? 60 : 180), 1.5));
    painter.drawPath(PillPath(body.adjusted(1.5, 1.5, -0.5, -0.5)));
    painter.setPen(QPen(QColor(0, 64, 0, pressed ? 160 : 90), 1.5));
    painter.drawPath(PillPath(body.adjusted(0.5, 0.5, -1.5, -1.5)));
    painter.restore();
    painter.setPen(QPen(QColor(64, 96, 0), 1));
    painter.drawPath(pill);

    // Picture and caption, centred together.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setFont(font());
    const QFontMetrics metrics(font());
    const QPixmap shown = picture(isEnabled());
    const int pictureWidth = shown.isNull() ? 0 : kPictureSize + kPictureGap;
    const int contentWidth = pictureWidth + metrics.horizontalAdvance(text());
    const QRect area = body.toRect();
    int x = area.left() + (area.width() - contentWidth) / 2;
    if (!shown.isNull()) {
        painter.drawPixmap(x, area.top() + (area.height() - kPictureSize) / 2, shown);
        x += pictureWidth;
    }
    painter.setPen(isEnabled() ? palette().color(QPalette::ButtonText) : QColor(128, 128, 128));
    painter.drawText(QRect(x, area.top(), area.right() - x + 1, area.height()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
}

}  // namespace ortholay
