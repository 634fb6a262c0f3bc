// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/thumb_images.h"

#include <cstdlib>
#include <vector>

namespace tracker2_images {
namespace {

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kBlack = 0xFF000000;

QImage BlankImage(QSize size, QRgb fill) {
  if (size.width() <= 0 || size.height() <= 0) return {};
  QImage i(size, QImage::Format_RGB32);
  i.fill(fill);
  return i;
}

// Pointer outline as (width, height) with the tip up; the other directions are rotations.
QSize PointerSize(TThumbStyle style) {
  switch (style) {
    case TThumbStyle::tsSmallPointer:
      return {11, 16};
    case TThumbStyle::tsMediumPointer:
      return {15, 22};
    default:
      return {21, 30};
  }
}

bool InsideUpPointer(int x, int y, QSize up) {
  if (x < 0 || y < 0 || x >= up.width() || y >= up.height()) return false;
  const int half = up.width() / 2;
  return y >= half || std::abs(x - half) <= y;
}

// Maps a pixel of the rotated image back onto the tip-up outline.
bool InsidePointer(int x, int y, QSize up, TPointerDirection d) {
  switch (d) {
    case TPointerDirection::Up:
      return InsideUpPointer(x, y, up);
    case TPointerDirection::Down:
      return InsideUpPointer(x, up.height() - 1 - y, up);
    case TPointerDirection::Left:
      return InsideUpPointer(y, x, up);
    case TPointerDirection::Right:
      return InsideUpPointer(y, up.height() - 1 - x, up);
  }
  return false;
}

}  // namespace

bool IsPointerStyle(TThumbStyle style) {
  return style == TThumbStyle::tsSmallPointer || style == TThumbStyle::tsMediumPointer ||
         style == TThumbStyle::tsLargePointer;
}

bool IsRectangleStyle(TThumbStyle style) {
  return style == TThumbStyle::tsRectangle || style == TThumbStyle::tsRaisedRectangle ||
         style == TThumbStyle::tsLoweredRectangle;
}

TPointerThumb MakePointerThumb(TThumbStyle style, TPointerDirection direction, QColor face) {
  const QSize upright = PointerSize(style);
  const bool sideways =
      direction == TPointerDirection::Left || direction == TPointerDirection::Right;
  const QSize size = sideways ? upright.transposed() : upright;
  TPointerThumb t{BlankImage(size, kBlack), BlankImage(size, kWhite)};
  auto inside = [&](int x, int y) { return InsidePointer(x, y, upright, direction); };
  // Edge pixels touch the outside; the ring inside them touches an edge pixel. Each ring is
  // lit on its top-left faces and shaded on its bottom-right faces, like a raised button.
  auto onEdge = [&](int x, int y) {
    return inside(x, y) &&
           (!inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1));
  };
  for (int y = 0; y < size.height(); ++y) {
    for (int x = 0; x < size.width(); ++x) {
      if (!inside(x, y)) continue;
      t.Mask.setPixel(x, y, kBlack);
      QRgb c = face.rgb();
      if (onEdge(x, y)) {
        c = (!inside(x + 1, y) || !inside(x, y + 1)) ? kBlack : kWhite;
      } else if (onEdge(x - 1, y) || onEdge(x + 1, y) || onEdge(x, y - 1) || onEdge(x, y + 1)) {
        c = (onEdge(x + 1, y) || onEdge(x, y + 1)) ? kGray : kSilver;
      }
      t.Image.setPixel(x, y, c);
    }
  }
  return t;
}

QImage MakeRectangleThumb(QSize size, TThumbStyle style, QColor face) {
  QImage i = BlankImage(size, face.rgb());
  if (i.isNull()) return i;
  QPainter p(&i);
  if (style == TThumbStyle::tsRectangle) FrameRect(p, i.rect(), Qt::black);
  if (style == TThumbStyle::tsRaisedRectangle) DrawBevel(p, i.rect(), true);
  if (style == TThumbStyle::tsLoweredRectangle) DrawBevel(p, i.rect(), false);
  return i;
}

