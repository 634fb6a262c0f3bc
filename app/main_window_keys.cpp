// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's keys, as in other sound editors: Space plays and pauses, Escape stops,
// "[" and "]" (or I and O) mark the selection's ends at the play position, Home and End put
// the cursor on the selection's ends, Ctrl+O opens and Ctrl+Enter starts the cut. All but the
// last two are the window's own keys, not shortcuts: they reach it only when the focused
// control leaves them, so Space still presses a focused button and ticks a focused box, and
// an edit keeps its printable keys, Home and End.
#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
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

// A control that has a use of its own for Space, even when it passes the key on (a
// read-only edit, a spin box at its limit).
bool UsesSpace(const QWidget* focus) {
  return qobject_cast<const QAbstractButton*>(focus) || qobject_cast<const QLineEdit*>(focus) ||
         qobject_cast<const QAbstractSpinBox*>(focus);
}

}  // namespace

void TfrmMain::BuildKeys() {
  OnKeys(this, {QKeySequence(Qt::CTRL | Qt::Key_O)}, [this] { ClickIfEnabled(bOpen); });
  OnKeys(this, {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)},
         [this] { ClickIfEnabled(bStartCut); });
}

void TfrmMain::keyPressEvent(QKeyEvent* event) {
  const auto plain = event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
  if (plain == Qt::NoModifier && PlayKey(event->key()))
    event->accept();
  else
    QWidget::keyPressEvent(event);
}

// True when `key` is one of the play keys.
bool TfrmMain::PlayKey(int key) {
  switch (key) {
    case Qt::Key_Space:
      if (UsesSpace(QApplication::focusWidget())) return false;
      TriggerIfEnabled(aPause->isEnabled() ? aPause : aPlay);
      return true;
    case Qt::Key_Escape:
      TriggerIfEnabled(aStop);
      return true;
    case Qt::Key_BracketLeft:
    case Qt::Key_I:
      TriggerIfEnabled(aMarkStart);
      return true;
    case Qt::Key_BracketRight:
    case Qt::Key_O:
      TriggerIfEnabled(aMarkEnd);
      return true;
    case Qt::Key_Home:
    case Qt::Key_End:
      JumpTo(key == Qt::Key_End);
      return true;
    default:
      return false;
  }
}

// Playing goes on from there (a selection being played ends at its end as before); while
// stopped or paused the cursor is only placed there, ready for a mark or Play. The close
// view scrolls to the place.
void TfrmMain::JumpTo(bool end) {
  if (eOpenFile->text().isEmpty()) return;
  const int32_t at = end ? FSelection.EndMs() : FSelection.StartMs();
  if (Timer1->isActive()) {
    PlayFrom(at, FPlayingSelection ? FSelection.EndMs() : MediaPlayer1.Length());
    if (!Timer1->isActive()) return;
  }
  FCursorMs = at;
  ShowCursorAt(at, true);
}

// The time the marks would take, to the millisecond, next to the time edits; nothing while
// there is no cursor.
void TfrmMain::ShowCursorTime() {
  const int32_t at = CursorMs();
  lCursor->setText(HasCursor() && at >= 0
                       ? tr("Cursor: %1").arg(QString::fromStdString(MsToPreciseTimeText(at)))
                       : QString());
}
