// Painting of TTrackBar2. The bar is composed in an image first: the pointer thumbs are
// masked over the pixels beneath them, which a widget's paint device cannot be read for.

#include <QPaintEvent>

#include "controls/thumb_images.h"
#include "controls/tracker2.h"

using namespace tracker2_images;

namespace {

const QColor kLineColor(0, 200, 200);
constexpr int kLineLength = 50;
constexpr int kSelectionTintAlpha = 0x70;

// A dotted focus frame: every other border pixel inverted, so it shows on any colour.
void DrawFocusFrame(QImage& Canvas) {
  const int W = Canvas.width();
  const int H = Canvas.height();
  auto Invert = [&](int X, int Y) {
    if ((X + Y) % 2 == 0) Canvas.setPixel(X, Y, Canvas.pixel(X, Y) ^ 0x00FFFFFFu);
  };
  for (int X = 0; X < W; ++X) {
    Invert(X, 0);
    if (H > 1) Invert(X, H - 1);
  }
  for (int Y = 1; Y + 1 < H; ++Y) {
    Invert(0, Y);
    if (W > 1) Invert(W - 1, Y);
  }
}

}  // namespace

void TTrackBar2::paintEvent(QPaintEvent*) {
  EnsureSized();
  QImage Buffer(size(), QImage::Format_RGB32);
  if (Buffer.isNull()) return;
  Buffer.fill(palette().color(backgroundRole()));
  {
    QPainter Canvas(&Buffer);
    if (OnPaint) {
      Canvas.save();
      OnPaint(this, Canvas);
      Canvas.restore();
    }
    DrawTrack(Canvas);
    if (FOrientation == TOrientation::toHorizontal) DrawTicks(Canvas);
    DrawThumbs(Canvas);
    DrawLine(Canvas, FLinePosition);
  }
  if (hasFocus()) DrawFocusFrame(Buffer);
  QPainter(this).drawImage(0, 0, Buffer);
}

void TTrackBar2::DrawTrack(QPainter& Canvas) {
  if (FTrackStyle == TTrackStyle::trUserDrawn) {
    DoDrawTrack(Canvas);
    return;
  }
  const QRect R = FGeometry.Track;
  if (R.isEmpty()) return;
  // A disabled bar shows its track dithered with grey.
  if (isEnabled())
    Canvas.fillRect(R, FTrackColor);
  else
    Canvas.fillRect(R, QBrush(FDitherPattern));
  if (FTrackStyle == TTrackStyle::trRaised || FTrackStyle == TTrackStyle::trLowered)
    DrawBevel(Canvas, R, FTrackStyle == TTrackStyle::trRaised);
  if (FHasWaveform) DrawWaveform(Canvas);
}

void TTrackBar2::DoDrawTrack(QPainter& Canvas) {
  if (!OnDrawTrack) return;
  Canvas.save();
  OnDrawTrack(this, Canvas);
  Canvas.restore();
}

// Ticks mark 32 evenly spaced places along the travel of the thumbs, whatever the range.
void TTrackBar2::DrawTicks(QPainter& Canvas) {
  if (FTickInterval <= 0 || FMax == FMin) return;
  const bool Top = FTickOrientation != TTickOrientation::toBottomRight;
  const bool Bottom = FTickOrientation != TTickOrientation::toTopLeft;
  for (int K = 0; K < 32; K += FTickInterval) {
    const int X = FGeometry.TickX(K);
    if (Top) DrawTick(Canvas, X, 2, K);
    if (Bottom) DrawTick(Canvas, X, height() - FTickSize - 2, K);
  }
}

void TTrackBar2::DrawTick(QPainter& Canvas, int X, int Y, int Position) {
  switch (FTickStyle) {
    case TTickStyle::tiUserDrawn:
      DoDrawTick(Canvas, X, Y, Position);
      break;
    case TTickStyle::tiLine:
      if (FTickSize > 0) Canvas.fillRect(X, Y, 1, FTickSize, FTickColor);
      break;
    default:
      if (!FTickImage.isNull()) Canvas.drawImage(X - FTickSize / 2, Y, FTickImage);
      break;
  }
}

