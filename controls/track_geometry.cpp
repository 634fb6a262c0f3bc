#include "controls/track_geometry.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

// Products are formed in 64 bits and the result saturated, so extreme Min/Max values or
// positions cannot overflow.
int Saturate(int64_t V) {
  return static_cast<int>(
      std::clamp<int64_t>(V, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// Pixel coordinates stay far inside int so that rectangles built from them cannot overflow.
int ClampPixel(int64_t V) {
  return static_cast<int>(std::clamp<int64_t>(V, -(1 << 24), 1 << 24));
}

// A * B div D, or 0 when D is 0 (an empty range puts everything at the start). Callers keep
// the factors below 2^33 and 2^25, so the product fits.
int64_t MulDiv(int64_t A, int64_t B, int64_t D) {
  return D == 0 ? 0 : A * B / D;
}

}  // namespace

TTrackGeometry MakeTrackGeometry(bool Vertical, QSize Client, int ThumbSize, int Margin,
                                 int TrackSize, int Min, int Max, QSize Image) {
  TTrackGeometry G;
  G.Vertical = Vertical;
  G.Client = Client;
  G.ThumbSize = ThumbSize;
  G.Margin = ClampPixel(Margin);
  G.Min = Min;
  G.Max = Max;
  G.Image = Image;
  const int Along = Vertical ? Client.height() : Client.width();
  G.Length = ClampPixel(int64_t{Along} - ThumbSize);
  // Positions count from Min, so the track's start s and end e are m and L + m; h centres
  // the track in the client.
  const int64_t S = G.Margin;
  const int64_t E = int64_t{G.Length} + G.Margin;
  const int64_t H = (Along + S - E) / 2;
  G.Offset = ClampPixel(H - G.Margin);
  const int TrackStart = ClampPixel(H + S - G.Margin);
  const int TrackEnd = ClampPixel(H + E - G.Margin);
  const int HalfTrack = ClampPixel(TrackSize) / 2;
  if (Vertical) {
    const int Left = Client.width() / 2 - HalfTrack;
    const int Right = Client.width() / 2 + HalfTrack;
    G.Track = QRect(Left, TrackStart, Right - Left, TrackEnd - TrackStart);
  } else {
    const int Top = Client.height() / 2 - HalfTrack;
    const int Bottom = Client.height() / 2 + HalfTrack;
    G.Track = QRect(TrackStart, Top, TrackEnd - TrackStart, Bottom - Top);
  }
  return G;
}

QPoint TTrackGeometry::ThumbCorner(int Position) const {
  const int64_t Span = int64_t{Max} - Min;
  if (Vertical) {
    const int Y = ClampPixel(MulDiv(int64_t{Max} - Position, Length, Span) + Offset);
    return {Client.width() / 2 - Image.width() / 2, Y};
  }
  const int X = ClampPixel(MulDiv(Length, int64_t{Position} - Min, Span) + Offset);
  return {X, Client.height() / 2 - Image.height() / 2};
}

int TTrackGeometry::PixelToValue(QPoint P) const {
  const int64_t Span = int64_t{Max} - Min;
  if (Vertical)
    return Saturate(int64_t{Max} - MulDiv(ClampPixel(P.y() + int64_t{Margin}), Span, Length));
  return Saturate(int64_t{Min} + MulDiv(ClampPixel(P.x() - int64_t{Margin}), Span, Length));
}

int TTrackGeometry::LineX(int Value) const {
  const int64_t Span = int64_t{Max} - Min;
  return ClampPixel(MulDiv(int64_t{Value} - Min, Length, Span) + 2 * int64_t{Margin});
}

int TTrackGeometry::TickX(int K) const {
  const int Along = Vertical ? Client.height() : Client.width();
  return ClampPixel(MulDiv(K, int64_t{Along} - ThumbSize, 31) + Margin + Offset);
}
