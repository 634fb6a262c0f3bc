// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/time_edit.h"

#include <QFocusEvent>
#include <QTimer>

bool TTimeEdit::FChecking = false;

TTimeEdit::TTimeEdit(const char* name, const QString& hint, QWidget* parent)
    : QLineEdit(QStringLiteral("00:00:00.0"), parent) {
  setObjectName(name);
  setToolTip(hint);
  // Room for the form with milliseconds ("00:00:00.000") as well as the designed one.
  setMaxLength(12);
  setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("00:00:00.000")) + 10);
}

bool TTimeEdit::Check() {
  if (!FExitCheck || FChecking) return true;
  FChecking = true;
  const bool passed = FExitCheck();
  FChecking = false;
  return passed;
}

void TTimeEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  const auto reason = event->reason();
  if (FChecking || reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return;
  // After the focus has moved; a check that already sent the focus back has spoken.
  QTimer::singleShot(0, this, [this] {
    if (!hasFocus()) Check();
  });
}