void TTrackBar2::DoDrawTick(QPainter& Canvas, int X, int Y, int Position) {
  if (!OnDrawTick) return;
  Canvas.save();
  OnDrawTick(this, Canvas, X, Y, Position);
  Canvas.restore();
}

// The thumb image as it will appear: a pointer is masked over what lies beneath the lower
// thumb; the same picture is then used for both thumbs.
QImage TTrackBar2::ComposedThumb(QPainter& Canvas, QPoint LowerCorner) {
  if (FThumbMask.isNull()) return FThumbImage;
  QImage Under(FThumbImage.size(), QImage::Format_RGB32);
  Under.fill(palette().color(backgroundRole()));
  QPaintDevice* Device = Canvas.device();
  if (Device && Device->devType() == QInternal::Image) {
    const auto* Image = static_cast<const QImage*>(Device);
    Under = Image->copy(QRect(LowerCorner, FThumbImage.size()));
  }
  return ComposeMasked(Under, FThumbMask, FThumbImage);
}

void TTrackBar2::DrawThumbs(QPainter& Canvas) {
  DrawTrack(Canvas);
  const QPoint Lower = FGeometry.ThumbCorner(FPositionL);
  const QPoint Upper = FGeometry.ThumbCorner(FPositionU);
  if (FThumbStyle == TThumbStyle::tsUserDrawn) {
    DoDrawThumb(Canvas, Lower.x(), Lower.y());
    if (FSecondThumb) DoDrawThumb(Canvas, Upper.x(), Upper.y());
  } else if (!FThumbImage.isNull()) {
    QImage Thumb = ComposedThumb(Canvas, Lower);
    if (!isEnabled() && FDitherThumb)
      FloodFillPattern(Thumb, QPoint(Thumb.width() / 2, Thumb.height() / 2), FDitherPattern);
    Canvas.drawImage(Lower, Thumb);
    if (FSecondThumb) Canvas.drawImage(Upper, Thumb);
  }
  if (FSecondThumb) PaintSelectedRange(Canvas, Lower, Upper);
}

void TTrackBar2::DoDrawThumb(QPainter& Canvas, int X, int Y) {
  if (!OnDrawThumb) return;
  Canvas.save();
  OnDrawThumb(this, Canvas, X, Y);
  Canvas.restore();
}

// The track between the two thumbs: an outline in TrackCenterColor, filled once there is
// room inside it.
void TTrackBar2::PaintSelectedRange(QPainter& Canvas, QPoint Lower, QPoint Upper) {
  const QRect T = FGeometry.Track;
  const QSize Image = FThumbImage.size();
  QRect Range;
  if (FOrientation == TOrientation::toVertical) {
    const int Top = Upper.y() + Image.height();
    Range = QRect(T.left(), Top, T.width(), Lower.y() - Top);
  } else {
    const int Left = Lower.x() + Image.width();
    Range = QRect(Left, T.top(), Upper.x() - Left, T.height());
  }
  if (Range.isEmpty()) return;
  FrameRect(Canvas, Range, FTrackCenterColor);
  const QRect Inside = Range.adjusted(1, 1, -1, -1);
  if (Inside.isEmpty()) return;
  // Over a waveform the selection is a tint, so the sound's shape shows through it.
  QColor Fill = FTrackCenterColor;
  if (FHasWaveform) Fill.setAlpha(kSelectionTintAlpha);
  Canvas.fillRect(Inside, Fill);
}

void TTrackBar2::DrawLine(QPainter& Canvas, int Value) {
  if (Value <= 0) return;
  Canvas.fillRect(FGeometry.LineX(Value), 0, 1, kLineLength, kLineColor);
}
