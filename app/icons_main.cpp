// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the program's icon as PNG files at the sizes desktops look for (ICON_DIR/NxN.png), for
// the install; run at build time on the offscreen platform. The icon is drawn in code, as the
// windows draw it.
#include <QGuiApplication>
#include <QPixmap>
#include <cstdio>

#include "app/artwork.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: trimora-icons ICON_DIR\n", stderr);
    return 2;
  }
  QGuiApplication app(argc, argv);
  for (const int size : {16, 32, 48, 64, 128, 256}) {
    const QString file =
        QStringLiteral("%1/%2x%2.png").arg(QString::fromLocal8Bit(argv[1])).arg(size);
    if (!artwork::IconPixmap(size).save(file, "PNG")) {
      std::fprintf(stderr, "trimora-icons: cannot write %s\n", file.toLocal8Bit().constData());
      return 1;
    }
  }
  return 0;
}
