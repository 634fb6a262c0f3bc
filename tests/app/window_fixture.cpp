// SPDX-License-Identifier: GPL-3.0-or-later
#include "window_fixture.h"

#include <algorithm>

#include <QApplication>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QWheelEvent>

using namespace test_support;

void WindowTest::OpenByDialog(const QString& path) {
  WhenModal([path](QWidget* dialog) { ChooseFile(dialog, path); });
  QTest::mouseClick(Window->bOpen, Qt::LeftButton);
}

void WindowTest::Focus(QWidget* widget) {
  if (QApplication::activeWindow() != Window.get()) {
    QApplication::setActiveWindow(Window.get());
    EXPECT_TRUE(QTest::qWaitForWindowActive(Window.get()));
  }
  widget->setFocus(Qt::MouseFocusReason);
}

void WindowTest::Type(QLineEdit* edit, const QString& text) {
  Focus(edit);
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

bool WindowTest::ShowCloseView() {
  Window->resize(900, Window->height() + 300);
  return QTest::qWaitFor([this] { return Window->dvDetail->isVisible(); });
}

void Wheel(QWidget* widget, QPoint at, int notches, Qt::KeyboardModifiers modifiers) {
  const QPointF global = widget->mapToGlobal(QPointF(at));
  QWheelEvent event(QPointF(at), global, QPoint(), QPoint(0, notches * 120), Qt::NoButton,
                    modifiers, Qt::NoScrollPhase, false);
  QApplication::sendEvent(widget, &event);
}

void Drag(QWidget* widget, QPoint from, QPoint to) {
  QTest::mousePress(widget, Qt::LeftButton, {}, from);
  QTest::mouseMove(widget, (from + to) / 2);
  QTest::mouseMove(widget, to);
  QTest::mouseRelease(widget, Qt::LeftButton, {}, to);
}

bool HoldsBytesOf(const std::filesystem::path& written, const std::filesystem::path& source,
                  double fraction) {
  const std::vector<uint8_t> in = test_support::ReadBytes(source);
  const std::vector<uint8_t> out = test_support::ReadBytes(written);
  const auto at = static_cast<size_t>(fraction * static_cast<double>(in.size()));
  if (at + 512 > in.size()) return false;
  const auto from = in.begin() + static_cast<std::ptrdiff_t>(at);
  return std::search(out.begin(), out.end(), from, from + 512) != out.end();
}
