// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Answering the real modal dialogs of a window the way a user does: the helper waits from
// the event loop for the next modal widget, then clicks or types into it.

#include <QMessageBox>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

namespace test_support {

// Runs `answer` on the next modal dialog that opens (one not answered before), from the
// event loop; a failure is recorded when none opens within 20 seconds. Setting the returned
// flag to false calls the wait off.
std::shared_ptr<bool> WhenModal(std::function<void(QWidget*)> answer);
// The same for the next message box only, waiting as long as the flag stays true.
std::shared_ptr<bool> WhenMessage(std::function<void(QWidget*)> answer);

QString MessageText(QWidget* box);
// Clicks `button` of a message box.
void Press(QWidget* box, QMessageBox::StandardButton button);
// Types `path` into a (non-native) file dialog's name field and presses Enter.
void ChooseFile(QWidget* dialog, const QString& path);
// Puts `path` into a file dialog's name field at once and presses Enter. Typed key by key,
// the dialog's completer may take the Enter in the Joiner's and Segment Cut's dialogs.
void EnterFileName(QWidget* dialog, const QString& path);

// The texts of the message boxes shown while it lives, each answered with OK (or Yes).
class TMessageLog {
 public:
  TMessageLog();
  ~TMessageLog();
  const QStringList& Texts() const { return FTexts; }
  // Waits until `count` messages were shown; false after 10 seconds.
  bool WaitFor(int count);

 private:
  void Arm();
  QStringList FTexts;
  std::shared_ptr<bool> FWaiting;
};

}  // namespace test_support
