// SPDX-License-Identifier: GPL-3.0-or-later
// The player on a real sound device: a private sound server with a null sink, started for
// this test run on a socket of its own. Where no such server can start, the tests skip and
// say why.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

#include "platform/media_player.h"
#include "test_support.h"

namespace trimora::media {
namespace {

using namespace test_support;
constexpr int kRate = 44100;

// The server, and the application the device output needs; both set up before any test
// and pointed at each other through PULSE_SERVER.
class TSoundServer : public ::testing::Environment {
 public:
  static inline std::string Failure;

  void SetUp() override {
    const auto socket = Folder.Path() / "native";
    std::ofstream(Folder / "server.pa")
        << "load-module module-null-sink sink_name=trimora_test\n"
        << "load-module module-native-protocol-unix auth-anonymous=1 socket=" << socket.string()
        << "\n";
    Server = ::fork();
    if (Server == 0) {
      // The server keeps its state in the scratch folder; as root it needs no system mode
      // for a private socket.
      const std::string home = Folder.Path().string();
      ::setenv("HOME", home.c_str(), 1);
      ::setenv("XDG_RUNTIME_DIR", home.c_str(), 1);
      ::setenv("PULSE_RUNTIME_PATH", home.c_str(), 1);
      ::setenv("PULSE_STATE_PATH", home.c_str(), 1);
      const std::string script = (Folder / "server.pa").string();
      const std::string log = (Folder / "server.log").string();
      std::freopen(log.c_str(), "w", stderr);
      ::execlp("pulseaudio", "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
               "--disallow-exit", "--log-target=stderr", "-F", script.c_str(),
               static_cast<char*>(nullptr));
      ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!std::filesystem::exists(socket) && std::chrono::steady_clock::now() < deadline) {
      if (Server < 0 || ::waitpid(Server, nullptr, WNOHANG) != 0) {
        Server = -1;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!std::filesystem::exists(socket)) {
      Failure = "the sound server did not start (is pulseaudio installed?)";
      return;
    }
    ::setenv("PULSE_SERVER", ("unix:" + socket.string()).c_str(), 1);
    ::unsetenv("TRIMORA_SILENT_AUDIO");
    App = std::make_unique<QCoreApplication>(Argc, Argv);
  }

  void TearDown() override {
    App.reset();
    if (Server > 0) {
      ::kill(Server, SIGTERM);
      ::waitpid(Server, nullptr, 0);
    }
  }

 private:
  TTempFolder Folder;
  pid_t Server = -1;
  int Argc = 1;
  char Name[16] = "trimora_tests";
  char* Argv[2] = {Name, nullptr};
  std::unique_ptr<QCoreApplication> App;
};

[[maybe_unused]] ::testing::Environment* const Server =
    ::testing::AddGlobalTestEnvironment(new TSoundServer);

// Runs the application's events (the device pulls its sound from them) until `done`.
bool WaitFor(const std::function<bool()>& done) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > 10000) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(2);
  }
  return true;
}

class DevicePlayer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!TSoundServer::Failure.empty()) GTEST_SKIP() << TSoundServer::Failure;
    for (const char* extension : {".wav", ".mp3"})
      WriteClickFile(Folder / (std::string("sound") + extension), {kRate, 2, kRate, {kRate / 2}});
  }
  TTempFolder Folder;
  TMediaPlayer Player;
};

TEST_F(DevicePlayer, PlaysARangeToItsEndOnTheDevice) {
  for (const char* extension : {".wav", ".mp3"}) {
    SCOPED_TRACE(extension);
    Player.SetFileName(Folder / (std::string("sound") + extension));
    Player.Play(300, 700);
    EXPECT_EQ(Player.SilentReason(), "");
    EXPECT_EQ(Player.Mode(), TPlayerMode::Playing);
    ASSERT_TRUE(WaitFor([&] { return Player.Mode() != TPlayerMode::Playing; }));
    EXPECT_EQ(Player.Mode(), TPlayerMode::Stopped);
    EXPECT_EQ(Player.Position(), 700);
  }
}

TEST_F(DevicePlayer, PauseHoldsTheDeviceAndResumeGoesOn) {
  Player.SetFileName(Folder / "sound.wav");
  Player.Play();
  ASSERT_TRUE(WaitFor([&] { return Player.Position() >= 200; }));
  Player.Pause();
  EXPECT_EQ(Player.Mode(), TPlayerMode::Paused);
  const int64_t paused = Player.Position();
  QElapsedTimer held;
  held.start();
  WaitFor([&] { return held.elapsed() >= 200; });
  EXPECT_EQ(Player.Position(), paused);
  EXPECT_EQ(Player.Mode(), TPlayerMode::Paused);
  Player.Resume();
  EXPECT_EQ(Player.Mode(), TPlayerMode::Playing);
  ASSERT_TRUE(WaitFor([&] { return Player.Position() > paused; }));
  Player.Stop();
  EXPECT_EQ(Player.Mode(), TPlayerMode::Stopped);
}

}  // namespace
}  // namespace trimora::media
