// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The writer's network sink: an HTTP server that serves the ASF stream a writer produces to
// every client connected at the time ("http://HOST:PORT/", any path).
//
// A client that joins late is sent the stream's header first and then starts at the next
// data packet. The writer never waits for a client: each client has a bounded queue, and a
// client too slow to empty it loses the packets that do not fit. One server thread serves
// every connection without ever blocking on one.
//
// A connection has 5 s to send its request headers (16 KiB at most); one that does not is
// answered "408 Request Timeout" and closed, a malformed, oversized or non-GET request
// "400 Bad Request". A client takes a seat only once its request was accepted; with a
// client limit, clients beyond it are answered "403 Forbidden". A good request gets
// "200 OK" and the stream as `video/x-ms-asf`, in chunks for HTTP/1.1, plain for HTTP/1.0.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/media_writer.h"

namespace trimora::media {

// Statuses the network sink reports, with the number of the client (from 1 in each run).
inline constexpr uint32_t kMediaStatusClientConnected = 37;
inline constexpr uint32_t kMediaStatusClientDisconnected = 38;

class TMediaNetworkSink final : public IMediaWriteStream {
 public:
  // Called on the sink's server thread.
  using TStatusCallback = std::function<void(uint32_t status, uint32_t client)>;

  TMediaNetworkSink();
  ~TMediaNetworkSink() override;
  TMediaNetworkSink(const TMediaNetworkSink&) = delete;
  TMediaNetworkSink& operator=(const TMediaNetworkSink&) = delete;

  // Before Open. 0 for no limit.
  void SetMaxClients(uint32_t count) { FMaxClients = count; }
  void SetStatusCallback(TStatusCallback callback) { FStatusCallback = std::move(callback); }

  // Listens on `address` ("0.0.0.0" for every interface, "::" for every IPv6 one) and
  // `port`; Fail when the port cannot be had, and OpenFailure says why.
  TMediaResult Open(const std::string& address, uint16_t port);
  // Why the last Open failed, for the user: "Cannot listen on 127.0.0.1:8080: Address
  // already in use".
  const std::string& OpenFailure() const { return FFailure; }
  // Ends the stream: clients get what is queued for them (for a second at most), then
  // every connection and the listening port are closed. Called again, does nothing.
  void Close();

  // Takes the writer's bytes: the header, then whole data packets for the clients. Fails
  // only for a stream that is not ASF with packets of one size.
  TMediaResult Write(const void* buffer, uint32_t count, uint32_t& written) override;
  TMediaResult Seek(int64_t offset, TMediaSeekOrigin origin, uint64_t& newPosition) override;
  bool Seekable() const override { return false; }

  // Clients served now (request accepted, not gone).
  uint32_t ClientCount() const;

 private:
  class TServer;

  bool ReadHeader();

  uint32_t FMaxClients = 0;
  TStatusCallback FStatusCallback;
  std::string FFailure;
  std::unique_ptr<TServer> FServer;

  // The writer's side: bytes not yet split into header and packets.
  std::vector<uint8_t> FPending;
  uint32_t FPacketSize = 0;
  bool FDataEnded = false;  // what follows the packets (an index) is not for listeners
};

}  // namespace trimora::media
