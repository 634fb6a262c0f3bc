// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/link_label.h"

#include <QEnterEvent>
#include <QMouseEvent>

TLinkLabel::TLinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setCursor(Qt::PointingHandCursor);
}

void TLinkLabel::SetColors(QColor normal, QColor hover) {
  FNormal = normal;
  FHover = hover;
  Paint(FNormal);
}

void TLinkLabel::Paint(QColor color) {
  if (!color.isValid()) return;
  QPalette palette = this->palette();
  palette.setColor(QPalette::WindowText, color);
  setPalette(palette);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
    emit Clicked();
  QLabel::mouseReleaseEvent(event);
}

void TLinkLabel::enterEvent(QEnterEvent* event) {
  Paint(FHover);
  QLabel::enterEvent(event);
}

void TLinkLabel::leaveEvent(QEvent* event) {
  Paint(FNormal);
  QLabel::leaveEvent(event);
}
