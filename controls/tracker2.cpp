// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/tracker2.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include <QKeyEvent>
#include <QMouseEvent>

#include "controls/thumb_images.h"

using namespace tracker2_images;

namespace {

int Saturate(int64_t v) {
  return static_cast<int>(
      std::clamp<int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

bool IsStepKey(int key) {
  return key == Qt::Key_PageUp || key == Qt::Key_PageDown || key == Qt::Key_Left ||
         key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
}

}  // namespace

TTrackBar2::TTrackBar2(QWidget* owner) : QWidget(owner) {
  FTickColor = palette().color(QPalette::Button);
  FThumbColor = palette().color(QPalette::Button);
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  // Every pixel comes from our own buffer, so Qt need not erase first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(500, 50);
  UpdateThumbImage();
  UpdateTrackGeometry();
  UpdateTickImage();
  UpdateDitherPattern();
  // Qt holds back a hidden widget's resize event until it is shown; take the first size
  // now so the bar is horizontal and laid out from the start.
  SizeChanged();
}

// --- properties -----------------------------------------------------------------------

void TTrackBar2::SetMin(int value) {
  FMin = value;
  if (FPositionL < FMin) FPositionL = FMin;
  UpdateTrackGeometry();
  update();
}

void TTrackBar2::SetMax(int value) {
  FMax = value;
  if (FMax < FPositionU) FPositionU = FMax;
  UpdateTrackGeometry();
  update();
}

// The limits may give the old value back; OnChange still fires, because the caller asked
// for a change and may have shown the asked-for value somewhere already.
void TTrackBar2::SetPositionL(int value) {
  if (value == FPositionL) return;
  int64_t v = value;
  if (FSecondThumb && value >= FPositionU)
    v = int64_t{FPositionU} - 1;
  else if (value > FMax)
    v = FMax;
  else if (value < FMin)
    v = FMin;
  FPositionL = Saturate(v);
  NotifyChange();
  update();
}

// The upper thumb stays above the lower one even without SecondThumb, and has no lower
// limit of its own.
void TTrackBar2::SetPositionU(int value) {
  if (value == FPositionU) return;
  int64_t v = value;
  if (value > FMax)
    v = FMax;
  else if (value <= FPositionL)
    v = int64_t{FPositionL} + 1;
  FPositionU = Saturate(v);
  NotifyChange();
  update();
}

// Only the strips of the old and the new line are repainted. A value above Max repaints
// nothing, so the old line stays on screen until something else repaints the bar.
void TTrackBar2::SetLinePosition(int value) {
  if (value == FLinePosition) return;
  const bool shown = value > 0 && value <= FMax;
  if (shown || value == 0) UpdateLineStrip(FLinePosition);
  if (shown) UpdateLineStrip(value);
  FLinePosition = value;
}

void TTrackBar2::SetSecondThumb(bool value) {
  FSecondThumb = value;
  UpdateThumbImage();
  update();
}

void TTrackBar2::SetOrientation(TOrientation value) {
  FOrientation = value;
  const bool vertical = value == TOrientation::toVertical;
  const bool contradicts = vertical ? width() > height() : height() > width();
  if (contradicts) resize(height(), width());
  RebuildThumbAndTrack();
  update();
}

void TTrackBar2::SetTrackSize(int value) {
  FTrackSize = value;
  UpdateTrackGeometry();
  update();
}

void TTrackBar2::SetTrackStyle(TTrackStyle value) {
  FTrackStyle = value;
  update();
}

// The disabled look dithers the track colour, so the pattern follows it.
void TTrackBar2::SetTrackColor(QColor value) {
  FTrackColor = value;
  UpdateDitherPattern();
  update();
}

void TTrackBar2::SetTrackCenterColor(QColor value) {
  FTrackCenterColor = value;
  update();
}

void TTrackBar2::SetTickSize(int value) {
  FTickSize = value;
  UpdateTickImage();
  update();
}

void TTrackBar2::SetTickStyle(TTickStyle value) {
  FTickStyle = value;
  if (value == TTickStyle::tiLine) FTickColor = Qt::black;
  UpdateTickImage();
  update();
}

void TTrackBar2::SetTickColor(QColor value) {
  FTickColor = value;
  UpdateTickImage();
  update();
}

void TTrackBar2::SetTickOrientation(TTickOrientation value) {
  FTickOrientation = value;
  RebuildThumbAndTrack();
  update();
}

void TTrackBar2::SetTickInterval(int value) {
  FTickInterval = value;
  update();
}

void TTrackBar2::SetThumbSize(int value) {
  FThumbSize = value;
  RebuildThumbAndTrack();
  update();
}

void TTrackBar2::SetThumbStyle(TThumbStyle value) {
  FThumbStyle = value;
  RebuildThumbAndTrack();
  update();
}

void TTrackBar2::SetThumbColor(QColor value) {
  FThumbColor = value;
  UpdateThumbImage();
  update();
}

void TTrackBar2::SetDitherThumb(bool value) {
  FDitherThumb = value;
  if (!isEnabled()) update();
}

// Switching the 3D look on brings back the sunken track and raised thumbs.
void TTrackBar2::SetCtl3D(bool value) {
  if (value == FCtl3D) return;
  FCtl3D = value;
  if (!value) return;
  SetTrackStyle(TTrackStyle::trLowered);
  if (FThumbStyle == TThumbStyle::tsRectangle || FThumbStyle == TThumbStyle::tsLoweredRectangle)
    SetThumbStyle(TThumbStyle::tsRaisedRectangle);
}

const TTrackGeometry& TTrackBar2::Geometry() {
  EnsureSized();
  return FGeometry;
}

// --- layout ------------------------------------------------------------------------------

void TTrackBar2::SizeChanged() {
  FSizedAs = size();
  if (width() != height())
    FOrientation = height() > width() ? TOrientation::toVertical : TOrientation::toHorizontal;
  RebuildThumbAndTrack();
}

void TTrackBar2::EnsureSized() {
  if (size() != FSizedAs) SizeChanged();
}

void TTrackBar2::RebuildThumbAndTrack() {
  UpdateThumbImage();
  UpdateTrackGeometry();
}

void TTrackBar2::UpdateThumbImage() {
  const bool vertical = FOrientation == TOrientation::toVertical;
  FThumbMask = QImage();
  if (IsRectangleStyle(FThumbStyle)) {
    FMargin = FThumbSize / 4;
    const QSize imageSize =
        vertical ? QSize(FThumbSize, FThumbSize / 2) : QSize(FThumbSize / 2, FThumbSize);
    FThumbImage = MakeRectangleThumb(imageSize, FThumbStyle, FThumbColor);
    return;
  }
  if (IsPointerStyle(FThumbStyle)) {
    // The pointer faces the ticks; with ticks on both sides it faces up (or left).
    const bool far = FTickOrientation == TTickOrientation::toBottomRight;
    const TPointerDirection direction =
        vertical ? (far ? TPointerDirection::Right : TPointerDirection::Left)
                 : (far ? TPointerDirection::Down : TPointerDirection::Up);
    TPointerThumb pointer = MakePointerThumb(FThumbStyle, direction, FThumbColor);
    FThumbImage = pointer.Image;
    FThumbMask = pointer.Mask;
    FThumbSize = vertical ? FThumbImage.height() : FThumbImage.width();
    FMargin = FThumbSize / 2;
    return;
  }
  FMargin = FThumbSize / 2;
  FThumbImage = FThumbSize > 0 ? QImage(FThumbSize, FThumbSize, QImage::Format_RGB32) : QImage();
  if (!FThumbImage.isNull()) FThumbImage.fill(FThumbColor);
}

void TTrackBar2::UpdateTrackGeometry() {
  FGeometry = MakeTrackGeometry(FOrientation == TOrientation::toVertical, size(), FThumbSize,
                                FMargin, FTrackSize, FMin, FMax, FThumbImage.size());
}

void TTrackBar2::UpdateTickImage() {
  const bool square = FTickStyle == TTickStyle::tiSquare ||
                      FTickStyle == TTickStyle::tiRaisedSquare ||
                      FTickStyle == TTickStyle::tiLoweredSquare;
  FTickImage = square ? MakeTickImage(FTickSize, FTickStyle, FTickColor) : QImage();
}

void TTrackBar2::UpdateDitherPattern() {
  FDitherPattern = MakeDitherPattern(FTrackColor);
}

void TTrackBar2::NotifyChange() {
  if (OnChange) OnChange(this);
}

void TTrackBar2::UpdateLineStrip(int value) {
  if (value <= 0) return;
  update(QRect(Geometry().LineX(value), 0, 1, std::max(50, height())));
}

// --- input -------------------------------------------------------------------------------

bool TTrackBar2::event(QEvent* e) {
  // Claim the arrow and page keys, alone or with Shift, before any shortcut or dialog
  // navigation sees them; Ctrl and Alt combinations stay with the application.
  if (e->type() == QEvent::ShortcutOverride) {
    const auto* key = static_cast<QKeyEvent*>(e);
    const auto mods = key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    if (IsStepKey(key->key()) && mods == Qt::NoModifier) {
      e->accept();
      return true;
    }
  }
  return QWidget::event(e);
}

void TTrackBar2::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  SizeChanged();
}

// With two thumbs, a click beyond the middle of the gap between them addresses the upper one.
bool TTrackBar2::UpperAddressed(QPoint click) {
  if (!FSecondThumb) return false;
  const QRect l = ThumbRectL();
  const QRect u = ThumbRectU();
  if (FOrientation == TOrientation::toVertical)
    return click.y() < (int64_t{l.top()} + u.top() + u.height()) / 2;
  return click.x() > (int64_t{l.left()} + l.width() + u.left()) / 2;
}

void TTrackBar2::SetAddressed(bool upper, long long value) {
  if (upper)
    SetPositionU(Saturate(value));
  else
    SetPositionL(Saturate(value));
}

// A Shift-click moves the thumb one small step toward the click; larger values lie to the
// right on a horizontal bar and toward the top on a vertical one.
void TTrackBar2::StepTowards(bool upper, QRect thumb, QPoint click) {
  int direction = 0;
  if (FOrientation == TOrientation::toVertical) {
    if (click.y() < thumb.top()) direction = 1;
    if (click.y() >= int64_t{thumb.top()} + thumb.height()) direction = -1;
  } else {
    if (click.x() >= int64_t{thumb.left()} + thumb.width()) direction = 1;
    if (click.x() < thumb.left()) direction = -1;
  }
  if (direction == 0) return;
  const int64_t from = upper ? FPositionU : FPositionL;
  SetAddressed(upper, from + direction * int64_t{FSmallChange});
}

void TTrackBar2::mousePressEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  if (OnMouseDown) OnMouseDown(this, e->button(), e->modifiers(), p.x(), p.y());
  setFocus(Qt::MouseFocusReason);
  if (e->button() != Qt::LeftButton) return;
  const bool upper = UpperAddressed(p);
  const QRect thumb = upper ? ThumbRectU() : ThumbRectL();
  if (thumb.contains(p)) {
    (upper ? FTrackingU : FTrackingL) = true;
    return;
  }
  if (e->modifiers() & Qt::ShiftModifier)
    StepTowards(upper, thumb, p);
  else
    SetAddressed(upper, Geometry().PixelToValue(p));
}

