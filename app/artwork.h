// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QPixmap>

// The pictures of the windows, drawn in code so that they stay sharp at any scaling and
// need no image plugin: the program's icon (the same design as resources/org.quarvo.Trimora.svg,
// which the desktop entry uses), the title banner, the update and donate pictures.
namespace artwork {

QPixmap IconPixmap(int size, qreal devicePixelRatio = 1.0);
QIcon ProgramIcon();
// Paints the banner's background across `rect`.
void PaintBanner(class QPainter& painter, const QRect& rect);
QPixmap UpdatePixmap(int size, qreal devicePixelRatio = 1.0);
QPixmap DonatePixmap(int width, int height, qreal devicePixelRatio = 1.0);

}  // namespace artwork
