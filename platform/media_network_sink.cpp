// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media_network_sink.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <span>

#include "platform/media_asf_header.h"
#include "platform/media_av.h"
#include "platform/media_byte_reader.h"

extern "C" {
#include <libavutil/opt.h>
}

namespace trimora::media {
namespace {

// Connections held at once, refused ones included: a flood of connections must not
// become a flood of threads.
constexpr size_t kMaxConnections = 64;
// What a client may fall behind: about 16 s of 128 kbps audio.
constexpr size_t kMaxQueuedBytes = 256 * 1024;
// A header larger than this is not one our writer made.
constexpr uint64_t kMaxHeaderSize = 16 * 1024 * 1024;
constexpr uint32_t kMaxPacketSize = 64 * 1024;
// After the header object comes the data object's own header: GUID, size, file id, packet
// count and two reserved bytes.
constexpr size_t kDataObjectHeader = 50;
constexpr auto kDrainTime = std::chrono::seconds(1);
// FFmpeg's server answers only a few codes; "403 Forbidden" tells a client it will not be served.
constexpr int kRefusedReply = AVERROR_HTTP_FORBIDDEN;

// The header bytes as a stream, for the header walk.
class TBytesStream final : public IMediaStream {
 public:
  explicit TBytesStream(std::span<const uint8_t> bytes) : Bytes(bytes) {}
  TMediaResult Read(void* buffer, uint32_t count, uint32_t& read) override {
    read = static_cast<uint32_t>(std::min<uint64_t>(count, Bytes.size() - At));
    std::memcpy(buffer, Bytes.data() + At, read);
    At += read;
    return read > 0 ? TMediaResult::Ok : TMediaResult::Fail;
  }
  TMediaResult Seek(int64_t offset, TMediaSeekOrigin origin, uint64_t& newPosition) override {
    const int64_t base = origin == TMediaSeekOrigin::Begin     ? 0
                         : origin == TMediaSeekOrigin::Current ? static_cast<int64_t>(At)
                                                               : static_cast<int64_t>(Bytes.size());
    if (offset < -base || base + offset > static_cast<int64_t>(Bytes.size()))
      return TMediaResult::InvalidArgument;
    newPosition = At = static_cast<uint64_t>(base + offset);
    return TMediaResult::Ok;
  }
  TMediaResult Stat(uint64_t& size) override {
    size = Bytes.size();
    return TMediaResult::Ok;
  }

