#pragma once
// The DUT's status lamp: a round light with an on-colour and an off-colour. Lit, it glows in
// its on-colour; unlit, it shows its off-colour flat. A lamp that was never set is grey.

#include <QColor>
#include <QWidget>

class StatusLamp : public QWidget {
 public:
  explicit StatusLamp(QWidget* parent = nullptr);

  // Lit: shows `colour` as the on-colour; unlit: as the off-colour.
  void setLamp(const QColor& colour, bool lit);

  QColor colour() const { return colour_; }
  bool isLit() const { return lit_; }

  QSize sizeHint() const override { return {28, 28}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor colour_{160, 160, 160};
  bool lit_ = false;
};
