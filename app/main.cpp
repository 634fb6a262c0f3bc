// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop program: one main window per user session. A second start hands its file to
// the running window and ends.
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QStyleFactory>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/artwork.h"
#include "app/main_thread_pump.h"
#include "app/main_window.h"
#include "app/single_instance.h"
#include "app/window_parts.h"
#include "cutting/kinds/kind_registry.h"
#include "cutting/save/leftovers.h"
#include "trimora_version.h"

namespace {

// Qt would fail deep inside its platform plugin; say what to do instead.
bool DisplayAvailable() {
  return std::getenv("QT_QPA_PLATFORM") != nullptr || std::getenv("DISPLAY") != nullptr ||
         std::getenv("WAYLAND_DISPLAY") != nullptr;
}

bool AsksForHelpOrVersion(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    for (const char* option : {"--help", "-h", "--help-all", "--version", "-v"})
      if (std::strcmp(argv[i], option) == 0) return true;
  return false;
}

// The program's identity, org.quarvo.Trimora: settings, cache and data all live under
// Quarvo/Trimora, and the desktop file of that id is the window's entry.
void SetIdentity() {
  QCoreApplication::setOrganizationName(QStringLiteral("Quarvo"));
  QCoreApplication::setOrganizationDomain(QStringLiteral("quarvo.org"));
  QCoreApplication::setApplicationName(QStringLiteral("Trimora"));
  QCoreApplication::setApplicationVersion(
      QStringLiteral(TRIMORA_VERSION " (build " TRIMORA_BUILD ", " TRIMORA_LICENSE ")"));
}

// The options of the window program: a file to open, and Qt's --help and --version (which
// end the program after printing).
QString FileToOpen(const QCoreApplication& app) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Cuts, joins and mixes %1 files. trimora-cli does the same without "
                     "the windows.")
          .arg(QString::fromStdString(TKindRegistry::Instance().NameList("and"))));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("a sound file to open"),
                               QStringLiteral("[file]"));
  parser.process(app);
  const QStringList files = parser.positionalArguments();
  return files.isEmpty() ? QString() : QFileInfo(files.first()).absoluteFilePath();
}

}  // namespace

int main(int argc, char** argv) {
  // A file-size limit (ulimit -f) fails the write that crosses it, as a full disk would, and
  // the cut says so; by default its signal would end the program with the temporary file left.
  std::signal(SIGXFSZ, SIG_IGN);
  // Help and the version need no display.
  if (AsksForHelpOrVersion(argc, argv)) {
    QCoreApplication core(argc, argv);
    SetIdentity();
    FileToOpen(core);
    return 0;
  }
  if (!DisplayAvailable()) {
    std::fputs(
        "trimora: no display found (DISPLAY is not set); "
        "use trimora-cli to cut, join and mix files from the command line\n",
        stderr);
    return 1;
  }
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QApplication app(argc, argv);
  SetIdentity();
  QGuiApplication::setDesktopFileName(QStringLiteral("org.quarvo.Trimora"));
  QApplication::setWindowIcon(artwork::ProgramIcon());

  const QString file = FileToOpen(app);
  TSingleInstance instance(TSingleInstance::DefaultName());
  if (instance.HandToRunning(file)) return 0;
  instance.Listen();

  // The engine's events reach the windows through the pump, which outlives them.
  TMainThreadPump pump;
  // What runs killed earlier left behind (their temporary outputs) goes before anything new.
  SweepLeftovers(window_parts::WrittenFolders());
  TfrmMain window;
  QObject::connect(&instance, &TSingleInstance::ShowRequested, &window, &TfrmMain::ShowRequest);
  window.show();
  if (!file.isEmpty()) window.OpenFile(file);
  return QApplication::exec();
}
