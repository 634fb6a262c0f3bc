// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/detail_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <iterator>

#include "cutting/time/time_text.h"

namespace {

constexpr int kRulerHeight = 18;
constexpr double kFinestMsPerPixel = 1;
constexpr int kEdgeGrip = 4;   // pixels either side of a selection's edge that take it
constexpr int kDragStart = 3;  // pixels the mouse moves before a press becomes a drag
// The quietest level drawn, in decibels below full scale: a passage at 3 % (-30 dB) takes
// more than a third of the height.
constexpr double kFloorDb = 48;
constexpr double kOverviewMsPerColumn = 1000.0 / TPeakOverview::kPeaksPerSecond;
const QColor kSelectionColor(0x00, 0x80, 0x00, 0x40);
const QColor kCursorColor(0, 200, 200);

// `a` and `b` mixed, `share` of `b`.
QColor Mix(const QColor& a, const QColor& b, double share) {
  const auto mix = [share](int x, int y) {
    return static_cast<int>(std::lround(x + (y - x) * share));
  };
  return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()));
}

// The arrows' step: a millisecond at the finest zoom, else the pixel's time rounded to 1, 2
// or 5 times a power of ten, so that an edge moved by it lands on round times.
int32_t RoundStep(double msPerPixel) {
  if (msPerPixel <= 1.5) return 1;
  double power = 1;
  while (power * 10 <= msPerPixel) power *= 10;
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (msPerPixel <= m * power * 1.5) return static_cast<int32_t>(m * power);
  return static_cast<int32_t>(10 * power);
}

// The next multiple of `step` after `ms` in the direction `sign`.
int32_t NextRound(int32_t ms, int32_t step, int sign) {
  const int32_t below = ms / step * step;
  if (sign > 0) return below + step;
  return below < ms ? below : below - step;
}

// The share of a half height that a sample's size takes on the decibel scale.
double Level(int sample) {
  const double size = std::abs(double(sample)) / 32768.0;
  if (size <= 0) return 0;
  return std::clamp((20 * std::log10(size) + kFloorDb) / kFloorDb, 0.0, 1.0);
}

// Tick steps of the ruler, from a millisecond to an hour.
constexpr int kSteps[] = {1,      2,      5,      10,     20,      50,     100,   200,
                          500,    1000,   2000,   5000,   10000,   15000,  30000, 60000,
                          120000, 300000, 600000, 900000, 1800000, 3600000};

}  // namespace

TDetailView::TDetailView(QWidget* parent) : QWidget(parent) {
  setObjectName("dvDetail");
  setAccessibleName(tr("Close view of the sound"));
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setMinimumHeight(80);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  Scroll = new QScrollBar(Qt::Horizontal, this);
  Scroll->setObjectName("sbDetail");
  Scroll->setAccessibleName(tr("Scroll the close view"));
  connect(Scroll, &QScrollBar::valueChanged, this, [this](int value) {
    if (FScrolling) return;
    ShowStretch(value, FMsPerPixel);
  });
}

QRect TDetailView::WaveArea() const {
  return QRect(0, kRulerHeight, width(), height() - kRulerHeight - Scroll->sizeHint().height());
}

int TDetailView::XOf(double ms) const {
  return static_cast<int>(std::lround((ms - FFromMs) / FMsPerPixel));
}

double TDetailView::WholeMsPerPixel() const {
  return std::max(kFinestMsPerPixel, double(FLengthMs) / std::max(1, WaveWidth()));
}

void TDetailView::SetSound(int32_t lengthMs) {
  FLengthMs = std::max(lengthMs, 0);
  FOverview.Set({});
  FStretch = TPeakDetail::TStretch{};
  FStartMs = 0;
  FEndMs = FLengthMs;
  FCursorMs = -1;
  FMarked.clear();
  FFromMs = 0;
  FMsPerPixel = WholeMsPerPixel();
  UpdateScroll();
  ShowVisible();
}

void TDetailView::SetOverview(TPeakOverview peaks) {
  FOverview.Set(std::move(peaks));
  update();
}

void TDetailView::SetStretch(TPeakDetail::TStretch stretch) {
  FStretch = std::move(stretch);
  update();
}

