// SPDX-License-Identifier: GPL-3.0-or-later
// Painting of TTrackBar2. The bar is composed in an image first: the pointer thumbs are
// masked over the pixels beneath them, which a widget's paint device cannot be read for.

#include <QPaintEvent>
#include <algorithm>

#include "controls/thumb_images.h"
#include "controls/tracker2.h"

using namespace tracker2_images;

namespace {

const QColor kLineColor(0, 200, 200);
constexpr int kLineLength = 50;  // or the bar's height, when it is taller
constexpr int kSelectionTintAlpha = 0x70;

// A dotted focus frame: every other border pixel inverted, so it shows on any colour.
void DrawFocusFrame(QImage& canvas) {
  const int w = canvas.width();
  const int h = canvas.height();
  auto invert = [&](int x, int y) {
    if ((x + y) % 2 == 0) canvas.setPixel(x, y, canvas.pixel(x, y) ^ 0x00FFFFFFu);
  };
  for (int x = 0; x < w; ++x) {
    invert(x, 0);
    if (h > 1) invert(x, h - 1);
  }
  for (int y = 1; y + 1 < h; ++y) {
    invert(0, y);
    if (w > 1) invert(w - 1, y);
  }
}

}  // namespace

void TTrackBar2::paintEvent(QPaintEvent*) {
  EnsureSized();
  QImage buffer(size(), QImage::Format_RGB32);
  if (buffer.isNull()) return;
  buffer.fill(palette().color(backgroundRole()));
  {
    QPainter canvas(&buffer);
    if (OnPaint) {
      canvas.save();
      OnPaint(this, canvas);
      canvas.restore();
    }
    DrawTrack(canvas);
    if (FOrientation == TOrientation::toHorizontal) DrawTicks(canvas);
    DrawThumbs(canvas);
    DrawLine(canvas, FLinePosition);
  }
  if (hasFocus()) DrawFocusFrame(buffer);
  QPainter(this).drawImage(0, 0, buffer);
}

void TTrackBar2::DrawTrack(QPainter& canvas) {
  if (FTrackStyle == TTrackStyle::trUserDrawn) {
    DoDrawTrack(canvas);
    return;
  }
  const QRect r = FGeometry.Track;
  if (r.isEmpty()) return;
  // A disabled bar shows its track dithered with grey.
  if (isEnabled())
    canvas.fillRect(r, FTrackColor);
  else
    canvas.fillRect(r, QBrush(FDitherPattern));
  if (FTrackStyle == TTrackStyle::trRaised || FTrackStyle == TTrackStyle::trLowered)
    DrawBevel(canvas, r, FTrackStyle == TTrackStyle::trRaised);
  if (FHasWaveform) DrawWaveform(canvas);
}

void TTrackBar2::DoDrawTrack(QPainter& canvas) {
  if (!OnDrawTrack) return;
  canvas.save();
  OnDrawTrack(this, canvas);
  canvas.restore();
}

// Ticks mark 32 evenly spaced places along the travel of the thumbs, whatever the range.
void TTrackBar2::DrawTicks(QPainter& canvas) {
  if (FTickInterval <= 0 || FMax == FMin) return;
  const bool top = FTickOrientation != TTickOrientation::toBottomRight;
  const bool bottom = FTickOrientation != TTickOrientation::toTopLeft;
  for (int k = 0; k < 32; k += FTickInterval) {
    const int tickX = FGeometry.TickX(k);
    if (top) DrawTick(canvas, tickX, 2, k);
    if (bottom) DrawTick(canvas, tickX, height() - FTickSize - 2, k);
  }
}

void TTrackBar2::DrawTick(QPainter& canvas, int tickX, int tickY, int position) {
  switch (FTickStyle) {
    case TTickStyle::tiUserDrawn:
      DoDrawTick(canvas, tickX, tickY, position);
      break;
    case TTickStyle::tiLine:
      if (FTickSize > 0) canvas.fillRect(tickX, tickY, 1, FTickSize, FTickColor);
      break;
    default:
      if (!FTickImage.isNull()) canvas.drawImage(tickX - FTickSize / 2, tickY, FTickImage);
      break;
  }
}

