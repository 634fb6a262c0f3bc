// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "formats/media/wma_out.h"
#include "pipeline/au_events.h"

// A client of the stream connected or went away; `Client` numbers the clients of a run
// from 1.
using TClientEvent = std::function<void(TComponent* Sender, uint32_t Client)>;

// The WMA sink serving its stream to network clients instead of writing a file: an HTTP
// server on Port that sends the ASF stream to every client connected
// ("http://HOST:PORT/"). The audio goes out at real-time pace and is never held back for a
// client; a client that joins late starts at the next packet. OnClientConnected and
// OnClientDisconnected run on the main thread through the event dispatcher.
//
// A port that cannot be had fails the run with a message that names the address and the
// system's reason ("Cannot listen on 127.0.0.1:8080: Address already in use"); once the port
// is had, OnListening runs on the main thread, so that the address is announced only when
// clients can reach it.
class TWMStreamedOut : public TWMAOut {
 public:
  TWMStreamedOut();
  ~TWMStreamedOut() override;

  uint16_t Port = 8080;
  uint32_t MaxClients = 0;  // 0: no limit; clients beyond a limit are refused
  // The interface to listen on, without a port ("0.0.0.0": every one). This machine only
  // unless the caller shares the stream wider: it has no password.
  std::string ListenAddress = "127.0.0.1";
  TEventSlot<TNotifyEvent> OnListening;
  TEventSlot<TClientEvent> OnClientConnected;
  TEventSlot<TClientEvent> OnClientDisconnected;

  // Clients connected now.
  uint32_t ClientCount() const { return FClients.load(); }

 protected:
  void PrepareOutput() override;
  bool WriteBlock(bool Abort) override;
  void OpenWriter(TWmaWriter& w) override;
  bool Streaming() const override { return true; }

 private:
  static void OnConnect(void* owner, uint32_t client);
  static void OnDisconnect(void* owner, uint32_t client);
  void PostClientEvent(const TClientEvent& handler, uint32_t client);

  std::atomic<uint32_t> FClients{0};
  std::chrono::steady_clock::time_point FStarted;  // worker thread: when the run began
};
