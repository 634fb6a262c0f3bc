// SPDX-License-Identifier: GPL-3.0-or-later
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <random>

#include "app/about_box.h"
#include "app/single_instance.h"
#include "trimora_version.h"
#include "window_fixture.h"

using namespace test_support;

namespace {

QString UniqueName() {
  std::random_device rd;
  return QStringLiteral("trimora-test-instance-%1").arg(rd());
}

// Starts the built program with `arguments` in the environment `env` and waits for it to
// end while this thread keeps serving its own events.
int RunProgram(const QStringList& arguments, const QProcessEnvironment& env,
               QByteArray* errors = nullptr) {
  QProcess program;
  program.setProcessEnvironment(env);
  program.start(QStringLiteral(TRIMORA_APP), arguments);
  if (!program.waitForStarted(10000)) return -1;
  if (!QTest::qWaitFor([&] { return program.state() == QProcess::NotRunning; }, 60000)) {
    program.kill();
    program.waitForFinished();
    return -2;
  }
  if (errors != nullptr) *errors = program.readAllStandardError();
  return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -3;
}

TEST_F(WindowTest, ASecondStartHandsItsFileToTheRunningWindowAndEnds) {
  WriteClickWave(Folder / "second.wav", {8000, 1, 8000 * 3, {}});
  const QString name = UniqueName();
  // A socket file left by a crashed instance does not block the start.
  const QString stale = QDir::temp().filePath(name);
  QFile(stale).open(QIODevice::WriteOnly);
  TSingleInstance instance(name);
  ASSERT_TRUE(instance.Listen());
  QObject::connect(&instance, &TSingleInstance::ShowRequested, Window.get(),
                   &TfrmMain::ShowRequest);
  Window->showMinimized();

  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("TRIMORA_INSTANCE_NAME", name);
  env.insert("QT_QPA_PLATFORM", "offscreen");
  EXPECT_EQ(RunProgram({File("second.wav")}, env), 0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return Window->eOpenFile->text() == File("second.wav"); }));
  EXPECT_EQ(Window->tbAudio->Max(), 6);
  EXPECT_FALSE(Window->isMinimized());
}

TEST(Startup, WithoutADisplayTheProgramPointsToTheCommandLine) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    env.remove(variable);
  QByteArray errors;
  EXPECT_EQ(RunProgram({}, env, &errors), 1);
  EXPECT_TRUE(errors.contains("trimora-cli")) << errors.toStdString();
  EXPECT_EQ(errors.count('\n'), 1);
}

// Each display has its own instance: a start on another display does not reach the window
// of this one, and the sockets live in the user's runtime folder.
TEST(Startup, EachDisplayHasAnInstanceOfItsOwn) {
  const QByteArray display = qgetenv("DISPLAY"), wayland = qgetenv("WAYLAND_DISPLAY");
  qunsetenv("WAYLAND_DISPLAY");
  QStringList names;
  for (const char* value : {":7", ":8"}) {
    qputenv("DISPLAY", value);
    names << TSingleInstance::DefaultName();
  }
  qputenv("DISPLAY", display);
  if (!wayland.isEmpty()) qputenv("WAYLAND_DISPLAY", wayland);
  ASSERT_NE(names[0], names[1]);
  for (const QString& name : names)
    EXPECT_TRUE(name.startsWith(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)))
        << name.toStdString();
  TSingleInstance first(names[0]), second(names[1]);
  ASSERT_TRUE(first.Listen());
  EXPECT_FALSE(second.HandToRunning({})) << "reached the other display's window";
  ASSERT_TRUE(second.Listen());
  EXPECT_TRUE(TSingleInstance(names[1]).HandToRunning({}));
}

// The first line a program prints to stdout for `arguments`, without a display.
QString FirstLine(const QString& program, const QStringList& arguments) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    env.remove(variable);
  QProcess process;
  process.setProcessEnvironment(env);
  process.start(program, arguments);
  if (!process.waitForFinished(60000) || process.exitCode() != 0) return "(failed)";
  return QString::fromUtf8(process.readAllStandardOutput()).section('\n', 0, 0);
}

// Both programs and the About box show the one version the build was given, with the license.
TEST(Startup, BothProgramsTellTheVersionTheAboutBoxShows) {
  const QString version = QStringLiteral(TRIMORA_VERSION), build = QStringLiteral(TRIMORA_BUILD);
  EXPECT_EQ(FirstLine(TRIMORA_APP, {"--version"}),
            "Trimora " + version + " (build " + build + ", GPL-3.0-or-later)");
  EXPECT_EQ(FirstLine(TRIMORA_CLI, {"--version"}),
            "trimora-cli " + version + " (build " + build + ")");
  EXPECT_TRUE(FirstLine(TRIMORA_APP, {"--help"}).startsWith("Usage: "));
  TfrmAbout about(nullptr);
  EXPECT_EQ(about.Label2->text(), "Version: " + version + "   Build " + build);
}

}  // namespace
