#include "ui/qt/status_lamp.h"

#include <QPainter>
#include <QRadialGradient>

StatusLamp::StatusLamp(QWidget* parent) : QWidget(parent) {
  setFixedSize(sizeHint());
}

void StatusLamp::setLamp(const QColor& colour, bool lit) {
  if (colour_ == colour && lit_ == lit) return;
  colour_ = colour;
  lit_ = lit;
  update();
}

void StatusLamp::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF circle = QRectF(rect()).adjusted(2, 2, -2, -2);
  if (lit_) {
    // A lit lamp has a bright centre fading to its colour, like a light behind glass.
    QRadialGradient glow(circle.center() - QPointF(circle.width() / 6, circle.height() / 6),
                         circle.width() / 1.6);
    glow.setColorAt(0, colour_.lighter(170));
    glow.setColorAt(0.6, colour_);
    glow.setColorAt(1, colour_.darker(130));
    painter.setBrush(glow);
  } else {
    painter.setBrush(colour_);
  }
  painter.setPen(QPen(QColor(70, 70, 70), 1.5));
  painter.drawEllipse(circle);
}
