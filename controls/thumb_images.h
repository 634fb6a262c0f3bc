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

bool IsPointerStyle(TThumbStyle Style);
bool IsRectangleStyle(TThumbStyle Style);
TPointerThumb MakePointerThumb(TThumbStyle Style, TPointerDirection Direction, QColor Face);
QImage MakeRectangleThumb(QSize Size, TThumbStyle Style, QColor Face);
QImage MakeTickImage(int Size, TTickStyle Style, QColor Color);
// 8 x 8 of TrackColor with every pixel whose row + column is odd silver (gray on silver).
QImage MakeDitherPattern(QColor TrackColor);

// Two-pixel bevel inside R: raised is light top-left and dark bottom-right.
void DrawBevel(QPainter& P, QRect R, bool Raised);
void FrameRect(QPainter& P, QRect R, QColor Color);
QImage ComposeMasked(const QImage& Under, const QImage& Mask, const QImage& Image);
// Replaces the 4-connected area of Start's colour with Pattern, tiled from the image origin.
void FloodFillPattern(QImage& Target, QPoint Start, const QImage& Pattern);

}  // namespace tracker2_images
