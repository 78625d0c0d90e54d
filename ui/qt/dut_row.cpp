#include "ui/qt/dut_row.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <algorithm>
#include <cmath>

#include "ui/qt/status_lamp.h"

namespace {

// A progress bar that shows its caption exactly as given (a plain bar would read "%" signs in
// it as placeholders).
class CaptionedBar : public QProgressBar {
 public:
  using QProgressBar::QProgressBar;
  void setCaption(const QString& caption) {
    caption_ = caption;
    update();
  }
  QString text() const override { return caption_; }

 private:
  QString caption_ = "0.00%";
};

QLabel* caption(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setStyleSheet("color: #505050;");
  return label;
}

}  // namespace

DutRow::DutRow(int dut, QWidget* parent) : QGroupBox(QString("DUT %1").arg(dut), parent) {
  lamp_ = new StatusLamp(this);

  message_ = new QLabel(this);
  message_->setWordWrap(true);
  message_->setMinimumHeight(40);
  message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  QFont messageFont = message_->font();
  messageFont.setPointSizeF(messageFont.pointSizeF() * 1.25);
  messageFont.setBold(true);
  message_->setFont(messageFont);
  message_->setFrameShape(QFrame::StyledPanel);
  message_->setStyleSheet("QLabel { background: white; color: black; padding: 4px; }");

  time_ = new QLabel(this);
  time_->setMinimumWidth(70);
  time_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  time_->setFrameShape(QFrame::StyledPanel);
  QFont timeFont("DejaVu Sans Mono");
  timeFont.setStyleHint(QFont::Monospace);
  timeFont.setPointSizeF(messageFont.pointSizeF());
  time_->setFont(timeFont);
  time_->setStyleSheet("QLabel { background: white; padding: 4px; }");

  ports_ = new QListWidget(this);
  ports_->setFlow(QListView::LeftToRight);
  ports_->setWrapping(false);
  ports_->setSelectionMode(QAbstractItemView::NoSelection);
  ports_->setFocusPolicy(Qt::NoFocus);
  ports_->setFixedHeight(ports_->fontMetrics().height() + 12);
  ports_->setMinimumWidth(160);
  ports_->setSpacing(2);
  ports_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  ports_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

  progress_ = new CaptionedBar(this);
  progress_->setRange(0, 10000);
  progress_->setValue(0);
  progress_->setTextVisible(true);
  progress_->setAlignment(Qt::AlignCenter);
  progress_->setMinimumHeight(24);

  auto* grid = new QGridLayout(this);
  grid->setHorizontalSpacing(10);
  grid->setVerticalSpacing(8);
  grid->addWidget(lamp_, 0, 0, Qt::AlignCenter);
  grid->addWidget(message_, 0, 1, 1, 3);
  grid->addWidget(caption("Time (s)", this), 0, 4, Qt::AlignRight);
  grid->addWidget(time_, 0, 5);
  grid->addWidget(caption("Ports", this), 1, 0, 1, 1, Qt::AlignCenter);
  grid->addWidget(ports_, 1, 1);
  grid->addWidget(caption("Progress", this), 1, 2, Qt::AlignRight);
  grid->addWidget(progress_, 1, 3, 1, 3);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 3);
}

void DutRow::setMessage(const QString& text) {
  message_->setText(text);
}

void DutRow::setProgress(double percent, const QString& caption) {
  const double clamped = std::isfinite(percent) ? std::clamp(percent, 0.0, 100.0) : 0.0;
  progress_->setValue(static_cast<int>(std::lround(clamped * 100)));
  static_cast<CaptionedBar*>(progress_)->setCaption(caption);
}

void DutRow::setStatus(const QColor& lamp, bool lit, const QColor& text) {
  lamp_->setLamp(lamp, lit);
  messageColour_ = text;
  message_->setStyleSheet(
      QString("QLabel { background: white; color: %1; padding: 4px; }").arg(text.name()));
}

void DutRow::setTime(const QString& text) {
  time_->setText(text);
}

void DutRow::setPorts(const QStringList& items) {
  ports_->clear();
  ports_->addItems(items);
}

QString DutRow::message() const {
  return message_->text();
}

QColor DutRow::messageColour() const {
  return messageColour_;
}

QString DutRow::progressCaption() const {
  return progress_->text();
}

int DutRow::progressValue() const {
  return progress_->value();
}

QString DutRow::time() const {
  return time_->text();
}

QStringList DutRow::ports() const {
  QStringList items;
  for (int i = 0; i < ports_->count(); ++i) items << ports_->item(i)->text();
  return items;
}
