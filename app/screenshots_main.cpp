// SPDX-License-Identifier: GPL-3.0-or-later
// trimora-screenshots FILE OUTDIR: pictures of the windows for the README, made by
// scripts/screenshots.sh under a virtual display. Opens FILE in the main window, selects a
// stretch of it, and saves main-window.png, about-box.png and segment-cut.png (the segment
// cut window with two rows) into OUTDIR.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleFactory>
#include <QTimer>
#include <cstdio>

#include "app/about_box.h"
#include "app/artwork.h"
#include "app/easy_cut_window.h"
#include "app/main_thread_pump.h"
#include "app/main_window.h"
#include "app/time_edit.h"

namespace {

bool Save(QWidget& window, const QDir& folder, const char* name) {
  const QString path = folder.filePath(QString::fromLatin1(name));
  const bool saved = window.grab().save(path, "PNG");
  std::fprintf(stderr, "%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("TrimoraScreenshots"));
  QApplication::setApplicationName(QStringLiteral("trimora-screenshots"));
  QApplication::setWindowIcon(artwork::ProgramIcon());
  if (argc != 3) {
    std::fputs("usage: trimora-screenshots FILE OUTDIR\n", stderr);
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[2]));
  TMainThreadPump pump;  // the engine's events reach the windows through it
  TfrmMain window;
  window.show();
  window.OpenFile(QString::fromLocal8Bit(argv[1]));
  window.tbAudio->SetPositionL(window.tbAudio->Max() / 5);
  window.tbAudio->SetPositionU(window.tbAudio->Max() * 3 / 4);
  int status = 0;
  QTimer::singleShot(500, [&] {
    if (!Save(window, folder, "main-window.png")) status = 1;
    auto* about = new TfrmAbout(&window);
    about->show();
    QTimer::singleShot(300, [&, about] {
      if (!Save(*about, folder, "about-box.png")) status = 1;
      about->close();
      auto* easyCut = new TfrmEasyCut(&window);
      easyCut->OpenFile(QString::fromLocal8Bit(argv[1]));
      for (const auto& [start, end] :
           {std::pair{"00:00:01.5", "00:00:02.5"}, std::pair{"00:00:06.0", "00:00:07.2"}}) {
        easyCut->eStart->setText(QString::fromLatin1(start));
        easyCut->eEnd->setText(QString::fromLatin1(end));
        easyCut->bAdd->click();
      }
      easyCut->show();
      QTimer::singleShot(300, [&, easyCut] {
        if (!Save(*easyCut, folder, "segment-cut.png")) status = 1;
        easyCut->close();
        window.close();
        QApplication::quit();
      });
    });
  });
  QApplication::exec();
  return status;
}
