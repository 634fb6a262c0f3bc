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
  // Paused before the cursor left 0 is paused all the same; a cursor placed in the close view
  // is there to be marked.
  const bool started =
      playing || tbAudio->LinePosition() > 0 || FPlacedMs >= 0 ||
      MediaPlayer1.Mode() == TPlayerMode::Paused;
  for (QAction* action : {aStop, aMarkStart, aMarkEnd}) action->setEnabled(started);
}

void TfrmMain::aPlayExecute() {
  FPlayingSelection = false;
  StartPlaying(false);
}

void TfrmMain::aPlaySelectionExecute() {
  FPlayingSelection = true;
  StartPlaying(true);
}

// A paused playback goes on where it was (its range kept); otherwise the file is opened
// afresh and played whole or from the start thumb to the end thumb.
void TfrmMain::StartPlaying(bool selection) {
  try {
    if (MediaPlayer1.Mode() == TPlayerMode::Paused) {
      Timer1->start();
      MediaPlayer1.Resume();
    } else {
      MediaPlayer1.Close();
      MediaPlayer1.SetFileName(eOpenFile->text().toStdString());
      Timer1->start();
      MediaPlayer1.Open();
      if (selection) {
        tbAudio->SetLinePosition(tbAudio->PositionL());
        MediaPlayer1.Play(FSelection.StartMs(), FSelection.EndMs());
      } else {
        MediaPlayer1.Play();
      }
    }
  } catch (const std::exception& error) {
    PlaybackFailed(error);
    return;
  }
  UpdatePlayActions();
}

// The file went away or cannot be decoded: say so, and the window is back to idle.
void TfrmMain::PlaybackFailed(const std::exception& error) {
  Timer1->stop();
  tbAudio->SetLinePosition(0);
  MediaPlayer1.Close();
  UpdatePlayActions();
  ShowMessage(tr("The file cannot be played: %1").arg(QString::fromStdString(error.what())));
}

void TfrmMain::aPauseExecute() {
  MediaPlayer1.Pause();
  Timer1->stop();
  UpdatePlayActions();
}

void TfrmMain::aStopExecute() {
  Timer1->stop();
  FPlacedMs = -1;
  tbAudio->SetLinePosition(0);
  MediaPlayer1.Stop();
  MediaPlayer1.Close();
  UpdatePlayActions();
  ShowCursorTime();
}

// As the track bar keeps its thumbs apart, a mark at or past the other end stops half a
// second short of it. A cursor placed in the close view marks to the millisecond.
void TfrmMain::aMarkStartExecute() {
  dvDetail->TakeEdge(false);
  if (FPlacedMs >= 0 && !Timer1->isActive()) {
    DetailSelect(FPlacedMs, FSelection.EndMs());
    return;
  }
  const int unit = std::min(tbAudio->LinePosition(), FSelection.EndUnit() - 1);
  if (FSelection.SetStart(std::max(unit, 0) * TSelectionModel::kUnitMs)) ShowSelection(true);
}

void TfrmMain::aMarkEndExecute() {
  dvDetail->TakeEdge(true);
  if (FPlacedMs >= 0 && !Timer1->isActive()) {
    DetailSelect(FSelection.StartMs(), FPlacedMs);
    return;
  }
  const int unit = std::max(tbAudio->LinePosition(), FSelection.StartUnit() + 1);
  const int32_t ms =
      unit >= FSelection.MaxUnits() ? FSelection.LengthMs() : unit * TSelectionModel::kUnitMs;
  if (FSelection.SetEnd(ms)) ShowSelection(true);
}

void TfrmMain::tbAudioMouseDown(Qt::MouseButton button) {
  if (button == Qt::LeftButton) FDragStartPosition = tbAudio->PositionL();
}

// The start thumb dragged while playing: play on from the new start to the end thumb.
void TfrmMain::tbAudioMouseUp(Qt::MouseButton button) {
  if (button != Qt::LeftButton || tbAudio->PositionL() == FDragStartPosition || !Timer1->isActive())
    return;
  try {
    MediaPlayer1.Play(FSelection.StartMs(), FSelection.EndMs());
    tbAudio->SetLinePosition(tbAudio->PositionL());
  } catch (const std::exception& error) {
    PlaybackFailed(error);
  }
}

// The cursor follows the sound the player has put out, in whole half seconds, so that a mark
// at the cursor marks what was heard; a timer that fires late cannot make it drift. A
// selection stops on the tick after the cursor reached its end, the whole file when the
// cursor reaches the end of the bar, and any playback on the tick after the player ended by
// itself and the cursor showed where.
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
