// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>

#include "controls/tracker2_types.h"

// The small bitmaps the track bar paints with, and the two pixel operations it needs
// (masked composition and a pattern flood fill). All images are Format_RGB32. A namespace
// keeps these short names apart from the windows' own drawing helpers.
namespace tracker2_images {

inline constexpr QRgb kSilver = 0xFFC0C0C0;
inline constexpr QRgb kGray = 0xFF808080;

enum class TPointerDirection { Up, Down, Left, Right };

// A pointer thumb: Image is black outside the pointer, Mask is black inside and white
// outside, so (canvas AND Mask) OR Image puts the pointer over the canvas.
struct TPointerThumb {
  QImage Image;
  QImage Mask;
};

bool IsPointerStyle(TThumbStyle style);
bool IsRectangleStyle(TThumbStyle style);
TPointerThumb MakePointerThumb(TThumbStyle style, TPointerDirection direction, QColor face);
QImage MakeRectangleThumb(QSize size, TThumbStyle style, QColor face);
QImage MakeTickImage(int size, TTickStyle style, QColor color);
// 8 x 8 of TrackColor with every pixel whose row + column is odd silver (gray on silver).
QImage MakeDitherPattern(QColor trackColor);

// Two-pixel bevel inside r: raised is light top-left and dark bottom-right.
void DrawBevel(QPainter& p, QRect r, bool raised);
void FrameRect(QPainter& p, QRect r, QColor color);
QImage ComposeMasked(const QImage& under, const QImage& mask, const QImage& image);
// Replaces the 4-connected area of start's colour with pattern, tiled from the image origin.
void FloodFillPattern(QImage& target, QPoint start, const QImage& pattern);

}  // namespace tracker2_images
