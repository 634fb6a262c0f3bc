// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QString>

class QCloseEvent;

// A window that runs work in the background and must not simply vanish while it does:
// closing it during a run (its Close button, Escape or the title bar) asks StopQuestion(),
// and Yes stops the run before the window goes.
class TRunDialog : public QDialog {
 public:
  // Names the window `name` for tests and style sheets, and gives it `title` and the
  // program's icon.
  TRunDialog(const char* name, const QString& title, QWidget* parent);

  // Whether a run is going on.
  virtual bool Running() const = 0;

  // Escape closes the window as its Close button does, with the same question during a run.
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  virtual QString StopQuestion() const = 0;
  // Stops the run, leaving nothing of it behind.
  virtual void StopRun() = 0;
};
