// The waveform behind the track of TTrackBar2, and the stretches marked over it.

#include <algorithm>
#include <cmath>
#include <utility>

#include "controls/tracker2.h"

namespace {

const QColor kDisabledWaveform(0x80, 0x80, 0x80);

// Y of a 16-bit sample in a band: full scale reaches the band's edges.
int SampleY(QRect Band, int Sample) {
  const double Half = (Band.height() - 1) / 2.0;
  const double Mid = Band.top() + Half;
  return static_cast<int>(std::lround(Mid - Sample * Half / 32768.0));
}

}  // namespace

void TTrackBar2::SetWaveform(TPeakOverview Peaks, double SecondsPerUnit) {
  FWaveform = std::move(Peaks);
  FSecondsPerUnit = std::isfinite(SecondsPerUnit) && SecondsPerUnit > 0 ? SecondsPerUnit : 0;
  FHasWaveform = true;
  update();
}

void TTrackBar2::ClearWaveform() {
  FWaveform = TPeakOverview{};
  FHasWaveform = false;
  update();
}

void TTrackBar2::SetWaveformColor(QColor Value) {
  FWaveformColor = Value;
  update();
}

void TTrackBar2::SetWaveformLayout(TWaveformLayout Value) {
  FWaveformLayout = Value;
  update();
}

void TTrackBar2::SetMarkedStretches(std::vector<TMarkedStretch> Value) {
  FMarkedStretches = std::move(Value);
  update();
}

void TTrackBar2::SetMarkedColor(QColor Value) {
  FMarkedColor = Value;
  update();
}

// Inside the track's bevel, where the track colour shows.
QRect TTrackBar2::WaveformArea() const {
  const bool Bevel = FTrackStyle == TTrackStyle::trRaised || FTrackStyle == TTrackStyle::trLowered;
  return Bevel ? FGeometry.Track.adjusted(2, 2, -2, -2) : FGeometry.Track;
}

// The track's width spans Min..Max; without a unit it spans the whole overview.
double TTrackBar2::SecondsPerPixel() const {
  const int Width = FGeometry.Track.width();
  if (Width <= 0) return 0;
  if (FSecondsPerUnit > 0) return FSecondsPerUnit * (double(FMax) - FMin) / Width;
  return FWaveform.Seconds() / Width;
}

double TTrackBar2::PixelSeconds(int X) const {
  const double Origin = FSecondsPerUnit > 0 ? FMin * FSecondsPerUnit : 0;
  return Origin + (X - FGeometry.Track.left()) * SecondsPerPixel();
}

void TTrackBar2::DrawWaveform(QPainter& Canvas) {
  const QRect Area = WaveformArea();
  if (FOrientation != TOrientation::toHorizontal || Area.isEmpty() || SecondsPerPixel() <= 0)
    return;
  DrawMarkedStretches(Canvas, Area);
  if (FWaveformLayout == TWaveformLayout::wlChannels && FWaveform.Channels == 2 &&
      Area.height() >= 4) {
    const int Half = Area.height() / 2;
    DrawEnvelope(Canvas, QRect(Area.left(), Area.top(), Area.width(), Half), 0);
    DrawEnvelope(Canvas, QRect(Area.left(), Area.top() + Half, Area.width(), Area.height() - Half),
                 1);
  } else {
    DrawEnvelope(Canvas, Area, -1);
  }
}

void TTrackBar2::DrawMarkedStretches(QPainter& Canvas, QRect Area) {
  const double PerPixel = SecondsPerPixel();
  const double Start = PixelSeconds(Area.left());
  for (const TMarkedStretch& S : FMarkedStretches) {
    const double From = std::clamp((S.From - Start) / PerPixel, 0.0, double(Area.width()));
    const double To = std::clamp((S.To - Start) / PerPixel, 0.0, double(Area.width()));
    const int Left = Area.left() + static_cast<int>(std::floor(From));
    const int Right = Area.left() + static_cast<int>(std::ceil(To));
    if (Right > Left) Canvas.fillRect(Left, Area.top(), Right - Left, Area.height(), FMarkedColor);
  }
}

// One vertical stroke per pixel column, from the column's lowest to its highest sample.
// Columns of the overview that have not arrived yet leave the track as it is.
void TTrackBar2::DrawEnvelope(QPainter& Canvas, QRect Band, int Channel) {
  const QColor Color = isEnabled() ? FWaveformColor : kDisabledWaveform;
  const double PerColumn = 1.0 / TPeakOverview::kPeaksPerSecond;
  const int64_t Columns = FWaveform.Columns();
  for (int X = Band.left(); X <= Band.right(); ++X) {
    const double From = PixelSeconds(X) / PerColumn;
    const double To = PixelSeconds(X + 1) / PerColumn;
    if (!(From >= 0) || From >= double(Columns)) continue;
    const auto First = static_cast<int64_t>(From);
    const auto Last =
        std::max(First + 1, static_cast<int64_t>(std::ceil(std::min(To, double(Columns)))));
    const TPeak P = FWaveform.Envelope(First, Last, Channel);
    const int Top = std::max(Band.top(), SampleY(Band, P.Max));
    const int Bottom = std::min(Band.bottom(), SampleY(Band, P.Min));
    Canvas.fillRect(X, Top, 1, std::max(1, Bottom - Top + 1), Color);
  }
}
