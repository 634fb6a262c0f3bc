// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLineEdit>
#include <functional>

// A time edit of the windows: "00:00:00.0", or "00:00:00.000" for a time to the millisecond,
// at most twelve characters, just wide enough for them.
// Leaving it for another control of the same window runs its check (once the focus has
// moved); the window losing the focus to a dialog, a menu or another program does not, and
// neither does a focus change caused by a check's own message box. A check that fails is
// expected to say why and take the focus back.
class TTimeEdit : public QLineEdit {
  Q_OBJECT

 public:
  TTimeEdit(const char* name, const QString& hint, QWidget* parent);

  // The check run on leaving: true when the text may stay.
  void SetExitCheck(std::function<bool()> check) { FExitCheck = std::move(check); }
  // Runs the check now (as a click that leaves no edit, a shortcut, does before it acts).
  bool Check();

 protected:
  void focusOutEvent(QFocusEvent* event) override;

 private:
  std::function<bool()> FExitCheck;
  // A check is running (its message box is up): focus changes are its own. One for the whole
  // program, as only one message box can be up.
  static bool FChecking;
};
