// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QLabel>

// A label (or picture) that opens something when clicked, with a hand cursor; optionally its
// text turns another colour while the mouse is over it.
class TLinkLabel : public QLabel {
  Q_OBJECT

 public:
  explicit TLinkLabel(const QString& text = {}, QWidget* parent = nullptr);
  void SetColors(QColor normal, QColor hover);

 signals:
  void Clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void Paint(QColor color);
  QColor FNormal, FHover;
};
