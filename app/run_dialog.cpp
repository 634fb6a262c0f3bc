// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/run_dialog.h"

#include <QCloseEvent>

#include "app/artwork.h"
#include "app/window_parts.h"

TRunDialog::TRunDialog(const char* name, const QString& title, QWidget* parent) : QDialog(parent) {
  setObjectName(name);
  setWindowTitle(title);
  setWindowIcon(artwork::ProgramIcon());
}

void TRunDialog::reject() {
  if (Running()) {
    close();
    return;
  }
  QDialog::reject();
}

void TRunDialog::closeEvent(QCloseEvent* event) {
  if (window_parts::MayCloseDuringRun(
          this, event, StopQuestion(), [this] { return Running(); }, [this] { StopRun(); }))
    QDialog::closeEvent(event);
}
