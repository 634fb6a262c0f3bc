// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's close view: shown above the track bar once the window is taller than its
// designed size, so that the window looks as designed until the user asks for room. A drag in
// it selects to the pixel, a click places the cursor to the millisecond, and the track bar
// marks which stretch of the file it shows.
#include <QLabel>
#include <QLineEdit>
#include <QResizeEvent>
#include <QSettings>
#include <algorithm>

#include "app/main_window.h"
#include "app/waveform_feed.h"
#include "app/window_parts.h"

namespace {

// Height the window must grow by before the close view takes a share of it.
constexpr int kDetailRoom = 120;
constexpr int kFollowMs = 30;
constexpr char kCloseZoomKey[] = "closeView/msPerPixel";  // 0: the whole file
const QColor kVisibleColor(0x30, 0x60, 0xC0, 0x38);

bool WholeTenths(int32_t ms) {
  return ms % 100 == 0;
}

}  // namespace

void TfrmMain::BuildDetailView() {
  dvDetail = new TDetailView(this);
  dvDetail->hide();
  dvDetail->OnSelect = [this](int32_t startMs, int32_t endMs) { DetailSelect(startMs, endMs); };
  dvDetail->OnCursor = [this](int32_t ms) { PlaceCursor(ms); };
  connect(dvDetail, &TDetailView::VisibleChanged, this, &TfrmMain::ShowVisibleOnBar);
  connect(dvDetail, &TDetailView::Zoomed, this, [this] {
    QSettings().setValue(kCloseZoomKey, dvDetail->Whole() ? 0.0 : dvDetail->MsPerPixel());
  });
  FWaveform = new TWaveformFeed(dvDetail, this);
  FWaveform->OnOverview = [this](const TPeakOverview& peaks) {
    tbAudio->SetWaveform(peaks, TSelectionModel::kUnitMs / 1000.0);
  };
  tbAudio->SetMarkedColor(kVisibleColor);
  FFollowTimer.setInterval(kFollowMs);
  connect(&FFollowTimer, &QTimer::timeout, this, &TfrmMain::FollowPlayback);
}

// A file opens at the scale the user last zoomed to, from its start.
void TfrmMain::ShowRememberedZoom() {
  const double msPerPixel = QSettings().value(kCloseZoomKey).toDouble();
  if (msPerPixel > 0) dvDetail->ShowStretch(0, msPerPixel);
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  UpdateDetailShown();
}

// Shown or hidden by the window's height alone, so that showing it cannot change the answer.
void TfrmMain::UpdateDetailShown() {
  if (FDesignedHeight <= 0) return;
  const bool room = height() >= FDesignedHeight + kDetailRoom;
  if (room == dvDetail->isVisible()) return;
  dvDetail->setVisible(room);
  ShowVisibleOnBar();
}

// A selection dragged in the close view: milliseconds when the view is that fine, so the
// edits show it to the millisecond and the cut takes it as shown.
void TfrmMain::DetailSelect(int32_t startMs, int32_t endMs) {
  if (!FSelection.Set(startMs, std::min(endMs, FSelection.LengthMs()))) return;
  FSelection.SetPrecise(!WholeTenths(FSelection.StartMs()) ||
                        (!FSelection.ToEnd() && !WholeTenths(FSelection.EndMs())));
  ShowSelection(true);
}

// A click places the cursor there: playing goes on from there, and the marks take it.
void TfrmMain::PlaceCursor(int32_t ms) {
  if (eOpenFile->text().isEmpty()) return;
  if (Timer1->isActive()) {
    const int64_t to = FPlayingSelection ? FSelection.EndMs() : MediaPlayer1.Length();
    if (ms >= to) return;
    PlayFrom(ms, to);
    if (!Timer1->isActive()) return;
  }
  FCursorMs = ms;
  ShowCursorAt(ms, false);
}

void TfrmMain::ShowCursorAt(int32_t ms, bool follow) {
  tbAudio->SetLinePosition(ms > 0 ? ms / TSelectionModel::kUnitMs : 0);
  dvDetail->SetCursor(ms, follow);
  UpdatePlayActions();
  ShowCursorTime();
}

// The track bar tints what the close view shows, unless it shows the whole file.
void TfrmMain::ShowVisibleOnBar() {
  std::vector<TMarkedStretch> shown;
  const bool whole = dvDetail->FromMs() <= 0 && dvDetail->ToMs() >= FSelection.LengthMs();
  if (dvDetail->isVisible() && !whole)
    shown.push_back({dvDetail->FromMs() / 1000.0, dvDetail->ToMs() / 1000.0});
  tbAudio->SetMarkedStretches(std::move(shown));
  UpdateFollowTimer();
}

// Runs while playing, for the cursor text, and while the close view is shown, for its cursor.
void TfrmMain::UpdateFollowTimer() {
  const bool open = !eOpenFile->text().isEmpty();
  if (open && (Timer1->isActive() || dvDetail->isVisible()))
    FFollowTimer.start();
  else
    FFollowTimer.stop();
}

void TfrmMain::FollowPlayback() {
  const bool playing = Timer1->isActive();
  dvDetail->SetCursor(HasCursor() ? CursorMs() : -1, playing);
  if (playing) ShowCursorTime();
}
