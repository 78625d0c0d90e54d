#pragma once
// One DUT's row on the main panel: its status lamp, message line (coloured by status),
// elapsed-time counter, port list and percentage progress bar with its caption.

#include <QGroupBox>
#include <QStringList>

class QLabel;
class QListWidget;
class QProgressBar;
class StatusLamp;

class DutRow : public QGroupBox {
 public:
  DutRow(int dut, QWidget* parent = nullptr);

  void setMessage(const QString& text);
  // `percent` from 0 to 100; `caption` is the text the bar shows ("12.34%").
  void setProgress(double percent, const QString& caption);
  // The lamp's colour and whether it is lit, and the colour of the message text.
  void setStatus(const QColor& lamp, bool lit, const QColor& text);
  void setTime(const QString& text);
  void setPorts(const QStringList& items);

  // What the row shows, for checks.
  QString message() const;
  QColor messageColour() const;
  QString progressCaption() const;
  int progressValue() const;  // hundredths of a percent
  const StatusLamp& lamp() const { return *lamp_; }
  QString time() const;
  QStringList ports() const;

 private:
  QLabel* message_;
  QListWidget* ports_;
  QProgressBar* progress_;
  StatusLamp* lamp_;
  QLabel* time_;
  QColor messageColour_{Qt::black};
};
