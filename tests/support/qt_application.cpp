// SPDX-License-Identifier: GPL-3.0-or-later
// One QApplication for the whole test run, in a global environment so that listing the
// tests needs no display. Settings go to Qt's test location, never the user's.
#include <gtest/gtest.h>
#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QStyleFactory>
#include <memory>

namespace {

class TQtApplication : public ::testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    App = std::make_unique<QApplication>(Argc, Argv);
    QApplication::setOrganizationName(QStringLiteral("TrimoraTests"));
    // One settings file a process: ctest runs tests side by side, and each clears its own.
    QApplication::setApplicationName(
        QStringLiteral("trimora-tests-%1").arg(QCoreApplication::applicationPid()));
    QSettings().clear();
  }
  void TearDown() override {
    QSettings settings;
    settings.clear();
    settings.sync();
    QFile::remove(settings.fileName());
    App.reset();
  }

 private:
  int Argc = 1;
  char Name[16] = "trimora_tests";
  char* Argv[2] = {Name, nullptr};
  std::unique_ptr<QApplication> App;
};

[[maybe_unused]] ::testing::Environment* const Environment =
    ::testing::AddGlobalTestEnvironment(new TQtApplication);

}  // namespace
