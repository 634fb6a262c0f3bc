// SPDX-License-Identifier: GPL-3.0-or-later
// Preview playback in the main window: the file or the selection is played through the media
// player, a half-second timer moves the cursor on the track bar to where the sound has got,
// and the selection's ends can be marked at the cursor.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <climits>

#include "app/main_window.h"
#include "app/window_parts.h"
#include "cutting/time/time_text.h"

namespace {

using trimora::media::TPlayerMode;

}  // namespace

void TfrmMain::BuildPlayback() {
  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(500);
  connect(Timer1, &QTimer::timeout, this, &TfrmMain::Timer1Timer);

  // Each action drives its button: a click runs the action, and the button follows its state.
  auto bind = [this](const char* name, QPushButton* button, void (TfrmMain::*handler)()) {
    QAction* action = window_parts::Action(name, button->text(), this);
    connect(action, &QAction::triggered, this, handler);
    window_parts::Bind(button, action);
    return action;
  };
  aPlay = bind("aPlay", bPlay, &TfrmMain::aPlayExecute);
  aPause = bind("aPause", bPause, &TfrmMain::aPauseExecute);
  aStop = bind("aStop", bStop, &TfrmMain::aStopExecute);
  aMarkStart = bind("aMarkStart", bMarkStart, &TfrmMain::aMarkStartExecute);
  aMarkEnd = bind("aMarkEnd", bMarkEnd, &TfrmMain::aMarkEndExecute);
  aPlaySelection = bind("aPlaySelection", bPlaySelection, &TfrmMain::aPlaySelectionExecute);

  tbAudio->OnMouseDown = [this](TTrackBar2*, Qt::MouseButton button, Qt::KeyboardModifiers, int,
                                int) { tbAudioMouseDown(button); };
  tbAudio->OnMouseUp = [this](TTrackBar2*, Qt::MouseButton button, Qt::KeyboardModifiers, int,
                              int) { tbAudioMouseUp(button); };
}

// Run after every change of the playback state (the design runs it whenever the program is
// idle; nothing else changes what it looks at).
void TfrmMain::UpdatePlayActions() {
  const bool open = !eOpenFile->text().isEmpty();
  const bool playing = Timer1->isActive();
  aPlay->setEnabled(open && !playing);
  aPlaySelection->setEnabled(open && !playing);
  aPause->setEnabled(playing);
  for (QAction* action : {aStop, aMarkStart, aMarkEnd}) action->setEnabled(HasCursor());
}

bool TfrmMain::HasCursor() const {
  return Timer1->isActive() || FCursorMs >= 0 || MediaPlayer1.Mode() == TPlayerMode::Paused;
}

int32_t TfrmMain::CursorMs() const {
  if (Timer1->isActive())
    return static_cast<int32_t>(std::clamp<int64_t>(MediaPlayer1.Position(), 0, INT32_MAX));
  return FCursorMs;
}

void TfrmMain::aPlayExecute() {
  FPlayingSelection = false;
  StartPlaying(false);
}

void TfrmMain::aPlaySelectionExecute() {
  FPlayingSelection = true;
  StartPlaying(true);
}

// Play goes on from the cursor (where it was paused, or placed since), or from the start of
// the selection when there is no cursor; Play Selection plays from the start thumb to the end
// thumb. A pause kept where it was resumes its own range.
void TfrmMain::StartPlaying(bool selection) {
  const int64_t length = FSelection.LengthMs();
  const bool paused = MediaPlayer1.Mode() == TPlayerMode::Paused;
  const int64_t to = selection || (paused && FPlayingSelection) ? FSelection.EndMs() : length;
  const bool fromCursor = !selection && FCursorMs >= 0 && FCursorMs < to;
  const int64_t from = fromCursor ? FCursorMs : FSelection.StartMs();
  try {
    if (paused && !selection && MediaPlayer1.Position() == FCursorMs) {
      Timer1->start();
      MediaPlayer1.Resume();
    } else {
      MediaPlayer1.Close();
      MediaPlayer1.SetFileName(eOpenFile->text().toStdString());
      Timer1->start();
      MediaPlayer1.Open();
      MediaPlayer1.Play(from, to);
      ShowCursorAt(static_cast<int32_t>(from), true);
    }
  } catch (const std::exception& error) {
    PlaybackFailed(error);
    return;
  }
  UpdatePlayActions();
  UpdateFollowTimer();
}

