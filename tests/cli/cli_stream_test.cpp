// SPDX-License-Identifier: GPL-3.0-or-later
// trimora-cli stream: a real FFmpeg client on 127.0.0.1 plays what it serves; its client
// lines, connections that never make a request, a taken port and wrong options.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "cli_test_support.h"
#include "stream_test_support.h"

namespace {

using cli_test::TScratch;

// A socket listening on a free loopback port, held until destroyed.
struct TListener {
  TListener() {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    Fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ::bind(Fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(Fd, 1);
    ::getsockname(Fd, reinterpret_cast<sockaddr*>(&address), &size);
    Port = std::to_string(ntohs(address.sin_port));
  }
  ~TListener() { ::close(Fd); }
  int Fd = -1;
  std::string Port;
};

std::string FreePort() {
  return TListener().Port;
}

// A connection to the port that sends `text`; -1 when it cannot connect.
int Connect(const std::string& port, const std::string& text) {
  const int fd = stream_test::ConnectLoopback(static_cast<uint16_t>(std::stoi(port)));
  if (fd >= 0 &&
      ::send(fd, text.data(), text.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(text.size())) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool WaitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 300; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(100)))
    if (done()) return true;
  return false;
}

// trimora-cli running in the background until interrupted as Ctrl-C would.
class TBackgroundCli {
 public:
  TBackgroundCli(const TScratch& folder, const std::vector<std::string>& args) {
    using test_support::Quoted;
    std::string command =
        "cd " + Quoted(folder.Path().string()) + " && exec " + Quoted(TRIMORA_CLI);
    for (const auto& arg : args) command += " " + Quoted(arg);
    command += " >.cli-out 2>.cli-err </dev/null";
    const char* argv[] = {"sh", "-c", command.c_str(), nullptr};
    if (::posix_spawn(&Pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
      Pid = -1;
  }
  ~TBackgroundCli() { Interrupt(); }
  // The exit status.
  int Interrupt() {
    if (Pid <= 0) return -1;
    ::kill(Pid, SIGINT);
    int status = 0;
    ::waitpid(std::exchange(Pid, -1), &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // The descriptors the program holds open.
  int OpenFiles() const {
    std::error_code gone;
    const std::filesystem::directory_iterator fds("/proc/" + std::to_string(Pid) + "/fd", gone);
    return gone ? -1 : static_cast<int>(std::distance(fds, {}));
  }

 private:
  pid_t Pid = -1;
};

TEST(CliStream, AClientPlaysTheStreamAndItsComingAndGoingIsPrinted) {
  TScratch folder;
  cli_test::WriteBytes(folder / "in.wav", cli_test::CountingWave(44100 * 3, 44100));
  const std::string port = FreePort();
  // The client tries until the server listens, for 10 s at most.
  int clientStatus = -1;
  std::thread client([&] {
    const std::string command =
        "for i in $(seq 100); do ffmpeg -nostdin -v error -y -i http://127.0.0.1:" + port +
        "/ -t 1 '" + (folder / "heard.wav").string() +
        "' 2>/dev/null && exit 0; sleep 0.1; done; exit 1";
    clientStatus = std::system(command.c_str());
  });
  const auto run = folder.Cli({"stream", "in.wav", "--port", port, "--listen", "127.0.0.1"});
  client.join();
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(clientStatus, 0);
  EXPECT_NE(run.Out.find("Streaming in.wav on http://127.0.0.1:" + port + "/\n"), std::string::npos)
      << run.Out;
  EXPECT_NE(run.Out.find("Client 1 connected (1 connected)"), std::string::npos) << run.Out;
  EXPECT_NE(run.Out.find("Client 1 disconnected (0 connected)"), std::string::npos) << run.Out;
  EXPECT_EQ(cli_test::Probe(folder / "heard.wav", "stream=sample_rate,channels"),
            "sample_rate=44100\nchannels=2\n");
}

// 500 connections that end or stall before their request is complete: each is closed by
// the server (the idle ones after its request deadline) and none takes the one seat.
TEST(CliStream, BadConnectionsLeaveNoDescriptorOpenAndTakeNoSeat) {
  TScratch folder;
  cli_test::WriteBytes(folder / "in.wav", cli_test::CountingWave(44100 * 40, 44100));
  const std::string port = FreePort();
  TBackgroundCli server(folder, {"stream", "in.wav", "--port", port, "--max-clients", "1"});
  ASSERT_TRUE(
      WaitFor([&] { return stream_test::PortTaken(static_cast<uint16_t>(std::stoi(port))); }));
  // The server may still be loading FFmpeg's libraries as it starts listening, each of them
  // open for a moment: count once the count holds still.
  int before = server.OpenFiles();
  for (int i = 0; i < 50; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const int now = server.OpenFiles();
    if (now == before) break;
    before = now;
  }

  const std::vector<std::string> closingRows = {
      "",                                       // closed at once
      "NOT HTTP\r\n\r\n",                       // answered 400
      "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n",  // closed halfway through its headers
  };
  for (const auto& text : closingRows)
    for (int i = 0; i < 160; ++i) ::close(Connect(port, text));
  std::vector<int> idle;
  for (int i = 0; i < 20; ++i) idle.push_back(Connect(port, i % 2 ? "GET / HT" : ""));

  const std::string heard = (folder / "heard.wav").string();
  const int clientStatus = std::system(("ffmpeg -nostdin -v error -y -i http://127.0.0.1:" + port +
                                        "/ -t 1 '" + heard + "' 2>/dev/null")
                                           .c_str());
  EXPECT_EQ(clientStatus, 0) << "a connection without a request held the seat";
  EXPECT_TRUE(WaitFor([&] { return server.OpenFiles() == before; }))
      << server.OpenFiles() << " descriptors open, " << before << " before";
  for (const int fd : idle) ::close(fd);
  EXPECT_EQ(server.Interrupt(), 128 + SIGINT);
  const std::string out = test_support::ReadText(folder / ".cli-out");
  EXPECT_NE(out.find("Client 1 connected"), std::string::npos) << out;
  EXPECT_EQ(out.find("Client 2"), std::string::npos) << out;
}

TEST(CliStream, AnAddressThatCannotBeHadSaysWhy) {
  TScratch folder;
  cli_test::WriteBytes(folder / "in.wav", cli_test::CountingWave(4410, 44100));
  const TListener taken;
  const std::string port = FreePort();
  struct TRow {
    std::string Listen, Port;
    int Status;
    std::string Message;
  };
  const std::vector<TRow> rows = {
      {"127.0.0.1", taken.Port, 1,
       "Cannot listen on 127.0.0.1:" + taken.Port + ": Address already in use"},
      {"192.0.2.1", port, 1, "Cannot listen on 192.0.2.1:" + port + ": Cannot assign requested"},
      {"127.0.0.1:47399", port, 2, "invalid --listen '127.0.0.1:47399' (an address without a port"},
  };
  for (const auto& row : rows) {
    const auto run = folder.Cli({"stream", "in.wav", "--port", row.Port, "--listen", row.Listen});
    EXPECT_EQ(run.Status, row.Status) << row.Listen;
    EXPECT_NE(run.Err.find(row.Message), std::string::npos) << run.Err;
    EXPECT_EQ(run.Out.find("http://"), std::string::npos) << "no address it does not serve";
  }
}

TEST(CliStream, WrongOptionsAreUsageErrors) {
  TScratch folder;
  cli_test::WriteBytes(folder / "in.wav", cli_test::CountingWave(4410, 44100));
  const std::vector<std::vector<std::string>> rows = {
      {"stream", "in.wav"},
      {"stream", "in.wav", "--port", "0"},
      {"stream", "in.wav", "--port", "65536"},
      {"stream", "in.wav", "--port", "80x"},
      {"stream", "in.wav", "--port", "8000", "--max-clients", "-1"},
      {"stream", "in.wav", "--port", "8000", "--max-clients", "0"},  // is no limit at all
      {"stream", "--port", "8000"},
  };
  for (const auto& args : rows) EXPECT_EQ(folder.Cli(args).Status, 2) << args.back();
}

}  // namespace
