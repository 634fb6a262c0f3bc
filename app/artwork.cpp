// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace artwork {
namespace {

QPixmap Canvas(int width, int height, qreal ratio) {
  QPixmap pixmap(qRound(width * ratio), qRound(height * ratio));
  pixmap.setDevicePixelRatio(ratio);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

// The icon on a 64-unit grid: a blue rounded square, a white wave, and a green selection
// bracket around its middle.
void PaintIcon(QPainter& p, qreal size) {
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 64.0, size / 64.0);
  QLinearGradient back(0, 0, 0, 64);
  back.setColorAt(0, QColor(0x2d, 0x6c, 0xdf));
  back.setColorAt(1, QColor(0x1a, 0x3f, 0x8f));
  p.setPen(Qt::NoPen);
  p.setBrush(back);
  p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
  p.setBrush(QColor(0x3c, 0xc8, 0x6e, 200));
  p.drawRect(QRectF(22, 12, 20, 40));
  const qreal heights[] = {6, 14, 22, 30, 18, 34, 26, 12, 20, 8};
  p.setBrush(Qt::white);
  for (int i = 0; i < 10; ++i)
    p.drawRoundedRect(QRectF(9 + i * 4.8, 32 - heights[i] / 2, 3, heights[i]), 1.5, 1.5);
}

}  // namespace

QPixmap IconPixmap(int size, qreal devicePixelRatio) {
  QPixmap pixmap = Canvas(size, size, devicePixelRatio);
  QPainter painter(&pixmap);
  PaintIcon(painter, size);
  return pixmap;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(IconPixmap(size));
  return icon;
}

void PaintBanner(QPainter& painter, const QRect& rect) {
  QLinearGradient back(rect.topLeft(), rect.topRight());
  back.setColorAt(0, QColor(0x1a, 0x3f, 0x8f));
  back.setColorAt(1, QColor(0x2d, 0x6c, 0xdf));
  painter.fillRect(rect, back);
}

QPixmap UpdatePixmap(int size, qreal devicePixelRatio) {
  QPixmap pixmap = Canvas(size, size, devicePixelRatio);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::white, size / 8.0, Qt::SolidLine, Qt::RoundCap));
  const QRectF ring(size * 0.15, size * 0.15, size * 0.7, size * 0.7);
  p.drawArc(ring, 60 * 16, 280 * 16);
  QPainterPath head;
  head.moveTo(size * 0.62, size * 0.05);
  head.lineTo(size * 0.82, size * 0.22);
  head.lineTo(size * 0.55, size * 0.32);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawPath(head);
  return pixmap;
}

QPixmap DonatePixmap(int width, int height, qreal devicePixelRatio) {
  QPixmap pixmap = Canvas(width, height, devicePixelRatio);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0xb0, 0x7a, 0x00), 1));
  p.setBrush(QColor(0xff, 0xc4, 0x39));
  p.drawRoundedRect(QRectF(0.5, 0.5, width - 1, height - 1), height / 2.0, height / 2.0);
  QFont font = p.font();
  font.setBold(true);
  p.setFont(font);
  p.setPen(QColor(0x20, 0x30, 0x60));
  p.drawText(QRectF(0, 0, width, height), Qt::AlignCenter, QStringLiteral("Donate"));
  return pixmap;
}

}  // namespace artwork