// Playing on from `fromMs` to `toMs`; past the end of the range there is nothing to play.
void TfrmMain::PlayFrom(int64_t fromMs, int64_t toMs) {
  if (fromMs >= toMs) {
    aStopExecute();
    return;
  }
  try {
    MediaPlayer1.Play(fromMs, toMs);
  } catch (const std::exception& error) {
    PlaybackFailed(error);
  }
}

// The file went away or cannot be decoded: say so, and the window is back to idle.
void TfrmMain::PlaybackFailed(const std::exception& error) {
  Timer1->stop();
  FCursorMs = -1;
  tbAudio->SetLinePosition(0);
  MediaPlayer1.Close();
  UpdatePlayActions();
  UpdateFollowTimer();
  ShowMessage(tr("The file cannot be played: %1").arg(QString::fromStdString(error.what())));
}

// The cursor stays where the sound was paused, to be marked or played on from.
void TfrmMain::aPauseExecute() {
  MediaPlayer1.Pause();
  Timer1->stop();
  FCursorMs = static_cast<int32_t>(std::clamp<int64_t>(MediaPlayer1.Position(), 0, INT32_MAX));
  ShowCursorAt(FCursorMs, false);
  UpdateFollowTimer();
}

void TfrmMain::aStopExecute() {
  Timer1->stop();
  MediaPlayer1.Stop();
  MediaPlayer1.Close();
  FCursorMs = -1;
  ShowCursorAt(-1, false);
  UpdateFollowTimer();
}

// The marks take the play position as it is when the key is pressed, to the millisecond. As
// the track bar keeps its thumbs apart, a mark at or past the other end stops half a second
// short of it.
void TfrmMain::aMarkStartExecute() {
  dvDetail->TakeEdge(false);
  const int32_t at = CursorMs();
  if (at < 0) return;
  const int32_t end = FSelection.EndMs();
  DetailSelect(at < end ? at : std::max(0, end - TSelectionModel::kUnitMs), end);
}

void TfrmMain::aMarkEndExecute() {
  dvDetail->TakeEdge(true);
  const int32_t at = std::min(CursorMs(), FSelection.LengthMs());
  if (at < 0) return;
  const int32_t start = FSelection.StartMs();
  DetailSelect(start,
               at > start ? at : std::min(start + TSelectionModel::kUnitMs, FSelection.LengthMs()));
}

void TfrmMain::tbAudioMouseDown(Qt::MouseButton button) {
  if (button == Qt::LeftButton) FDragStartPosition = tbAudio->PositionL();
}

// The start thumb dragged while playing: play on from the new start to the end thumb.
void TfrmMain::tbAudioMouseUp(Qt::MouseButton button) {
  if (button != Qt::LeftButton || tbAudio->PositionL() == FDragStartPosition || !Timer1->isActive())
    return;
  PlayFrom(FSelection.StartMs(), FSelection.EndMs());
  if (Timer1->isActive()) tbAudio->SetLinePosition(tbAudio->PositionL());
}

// The cursor follows the sound the player has put out, in whole half seconds, so that the
// bar shows what was heard; a timer that fires late cannot make it drift. A selection stops
// on the tick after the cursor reached its end, the whole file when the cursor reaches the
// end of the bar, and any playback on the tick after the player ended by itself and the
// cursor showed where.
void TfrmMain::Timer1Timer() {
  const int cursor = static_cast<int>(
      std::min<int64_t>(MediaPlayer1.Position() / 500, std::max(tbAudio->Max(), 0)));
  const bool ended = MediaPlayer1.Mode() != TPlayerMode::Playing;
  if ((FPlayingSelection && tbAudio->LinePosition() >= tbAudio->PositionU()) ||
      (ended && tbAudio->LinePosition() == cursor)) {
    aStopExecute();
    return;
  }
  tbAudio->SetLinePosition(cursor);
  ShowCursorTime();
  if (tbAudio->LinePosition() >= tbAudio->Max() && bStop->isEnabled()) aStopExecute();
}