void TTrackBar2::DoDrawTick(QPainter& canvas, int tickX, int tickY, int position) {
  if (!OnDrawTick) return;
  canvas.save();
  OnDrawTick(this, canvas, tickX, tickY, position);
  canvas.restore();
}

// The thumb image as it will appear: a pointer is masked over what lies beneath the lower
// thumb; the same picture is then used for both thumbs.
QImage TTrackBar2::ComposedThumb(QPainter& canvas, QPoint lowerCorner) {
  if (FThumbMask.isNull()) return FThumbImage;
  QImage under(FThumbImage.size(), QImage::Format_RGB32);
  under.fill(palette().color(backgroundRole()));
  QPaintDevice* device = canvas.device();
  if (device && device->devType() == QInternal::Image) {
    const auto* image = static_cast<const QImage*>(device);
    under = image->copy(QRect(lowerCorner, FThumbImage.size()));
  }
  return ComposeMasked(under, FThumbMask, FThumbImage);
}

void TTrackBar2::DrawThumbs(QPainter& canvas) {
  DrawTrack(canvas);
  const QPoint lowerCorner = FGeometry.ThumbCorner(FPositionL);
  const QPoint upperCorner = FGeometry.ThumbCorner(FPositionU);
  if (FThumbStyle == TThumbStyle::tsUserDrawn) {
    DoDrawThumb(canvas, lowerCorner.x(), lowerCorner.y());
    if (FSecondThumb) DoDrawThumb(canvas, upperCorner.x(), upperCorner.y());
  } else if (!FThumbImage.isNull()) {
    QImage thumb = ComposedThumb(canvas, lowerCorner);
    if (!isEnabled() && FDitherThumb)
      FloodFillPattern(thumb, QPoint(thumb.width() / 2, thumb.height() / 2), FDitherPattern);
    canvas.drawImage(lowerCorner, thumb);
    if (FSecondThumb) canvas.drawImage(upperCorner, thumb);
  }
  if (FSecondThumb) PaintSelectedRange(canvas, lowerCorner, upperCorner);
}

void TTrackBar2::DoDrawThumb(QPainter& canvas, int left, int top) {
  if (!OnDrawThumb) return;
  canvas.save();
  OnDrawThumb(this, canvas, left, top);
  canvas.restore();
}

// The track between the two thumbs: an outline in TrackCenterColor, filled once there is
// room inside it.
void TTrackBar2::PaintSelectedRange(QPainter& canvas, QPoint lowerCorner, QPoint upperCorner) {
  const QRect t = FGeometry.Track;
  const QSize image = FThumbImage.size();
  QRect range;
  if (FOrientation == TOrientation::toVertical) {
    const int top = upperCorner.y() + image.height();
    range = QRect(t.left(), top, t.width(), lowerCorner.y() - top);
  } else {
    const int left = lowerCorner.x() + image.width();
    range = QRect(left, t.top(), upperCorner.x() - left, t.height());
  }
  if (range.isEmpty()) return;
  FrameRect(canvas, range, FTrackCenterColor);
  const QRect inside = range.adjusted(1, 1, -1, -1);
  if (inside.isEmpty()) return;
  // Over a waveform the selection is a tint, so the sound's shape shows through it.
  QColor fill = FTrackCenterColor;
  if (FHasWaveform) fill.setAlpha(kSelectionTintAlpha);
  canvas.fillRect(inside, fill);
}

void TTrackBar2::DrawLine(QPainter& canvas, int value) {
  if (value <= 0) return;
  canvas.fillRect(FGeometry.LineX(value), 0, 1, std::max(kLineLength, height()), kLineColor);
}