void TDetailView::SetSelection(int32_t startMs, int32_t endMs) {
  FStartMs = startMs;
  FEndMs = endMs;
  update();
}

void TDetailView::SetMarked(std::vector<std::pair<int32_t, int32_t>> stretches) {
  FMarked = std::move(stretches);
  update();
}

// Polled often while a file is open: an unchanged cursor draws nothing.
void TDetailView::SetCursor(int64_t ms, bool follow) {
  if (ms == FCursorMs) return;
  FCursorMs = ms;
  if (follow && ms >= 0 && (ms < FFromMs || ms >= ToMs()))
    ShowStretch(ms - 0.1 * (ToMs() - FFromMs), FMsPerPixel);
  update();
}

void TDetailView::ShowStretch(double fromMs, double msPerPixel) {
  const double whole = WholeMsPerPixel();
  const double perPixel = std::clamp(msPerPixel, kFinestMsPerPixel, whole);
  const double span = perPixel * WaveWidth();
  const double from = std::clamp(fromMs, 0.0, std::max(0.0, FLengthMs - span));
  if (from == FFromMs && perPixel == FMsPerPixel) return;
  FFromMs = from;
  FMsPerPixel = perPixel;
  UpdateScroll();
  ShowVisible();
}

void TDetailView::ZoomBy(double factor, double aroundMs) {
  const double x = (aroundMs - FFromMs) / FMsPerPixel;
  const double perPixel = std::clamp(FMsPerPixel * factor, kFinestMsPerPixel, WholeMsPerPixel());
  ShowStretch(aroundMs - x * perPixel, perPixel);
  emit Zoomed();
}

void TDetailView::UpdateScroll() {
  FScrolling = true;
  const int span = static_cast<int>(std::lround(FMsPerPixel * WaveWidth()));
  Scroll->setRange(0, std::max(0, FLengthMs - span));
  Scroll->setPageStep(std::max(1, span));
  Scroll->setSingleStep(std::max(1, span / 10));
  Scroll->setValue(static_cast<int>(std::lround(FFromMs)));
  FScrolling = false;
}

void TDetailView::ShowVisible() {
  update();
  emit VisibleChanged();
}

void TDetailView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int bar = Scroll->sizeHint().height();
  Scroll->setGeometry(0, height() - bar, width(), bar);
  // The whole file stays whole; a closer view keeps its scale and its start.
  const bool whole = FFromMs == 0 && FMsPerPixel >= double(FLengthMs) / std::max(1, width() - 1);
  FMsPerPixel = whole ? WholeMsPerPixel() : std::min(FMsPerPixel, WholeMsPerPixel());
  ShowStretch(FFromMs, FMsPerPixel);
  UpdateScroll();
}

int32_t TDetailView::Snapped(int x) const {
  const double ms = std::clamp(MsAt(x), 0.0, double(FLengthMs));
  const double unit = FMsPerPixel >= 100 ? 100 : 1;
  return static_cast<int32_t>(std::min(std::lround(ms / unit) * unit, double(FLengthMs)));
}

void TDetailView::Select(int32_t startMs, int32_t endMs) {
  if (endMs <= startMs || !OnSelect) return;
  OnSelect(startMs, endMs);
}

void TDetailView::mousePressEvent(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);
  if (event->button() != Qt::LeftButton || FLengthMs <= 0) return;
  const int x = event->position().toPoint().x();
  FPressX = x;
  FMoved = false;
  if (std::abs(x - XOf(FStartMs)) <= kEdgeGrip)
    FDrag = TDrag::Start;
  else if (std::abs(x - XOf(FEndMs)) <= kEdgeGrip)
    FDrag = TDrag::End;
  else
    FDrag = TDrag::New;
  if (FDrag != TDrag::New) FActiveEdge = FDrag;
  FAnchorMs = Snapped(x);
}

