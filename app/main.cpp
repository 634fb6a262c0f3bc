// The desktop program: one main window per user session. A second start hands its file to
// the running window and ends.
#include <QApplication>
#include <QFileInfo>
#include <QStyleFactory>
#include <cstdio>
#include <cstdlib>

#include "app/artwork.h"
#include "app/main_thread_pump.h"
#include "app/main_window.h"
#include "app/single_instance.h"
#include "app/window_parts.h"
#include "cutting/leftovers.h"

namespace {

// Qt would fail deep inside its platform plugin; say what to do instead.
bool DisplayAvailable() {
  return std::getenv("QT_QPA_PLATFORM") != nullptr || std::getenv("DISPLAY") != nullptr ||
         std::getenv("WAYLAND_DISPLAY") != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (!DisplayAvailable()) {
    std::fputs(
        "trimora: no display found (DISPLAY is not set); "
        "use trimora-cli to cut, join and mix files from the command line\n",
        stderr);
    return 1;
  }
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Trimora"));
  QApplication::setApplicationName(QStringLiteral("trimora"));
  QApplication::setWindowIcon(artwork::ProgramIcon());

  const QStringList args = QApplication::arguments();
  const QString file = args.size() > 1 ? QFileInfo(args.at(1)).absoluteFilePath() : QString();
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
