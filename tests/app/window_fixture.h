#pragma once

#include <gtest/gtest.h>
#include <QLineEdit>
#include <QString>
#include <functional>
#include <memory>

#include "app/main_window.h"
#include "qt_dialogs.h"
#include "test_support.h"

// A shown main window and a scratch folder for the files it opens and writes.
class WindowTest : public ::testing::Test {
 protected:
  WindowTest();
  ~WindowTest() override;

  QString File(const std::string& name) const {
    return QString::fromStdString((Folder / name).string());
  }
  // Opens `path` through the open dialog, as a user does.
  void OpenByDialog(const QString& path);
  // Types `text` over the contents of `edit`.
  void Type(QLineEdit* edit, const QString& text);
  // Presses Start Cut and answers the save dialog with `target`; `then` answers what follows
  // (the overwrite question), if anything.
  void StartCut(const QString& target, std::function<void(QWidget*)> then = {});
  // Waits until the running cut has ended.
  bool WaitForCut();

  test_support::TTempFolder Folder;
  std::unique_ptr<TfrmMain> Window;
};
