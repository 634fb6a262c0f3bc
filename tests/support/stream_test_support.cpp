// SPDX-License-Identifier: GPL-3.0-or-later
#include "stream_test_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "test_support.h"

namespace stream_test {
namespace {

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

std::string Run(const std::string& command) {
  return test_support::Shell(command).Out;
}

}  // namespace

uint16_t FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = Loopback(0);
  socklen_t size = sizeof address;
  uint16_t port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
    port = ntohs(address.sin_port);
  ::close(fd);
  return port;
}

bool PortTaken(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  const sockaddr_in address = Loopback(port);
  const bool taken = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0;
  ::close(fd);
  return taken;
}

int ConnectLoopback(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  const sockaddr_in address = Loopback(port);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return fd;
  ::close(fd);
  return -1;
}

TFFmpegClient::TFFmpegClient(uint16_t port, std::filesystem::path output, double seconds)
    : File(std::move(output)) {
  const std::string command =
      "ffmpeg -nostdin -v error -y -i http://127.0.0.1:" + std::to_string(port) + "/ -t " +
      std::to_string(seconds) + " '" + File.string() + "' 2>/dev/null";
  Runner = std::thread([this, command] {
    const int status = std::system(command.c_str());
    Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  });
}

TFFmpegClient::~TFFmpegClient() {
  if (Runner.joinable()) Runner.join();
}

int TFFmpegClient::Wait() {
  if (Runner.joinable()) Runner.join();
  return Status;
}

std::string ProbeShape(const std::filesystem::path& file) {
  return Run(
      "ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate,channels "
      "-of default=nw=1 '" +
      file.string() + "'");
}

double DecodedSeconds(const std::filesystem::path& file) {
  const std::string out =
      Run("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + file.string() + "'");
  return out.empty() ? -1 : std::atof(out.c_str());
}

}  // namespace stream_test
