// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's keys, as in other sound editors: Space plays and pauses, Escape stops,
// "[" and "]" (or I and O) mark the selection's ends at the cursor, Home and End put the
// cursor on the selection's ends, Ctrl+O opens and Ctrl+Enter starts the cut. In a time edit
// the printable keys and Home and End stay the edit's own.
#include <QAction>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <algorithm>
#include <functional>

#include "app/main_window.h"
#include "app/window_parts.h"
#include "cutting/time/time_text.h"

namespace {

void OnKeys(QWidget* window, std::initializer_list<QKeySequence> keys,
            const std::function<void()>& handler) {
  for (const QKeySequence& key : keys) {
    auto* shortcut = new QShortcut(key, window);
    QObject::connect(shortcut, &QShortcut::activated, window, handler);
  }
}

void TriggerIfEnabled(QAction* action) {
  if (action->isEnabled()) action->trigger();
}

void ClickIfEnabled(QPushButton* button) {
  if (button->isEnabled() && button->isVisible()) button->click();
}

}  // namespace

void TfrmMain::BuildKeys() {
  OnKeys(this, {QKeySequence(Qt::Key_Space)}, [this] {
    if (aPause->isEnabled())
      aPause->trigger();
    else
      TriggerIfEnabled(aPlay);
  });
  OnKeys(this, {QKeySequence(Qt::Key_Escape)}, [this] { TriggerIfEnabled(aStop); });
  OnKeys(this, {QKeySequence(Qt::Key_BracketLeft), QKeySequence(Qt::Key_I)},
         [this] { TriggerIfEnabled(aMarkStart); });
  OnKeys(this, {QKeySequence(Qt::Key_BracketRight), QKeySequence(Qt::Key_O)},
         [this] { TriggerIfEnabled(aMarkEnd); });
  OnKeys(this, {QKeySequence(Qt::Key_Home)}, [this] { JumpTo(false); });
  OnKeys(this, {QKeySequence(Qt::Key_End)}, [this] { JumpTo(true); });
  OnKeys(this, {QKeySequence(Qt::CTRL | Qt::Key_O)}, [this] { ClickIfEnabled(bOpen); });
  OnKeys(this, {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)},
         [this] { ClickIfEnabled(bStartCut); });
}

// Playing goes on from there (a selection being played ends at its end as before); while
// stopped or paused the cursor is only placed there, ready for a mark.
void TfrmMain::JumpTo(bool end) {
  if (eOpenFile->text().isEmpty() || tbAudio->Max() <= 0) return;
  const int unit = std::max(end ? tbAudio->PositionU() : tbAudio->PositionL(), 1);
  if (Timer1->isActive()) {
    const int64_t from = end ? FSelection.EndMs() : FSelection.StartMs();
    const int64_t to = FPlayingSelection ? FSelection.EndMs() : MediaPlayer1.Length();
    if (from >= to) {
      aStopExecute();
      return;
    }
    try {
      MediaPlayer1.Play(from, to);
    } catch (const std::exception& error) {
      PlaybackFailed(error);
      return;
    }
  }
  FPlacedMs = -1;
  tbAudio->SetLinePosition(unit);
  UpdatePlayActions();
  ShowCursorTime();
}

// The time the marks would take, next to the time edits; nothing while there is no cursor.
// While playing it tells where the sound is, finer than the track bar's half seconds.
void TfrmMain::ShowCursorTime() {
  const bool placed = tbAudio->LinePosition() > 0 || FPlacedMs >= 0;
  const int64_t ms = Timer1->isActive() ? MediaPlayer1.Position() : CursorMs();
  const bool exact = FPlacedMs >= 0 && !Timer1->isActive();
  const auto at = static_cast<int32_t>(ms);
  const QString text =
      exact ? QString::fromStdString(MsToPreciseTimeText(at)) : window_parts::TimeText(at);
  lCursor->setText(placed || Timer1->isActive() ? tr("Cursor: %1").arg(text) : QString());
}
