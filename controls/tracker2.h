// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include <QColor>
#include <QImage>
#include <QWidget>

#include "controls/track_geometry.h"
#include "controls/tracker2_types.h"
#include "cutting/peaks/peak_overview.h"

// A self-painted track bar with one or two thumbs. With SecondThumb it edits a range
// PositionL < PositionU, painted in TrackCenterColor between the thumbs; independently it
// shows a thin play-cursor line at LinePosition (0 hides it). Every change of a thumb's
// position, by code, mouse or key, fires OnChange.
class TTrackBar2 : public QWidget {
  Q_OBJECT

 public:
  explicit TTrackBar2(QWidget* owner = nullptr);

  int Min() const { return FMin; }
  void SetMin(int value);
  int Max() const { return FMax; }
  void SetMax(int value);
  int PositionL() const { return FPositionL; }
  void SetPositionL(int value);
  int PositionU() const { return FPositionU; }
  void SetPositionU(int value);
  int LinePosition() const { return FLinePosition; }
  void SetLinePosition(int value);
  int SmallChange() const { return FSmallChange; }
  void SetSmallChange(int value) { FSmallChange = value; }
  int LargeChange() const { return FLargeChange; }
  void SetLargeChange(int value) { FLargeChange = value; }
  bool SecondThumb() const { return FSecondThumb; }
  void SetSecondThumb(bool value);
  // Follows the shape after every resize (taller than wide is vertical).
  TOrientation Orientation() {
    EnsureSized();
    return FOrientation;
  }
  void SetOrientation(TOrientation value);
  int TrackSize() const { return FTrackSize; }
  void SetTrackSize(int value);
  TTrackStyle TrackStyle() const { return FTrackStyle; }
  void SetTrackStyle(TTrackStyle value);
  QColor TrackColor() const { return FTrackColor; }
  void SetTrackColor(QColor value);
  QColor TrackCenterColor() const { return FTrackCenterColor; }
  void SetTrackCenterColor(QColor value);
  int TickSize() const { return FTickSize; }
  void SetTickSize(int value);
  TTickStyle TickStyle() const { return FTickStyle; }
  void SetTickStyle(TTickStyle value);
  QColor TickColor() const { return FTickColor; }
  void SetTickColor(QColor value);
  TTickOrientation TickOrientation() const { return FTickOrientation; }
  void SetTickOrientation(TTickOrientation value);
  int TickInterval() const { return FTickInterval; }
  void SetTickInterval(int value);
  int ThumbSize() const { return FThumbSize; }
  void SetThumbSize(int value);
  TThumbStyle ThumbStyle() const { return FThumbStyle; }
  void SetThumbStyle(TThumbStyle value);
  QColor ThumbColor() const { return FThumbColor; }
  void SetThumbColor(QColor value);
  bool DitherThumb() const { return FDitherThumb; }
  void SetDitherThumb(bool value);
  bool Ctl3D() const { return FCtl3D; }
  void SetCtl3D(bool value);
  bool TrackingL() const { return FTrackingL; }
  bool TrackingU() const { return FTrackingU; }

  // Current layout: margin, track length and offset, track rectangle, thumb image size.
  const TTrackGeometry& Geometry();
  // Hit rectangles of the thumbs: their images at the current positions.
  QRect ThumbRectL() { return Geometry().ThumbRect(FPositionL); }
  QRect ThumbRectU() { return Geometry().ThumbRect(FPositionU); }
  const QImage& ThumbImage() const { return FThumbImage; }

  // The sound's shape inside the track of a horizontal bar, behind the selection, thumbs and
  // cursor: every pixel column shows the lowest and highest sample of the time it covers.
  // Position P stands for P * secondsPerUnit seconds (the main window's half seconds: 0.5);
  // 0 spreads the whole overview over Min..Max. A growing overview is set again as more
  // arrives; columns not yet there stay empty. Without a waveform the bar paints as before.
  void SetWaveform(TPeakOverview peaks, double secondsPerUnit = 0);
  void ClearWaveform();
  bool HasWaveform() const { return FHasWaveform; }
  const TPeakOverview& Waveform() const { return FWaveform; }
  QColor WaveformColor() const { return FWaveformColor; }
  void SetWaveformColor(QColor value);
  TWaveformLayout WaveformLayout() const { return FWaveformLayout; }
  void SetWaveformLayout(TWaveformLayout value);
  // Stretches tinted over the waveform (a segment list); drawn only with a waveform.
  const std::vector<TMarkedStretch>& MarkedStretches() const { return FMarkedStretches; }
  void SetMarkedStretches(std::vector<TMarkedStretch> value);
  QColor MarkedColor() const { return FMarkedColor; }
  void SetMarkedColor(QColor value);

