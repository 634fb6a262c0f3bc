// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "cutting/peaks/peak_detail.h"
#include "cutting/peaks/peak_levels.h"
#include "cutting/peaks/peak_overview.h"

class QScrollBar;

// A close view of the open sound above the main window's track bar: the waveform of a
// stretch of the file on a decibel scale (so that a passage at a few percent of full level
// still shows), a time ruler, the selection, the play cursor and the time under the mouse.
// Ctrl+wheel and +/- zoom from the whole file down to a millisecond a pixel, the wheel and
// the scroll bar scroll; a click places the cursor, a drag selects, dragging a selection's
// edge moves it, and the arrows move the edge last taken to the next round time a pixel or so
// away (Shift: a second).
// Times are milliseconds of the file. Below the overview's hundredth of a second a pixel,
// finer columns of the visible stretch are drawn once the window hands them over.
class TDetailView : public QWidget {
  Q_OBJECT

 public:
  explicit TDetailView(QWidget* parent = nullptr);

  // A file of `lengthMs` opened (0: none): the whole of it shown, peaks and marks cleared.
  void SetSound(int32_t lengthMs);
  void SetOverview(TPeakOverview peaks);
  void SetStretch(TPeakDetail::TStretch stretch);
  void SetSelection(int32_t startMs, int32_t endMs);
  // The arrows move the selection's end (or its start) from now on: the edge marked last.
  void TakeEdge(bool end) { FActiveEdge = end ? TDrag::End : TDrag::Start; }
  std::pair<int32_t, int32_t> Selection() const { return {FStartMs, FEndMs}; }
  // Stretches tinted behind the waveform (a segment list), in milliseconds.
  void SetMarked(std::vector<std::pair<int32_t, int32_t>> stretches);
  const std::vector<std::pair<int32_t, int32_t>>& Marked() const { return FMarked; }
  // The tint of the marked stretches: a pale red (stretches to remove) unless set.
  void SetMarkedColor(QColor color) {
    FMarkedColor = color;
    update();
  }
  // The play cursor at `ms` (-1: none); with `follow` the view pages along to keep it shown.
  void SetCursor(int64_t ms, bool follow);

  double FromMs() const { return FFromMs; }
  double ToMs() const { return FFromMs + FMsPerPixel * WaveWidth(); }
  double MsPerPixel() const { return FMsPerPixel; }
  bool Whole() const { return FFromMs == 0 && FMsPerPixel >= WholeMsPerPixel(); }
  // Shows from `fromMs` at `msPerPixel`, held to the file and the zoom's limits.
  void ShowStretch(double fromMs, double msPerPixel);
  // Zooms by `factor` (below 1: closer), keeping `aroundMs` where it is on screen.
  void ZoomBy(double factor, double aroundMs);
  int WaveWidth() const { return width(); }
  double MsAt(int x) const { return FFromMs + x * FMsPerPixel; }
  int XOf(double ms) const;
  QRect WaveArea() const;

  // The user chose a selection (drag, edge, arrows) or a cursor place (click).
  std::function<void(int32_t startMs, int32_t endMs)> OnSelect;
  std::function<void(int32_t ms)> OnCursor;

  QScrollBar* Scroll;

 signals:
  // The stretch shown or its scale changed.
  void VisibleChanged();
  // The user zoomed in or out (keys or wheel).
  void Zoomed();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  enum class TDrag { None, New, Start, End };
  double WholeMsPerPixel() const;
  void UpdateScroll();
  void ShowVisible();
  // Milliseconds at `x`, within the file, to the pixel's precision: whole tenths while a
  // pixel spans a tenth or more.
  int32_t Snapped(int x) const;
  void Select(int32_t startMs, int32_t endMs);
  void PaintRuler(QPainter& painter);
  void PaintWave(QPainter& painter, QRect area);
  TPeak ColumnPeak(double fromMs, double toMs) const;

  int32_t FLengthMs = 0;
  double FFromMs = 0;
  double FMsPerPixel = 1;
  TPeakLevels FOverview;
  TPeakDetail::TStretch FStretch;
  int32_t FStartMs = 0, FEndMs = 0;
  std::vector<std::pair<int32_t, int32_t>> FMarked;
  QColor FMarkedColor{0xD0, 0x30, 0x30, 0x40};
  int64_t FCursorMs = -1;
  int FMouseX = -1;
  TDrag FDrag = TDrag::None;
  TDrag FActiveEdge = TDrag::Start;  // the edge the arrows move
  int32_t FAnchorMs = 0;
  int FPressX = 0;
  bool FMoved = false;
  bool FScrolling = false;  // the view itself is moving the scroll bar
};
