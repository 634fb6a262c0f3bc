// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The writer's network sink: an HTTP server that serves the ASF stream a writer produces to
// every client connected at the time ("http://HOST:PORT/", any path).
//
// A client that joins late is sent the stream's header first and then starts at the next
// data packet. The writer never waits for a client: each client has its own sending thread
// and a bounded queue, and a client too slow to empty it loses the packets that do not fit.
// With a client limit, clients beyond it are answered "403 Forbidden".

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/media_writer.h"

struct AVIOContext;

namespace trimora::media {

// Statuses the network sink reports, with the number of the client (from 1 in each run).
inline constexpr uint32_t kMediaStatusClientConnected = 37;
inline constexpr uint32_t kMediaStatusClientDisconnected = 38;

class TMediaNetworkSink final : public IMediaWriteStream {
 public:
  // Called on the sink's own threads.
  using TStatusCallback = std::function<void(uint32_t status, uint32_t client)>;

  TMediaNetworkSink();
  ~TMediaNetworkSink() override;
  TMediaNetworkSink(const TMediaNetworkSink&) = delete;
  TMediaNetworkSink& operator=(const TMediaNetworkSink&) = delete;

  // Before Open. 0 for no limit.
  void SetMaxClients(uint32_t count) { MaxClients = count; }
  void SetStatusCallback(TStatusCallback callback) { StatusCallback = std::move(callback); }

  // Listens on `address` ("0.0.0.0" for every interface) and `port`; Fail when the port
  // cannot be had (in use, or not ours to take).
  TMediaResult Open(const std::string& address, uint16_t port);
  // Ends the stream: clients get what is queued for them (for a second at most), then
  // every connection and the listening port are closed. Called again, does nothing.
  void Close();

  // Takes the writer's bytes: the header, then whole data packets for the clients. Fails
  // only for a stream that is not ASF with packets of one size.
  TMediaResult Write(const void* buffer, uint32_t count, uint32_t& written) override;
  TMediaResult Seek(int64_t offset, TMediaSeekOrigin origin, uint64_t& newPosition) override;
  bool Seekable() const override { return false; }

  // Clients connected now (handshake done, not gone).
  uint32_t ClientCount() const;

 private:
  struct TClient;
  using TBytes = std::shared_ptr<const std::vector<uint8_t>>;

  void AcceptClients();
  void Serve(const std::shared_ptr<TClient>& client);
  bool SendQueued(TClient& client);
  void Publish(const TBytes& packet);
  bool ReadHeader();
  void ReapFinished();
  static int Interrupted(void* opaque);

  uint32_t MaxClients = 0;
  TStatusCallback StatusCallback;

  struct TAvioCloser {
    void operator()(AVIOContext* context) const;
  };
  std::unique_ptr<AVIOContext, TAvioCloser> Server;
  std::thread Acceptor;
  std::atomic<bool> Stopping{false};  // polled by FFmpeg on every blocking call

  mutable std::mutex Lock;          // the clients, their queues and the flags below
  std::condition_variable Changed;  // a client has ended
  std::vector<std::shared_ptr<TClient>> Clients;
  uint32_t LastClient = 0;
  bool Ending = false;  // no more data will come
  TBytes Header;

  // The writer's side: bytes not yet split into header and packets.
  std::vector<uint8_t> Pending;
  uint32_t PacketSize = 0;
  bool DataEnded = false;  // what follows the packets (an index) is not for listeners
};

}  // namespace trimora::media
