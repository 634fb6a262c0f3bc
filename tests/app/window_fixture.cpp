#include "window_fixture.h"

#include <QPushButton>
#include <QSettings>
#include <QTest>

using namespace test_support;

WindowTest::WindowTest() {
  QSettings().clear();
  Window = std::make_unique<TfrmMain>();
  Window->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
  Window->activateWindow();
}

WindowTest::~WindowTest() {
  Window.reset();
  QTest::qWait(0);
}

void WindowTest::OpenByDialog(const QString& path) {
  WhenModal([path](QWidget* dialog) { ChooseFile(dialog, path); });
  QTest::mouseClick(Window->bOpen, Qt::LeftButton);
}

void WindowTest::Type(QLineEdit* edit, const QString& text) {
  edit->setFocus(Qt::MouseFocusReason);
  edit->selectAll();
  QTest::keyClicks(edit, text);
}

void WindowTest::StartCut(const QString& target, std::function<void(QWidget*)> then) {
  WhenModal([target, then](QWidget* dialog) {
    if (then) WhenModal(then);
    ChooseFile(dialog, target);
  });
  QTest::mouseClick(Window->bStartCut, Qt::LeftButton);
}

bool WindowTest::WaitForCut() {
  return QTest::qWaitFor([this] { return !Window->Cutting(); }, 120000);
}
