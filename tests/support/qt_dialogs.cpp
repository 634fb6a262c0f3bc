// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt_dialogs.h"

#include <gtest/gtest.h>
#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>
#include <vector>

namespace test_support {
namespace {

constexpr int kPollMs = 10;
constexpr int kGiveUpMs = 20000;

std::vector<QPointer<QWidget>>& Answered() {
  static std::vector<QPointer<QWidget>> answered;
  return answered;
}

bool WasAnswered(QWidget* widget) {
  for (const auto& seen : Answered())
    if (seen == widget) return true;
  return false;
}

void Poll(std::shared_ptr<std::function<void(QWidget*)>> answer, std::shared_ptr<bool> armed,
          bool messagesOnly, int waitedMs) {
  if (!*armed) return;
  QWidget* modal = QApplication::activeModalWidget();
  if (modal != nullptr && modal->isVisible() && !WasAnswered(modal) &&
      (!messagesOnly || qobject_cast<QMessageBox*>(modal) != nullptr)) {
    Answered().push_back(modal);
    *armed = false;
    (*answer)(modal);
    return;
  }
  if (!messagesOnly && waitedMs >= kGiveUpMs) {
    ADD_FAILURE() << "no dialog opened";
    return;
  }
  QTimer::singleShot(kPollMs, [answer, armed, messagesOnly, waitedMs] {
    Poll(answer, armed, messagesOnly, waitedMs + kPollMs);
  });
}

std::shared_ptr<bool> Watch(std::function<void(QWidget*)> answer, bool messagesOnly) {
  auto shared = std::make_shared<std::function<void(QWidget*)>>(std::move(answer));
  auto armed = std::make_shared<bool>(true);
  QTimer::singleShot(0, [shared, armed, messagesOnly] { Poll(shared, armed, messagesOnly, 0); });
  return armed;
}

}  // namespace

std::shared_ptr<bool> WhenModal(std::function<void(QWidget*)> answer) {
  return Watch(std::move(answer), false);
}

std::shared_ptr<bool> WhenMessage(std::function<void(QWidget*)> answer) {
  return Watch(std::move(answer), true);
}

QString MessageText(QWidget* box) {
  auto* message = qobject_cast<QMessageBox*>(box);
  return message != nullptr ? message->text() : QString();
}

void Press(QWidget* box, QMessageBox::StandardButton button) {
  auto* message = qobject_cast<QMessageBox*>(box);
  if (message == nullptr || message->button(button) == nullptr) {
    ADD_FAILURE() << "not a message box with that button";
    if (box != nullptr) box->close();
    return;
  }
  QTest::mouseClick(message->button(button), Qt::LeftButton);
}

void EnterFileName(QWidget* dialog, const QString& path) {
  auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  ASSERT_NE(edit, nullptr) << "not a file dialog";
  edit->setText(path);
  QTest::keyClick(edit, Qt::Key_Return);
}

void ChooseFile(QWidget* dialog, const QString& path) {
  auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  if (edit == nullptr) {
    ADD_FAILURE() << "not a file dialog";
    dialog->close();
    return;
  }
  // The folder as a click in the list would choose it, then the name typed as a user does.
  if (auto* files = qobject_cast<QFileDialog*>(dialog))
    files->setDirectory(QFileInfo(path).absolutePath());
  edit->selectAll();
  QTest::keyClicks(edit, QFileInfo(path).fileName());
  // The name completion's list would take the Enter key; the user clicks the button instead.
  if (edit->completer() != nullptr && edit->completer()->popup() != nullptr)
    edit->completer()->popup()->hide();
  auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
  QPushButton* accept = nullptr;
  if (buttons != nullptr)
    for (QDialogButtonBox::StandardButton b : {QDialogButtonBox::Open, QDialogButtonBox::Save})
      if (buttons->button(b) != nullptr) accept = buttons->button(b);
  if (accept == nullptr) {
    ADD_FAILURE() << "the file dialog has no Open or Save button";
    dialog->close();
    return;
  }
  QTest::mouseClick(accept, Qt::LeftButton);
}

TMessageLog::TMessageLog() {
  Arm();
}

TMessageLog::~TMessageLog() {
  *FWaiting = false;
}

void TMessageLog::Arm() {
  FWaiting = WhenMessage([this](QWidget* box) {
    FTexts << MessageText(box);
    auto* message = qobject_cast<QMessageBox*>(box);
    Arm();
    Press(box, message != nullptr && message->button(QMessageBox::Yes) ? QMessageBox::Yes
                                                                       : QMessageBox::Ok);
  });
}

bool TMessageLog::WaitFor(int count) {
  return QTest::qWaitFor([&] { return FTexts.size() >= count; }, 10000);
}

}  // namespace test_support