  TTrackBarNotifyEvent OnChange;
  TTrackBarPaintEvent OnPaint;
  TDrawTrackEvent OnDrawTrack;
  TDrawThumbEvent OnDrawThumb;
  TDrawTickEvent OnDrawTick;
  TTrackBarMouseEvent OnMouseDown;
  TTrackBarMouseEvent OnMouseMove;
  TTrackBarMouseEvent OnMouseUp;
  TTrackBarKeyEvent OnKeyDown;
  TTrackBarKeyEvent OnKeyUp;
  TTrackBarNotifyEvent OnEnter;
  TTrackBarNotifyEvent OnExit;

 protected:
  virtual void UpdateTrackGeometry();
  virtual void DrawTrack(QPainter& canvas);
  virtual void DoDrawTrack(QPainter& canvas);
  virtual void UpdateTickImage();
  virtual void DrawTicks(QPainter& canvas);
  virtual void DoDrawTick(QPainter& canvas, int tickX, int tickY, int position);
  virtual void UpdateThumbImage();
  virtual void DrawThumbs(QPainter& canvas);
  virtual void DoDrawThumb(QPainter& canvas, int left, int top);
  virtual void UpdateDitherPattern();
  virtual void NotifyChange();
  virtual void DrawLine(QPainter& canvas, int value);

  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void changeEvent(QEvent* e) override;

 private:
  void SizeChanged();
  void EnsureSized();
  void RebuildThumbAndTrack();
  bool UpperAddressed(QPoint click);
  void StepTowards(bool upper, QRect thumb, QPoint click);
  void SetAddressed(bool upper, long long value);
  void DrawTick(QPainter& canvas, int tickX, int tickY, int position);
  QImage ComposedThumb(QPainter& canvas, QPoint lowerCorner);
  void PaintSelectedRange(QPainter& canvas, QPoint lowerCorner, QPoint upperCorner);
  void UpdateLineStrip(int value);
  // Waveform painting (tracker2_waveform.cpp).
  QRect WaveformArea() const;
  double SecondsPerPixel() const;
  double PixelSeconds(int column) const;
  void DrawWaveform(QPainter& canvas);
  void DrawMarkedStretches(QPainter& canvas, QRect area);
  void DrawEnvelope(QPainter& canvas, QRect band, int channel);

  int FMin = 0;
  int FMax = 20;
  int FPositionL = 0;
  int FPositionU = 10;
  int FLinePosition = 0;
  int FSmallChange = 1;
  int FLargeChange = 2;
  bool FSecondThumb = false;
  TOrientation FOrientation = TOrientation::toVertical;
  int FTrackSize = 10;
  TTrackStyle FTrackStyle = TTrackStyle::trLowered;
  QColor FTrackColor = QColor(0xFF, 0xFF, 0xFF);
  QColor FTrackCenterColor = QColor(0x00, 0x80, 0x00);
  int FTickSize = 6;
  TTickStyle FTickStyle = TTickStyle::tiRaisedSquare;
  QColor FTickColor;
  TTickOrientation FTickOrientation = TTickOrientation::toBoth;
  int FTickInterval = 1;
  int FThumbSize = 20;
  TThumbStyle FThumbStyle = TThumbStyle::tsRaisedRectangle;
  QColor FThumbColor;
  bool FDitherThumb = true;
  bool FCtl3D = true;
  bool FTrackingL = false;
  bool FTrackingU = false;

  int FMargin = 0;
  TTrackGeometry FGeometry;
  QSize FSizedAs;  // client size the last size notification handled
  QImage FThumbImage;
  QImage FThumbMask;  // pointer styles only
  QImage FTickImage;
  QImage FDitherPattern;

  bool FHasWaveform = false;
  TPeakOverview FWaveform;
  double FSecondsPerUnit = 0;
  // Dark enough for the cyan cursor to stand out on it, light enough for the thumbs' black
  // edges to stay apart from it.
  QColor FWaveformColor = QColor(0x30, 0x48, 0x80);
  TWaveformLayout FWaveformLayout = TWaveformLayout::wlMixed;
  std::vector<TMarkedStretch> FMarkedStretches;
  QColor FMarkedColor = QColor(0xD0, 0x30, 0x30, 0x60);
};
