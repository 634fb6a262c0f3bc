// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media_network_sink.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/media_asf_header.h"
#include "platform/media_byte_reader.h"

namespace trimora::media {
namespace {

using TClock = std::chrono::steady_clock;
using TBytes = std::shared_ptr<const std::vector<uint8_t>>;

// Connections held at once, refused ones included: a flood of connections must not
// become a flood of descriptors.
constexpr size_t kMaxConnections = 64;
// What a client may fall behind: about 16 s of 128 kbps audio.
constexpr size_t kMaxQueuedBytes = 256 * 1024;
// A request's headers: no player sends more, and a connection that sends nothing must not
// hold its descriptor for ever.
constexpr size_t kMaxRequestBytes = 16 * 1024;
constexpr auto kRequestTime = std::chrono::seconds(5);
// A refusal's reply gets this long to leave before its connection is closed.
constexpr auto kRefusalTime = std::chrono::seconds(1);
constexpr auto kDrainTime = std::chrono::seconds(1);
// When the process is out of descriptors, waiting connections are taken again after this.
constexpr auto kAcceptPause = std::chrono::milliseconds(100);
constexpr auto kLongestWait = std::chrono::seconds(1);
// A header larger than this is not one our writer made.
constexpr uint64_t kMaxHeaderSize = 16 * 1024 * 1024;
constexpr uint32_t kMaxPacketSize = 64 * 1024;
// After the header object comes the data object's own header: GUID, size, file id, packet
// count and two reserved bytes.
constexpr size_t kDataObjectHeader = 50;

// The one owner of a descriptor: every path closes it exactly once.
class TFd {
 public:
  TFd() = default;
  explicit TFd(int fd) : FFd(fd) {}
  ~TFd() { Reset(); }
  TFd(TFd&& other) noexcept : FFd(std::exchange(other.FFd, -1)) {}
  TFd& operator=(TFd&& other) noexcept {
    if (this != &other) {
      Reset();
      FFd = std::exchange(other.FFd, -1);
    }
    return *this;
  }
  int Get() const { return FFd; }
  explicit operator bool() const { return FFd >= 0; }
  void Reset() {
    if (FFd >= 0) ::close(FFd);
    FFd = -1;
  }

