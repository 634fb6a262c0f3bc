// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mnemonics.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QEvent>
#include <QHash>
#include <QKeySequence>
#include <QLabel>
#include <QList>
#include <QObject>
#include <QRegularExpression>
#include <QShortcutEvent>
#include <QWidget>

namespace mnemonics {

namespace {

QString Plain(QString caption) {
  return caption.remove(QRegularExpression(QStringLiteral("&(?!&)"))).replace("&&", "&");
}

// Every button of the window that answers `key` now, in tab order.
QList<QAbstractButton*> Bearers(QWidget* window, const QKeySequence& key) {
  QList<QAbstractButton*> found;
  for (QWidget* w = window->nextInFocusChain(); w != window; w = w->nextInFocusChain()) {
    auto* button = qobject_cast<QAbstractButton*>(w);
    if (button && button->isVisible() && button->isEnabled() && !found.contains(button) &&
        QKeySequence::mnemonic(button->text()) == key)
      found << button;
  }
  return found;
}

// The bearer after the focused control in tab order, coming round at the end.
QAbstractButton* AfterFocus(QWidget* window, const QList<QAbstractButton*>& bearers) {
  QWidget* focus = window->focusWidget();
  if (focus == nullptr) return bearers.first();
  for (QWidget* w = focus->nextInFocusChain(); w != focus; w = w->nextInFocusChain())
    if (auto* button = qobject_cast<QAbstractButton*>(w); bearers.contains(button)) return button;
  return bearers.first();
}

class TMnemonicRouter : public QObject {
 public:
  explicit TMnemonicRouter(QWidget* window) : QObject(window), FWindow(window) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Shortcut) return false;
    const auto* shortcut = static_cast<QShortcutEvent*>(event);
    auto* receiver = qobject_cast<QAbstractButton*>(watched);
    if (receiver == nullptr || QKeySequence::mnemonic(receiver->text()) != shortcut->key())
      return false;  // a shortcut of its own, not its letter
    const QList<QAbstractButton*> bearers = Bearers(FWindow, shortcut->key());
    if (bearers.isEmpty()) return true;
    bool alike = true;
    for (const QAbstractButton* b : bearers) alike = alike && b->text() == bearers.first()->text();
    QAbstractButton* chosen = alike ? AfterFocus(FWindow, bearers) : bearers.first();
    chosen->click();
    return true;
  }

 private:
  QWidget* FWindow;
};

}  // namespace

void Install(QWidget* window) {
  auto* router = new TMnemonicRouter(window);
  for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
    button->installEventFilter(router);
}

void NameControls(QWidget* window) {
  QHash<QWidget*, QString> buddies;
  for (QLabel* label : window->findChildren<QLabel*>())
    if (label->buddy() != nullptr) buddies.insert(label->buddy(), Plain(label->text()).trimmed());
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (!w->accessibleName().isEmpty()) continue;
    QString name;
    if (auto* button = qobject_cast<QAbstractButton*>(w))
      name = Plain(button->text());
    else if (auto* label = qobject_cast<QLabel*>(w))
      name = Plain(label->text()).trimmed();
    if (name.isEmpty()) name = w->toolTip();
    if (name.isEmpty()) name = buddies.value(w);
    // A spin box's own text field takes the spin box's name.
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(w->parentWidget()); name.isEmpty() && spin)
      name = spin->accessibleName().isEmpty() ? buddies.value(spin) : spin->accessibleName();
    if (!name.isEmpty()) w->setAccessibleName(name);
  }
}

}  // namespace mnemonics
