// SPDX-License-Identifier: GPL-3.0-or-later
// The waveform behind the track of TTrackBar2, and the stretches marked over it.

#include <algorithm>
#include <cmath>
#include <utility>

#include "controls/tracker2.h"

namespace {

const QColor kDisabledWaveform(0x80, 0x80, 0x80);

// Y of a 16-bit sample in a band: full scale reaches the band's edges.
int SampleY(QRect band, int sample) {
  const double half = (band.height() - 1) / 2.0;
  const double mid = band.top() + half;
  return static_cast<int>(std::lround(mid - sample * half / 32768.0));
}

}  // namespace

void TTrackBar2::SetWaveform(TPeakOverview peaks, double secondsPerUnit) {
  FWaveform = std::move(peaks);
  FSecondsPerUnit = std::isfinite(secondsPerUnit) && secondsPerUnit > 0 ? secondsPerUnit : 0;
  FHasWaveform = true;
  update();
}

void TTrackBar2::ClearWaveform() {
  FWaveform = TPeakOverview{};
  FHasWaveform = false;
  update();
}

void TTrackBar2::SetWaveformColor(QColor value) {
  FWaveformColor = value;
  update();
}

void TTrackBar2::SetWaveformLayout(TWaveformLayout value) {
  FWaveformLayout = value;
  update();
}

void TTrackBar2::SetMarkedStretches(std::vector<TMarkedStretch> value) {
  FMarkedStretches = std::move(value);
  update();
}

void TTrackBar2::SetMarkedColor(QColor value) {
  FMarkedColor = value;
  update();
}

// Inside the track's bevel, where the track colour shows.
QRect TTrackBar2::WaveformArea() const {
  const bool bevel = FTrackStyle == TTrackStyle::trRaised || FTrackStyle == TTrackStyle::trLowered;
  return bevel ? FGeometry.Track.adjusted(2, 2, -2, -2) : FGeometry.Track;
}

// The track's width spans Min..Max; without a unit it spans the whole overview.
double TTrackBar2::SecondsPerPixel() const {
  const int trackWidth = FGeometry.Track.width();
  if (trackWidth <= 0) return 0;
  if (FSecondsPerUnit > 0) return FSecondsPerUnit * (double(FMax) - FMin) / trackWidth;
  return FWaveform.Seconds() / trackWidth;
}

double TTrackBar2::PixelSeconds(int column) const {
  const double origin = FSecondsPerUnit > 0 ? FMin * FSecondsPerUnit : 0;
  return origin + (column - FGeometry.Track.left()) * SecondsPerPixel();
}

void TTrackBar2::DrawWaveform(QPainter& canvas) {
  const QRect area = WaveformArea();
  if (FOrientation != TOrientation::toHorizontal || area.isEmpty() || SecondsPerPixel() <= 0)
    return;
  DrawMarkedStretches(canvas, area);
  if (FWaveformLayout == TWaveformLayout::wlChannels && FWaveform.Channels == 2 &&
      area.height() >= 4) {
    const int half = area.height() / 2;
    DrawEnvelope(canvas, QRect(area.left(), area.top(), area.width(), half), 0);
    DrawEnvelope(canvas, QRect(area.left(), area.top() + half, area.width(), area.height() - half),
                 1);
  } else {
    DrawEnvelope(canvas, area, -1);
  }
}

void TTrackBar2::DrawMarkedStretches(QPainter& canvas, QRect area) {
  const double perPixel = SecondsPerPixel();
  const double start = PixelSeconds(area.left());
  for (const TMarkedStretch& s : FMarkedStretches) {
    const double from = std::clamp((s.From - start) / perPixel, 0.0, double(area.width()));
    const double to = std::clamp((s.To - start) / perPixel, 0.0, double(area.width()));
    const int left = area.left() + static_cast<int>(std::floor(from));
    const int right = area.left() + static_cast<int>(std::ceil(to));
    if (right > left) canvas.fillRect(left, area.top(), right - left, area.height(), FMarkedColor);
  }
}

// One vertical stroke per pixel column, from the column's lowest to its highest sample.
// Columns of the overview that have not arrived yet leave the track as it is.
void TTrackBar2::DrawEnvelope(QPainter& canvas, QRect band, int channel) {
  const QColor color = isEnabled() ? FWaveformColor : kDisabledWaveform;
  const double perColumn = 1.0 / TPeakOverview::kPeaksPerSecond;
  const int64_t columns = FWaveform.Columns();
  for (int column = band.left(); column <= band.right(); ++column) {
    const double from = PixelSeconds(column) / perColumn;
    const double to = PixelSeconds(column + 1) / perColumn;
    if (!(from >= 0) || from >= double(columns)) continue;
    const auto first = static_cast<int64_t>(from);
    const auto last =
        std::max(first + 1, static_cast<int64_t>(std::ceil(std::min(to, double(columns)))));
    const TPeak p = FWaveform.Envelope(first, last, channel);
    const int top = std::max(band.top(), SampleY(band, p.Max));
    const int bottom = std::min(band.bottom(), SampleY(band, p.Min));
    canvas.fillRect(column, top, 1, std::max(1, bottom - top + 1), color);
  }
}
