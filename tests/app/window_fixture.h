// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTest>
#include <functional>
#include <memory>

#include "app/main_thread_pump.h"
#include "app/main_window.h"
#include "qt_dialogs.h"
#include "test_support.h"

// A shown window of type W, active; a scratch folder for the files it opens and writes, which
// also holds its data folder; the pump for the engine's events, which the application owns
// and which outlives the window; and the captions it showed. Settings start empty.
template <class W>
class TShownWindowTest : public ::testing::Test {
 protected:
  TShownWindowTest() {
    QSettings().clear();
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString((Folder / "data").string()));
    Window = std::make_unique<W>();
    Window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
    QApplication::setActiveWindow(Window.get());
    EXPECT_TRUE(QTest::qWaitForWindowActive(Window.get()));
    QObject::connect(Window.get(), &QWidget::windowTitleChanged,
                     [this](const QString& title) { Captions << title; });
  }
  ~TShownWindowTest() override {
    Window.reset();
    QTest::qWait(0);
    qunsetenv("XDG_DATA_HOME");
  }

  QString File(const std::string& name) const {
    return QString::fromStdString((Folder / name).string());
  }
  // Presses `button` and answers the file dialog it opens with `name` in the scratch folder.
  void ChooseThrough(QAbstractButton* button, const std::string& name) {
    const QString path = File(name);
    test_support::WhenModal([path](QWidget* dialog) { test_support::EnterFileName(dialog, path); });
    QTest::mouseClick(button, Qt::LeftButton);
  }

  // Presses `close` during a run and answers the question it raises with Yes; returns the
  // question.
  QString CloseAndStop(QAbstractButton* close) {
    QString asked;
    test_support::WhenMessage([&asked](QWidget* box) {
      asked = test_support::MessageText(box);
      test_support::Press(box, QMessageBox::Yes);
    });
    QTest::mouseClick(close, Qt::LeftButton);
    return asked;
  }

  TMainThreadPump Pump;  // brings the engine's events to the window
  test_support::TTempFolder Folder;
  std::unique_ptr<W> Window;
  QStringList Captions;
};

// The shown main window, with what its tests do as a user: open, type, cut.
class WindowTest : public TShownWindowTest<TfrmMain> {
 protected:
  // Opens `path` through the open dialog, as a user does.
  void OpenByDialog(const QString& path);
  // Gives `widget` the focus, the window made active first (a closed dialog leaves no
  // active window on the offscreen platform).
  void Focus(QWidget* widget);
  // Types `text` over the contents of `edit`.
  void Type(QLineEdit* edit, const QString& text);
  // Presses Start Cut and answers the save dialog with `target`; `then` answers what follows
  // (the overwrite question), if anything.
  void StartCut(const QString& target, std::function<void(QWidget*)> then = {});
  // Waits until the running cut has ended.
  bool WaitForCut();
  // Makes the window taller until its close view shows; false if it never does.
  bool ShowCloseView();
};

// The mouse as a user moves it: wheel notches at `at` (positive: away from the user), and a
// left-button drag.
void Wheel(QWidget* widget, QPoint at, int notches, Qt::KeyboardModifiers modifiers = {});
void Drag(QWidget* widget, QPoint from, QPoint to);

// Whether `written` holds, as they are, the 512 bytes of `source` from `fraction` of the way
// in: frames copied, not coded afresh.
bool HoldsBytesOf(const std::filesystem::path& written, const std::filesystem::path& source,
                  double fraction);
