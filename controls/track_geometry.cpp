// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/track_geometry.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

// Products are formed in 64 bits and the result saturated, so extreme Min/Max values or
// positions cannot overflow.
int Saturate(int64_t v) {
  return static_cast<int>(
      std::clamp<int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// Pixel coordinates stay far inside int so that rectangles built from them cannot overflow.
int ClampPixel(int64_t v) {
  return static_cast<int>(std::clamp<int64_t>(v, -(1 << 24), 1 << 24));
}

// A * B div D, or 0 when D is 0 (an empty range puts everything at the start). Callers keep
// the factors below 2^33 and 2^25, so the product fits.
int64_t MulDiv(int64_t a, int64_t b, int64_t d) {
  return d == 0 ? 0 : a * b / d;
}

}  // namespace

TTrackGeometry MakeTrackGeometry(bool vertical, QSize client, int thumbSize, int margin,
                                 int trackSize, int min, int max, QSize image) {
  TTrackGeometry g;
  g.Vertical = vertical;
  g.Client = client;
  g.ThumbSize = thumbSize;
  g.Margin = ClampPixel(margin);
  g.Min = min;
  g.Max = max;
  g.Image = image;
  const int along = vertical ? client.height() : client.width();
  g.Length = ClampPixel(int64_t{along} - thumbSize);
  // Positions count from Min, so the track's start s and end e are m and L + m; h centres
  // the track in the client.
  const int64_t s = g.Margin;
  const int64_t e = int64_t{g.Length} + g.Margin;
  const int64_t h = (along + s - e) / 2;
  g.Offset = ClampPixel(h - g.Margin);
  const int trackStart = ClampPixel(h + s - g.Margin);
  const int trackEnd = ClampPixel(h + e - g.Margin);
  const int halfTrack = ClampPixel(trackSize) / 2;
  if (vertical) {
    const int left = client.width() / 2 - halfTrack;
    const int right = client.width() / 2 + halfTrack;
    g.Track = QRect(left, trackStart, right - left, trackEnd - trackStart);
  } else {
    const int top = client.height() / 2 - halfTrack;
    const int bottom = client.height() / 2 + halfTrack;
    g.Track = QRect(trackStart, top, trackEnd - trackStart, bottom - top);
  }
  return g;
}

QPoint TTrackGeometry::ThumbCorner(int position) const {
  const int64_t span = int64_t{Max} - Min;
  if (Vertical) {
    const int y = ClampPixel(MulDiv(int64_t{Max} - position, Length, span) + Offset);
    return {Client.width() / 2 - Image.width() / 2, y};
  }
  const int x = ClampPixel(MulDiv(Length, int64_t{position} - Min, span) + Offset);
  return {x, Client.height() / 2 - Image.height() / 2};
}

int TTrackGeometry::PixelToValue(QPoint p) const {
  const int64_t span = int64_t{Max} - Min;
  if (Vertical)
    return Saturate(int64_t{Max} - MulDiv(ClampPixel(p.y() + int64_t{Margin}), span, Length));
  return Saturate(int64_t{Min} + MulDiv(ClampPixel(p.x() - int64_t{Margin}), span, Length));
}

int TTrackGeometry::LineX(int value) const {
  const int64_t span = int64_t{Max} - Min;
  return ClampPixel(MulDiv(int64_t{value} - Min, Length, span) + 2 * int64_t{Margin});
}

int TTrackGeometry::TickX(int k) const {
  const int along = Vertical ? Client.height() : Client.width();
  return ClampPixel(MulDiv(k, int64_t{along} - ThumbSize, 31) + Margin + Offset);
}
