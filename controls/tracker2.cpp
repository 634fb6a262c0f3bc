#include "controls/tracker2.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include <QKeyEvent>
#include <QMouseEvent>

#include "controls/thumb_images.h"

using namespace tracker2_images;

namespace {

int Saturate(int64_t V) {
  return static_cast<int>(
      std::clamp<int64_t>(V, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

bool IsStepKey(int Key) {
  return Key == Qt::Key_PageUp || Key == Qt::Key_PageDown || Key == Qt::Key_Left ||
         Key == Qt::Key_Right || Key == Qt::Key_Up || Key == Qt::Key_Down;
}

}  // namespace

TTrackBar2::TTrackBar2(QWidget* Parent) : QWidget(Parent) {
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

void TTrackBar2::SetMin(int Value) {
  FMin = Value;
  if (FPositionL < FMin) FPositionL = FMin;
  UpdateTrackGeometry();
  update();
}

void TTrackBar2::SetMax(int Value) {
  FMax = Value;
  if (FMax < FPositionU) FPositionU = FMax;
  UpdateTrackGeometry();
  update();
}

// The limits may give the old value back; OnChange still fires, because the caller asked
// for a change and may have shown the asked-for value somewhere already.
void TTrackBar2::SetPositionL(int Value) {
  if (Value == FPositionL) return;
  int64_t V = Value;
  if (FSecondThumb && Value >= FPositionU)
    V = int64_t{FPositionU} - 1;
  else if (Value > FMax)
    V = FMax;
  else if (Value < FMin)
    V = FMin;
  FPositionL = Saturate(V);
  NotifyChange();
  update();
}

// The upper thumb stays above the lower one even without SecondThumb, and has no lower
// limit of its own.
void TTrackBar2::SetPositionU(int Value) {
  if (Value == FPositionU) return;
  int64_t V = Value;
  if (Value > FMax)
    V = FMax;
  else if (Value <= FPositionL)
    V = int64_t{FPositionL} + 1;
  FPositionU = Saturate(V);
  NotifyChange();
  update();
}

// Only the strips of the old and the new line are repainted. A value above Max repaints
// nothing, so the old line stays on screen until something else repaints the bar.
void TTrackBar2::SetLinePosition(int Value) {
  if (Value == FLinePosition) return;
  const bool Shown = Value > 0 && Value <= FMax;
  if (Shown || Value == 0) UpdateLineStrip(FLinePosition);
  if (Shown) UpdateLineStrip(Value);
  FLinePosition = Value;
}

void TTrackBar2::SetSecondThumb(bool Value) {
  FSecondThumb = Value;
  UpdateThumbImage();
  update();
}

void TTrackBar2::SetOrientation(TOrientation Value) {
  FOrientation = Value;
  const bool Vertical = Value == TOrientation::toVertical;
  const bool Contradicts = Vertical ? width() > height() : height() > width();
  if (Contradicts) resize(height(), width());
  RebuildThumbAndTrack();
  update();
}

void TTrackBar2::SetTrackSize(int Value) {
  FTrackSize = Value;
  UpdateTrackGeometry();
  update();
}

void TTrackBar2::SetTrackStyle(TTrackStyle Value) {
  FTrackStyle = Value;
  update();
}

// The disabled look dithers the track colour, so the pattern follows it.
void TTrackBar2::SetTrackColor(QColor Value) {
  FTrackColor = Value;
  UpdateDitherPattern();
  update();
}

void TTrackBar2::SetTrackCenterColor(QColor Value) {
  FTrackCenterColor = Value;
  update();
}

void TTrackBar2::SetTickSize(int Value) {
  FTickSize = Value;
  UpdateTickImage();
  update();
}

void TTrackBar2::SetTickStyle(TTickStyle Value) {
  FTickStyle = Value;
  if (Value == TTickStyle::tiLine) FTickColor = Qt::black;
  UpdateTickImage();
  update();
}

void TTrackBar2::SetTickColor(QColor Value) {
  FTickColor = Value;
  UpdateTickImage();
  update();
}

void TTrackBar2::SetTickOrientation(TTickOrientation Value) {
  FTickOrientation = Value;
  RebuildThumbAndTrack();
  update();
}

void TTrackBar2::SetTickInterval(int Value) {
  FTickInterval = Value;
  update();
}

void TTrackBar2::SetThumbSize(int Value) {
  FThumbSize = Value;
  RebuildThumbAndTrack();
  update();
}

void TTrackBar2::SetThumbStyle(TThumbStyle Value) {
  FThumbStyle = Value;
  RebuildThumbAndTrack();
  update();
}

void TTrackBar2::SetThumbColor(QColor Value) {
  FThumbColor = Value;
  UpdateThumbImage();
  update();
}

void TTrackBar2::SetDitherThumb(bool Value) {
  FDitherThumb = Value;
  if (!isEnabled()) update();
}

// Switching the 3D look on brings back the sunken track and raised thumbs.
void TTrackBar2::SetCtl3D(bool Value) {
  if (Value == FCtl3D) return;
  FCtl3D = Value;
  if (!Value) return;
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
  const bool Vertical = FOrientation == TOrientation::toVertical;
  FThumbMask = QImage();
  if (IsRectangleStyle(FThumbStyle)) {
    FMargin = FThumbSize / 4;
    const QSize Size =
        Vertical ? QSize(FThumbSize, FThumbSize / 2) : QSize(FThumbSize / 2, FThumbSize);
    FThumbImage = MakeRectangleThumb(Size, FThumbStyle, FThumbColor);
    return;
  }
  if (IsPointerStyle(FThumbStyle)) {
    // The pointer faces the ticks; with ticks on both sides it faces up (or left).
    const bool Far = FTickOrientation == TTickOrientation::toBottomRight;
    const TPointerDirection Direction =
        Vertical ? (Far ? TPointerDirection::Right : TPointerDirection::Left)
                 : (Far ? TPointerDirection::Down : TPointerDirection::Up);
    TPointerThumb Pointer = MakePointerThumb(FThumbStyle, Direction, FThumbColor);
    FThumbImage = Pointer.Image;
    FThumbMask = Pointer.Mask;
    FThumbSize = Vertical ? FThumbImage.height() : FThumbImage.width();
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
  const bool Square = FTickStyle == TTickStyle::tiSquare ||
                      FTickStyle == TTickStyle::tiRaisedSquare ||
                      FTickStyle == TTickStyle::tiLoweredSquare;
  FTickImage = Square ? MakeTickImage(FTickSize, FTickStyle, FTickColor) : QImage();
}

void TTrackBar2::UpdateDitherPattern() {
  FDitherPattern = MakeDitherPattern(FTrackColor);
}

void TTrackBar2::NotifyChange() {
  if (OnChange) OnChange(this);
}

void TTrackBar2::UpdateLineStrip(int Value) {
  if (Value <= 0) return;
  update(QRect(Geometry().LineX(Value), 0, 1, 50));
}

// --- input -------------------------------------------------------------------------------

bool TTrackBar2::event(QEvent* E) {
  // Claim the arrow and page keys, alone or with Shift, before any shortcut or dialog
  // navigation sees them; Ctrl and Alt combinations stay with the application.
  if (E->type() == QEvent::ShortcutOverride) {
    const auto* Key = static_cast<QKeyEvent*>(E);
    const auto Mods = Key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    if (IsStepKey(Key->key()) && Mods == Qt::NoModifier) {
      E->accept();
      return true;
    }
  }
  return QWidget::event(E);
}

void TTrackBar2::resizeEvent(QResizeEvent* E) {
  QWidget::resizeEvent(E);
  SizeChanged();
}

// With two thumbs, a click beyond the middle of the gap between them addresses the upper one.
bool TTrackBar2::UpperAddressed(QPoint Click) {
  if (!FSecondThumb) return false;
  const QRect L = ThumbRectL();
  const QRect U = ThumbRectU();
  if (FOrientation == TOrientation::toVertical)
    return Click.y() < (int64_t{L.top()} + U.top() + U.height()) / 2;
  return Click.x() > (int64_t{L.left()} + L.width() + U.left()) / 2;
}

void TTrackBar2::SetAddressed(bool Upper, long long Value) {
  if (Upper)
    SetPositionU(Saturate(Value));
  else
    SetPositionL(Saturate(Value));
}

// A Shift-click moves the thumb one small step toward the click; larger values lie to the
// right on a horizontal bar and toward the top on a vertical one.
void TTrackBar2::StepTowards(bool Upper, QRect Thumb, QPoint Click) {
  int Direction = 0;
  if (FOrientation == TOrientation::toVertical) {
    if (Click.y() < Thumb.top()) Direction = 1;
    if (Click.y() >= int64_t{Thumb.top()} + Thumb.height()) Direction = -1;
  } else {
    if (Click.x() >= int64_t{Thumb.left()} + Thumb.width()) Direction = 1;
    if (Click.x() < Thumb.left()) Direction = -1;
  }
  if (Direction == 0) return;
  const int64_t From = Upper ? FPositionU : FPositionL;
  SetAddressed(Upper, From + Direction * int64_t{FSmallChange});
}

void TTrackBar2::mousePressEvent(QMouseEvent* E) {
  const QPoint P = E->position().toPoint();
  if (OnMouseDown) OnMouseDown(this, E->button(), E->modifiers(), P.x(), P.y());
  setFocus(Qt::MouseFocusReason);
  if (E->button() != Qt::LeftButton) return;
  const bool Upper = UpperAddressed(P);
  const QRect Thumb = Upper ? ThumbRectU() : ThumbRectL();
  if (Thumb.contains(P)) {
    (Upper ? FTrackingU : FTrackingL) = true;
    return;
  }
  if (E->modifiers() & Qt::ShiftModifier)
    StepTowards(Upper, Thumb, P);
  else
    SetAddressed(Upper, Geometry().PixelToValue(P));
}

void TTrackBar2::mouseMoveEvent(QMouseEvent* E) {
  const QPoint P = E->position().toPoint();
  if (OnMouseMove) OnMouseMove(this, E->button(), E->modifiers(), P.x(), P.y());
  if (FTrackingU)
    SetPositionU(Geometry().PixelToValue(P));
  else if (FTrackingL)
    SetPositionL(Geometry().PixelToValue(P));
}

void TTrackBar2::mouseReleaseEvent(QMouseEvent* E) {
  const QPoint P = E->position().toPoint();
  if (OnMouseUp) OnMouseUp(this, E->button(), E->modifiers(), P.x(), P.y());
  if (E->button() == Qt::LeftButton) FTrackingL = FTrackingU = false;
}

void TTrackBar2::keyPressEvent(QKeyEvent* E) {
  const bool Upper = FSecondThumb && (E->modifiers() & Qt::ShiftModifier);
  int64_t V = Upper ? FPositionU : FPositionL;
  switch (E->key()) {
    case Qt::Key_PageUp:
      V += FLargeChange;
      break;
    case Qt::Key_PageDown:
      V -= FLargeChange;
      break;
    case Qt::Key_Left:
    case Qt::Key_Down:
      V -= FSmallChange;
      break;
    case Qt::Key_Up:
    case Qt::Key_Right:
      V += FSmallChange;
      break;
    default:
      break;
  }
  SetAddressed(Upper, V);
  if (OnKeyDown) OnKeyDown(this, E->key(), E->modifiers());
  if (IsStepKey(E->key()))
    E->accept();
  else
    QWidget::keyPressEvent(E);
}

void TTrackBar2::keyReleaseEvent(QKeyEvent* E) {
  if (OnKeyUp) OnKeyUp(this, E->key(), E->modifiers());
  QWidget::keyReleaseEvent(E);
}

void TTrackBar2::focusInEvent(QFocusEvent* E) {
  QWidget::focusInEvent(E);
  if (OnEnter) OnEnter(this);
  update();
}

void TTrackBar2::focusOutEvent(QFocusEvent* E) {
  QWidget::focusOutEvent(E);
  if (OnExit) OnExit(this);
  update();
}

void TTrackBar2::changeEvent(QEvent* E) {
  QWidget::changeEvent(E);
  if (E->type() == QEvent::EnabledChange) update();
}
