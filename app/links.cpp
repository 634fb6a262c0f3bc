// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/links.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

#include "app/message_box.h"

namespace links {

QUrl PageUrl(const char* fragment) {
  // Installed: <prefix>/bin/trimora and <prefix>/share/doc/trimora/README.md.
  const QDir bin(QCoreApplication::applicationDirPath());
  QString readme = bin.absoluteFilePath("../share/doc/trimora/README.md");
  if (!QFileInfo::exists(readme)) readme = QStringLiteral(TRIMORA_SOURCE_README);
  QUrl url = QUrl::fromLocalFile(QFileInfo(readme).canonicalFilePath());
  const QString anchor = QString::fromLatin1(fragment);
  if (anchor.startsWith('#')) url.setFragment(anchor.mid(1));
  return url;
}

void OpenPage(QWidget* owner, const char* fragment) {
  const QUrl url = PageUrl(fragment);
  if (QDesktopServices::openUrl(url)) return;
  message_box::Show(
      owner,
      QObject::tr("The page could not be opened here. Its address is:\n%1").arg(url.toString()));
}

}  // namespace links