 private:
  std::span<const uint8_t> Bytes;
  uint64_t At = 0;
};

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

}  // namespace

struct TMediaNetworkSink::TClient {
  std::unique_ptr<AVIOContext, TAvioCloser> Io;
  std::thread Thread;
  std::condition_variable Wake;
  std::deque<TBytes> Queue;
  size_t QueuedBytes = 0;
  uint32_t Number = 0;   // 0 for a refused client
  bool Refused = false;  // beyond the client limit
  bool Joined = false;   // handshake done: takes packets
  bool Started = false;  // has been sent the header
  bool Done = false;     // its thread is ending
};

void TMediaNetworkSink::TAvioCloser::operator()(AVIOContext* context) const {
  avio_closep(&context);
}

TMediaNetworkSink::TMediaNetworkSink() = default;

TMediaNetworkSink::~TMediaNetworkSink() {
  Close();
}

int TMediaNetworkSink::Interrupted(void* opaque) {
  return static_cast<TMediaNetworkSink*>(opaque)->Stopping ? 1 : 0;
}

TMediaResult TMediaNetworkSink::Open(const std::string& address, uint16_t port) {
  if (Server) return TMediaResult::Fail;
  // Clients that go away make FFmpeg's HTTP layer talk on stderr; we report through events.
  static std::once_flag quiet;
  std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
  AVDictionary* options = nullptr;
  av_dict_set(&options, "listen", "2", 0);  // many clients, each taken by avio_accept
  av_dict_set(&options, "content_type", "video/x-ms-asf", 0);
  const AVIOInterruptCB interrupt{&Interrupted, this};
  const std::string url = "http://" + address + ":" + std::to_string(port) + "/";
  AVIOContext* server = nullptr;
  const int result = avio_open2(&server, url.c_str(), AVIO_FLAG_WRITE, &interrupt, &options);
  av_dict_free(&options);
  if (result < 0 || server == nullptr) return TMediaResult::Fail;
  Server.reset(server);
  Acceptor = std::thread([this] { AcceptClients(); });
  return TMediaResult::Ok;
}

void TMediaNetworkSink::AcceptClients() {
  while (!Stopping) {
    AVIOContext* accepted = nullptr;
    if (avio_accept(Server.get(), &accepted) < 0 || accepted == nullptr) {
      if (accepted != nullptr) avio_closep(&accepted);
      // Out of descriptors or a broken connection: try again shortly.
      if (!Stopping) std::this_thread::sleep_for(std::chrono::milliseconds(50));
      continue;
    }
    auto client = std::make_shared<TClient>();
    client->Io.reset(accepted);
    std::lock_guard lock(Lock);
    ReapFinished();
    if (Clients.size() >= kMaxConnections) continue;  // closed as it goes
    const auto seated = std::count_if(Clients.begin(), Clients.end(),
                                      [](const auto& c) { return !c->Refused && !c->Done; });
    client->Refused = MaxClients != 0 && static_cast<uint32_t>(seated) >= MaxClients;
    if (!client->Refused) client->Number = ++LastClient;
    client->Thread = std::thread([this, client] { Serve(client); });
    Clients.push_back(std::move(client));
  }
}

// Under Lock.
void TMediaNetworkSink::ReapFinished() {
  for (auto it = Clients.begin(); it != Clients.end();) {
    if (!(*it)->Done) {
      ++it;
      continue;
    }
    (*it)->Thread.join();
    it = Clients.erase(it);
  }
}

void TMediaNetworkSink::Serve(const std::shared_ptr<TClient>& client) {
  AVIOContext* io = client->Io.get();
  int step = 0;
  // The request is read first; the reply goes out on a later step.
  while ((step = avio_handshake(io)) > 0)
    if (client->Refused) av_opt_set_int(io, "reply_code", kRefusedReply, AV_OPT_SEARCH_CHILDREN);
  const bool joined = step == 0 && !client->Refused;
  if (joined) {
    {
      std::lock_guard lock(Lock);
      client->Joined = true;
    }
    if (StatusCallback) StatusCallback(kMediaStatusClientConnected, client->Number);
    while (SendQueued(*client)) {
    }
  }
  client->Io.reset();  // ends the connection (a chunked reply gets its last chunk)
  {
    std::lock_guard lock(Lock);
    client->Done = true;
    client->Joined = false;
    client->Queue.clear();
  }
  Changed.notify_all();
  if (joined && StatusCallback) StatusCallback(kMediaStatusClientDisconnected, client->Number);
}

bool TMediaNetworkSink::SendQueued(TClient& client) {
  TBytes next;
  {
    std::unique_lock lock(Lock);
    client.Wake.wait(lock, [&] { return !client.Queue.empty() || Ending || Stopping; });
    if (client.Queue.empty() || Stopping) return false;
    next = std::move(client.Queue.front());
    client.Queue.pop_front();
    client.QueuedBytes -= next->size();
  }
  avio_write(client.Io.get(), next->data(), static_cast<int>(next->size()));
  avio_flush(client.Io.get());
  return client.Io->error >= 0;
}

void TMediaNetworkSink::Publish(const TBytes& packet) {
  std::lock_guard lock(Lock);
  for (const auto& client : Clients) {
    if (!client->Joined) continue;
    const size_t needed = packet->size() + (client->Started ? 0 : Header->size());
    if (client->QueuedBytes + needed > kMaxQueuedBytes) continue;  // too slow: it loses this
    if (!client->Started) {
      client->Queue.push_back(Header);
      client->Started = true;
    }
    client->Queue.push_back(packet);
    client->QueuedBytes += needed;
    client->Wake.notify_one();
  }
}

// False while the header is incomplete or when the bytes are not an ASF header with
// packets of one size (then PacketSize stays 0).
bool TMediaNetworkSink::ReadHeader() {
  if (Pending.size() < 30) return false;
  const uint64_t headerSize = Little64(Pending.data() + 16);
  if (headerSize < 30 || headerSize > kMaxHeaderSize) {
    DataEnded = true;
    return false;
  }
  const size_t total = static_cast<size_t>(headerSize) + kDataObjectHeader;
  if (Pending.size() < total) return false;
  TBytesStream bytes(std::span<const uint8_t>(Pending.data(), static_cast<size_t>(headerSize)));
  TMediaByteReader reader(bytes);
  const auto header = ReadAsfHeader(reader);
  DataEnded = true;
  if (!header || header->PacketSize < 3 || header->PacketSize > kMaxPacketSize) return false;
  DataEnded = false;
  PacketSize = header->PacketSize;
  auto copy = std::make_shared<std::vector<uint8_t>>(Pending.begin(), Pending.begin() + total);
  {
    std::lock_guard lock(Lock);
    Header = std::move(copy);
  }
  Pending.erase(Pending.begin(), Pending.begin() + static_cast<ptrdiff_t>(total));
  return true;
}

TMediaResult TMediaNetworkSink::Write(const void* buffer, uint32_t count, uint32_t& written) {
  written = count;
  if (count == 0) return TMediaResult::Ok;
  if (DataEnded) return PacketSize > 0 ? TMediaResult::Ok : TMediaResult::Fail;
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  Pending.insert(Pending.end(), bytes, bytes + count);
  if (PacketSize == 0 && !ReadHeader()) {
    if (!DataEnded) return TMediaResult::Ok;
    written = 0;
    return TMediaResult::Fail;
  }
  size_t at = 0;
  for (; Pending.size() - at >= PacketSize; at += PacketSize) {
    if (!IsDataPacket(Pending.data() + at)) {
      DataEnded = true;
      break;
    }
    Publish(std::make_shared<std::vector<uint8_t>>(
        Pending.begin() + static_cast<ptrdiff_t>(at),
        Pending.begin() + static_cast<ptrdiff_t>(at + PacketSize)));
  }
  Pending.erase(Pending.begin(),
                DataEnded ? Pending.end() : Pending.begin() + static_cast<ptrdiff_t>(at));
  return TMediaResult::Ok;
}

TMediaResult TMediaNetworkSink::Seek(int64_t, TMediaSeekOrigin, uint64_t&) {
  return TMediaResult::Fail;
}

uint32_t TMediaNetworkSink::ClientCount() const {
  std::lock_guard lock(Lock);
  return static_cast<uint32_t>(
      std::count_if(Clients.begin(), Clients.end(), [](const auto& c) { return c->Joined; }));
}

void TMediaNetworkSink::Close() {
  if (!Acceptor.joinable()) return;
  std::unique_lock lock(Lock);
  Ending = true;
  for (const auto& client : Clients) client->Wake.notify_one();
  // Clients get what is queued for them, unless they are too slow to take it.
  Changed.wait_for(lock, kDrainTime, [&] {
    return std::all_of(Clients.begin(), Clients.end(),
                       [](const auto& c) { return c->Done || !c->Joined; });
  });
  Stopping = true;
  for (const auto& client : Clients) client->Wake.notify_one();
  lock.unlock();
  Acceptor.join();  // the acceptor adds no client after this
  for (const auto& client : Clients) client->Thread.join();
  Clients.clear();
  Server.reset();
}

}  // namespace trimora::media
