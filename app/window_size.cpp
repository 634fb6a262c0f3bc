// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window_size.h"

#include <QEvent>
#include <QObject>
#include <QSettings>
#include <QSize>
#include <QString>
#include <QWidget>

namespace window_parts {

namespace {

QString SizeKey(const char* key) {
  return QStringLiteral("windows/%1/size").arg(QString::fromLatin1(key));
}

// Saves the size each time the window is hidden: closing it, or the program ending.
class TSizeKeeper : public QObject {
 public:
  TSizeKeeper(QWidget* window, const char* key) : QObject(window), FKey(SizeKey(key)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Hide) {
      const auto* window = static_cast<QWidget*>(watched);
      if (!window->isMinimized() && !window->isMaximized() && !window->isFullScreen())
        QSettings().setValue(FKey, window->size());
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  QString FKey;
};

}  // namespace

void RememberSize(QWidget* window, const char* key) {
  const QSize stored = QSettings().value(SizeKey(key)).toSize();
  if (stored.isValid()) window->resize(stored.expandedTo(window->minimumSizeHint()));
  window->installEventFilter(new TSizeKeeper(window, key));
}

}  // namespace window_parts