void TDetailView::mouseMoveEvent(QMouseEvent* event) {
  const int x = event->position().toPoint().x();
  FMouseX = x;
  update();
  if (FDrag == TDrag::None) return;
  if (std::abs(x - FPressX) >= kDragStart) FMoved = true;
  if (!FMoved) return;
  const int32_t ms = Snapped(x);
  switch (FDrag) {
    case TDrag::New:
      FActiveEdge = ms < FAnchorMs ? TDrag::Start : TDrag::End;
      Select(std::min(ms, FAnchorMs), std::max(ms, FAnchorMs));
      break;
    case TDrag::Start:
      Select(ms, FEndMs);
      break;
    case TDrag::End:
      Select(FStartMs, ms);
      break;
    case TDrag::None:
      break;
  }
}

void TDetailView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || FDrag == TDrag::None) return;
  const TDrag drag = FDrag;
  FDrag = TDrag::None;
  if (!FMoved && drag == TDrag::New && OnCursor) OnCursor(FAnchorMs);
}

void TDetailView::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  FMouseX = -1;
  update();
}

// Ctrl+wheel zooms about the mouse, a notch doubling or halving the scale; the wheel alone
// scrolls a tenth of the view a notch.
void TDetailView::wheelEvent(QWheelEvent* event) {
  const QPoint delta = event->angleDelta();
  if (event->modifiers() & Qt::ControlModifier) {
    ZoomBy(std::pow(2.0, -delta.y() / 120.0), MsAt(event->position().toPoint().x()));
  } else {
    const int steps = delta.y() != 0 ? -delta.y() : delta.x();
    ShowStretch(FFromMs + steps / 120.0 * (ToMs() - FFromMs) / 10, FMsPerPixel);
  }
  event->accept();
}

// "+" and "-" zoom about the mouse while it is over the view, else about the cursor when it is
// shown, so that the place worked on stays in sight.
void TDetailView::keyPressEvent(QKeyEvent* event) {
  const double around = FMouseX >= 0                                 ? MsAt(FMouseX)
                        : FCursorMs >= FFromMs && FCursorMs < ToMs() ? double(FCursorMs)
                                                                     : (FFromMs + ToMs()) / 2;
  switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      ZoomBy(0.5, around);
      return;
    case Qt::Key_Minus:
      ZoomBy(2, around);
      return;
    case Qt::Key_Left:
    case Qt::Key_Right: {
      const int sign = event->key() == Qt::Key_Left ? -1 : 1;
      const int32_t step = event->modifiers() & Qt::ShiftModifier ? 1000 : RoundStep(FMsPerPixel);
      if (FActiveEdge == TDrag::End)
        Select(FStartMs, std::min(NextRound(FEndMs, step, sign), FLengthMs));
      else
        Select(std::max(NextRound(FStartMs, step, sign), 0), FEndMs);
      return;
    }
    default:
      QWidget::keyPressEvent(event);
  }
}

// --- painting ------------------------------------------------------------------------------

