// SPDX-License-Identifier: GPL-3.0-or-later
// trimora-cli stream: a real FFmpeg client on 127.0.0.1 plays what it serves; its client
// lines, a taken port and wrong options.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "cli_test_support.h"

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
  EXPECT_NE(run.Out.find("Client 1 connected (1 connected)"), std::string::npos) << run.Out;
  EXPECT_NE(run.Out.find("Client 1 disconnected (0 connected)"), std::string::npos) << run.Out;
  EXPECT_EQ(cli_test::Probe(folder / "heard.wav", "stream=sample_rate,channels"),
            "sample_rate=44100\nchannels=2\n");
}

TEST(CliStream, ATakenPortFailsWithTheSinksMessage) {
  TScratch folder;
  cli_test::WriteBytes(folder / "in.wav", cli_test::CountingWave(4410, 44100));
  const TListener taken;
  const auto run = folder.Cli({"stream", "in.wav", "--port", taken.Port, "--listen", "127.0.0.1"});
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("Cannot create file"), std::string::npos) << run.Err;
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
      {"stream", "--port", "8000"},
  };
  for (const auto& args : rows) EXPECT_EQ(folder.Cli(args).Status, 2) << args.back();
}

}  // namespace