QImage MakeTickImage(int size, TTickStyle style, QColor color) {
  QImage i = BlankImage({size, size}, color.rgb());
  if (i.isNull()) return i;
  QPainter p(&i);
  const QRect r = i.rect();
  if (style == TTickStyle::tiSquare) FrameRect(p, r, Qt::black);
  if (style == TTickStyle::tiRaisedSquare || style == TTickStyle::tiLoweredSquare) {
    const bool raised = style == TTickStyle::tiRaisedSquare;
    p.fillRect(r.left(), r.top(), r.width(), 1, QColor(raised ? kWhite : kBlack));
    p.fillRect(r.left(), r.top(), 1, r.height(), QColor(raised ? kWhite : kBlack));
    p.fillRect(r.left(), r.bottom(), r.width(), 1, QColor(raised ? kBlack : kWhite));
    p.fillRect(r.right(), r.top(), 1, r.height(), QColor(raised ? kBlack : kWhite));
  }
  return i;
}

QImage MakeDitherPattern(QColor trackColor) {
  QImage i = BlankImage({8, 8}, trackColor.rgb());
  const QRgb odd = trackColor.rgb() == kSilver ? kGray : kSilver;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      if ((x + y) % 2 == 1) i.setPixel(x, y, odd);
  return i;
}

void FrameRect(QPainter& p, QRect r, QColor color) {
  if (r.isEmpty()) return;
  p.fillRect(r.left(), r.top(), r.width(), 1, color);
  p.fillRect(r.left(), r.bottom(), r.width(), 1, color);
  p.fillRect(r.left(), r.top(), 1, r.height(), color);
  p.fillRect(r.right(), r.top(), 1, r.height(), color);
}

void DrawBevel(QPainter& p, QRect r, bool raised) {
  const QColor light[2] = {QColor(kWhite), QColor(kSilver)};
  const QColor dark[2] = {QColor(kBlack), QColor(kGray)};
  for (int ring = 0; ring < 2 && !r.isEmpty(); ++ring) {
    const QColor& topLeft = raised ? light[ring] : dark[ring];
    const QColor& bottomRight = raised ? dark[ring] : light[ring];
    p.fillRect(r.left(), r.top(), r.width(), 1, topLeft);
    p.fillRect(r.left(), r.top(), 1, r.height(), topLeft);
    p.fillRect(r.left(), r.bottom(), r.width(), 1, bottomRight);
    p.fillRect(r.right(), r.top(), 1, r.height(), bottomRight);
    r.adjust(1, 1, -1, -1);
  }
}

QImage ComposeMasked(const QImage& under, const QImage& mask, const QImage& image) {
  QImage out = image.convertToFormat(QImage::Format_RGB32);
  const QImage u = under.convertToFormat(QImage::Format_RGB32);
  const QImage m = mask.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < out.height(); ++y) {
    for (int x = 0; x < out.width(); ++x) {
      const QRgb below = u.valid(x, y) ? u.pixel(x, y) : kBlack;
      const QRgb keep = m.valid(x, y) ? m.pixel(x, y) : kBlack;
      out.setPixel(x, y, 0xFF000000u | (below & keep) | out.pixel(x, y));
    }
  }
  return out;
}

void FloodFillPattern(QImage& target, QPoint start, const QImage& pattern) {
  if (!target.valid(start) || pattern.isNull()) return;
  const QRgb old = target.pixel(start);
  const int w = target.width();
  std::vector<bool> seen(static_cast<size_t>(w) * target.height(), false);
  std::vector<QPoint> todo{start};
  seen[static_cast<size_t>(start.y()) * w + start.x()] = true;
  while (!todo.empty()) {
    const QPoint p = todo.back();
    todo.pop_back();
    target.setPixel(p, pattern.pixel(p.x() % pattern.width(), p.y() % pattern.height()));
    for (const QPoint n :
         {p + QPoint(1, 0), p - QPoint(1, 0), p + QPoint(0, 1), p - QPoint(0, 1)}) {
      if (!target.valid(n)) continue;
      const size_t index = static_cast<size_t>(n.y()) * w + n.x();
      if (seen[index] || target.pixel(n) != old) continue;
      seen[index] = true;
      todo.push_back(n);
    }
  }
}

}  // namespace tracker2_images