void TTrackBar2::mouseMoveEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  if (OnMouseMove) OnMouseMove(this, e->button(), e->modifiers(), p.x(), p.y());
  if (FTrackingU)
    SetPositionU(Geometry().PixelToValue(p));
  else if (FTrackingL)
    SetPositionL(Geometry().PixelToValue(p));
}

void TTrackBar2::mouseReleaseEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  if (OnMouseUp) OnMouseUp(this, e->button(), e->modifiers(), p.x(), p.y());
  if (e->button() == Qt::LeftButton) FTrackingL = FTrackingU = false;
}

void TTrackBar2::keyPressEvent(QKeyEvent* e) {
  const bool upper = FSecondThumb && (e->modifiers() & Qt::ShiftModifier);
  int64_t v = upper ? FPositionU : FPositionL;
  switch (e->key()) {
    case Qt::Key_PageUp:
      v += FLargeChange;
      break;
    case Qt::Key_PageDown:
      v -= FLargeChange;
      break;
    case Qt::Key_Left:
    case Qt::Key_Down:
      v -= FSmallChange;
      break;
    case Qt::Key_Up:
    case Qt::Key_Right:
      v += FSmallChange;
      break;
    default:
      break;
  }
  SetAddressed(upper, v);
  if (OnKeyDown) OnKeyDown(this, e->key(), e->modifiers());
  if (IsStepKey(e->key()))
    e->accept();
  else
    QWidget::keyPressEvent(e);
}

void TTrackBar2::keyReleaseEvent(QKeyEvent* e) {
  if (OnKeyUp) OnKeyUp(this, e->key(), e->modifiers());
  QWidget::keyReleaseEvent(e);
}

void TTrackBar2::focusInEvent(QFocusEvent* e) {
  QWidget::focusInEvent(e);
  if (OnEnter) OnEnter(this);
  update();
}

void TTrackBar2::focusOutEvent(QFocusEvent* e) {
  QWidget::focusOutEvent(e);
  if (OnExit) OnExit(this);
  update();
}

void TTrackBar2::changeEvent(QEvent* e) {
  QWidget::changeEvent(e);
  if (e->type() == QEvent::EnabledChange) update();
}
