#include "app/run_dialog.h"

#include <QCloseEvent>

#include "app/window_parts.h"

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
