#pragma once

#include <vector>

#include <QColor>
#include <QImage>
#include <QWidget>

#include "controls/track_geometry.h"
#include "controls/tracker2_types.h"
#include "cutting/peak_overview.h"

// A self-painted track bar with one or two thumbs. With SecondThumb it edits a range
// PositionL < PositionU, painted in TrackCenterColor between the thumbs; independently it
// shows a thin play-cursor line at LinePosition (0 hides it). Every change of a thumb's
// position, by code, mouse or key, fires OnChange.
class TTrackBar2 : public QWidget {
  Q_OBJECT

 public:
  explicit TTrackBar2(QWidget* Parent = nullptr);

  int Min() const { return FMin; }
  void SetMin(int Value);
  int Max() const { return FMax; }
  void SetMax(int Value);
  int PositionL() const { return FPositionL; }
  void SetPositionL(int Value);
  int PositionU() const { return FPositionU; }
  void SetPositionU(int Value);
  int LinePosition() const { return FLinePosition; }
  void SetLinePosition(int Value);
  int SmallChange() const { return FSmallChange; }
  void SetSmallChange(int Value) { FSmallChange = Value; }
  int LargeChange() const { return FLargeChange; }
  void SetLargeChange(int Value) { FLargeChange = Value; }
  bool SecondThumb() const { return FSecondThumb; }
  void SetSecondThumb(bool Value);
  // Follows the shape after every resize (taller than wide is vertical).
  TOrientation Orientation() {
    EnsureSized();
    return FOrientation;
  }
  void SetOrientation(TOrientation Value);
  int TrackSize() const { return FTrackSize; }
  void SetTrackSize(int Value);
  TTrackStyle TrackStyle() const { return FTrackStyle; }
  void SetTrackStyle(TTrackStyle Value);
  QColor TrackColor() const { return FTrackColor; }
  void SetTrackColor(QColor Value);
  QColor TrackCenterColor() const { return FTrackCenterColor; }
  void SetTrackCenterColor(QColor Value);
  int TickSize() const { return FTickSize; }
  void SetTickSize(int Value);
  TTickStyle TickStyle() const { return FTickStyle; }
  void SetTickStyle(TTickStyle Value);
  QColor TickColor() const { return FTickColor; }
  void SetTickColor(QColor Value);
  TTickOrientation TickOrientation() const { return FTickOrientation; }
  void SetTickOrientation(TTickOrientation Value);
  int TickInterval() const { return FTickInterval; }
  void SetTickInterval(int Value);
  int ThumbSize() const { return FThumbSize; }
  void SetThumbSize(int Value);
  TThumbStyle ThumbStyle() const { return FThumbStyle; }
  void SetThumbStyle(TThumbStyle Value);
  QColor ThumbColor() const { return FThumbColor; }
  void SetThumbColor(QColor Value);
  bool DitherThumb() const { return FDitherThumb; }
  void SetDitherThumb(bool Value);
  bool Ctl3D() const { return FCtl3D; }
  void SetCtl3D(bool Value);
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
  // Position P stands for P * SecondsPerUnit seconds (the main window's half seconds: 0.5);
  // 0 spreads the whole overview over Min..Max. A growing overview is set again as more
  // arrives; columns not yet there stay empty. Without a waveform the bar paints as before.
  void SetWaveform(TPeakOverview Peaks, double SecondsPerUnit = 0);
  void ClearWaveform();
  bool HasWaveform() const { return FHasWaveform; }
  const TPeakOverview& Waveform() const { return FWaveform; }
  QColor WaveformColor() const { return FWaveformColor; }
  void SetWaveformColor(QColor Value);
  TWaveformLayout WaveformLayout() const { return FWaveformLayout; }
  void SetWaveformLayout(TWaveformLayout Value);
  // Stretches tinted over the waveform (a segment list); drawn only with a waveform.
  const std::vector<TMarkedStretch>& MarkedStretches() const { return FMarkedStretches; }
  void SetMarkedStretches(std::vector<TMarkedStretch> Value);
  QColor MarkedColor() const { return FMarkedColor; }
  void SetMarkedColor(QColor Value);

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
  virtual void DrawTrack(QPainter& Canvas);
  virtual void DoDrawTrack(QPainter& Canvas);
  virtual void UpdateTickImage();
  virtual void DrawTicks(QPainter& Canvas);
  virtual void DoDrawTick(QPainter& Canvas, int X, int Y, int Position);
  virtual void UpdateThumbImage();
  virtual void DrawThumbs(QPainter& Canvas);
  virtual void DoDrawThumb(QPainter& Canvas, int X, int Y);
  virtual void UpdateDitherPattern();
  virtual void NotifyChange();
  virtual void DrawLine(QPainter& Canvas, int Value);

  bool event(QEvent* E) override;
  void paintEvent(QPaintEvent* E) override;
  void resizeEvent(QResizeEvent* E) override;
  void mousePressEvent(QMouseEvent* E) override;
  void mouseMoveEvent(QMouseEvent* E) override;
  void mouseReleaseEvent(QMouseEvent* E) override;
  void keyPressEvent(QKeyEvent* E) override;
  void keyReleaseEvent(QKeyEvent* E) override;
  void focusInEvent(QFocusEvent* E) override;
  void focusOutEvent(QFocusEvent* E) override;
  void changeEvent(QEvent* E) override;

 private:
  void SizeChanged();
  void EnsureSized();
  void RebuildThumbAndTrack();
  bool UpperAddressed(QPoint Click);
  void StepTowards(bool Upper, QRect Thumb, QPoint Click);
  void SetAddressed(bool Upper, long long Value);
  void DrawTick(QPainter& Canvas, int X, int Y, int Position);
  QImage ComposedThumb(QPainter& Canvas, QPoint LowerCorner);
  void PaintSelectedRange(QPainter& Canvas, QPoint Lower, QPoint Upper);
  void UpdateLineStrip(int Value);
  // Waveform painting (tracker2_waveform.cpp).
  QRect WaveformArea() const;
  double SecondsPerPixel() const;
  double PixelSeconds(int X) const;
  void DrawWaveform(QPainter& Canvas);
  void DrawMarkedStretches(QPainter& Canvas, QRect Area);
  void DrawEnvelope(QPainter& Canvas, QRect Band, int Channel);

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