 private:
  int FFd = -1;
};

std::string ErrorText(int error) {
  return std::generic_category().message(error);
}

// "127.0.0.1:8080", "[::1]:8080".
std::string Endpoint(const std::string& address, uint16_t port) {
  const bool v6 = address.find(':') != std::string::npos;
  return (v6 ? "[" + address + "]" : address) + ":" + std::to_string(port);
}

// A listening socket on the first of the address's forms that can be had; the empty owner
// and `failure` set when none can.
TFd Listen(const std::string& address, uint16_t port, std::string& failure) {
  const std::string prefix = "Cannot listen on " + Endpoint(address, port) + ": ";
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const int looked = ::getaddrinfo(address.empty() ? nullptr : address.c_str(),
                                   std::to_string(port).c_str(), &hints, &found);
  if (looked != 0) {
    failure = prefix + "unknown address (" +
              (looked == EAI_SYSTEM ? ErrorText(errno) : ::gai_strerror(looked)) + ")";
    return {};
  }
  const std::unique_ptr<addrinfo, void (*)(addrinfo*)> owner(found, ::freeaddrinfo);
  int error = 0;
  for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
    TFd fd(::socket(a->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    const int on = 1;
    // A port this server held a moment ago (connections in TIME_WAIT) can be had at once.
    if (fd && ::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 &&
        ::bind(fd.Get(), a->ai_addr, a->ai_addrlen) == 0 &&
        ::listen(fd.Get(), static_cast<int>(kMaxConnections)) == 0)
      return fd;
    if (error == 0) error = errno;
  }
  failure = prefix + ErrorText(error);
  if (error == EADDRNOTAVAIL) failure += " (no interface of this machine has that address)";
  return {};
}

// The reply that ends a refused request, in the form FFmpeg's server gave it.
std::string Refusal(int code, std::string_view text) {
  const std::string body = std::to_string(code) + " " + std::string(text) + "\r\n";
  return "HTTP/1.1 " + std::to_string(code) + " " + std::string(text) +
         "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

// "GET /any HTTP/1.1": the method, a target and an HTTP version, one space apart.
bool ParseRequestLine(std::string_view line, bool& http10) {
  if (line.ends_with('\r')) line.remove_suffix(1);
  const size_t first = line.find(' ');
  const size_t last = line.rfind(' ');
  if (first == std::string_view::npos || last == first) return false;
  const std::string_view method = line.substr(0, first);
  const std::string_view target = line.substr(first + 1, last - first - 1);
  const std::string_view version = line.substr(last + 1);
  if (method != "GET" || target.empty() || target.find(' ') != std::string_view::npos) return false;
  if (!version.starts_with("HTTP/1.")) return false;
  http10 = version == "HTTP/1.0";
  return true;
}

uint64_t Little64(const uint8_t* b) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | b[i];
  return v;
}

// Our muxer starts every data packet with error correction flags 0x82 and two zero bytes;
// the index object that may follow the packets starts otherwise.
bool IsDataPacket(const uint8_t* bytes) {
  return bytes[0] == 0x82 && bytes[1] == 0 && bytes[2] == 0;
}

// The header bytes as a stream, for the header walk.
class TBytesStream final : public IMediaStream {
 public:
  explicit TBytesStream(std::span<const uint8_t> bytes) : FBytes(bytes) {}
  TMediaResult Read(void* buffer, uint32_t count, uint32_t& read) override {
    read = static_cast<uint32_t>(std::min<uint64_t>(count, FBytes.size() - FAt));
    std::memcpy(buffer, FBytes.data() + FAt, read);
    FAt += read;
    return read > 0 ? TMediaResult::Ok : TMediaResult::Fail;
  }
  TMediaResult Seek(int64_t offset, TMediaSeekOrigin origin, uint64_t& newPosition) override {
    const int64_t base = origin == TMediaSeekOrigin::Begin ? 0
                         : origin == TMediaSeekOrigin::Current
                             ? static_cast<int64_t>(FAt)
                             : static_cast<int64_t>(FBytes.size());
    if (offset < -base || base + offset > static_cast<int64_t>(FBytes.size()))
      return TMediaResult::InvalidArgument;
    newPosition = FAt = static_cast<uint64_t>(base + offset);
    return TMediaResult::Ok;
  }
  TMediaResult Stat(uint64_t& size) override {
    size = FBytes.size();
    return TMediaResult::Ok;
  }

 private:
  std::span<const uint8_t> FBytes;
  uint64_t FAt = 0;
};

}  // namespace

// The server thread and what it shares with the writer. The connections belong to the
// server thread alone; the queues of the clients served are shared under Lock.
class TMediaNetworkSink::TServer {
 public:
  TServer(TFd listener, TFd wakeRead, TFd wakeWrite, uint32_t maxClients, TStatusCallback callback)
      : FListener(std::move(listener)),
        FWakeRead(std::move(wakeRead)),
        FWakeWrite(std::move(wakeWrite)),
        FMaxClients(maxClients),
        FStatusCallback(std::move(callback)) {
    FThread = std::thread([this] { Run(); });
  }
  ~TServer() { Stop(); }

  void SetHeader(TBytes header) {
    std::lock_guard lock(FLock);
    FHeader = std::move(header);
  }
  void Publish(const TBytes& packet);
  uint32_t ClientCount() const {
    std::lock_guard lock(FLock);
    return static_cast<uint32_t>(FServed.size());
  }
  void Stop() {
    FEnding = true;
    Wake();
    if (FThread.joinable()) FThread.join();
  }

 private:
  struct TQueue {
    std::deque<TBytes> Items;
    size_t Bytes = 0;
    bool Started = false;  // has been given the header
  };
  enum class TState { Request, Refused, Served };
  struct TConnection {
    TFd Fd;
    TState State = TState::Request;
    TClock::time_point Deadline;  // for the request, or for a refusal to leave
    std::string Request;          // what has come of it so far
    std::string Out;              // bytes on their way out
    size_t OutAt = 0;
    std::shared_ptr<TQueue> Queue;  // a client served
    uint32_t Number = 0;
    bool Chunked = true;
    bool Finished = false;  // the stream's end is in Out
    bool Answered = false;  // a refusal has gone out
  };

  void Run();
  bool Accept(TClock::time_point now);
  void Receive(TConnection& c, TClock::time_point now);
  void ReadRequest(TConnection& c, TClock::time_point now);
  void Admit(TConnection& c, bool http10);
  void Refuse(TConnection& c, int code, std::string_view text, TClock::time_point now);
  void Pump(TConnection& c);
  bool Flush(TConnection& c);
  void Drop(TConnection& c);
  void Wake() {
    const char byte = 0;
    [[maybe_unused]] const auto ignored = ::write(FWakeWrite.Get(), &byte, 1);
  }
  void Report(uint32_t status, uint32_t client) {
    if (FStatusCallback) FStatusCallback(status, client);
  }

