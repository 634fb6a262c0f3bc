// SPDX-License-Identifier: GPL-3.0-or-later
// trimora-screenshots FILE OUTDIR: pictures of the windows for the README, made by
// scripts/screenshots.sh under a virtual display. Opens FILE in the main window, selects a
// stretch of it, and saves into OUTDIR each window at its designed size and enlarged:
// main-window.png and main-window-large.png (its close view zoomed in), about-box.png,
// segment-cut.png and segment-cut-large.png (two rows), joiner.png and joiner-large.png, and
// split.png (four equal parts) and split-marks.png (at a cue sheet's tracks), then
// main-window-dark.png (the enlarged main window under a dark palette).
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStyleFactory>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "app/about_box.h"
#include "app/artwork.h"
#include "app/easy_cut_window.h"
#include "app/joiner_window.h"
#include "app/main_thread_pump.h"
#include "app/main_window.h"
#include "app/split_window.h"
#include "app/time_edit.h"

namespace {

bool Save(QWidget& window, const QDir& folder, const char* name) {
  const QString path = folder.filePath(QString::fromLatin1(name));
  const bool saved = window.grab().save(path, "PNG");
  std::fprintf(stderr, "%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
  return saved;
}

QPalette DarkPalette() {
  QPalette dark;
  const QColor window(0x2B, 0x2B, 0x2E), base(0x1E, 0x1E, 0x20), text(0xE6, 0xE6, 0xE6);
  for (const auto& [role, colour] : {std::pair{QPalette::Window, window},
                                     {QPalette::WindowText, text},
                                     {QPalette::Base, base},
                                     {QPalette::AlternateBase, window},
                                     {QPalette::Text, text},
                                     {QPalette::Button, window},
                                     {QPalette::ButtonText, text},
                                     {QPalette::Highlight, QColor(0x3D, 0x8E, 0xE0)},
                                     {QPalette::HighlightedText, QColor(Qt::white)},
                                     {QPalette::Mid, QColor(0x50, 0x50, 0x55)},
                                     {QPalette::ToolTipBase, base},
                                     {QPalette::ToolTipText, text}})
    dark.setColor(role, colour);
  for (const QPalette::ColorRole role :
       {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    dark.setColor(QPalette::Disabled, role, QColor(0x80, 0x80, 0x85));
  return dark;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("TrimoraScreenshots"));
  QApplication::setApplicationName(QStringLiteral("trimora-screenshots"));
  // Every picture from the designed start: no size or zoom kept from an earlier run.
  QSettings().clear();
  QApplication::setWindowIcon(artwork::ProgramIcon());
  if (argc != 3) {
    std::fputs("usage: trimora-screenshots FILE OUTDIR\n", stderr);
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[2]));
  TMainThreadPump pump;  // the engine's events reach the windows through it
  TfrmMain window;
  window.show();
  const QString file = QString::fromLocal8Bit(argv[1]);
  window.OpenFile(file);
  window.tbAudio->SetPositionL(window.tbAudio->Max() / 5);
  window.tbAudio->SetPositionU(window.tbAudio->Max() * 3 / 4);
  int status = 0;
  auto save = [&](QWidget& shown, const char* name) {
    if (!Save(shown, folder, name)) status = 1;
  };
  // Each step gets the time to draw (and the close view to decode its stretch) before the next.
  TfrmEasyCut* easyCut = nullptr;
  TfrmJoiner* joiner = nullptr;
  TfrmSplit* split = nullptr;
  std::unique_ptr<TfrmMain> dark;
  std::vector<std::function<void()>> steps{
      [&] { save(window, "main-window.png"); },
      [&] {
        window.resize(1100, 560);
        // Four times closer, around the start of the selection, so that its edge shows.
        window.dvDetail->ZoomBy(0.25, window.Selection().StartMs() + 500.0);
      },
      [&] {
        save(window, "main-window-large.png");
        window.resize(620, 1);
        auto* about = new TfrmAbout(&window);
        about->setAttribute(Qt::WA_DeleteOnClose);
        about->show();
        QTimer::singleShot(300, about, [&, about] {
          save(*about, "about-box.png");
          about->close();
        });
      },
      [&] {
        easyCut = new TfrmEasyCut(&window);
        easyCut->OpenFile(file);
        for (const auto& [start, end] :
             {std::pair{"00:00:01.5", "00:00:02.5"}, std::pair{"00:00:06.0", "00:00:07.2"}}) {
          easyCut->eStart->setText(QString::fromLatin1(start));
          easyCut->eEnd->setText(QString::fromLatin1(end));
          easyCut->bAdd->click();
        }
        easyCut->show();
      },
      [&] {
        save(*easyCut, "segment-cut.png");
        easyCut->resize(900, 620);
      },
      [&] {
        save(*easyCut, "segment-cut-large.png");
        easyCut->close();
        joiner = new TfrmJoiner(&window);
        joiner->eFile1->setText(file);
        joiner->eFile2->setText(file);
        joiner->show();
      },
      [&] {
        save(*joiner, "joiner.png");
        joiner->resize(900, 600);
      },
      [&] {
        save(*joiner, "joiner-large.png");
        joiner->close();
        split = new TfrmSplit(&window);
        split->OpenFile(file);
        split->seParts->setValue(4);
        split->show();
      },
      [&] {
        save(*split, "split.png");
        // A sheet of three tracks for the file, written where the pictures' file lies.
        const QString sheet = QFileInfo(file).absolutePath() + "/Song.cue";
        QFile out(sheet);
        if (out.open(QIODevice::WriteOnly))
          out.write(
              "PERFORMER \"The Quartet\"\nTITLE \"Evening Songs\"\nFILE \"Song.wav\" WAVE\n"
              "  TRACK 01 AUDIO\n    TITLE \"Overture\"\n    INDEX 01 00:00:00\n"
              "  TRACK 02 AUDIO\n    TITLE \"Slow Air\"\n    INDEX 00 00:03:20\n"
              "    INDEX 01 00:03:40\n  TRACK 03 AUDIO\n    TITLE \"Reel\"\n"
              "    INDEX 01 00:07:05\n");
        out.close();
        split->cbMode->setCurrentIndex(TfrmSplit::kAtMarks);
        split->OpenMarks(sheet);
      },
      [&] {
        save(*split, "split-marks.png");
        split->close();
        // The colours come from the palette: the same window under a dark one.
        QApplication::setPalette(DarkPalette());
        dark = std::make_unique<TfrmMain>();
        dark->show();
        window.close();
        dark->OpenFile(file);
        dark->tbAudio->SetPositionL(dark->tbAudio->Max() / 5);
        dark->tbAudio->SetPositionU(dark->tbAudio->Max() * 3 / 4);
        dark->resize(1100, 560);
      },
      // It opened at the zoom kept from the first window; shown where that one was.
      [&] {
        dark->dvDetail->ShowStretch(window.dvDetail->FromMs(), window.dvDetail->MsPerPixel());
      },
      [&] {
        save(*dark, "main-window-dark.png");
        dark->close();
        QApplication::quit();
      }};
  for (size_t k = 0; k < steps.size(); ++k)
    QTimer::singleShot(int(500 * (k + 1)), &window, [&steps, k] { steps[k](); });
  QApplication::exec();
  return status;
}
