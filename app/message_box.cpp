// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/message_box.h"

#include <QMessageBox>

namespace message_box {
namespace {

int Exec(QWidget* owner, const QString& text, QMessageBox::StandardButtons buttons) {
  QMessageBox box(QMessageBox::Information, QString::fromLatin1(kCaption), text, buttons, owner);
  return box.exec();
}

}  // namespace

void Show(QWidget* owner, const QString& text) {
  Exec(owner, text, QMessageBox::Ok);
}

bool AskYesNo(QWidget* owner, const QString& text) {
  return Exec(owner, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace message_box