  TFd FListener, FWakeRead, FWakeWrite;
  const uint32_t FMaxClients;
  const TStatusCallback FStatusCallback;
  std::thread FThread;
  std::atomic<bool> FEnding{false};  // no more data will come

  mutable std::mutex FLock;  // the queues below
  std::vector<std::shared_ptr<TQueue>> FServed;
  TBytes FHeader;

  std::vector<std::unique_ptr<TConnection>> FConnections;
  uint32_t FLastClient = 0;
};

void TMediaNetworkSink::TServer::Publish(const TBytes& packet) {
  {
    std::lock_guard lock(FLock);
    for (const auto& queue : FServed) {
      const size_t needed = packet->size() + (queue->Started ? 0 : FHeader->size());
      if (queue->Bytes + needed > kMaxQueuedBytes) continue;  // too slow: it loses this
      if (!queue->Started) {
        queue->Items.push_back(FHeader);
        queue->Started = true;
      }
      queue->Items.push_back(packet);
      queue->Bytes += needed;
    }
  }
  Wake();
}

void TMediaNetworkSink::TServer::Run() {
  std::optional<TClock::time_point> drainEnd;
  TClock::time_point acceptFrom;
  std::vector<pollfd> polled;
  for (;;) {
    const auto now = TClock::now();
    if (FEnding && !drainEnd) {
      drainEnd = now + kDrainTime;
      FListener.Reset();
      for (auto& c : FConnections)
        if (c->State != TState::Served) Drop(*c);
    }
    for (auto& c : FConnections) {
      if (c->Fd && c->State != TState::Served && now >= c->Deadline) {
        if (c->State == TState::Request)
          Refuse(*c, 408, "Request Timeout", now);
        else
          Drop(*c);
      }
      if (c->Fd) Pump(*c);
    }
    std::erase_if(FConnections, [](const auto& c) { return !c->Fd; });
    if (drainEnd && (FConnections.empty() || now >= *drainEnd)) break;

    auto wakeAt = drainEnd.value_or(now + kLongestWait);
    polled.assign({{FWakeRead.Get(), POLLIN, 0}});
    const bool accepting = FListener && now >= acceptFrom;
    polled.push_back({accepting ? FListener.Get() : -1, POLLIN, 0});
    if (FListener && !accepting) wakeAt = std::min(wakeAt, acceptFrom);
    for (const auto& c : FConnections) {
      const bool sending = c->OutAt < c->Out.size();
      polled.push_back({c->Fd.Get(), static_cast<short>(POLLIN | (sending ? POLLOUT : 0)), 0});
      if (c->State != TState::Served) wakeAt = std::min(wakeAt, c->Deadline);
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(wakeAt - now);
    const int waitMs = static_cast<int>(
        std::clamp<int64_t>(wait.count(), 0, std::chrono::milliseconds(kLongestWait).count()));
    if (::poll(polled.data(), polled.size(), waitMs) < 0 && errno != EINTR) break;

    const auto then = TClock::now();
    if (polled[0].revents != 0) {
      char drained[64];
      while (::read(FWakeRead.Get(), drained, sizeof drained) > 0) {
      }
    }
    // Connections taken below come after the ones polled, so the indices hold.
    for (size_t i = 0; i < FConnections.size(); ++i)
      if (polled[i + 2].revents & (POLLIN | POLLHUP | POLLERR)) Receive(*FConnections[i], then);
    if (polled[1].revents != 0 && !Accept(then)) acceptFrom = then + kAcceptPause;
  }
  for (auto& c : FConnections) Drop(*c);
  FConnections.clear();
}

// Takes the connections waiting, a bounded number at a time; false when the process or
// the system is out of descriptors or memory for them.
bool TMediaNetworkSink::TServer::Accept(TClock::time_point now) {
  for (size_t taken = 0; taken < kMaxConnections; ++taken) {
    TFd fd(::accept4(FListener.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (!fd) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return errno != EMFILE && errno != ENFILE && errno != ENOBUFS && errno != ENOMEM;
    }
    if (FConnections.size() >= kMaxConnections) continue;  // closed as it goes
    auto c = std::make_unique<TConnection>();
    c->Fd = std::move(fd);
    c->Deadline = now + kRequestTime;
    FConnections.push_back(std::move(c));
  }
  return true;
}

// Reads what a connection sent: a request while one is awaited, and otherwise nothing
// that matters, so it is dropped. The end of the connection or an error ends it.
void TMediaNetworkSink::TServer::Receive(TConnection& c, TClock::time_point now) {
  if (!c.Fd) return;
  char buffer[4096];
  // Bounded, so that a client sending without pause cannot hold the server thread.
  for (int reads = 0; reads < 16; ++reads) {
    const size_t room = c.State == TState::Request
                            ? std::min(sizeof buffer, kMaxRequestBytes + 1 - c.Request.size())
                            : sizeof buffer;
    const ssize_t got = ::recv(c.Fd.Get(), buffer, room, MSG_DONTWAIT);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (got <= 0) {
      Drop(c);
      return;
    }
    if (c.State != TState::Request) continue;
    c.Request.append(buffer, static_cast<size_t>(got));
    ReadRequest(c, now);
    if (c.State == TState::Request && c.Request.size() > kMaxRequestBytes)
      Refuse(c, 400, "Bad Request", now);
    if (c.State != TState::Request) return;
  }
}

// Answers the request once its headers are complete, or as soon as its first line is bad.
void TMediaNetworkSink::TServer::ReadRequest(TConnection& c, TClock::time_point now) {
  const std::string_view request = c.Request;
  const size_t lineEnd = request.find('\n');
  if (lineEnd == std::string_view::npos) return;
  bool http10 = false;
  if (!ParseRequestLine(request.substr(0, lineEnd), http10)) {
    Refuse(c, 400, "Bad Request", now);
    return;
  }
  if (request.find("\r\n\r\n") != std::string_view::npos ||
      request.find("\n\n") != std::string_view::npos)
    Admit(c, http10);
  // Headers stay unread: this server has no use for any of them.
}

void TMediaNetworkSink::TServer::Admit(TConnection& c, bool http10) {
  {
    std::lock_guard lock(FLock);
    if (FMaxClients != 0 && FServed.size() >= FMaxClients) {
      Refuse(c, 403, "Forbidden", TClock::now());
      return;
    }
    c.Queue = std::make_shared<TQueue>();
    FServed.push_back(c.Queue);
  }
  c.State = TState::Served;
  c.Request.clear();
  c.Request.shrink_to_fit();
  c.Chunked = !http10;  // a 1.0 client knows no chunks; the end of the connection ends the body
  c.Number = ++FLastClient;
  c.Out = std::string("HTTP/1.1 200 OK\r\nContent-Type: video/x-ms-asf\r\n") +
          (c.Chunked ? "Transfer-Encoding: chunked\r\n" : "") + "Connection: close\r\n\r\n";
  Report(kMediaStatusClientConnected, c.Number);
}

void TMediaNetworkSink::TServer::Refuse(TConnection& c, int code, std::string_view text,
                                        TClock::time_point now) {
  c.State = TState::Refused;
  c.Deadline = now + kRefusalTime;
  c.Request.clear();
  c.Out = Refusal(code, text);
  c.OutAt = 0;
}

// Sends what can go now: a refusal, which then ends the connection's sending side, or a
// client's queued packets and, once the stream has ended and nothing is left, its end.
void TMediaNetworkSink::TServer::Pump(TConnection& c) {
  if (c.State == TState::Request) return;
  for (;;) {
    if (!Flush(c)) {
      Drop(c);
      return;
    }
    if (!c.Out.empty()) return;
    if (c.State == TState::Refused) {
      // The client reads the reply and closes; what it still sends is read and dropped.
      if (!c.Answered) ::shutdown(c.Fd.Get(), SHUT_WR);
      c.Answered = true;
      return;
    }
    if (c.Finished) {
      Drop(c);
      return;
    }
    // Read first: everything published before the end was announced is then in the queue.
    const bool ending = FEnding;
    std::deque<TBytes> items;
    {
      std::lock_guard lock(FLock);
      items.swap(c.Queue->Items);
      c.Queue->Bytes = 0;
    }
    if (items.empty() && !ending) return;
    for (const auto& item : items) {
      if (c.Chunked) {
        char size[16];
        const int length = std::snprintf(size, sizeof size, "%zx\r\n", item->size());
        c.Out.append(size, static_cast<size_t>(length));
      }
      c.Out.append(reinterpret_cast<const char*>(item->data()), item->size());
      if (c.Chunked) c.Out += "\r\n";
    }
    if (items.empty()) {
      c.Finished = true;
      if (c.Chunked) c.Out = "0\r\n\r\n";
    }
  }
}

// False when the connection failed.
bool TMediaNetworkSink::TServer::Flush(TConnection& c) {
  while (c.OutAt < c.Out.size()) {
    const ssize_t sent = ::send(c.Fd.Get(), c.Out.data() + c.OutAt, c.Out.size() - c.OutAt,
                                MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0) return errno == EAGAIN || errno == EWOULDBLOCK;
    c.OutAt += static_cast<size_t>(sent);
  }
  c.Out.clear();
  c.OutAt = 0;
  return true;
}

void TMediaNetworkSink::TServer::Drop(TConnection& c) {
  if (!c.Fd) return;
  c.Fd.Reset();
  if (c.State != TState::Served) return;
  {
    std::lock_guard lock(FLock);
    std::erase(FServed, c.Queue);
  }
  c.Queue.reset();
  Report(kMediaStatusClientDisconnected, c.Number);
}

TMediaNetworkSink::TMediaNetworkSink() = default;

TMediaNetworkSink::~TMediaNetworkSink() {
  Close();
}

TMediaResult TMediaNetworkSink::Open(const std::string& address, uint16_t port) {
  if (FServer) return TMediaResult::Fail;
  FFailure.clear();
  TFd listener = Listen(address, port, FFailure);
  if (!listener) return TMediaResult::Fail;
  int wake[2];
  if (::pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0) {
    FFailure = "Cannot listen on " + Endpoint(address, port) + ": " + ErrorText(errno);
    return TMediaResult::Fail;
  }
  FServer = std::make_unique<TServer>(std::move(listener), TFd(wake[0]), TFd(wake[1]), FMaxClients,
                                      FStatusCallback);
  return TMediaResult::Ok;
}

void TMediaNetworkSink::Close() {
  if (!FServer) return;
  FServer->Stop();
  FServer.reset();
}

uint32_t TMediaNetworkSink::ClientCount() const {
  return FServer ? FServer->ClientCount() : 0;
}

// False while the header is incomplete or when the bytes are not an ASF header with
// packets of one size (then PacketSize stays 0).
bool TMediaNetworkSink::ReadHeader() {
  if (FPending.size() < 30) return false;
  const uint64_t headerSize = Little64(FPending.data() + 16);
  if (headerSize < 30 || headerSize > kMaxHeaderSize) {
    FDataEnded = true;
    return false;
  }
  const size_t total = static_cast<size_t>(headerSize) + kDataObjectHeader;
  if (FPending.size() < total) return false;
  TBytesStream bytes(std::span<const uint8_t>(FPending.data(), static_cast<size_t>(headerSize)));
  TMediaByteReader reader(bytes);
  const auto header = ReadAsfHeader(reader);
  FDataEnded = true;
  if (!header || header->PacketSize < 3 || header->PacketSize > kMaxPacketSize) return false;
  FDataEnded = false;
  FPacketSize = header->PacketSize;
  if (FServer)
    FServer->SetHeader(
        std::make_shared<std::vector<uint8_t>>(FPending.begin(), FPending.begin() + total));
  FPending.erase(FPending.begin(), FPending.begin() + static_cast<ptrdiff_t>(total));
  return true;
}

TMediaResult TMediaNetworkSink::Write(const void* buffer, uint32_t count, uint32_t& written) {
  written = count;
  if (count == 0) return TMediaResult::Ok;
  if (FDataEnded) return FPacketSize > 0 ? TMediaResult::Ok : TMediaResult::Fail;
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  FPending.insert(FPending.end(), bytes, bytes + count);
  if (FPacketSize == 0 && !ReadHeader()) {
    if (!FDataEnded) return TMediaResult::Ok;
    written = 0;
    return TMediaResult::Fail;
  }
  size_t at = 0;
  for (; FPending.size() - at >= FPacketSize; at += FPacketSize) {
    if (!IsDataPacket(FPending.data() + at)) {
      FDataEnded = true;
      break;
    }
    if (FServer)
      FServer->Publish(std::make_shared<std::vector<uint8_t>>(
          FPending.begin() + static_cast<ptrdiff_t>(at),
          FPending.begin() + static_cast<ptrdiff_t>(at + FPacketSize)));
  }
  FPending.erase(FPending.begin(),
                 FDataEnded ? FPending.end() : FPending.begin() + static_cast<ptrdiff_t>(at));
  return TMediaResult::Ok;
}

TMediaResult TMediaNetworkSink::Seek(int64_t, TMediaSeekOrigin, uint64_t&) {
  return TMediaResult::Fail;
}

}  // namespace trimora::media