void TDetailView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Window));
  const QRect area = WaveArea();
  painter.fillRect(area, palette().color(isEnabled() ? QPalette::Base : QPalette::Window));
  if (FLengthMs > 0) {
    const int left = std::clamp(XOf(FStartMs), 0, width());
    const int right = std::clamp(XOf(FEndMs), 0, width());
    for (const auto& [from, to] : FMarked) {
      const int x = std::clamp(XOf(from), 0, width());
      const int w = std::clamp(XOf(to), 0, width()) - x;
      if (w > 0) painter.fillRect(x, area.top(), w, area.height(), FMarkedColor);
    }
    if (right > left)
      painter.fillRect(left, area.top(), right - left, area.height(), kSelectionColor);
    PaintWave(painter, area);
    if (FEndMs > FStartMs)
      for (int x : {XOf(FStartMs), XOf(FEndMs)})
        painter.fillRect(x, area.top(), 1, area.height(), QColor(0x00, 0x80, 0x00));
    PaintRuler(painter);
    if (FCursorMs >= 0) painter.fillRect(XOf(double(FCursorMs)), 0, 1, area.bottom(), kCursorColor);
  }
  if (FMouseX >= 0 && FLengthMs > 0) {
    QColor line = palette().color(QPalette::Text);
    line.setAlpha(0x50);
    painter.fillRect(FMouseX, area.top(), 1, area.height(), line);
    const QString text = QString::fromStdString(MsToPreciseTimeText(Snapped(FMouseX)));
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(area.adjusted(4, 2, -4, -2), Qt::AlignRight | Qt::AlignTop, text);
  }
  if (hasFocus()) {
    painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

// Ticks at the roundest step that leaves room for a label; labels to the millisecond once
// the steps are finer than a tenth.
void TDetailView::PaintRuler(QPainter& painter) {
  const int labelWidth = fontMetrics().horizontalAdvance(QStringLiteral("00:00:00.000")) + 12;
  int step = kSteps[std::size(kSteps) - 1];
  for (int s : kSteps)
    if (s / FMsPerPixel >= labelWidth) {
      step = s;
      break;
    }
  painter.setPen(palette().color(QPalette::WindowText));
  const auto first = static_cast<int64_t>(std::ceil(FFromMs / step)) * step;
  for (int64_t ms = first; ms <= ToMs() && ms <= FLengthMs; ms += step) {
    const int x = XOf(double(ms));
    painter.drawLine(x, kRulerHeight - 5, x, kRulerHeight - 1);
    const auto at = static_cast<int32_t>(ms);
    const std::string text = step < 100 ? MsToPreciseTimeText(at) : MsToTimeText(at);
    if (x + labelWidth - 10 > width()) continue;  // a label cut off at the right says nothing
    painter.drawText(x + 2, 0, labelWidth, kRulerHeight - 3, Qt::AlignLeft | Qt::AlignVCenter,
                     QString::fromStdString(text));
  }
}

// The lowest and highest sample from `fromMs` to `toMs`: from the finer stretch where it has
// the columns, from the overview elsewhere.
TPeak TDetailView::ColumnPeak(double fromMs, double toMs) const {
  const TPeakOverview& fine = FStretch.Peaks;
  if (FMsPerPixel < kOverviewMsPerColumn && fine.Complete && fromMs >= FStretch.FirstMs) {
    const auto first = static_cast<int64_t>(fromMs) - FStretch.FirstMs;
    const auto last = std::max(first + 1, static_cast<int64_t>(std::ceil(toMs)) - FStretch.FirstMs);
    if (last <= fine.Columns()) return fine.Envelope(first, last);
  }
  const auto first = static_cast<int64_t>(fromMs / kOverviewMsPerColumn);
  const auto last =
      std::max(first + 1, static_cast<int64_t>(std::ceil(toMs / kOverviewMsPerColumn)));
  return FOverview.Envelope(first, last);
}

void TDetailView::PaintWave(QPainter& painter, QRect area) {
  const int mid = area.top() + area.height() / 2;
  const double half = (area.height() - 2) / 2.0;
  // The two tones from the palette, so that dark and high-contrast schemes read: the linear
  // stroke between the highlight and the text, the decibel one the highlight over the base.
  const QPalette& colours = palette();
  const QColor waveColor =
      Mix(colours.color(QPalette::Highlight), colours.color(QPalette::Text), 0.35);
  const QColor levelColor =
      Mix(colours.color(QPalette::Base), colours.color(QPalette::Highlight), 0.45);
  painter.fillRect(area.left(), mid, area.width(), 1, colours.color(QPalette::Mid));
  const int last = std::min(area.right(), XOf(double(FLengthMs)));
  // Each column twice: pale on the decibel scale, so that a quiet passage shows, and dark on
  // the linear scale inside it, so that a loud one keeps its shape.
  for (int x = std::max(area.left(), XOf(0)); x <= last; ++x) {
    const TPeak p = ColumnPeak(MsAt(x), MsAt(x + 1));
    if (p.Min == 0 && p.Max == 0) continue;
    const int high = std::max<int>(p.Max, 0);
    const int low = std::min<int>(p.Min, 0);
    const auto stroke = [&](double up, double down, const QColor& color) {
      const int top = mid - static_cast<int>(std::lround(up * half));
      const int bottom = mid + static_cast<int>(std::lround(down * half));
      painter.fillRect(x, top, 1, std::max(1, bottom - top + 1), color);
    };
    stroke(Level(high), Level(low), levelColor);
    stroke(high / 32768.0, -low / 32768.0, waveColor);
  }
}
