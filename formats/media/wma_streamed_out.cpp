// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/media/wma_streamed_out.h"

#include <thread>

#include "pipeline/event_handler.h"

namespace {

// The stream runs this far ahead of the clock, so that clients can fill their buffers.
constexpr std::chrono::milliseconds kLead(500);

}  // namespace

TWMStreamedOut::TWMStreamedOut() = default;

TWMStreamedOut::~TWMStreamedOut() {
  Shutdown();
}

void TWMStreamedOut::OpenWriter(TWmaWriter& w) {
  FClients = 0;
  wma_writer_open_network(w, ListenAddress, Port, MaxClients, OnConnect, OnDisconnect, this);
  // The port is had (a failed bind raised): posted now, so that it goes before the event of
  // any client, which must first connect and make its request.
  if (const TNotifyEvent handler = OnListening.Get())
    TEventHandler::Instance().PostProgress(this, handler);
}

void TWMStreamedOut::PrepareOutput() {
  TWMAOut::PrepareOutput();
  FStarted = std::chrono::steady_clock::now();
}

bool TWMStreamedOut::WriteBlock(bool Abort) {
  const bool more = TWMAOut::WriteBlock(Abort);
  // Each block is one block's time ahead of the last, so a wait never exceeds one block.
  if (more && !Abort) {
    const auto written = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::nanoseconds(WrittenTime() * 100));
    std::this_thread::sleep_until(FStarted + written - kLead);
  }
  return more;
}

void TWMStreamedOut::OnConnect(void* owner, uint32_t client) {
  auto* self = static_cast<TWMStreamedOut*>(owner);
  ++self->FClients;
  self->PostClientEvent(self->OnClientConnected.Get(), client);
}

void TWMStreamedOut::OnDisconnect(void* owner, uint32_t client) {
  auto* self = static_cast<TWMStreamedOut*>(owner);
  --self->FClients;
  self->PostClientEvent(self->OnClientDisconnected.Get(), client);
}

// Through the dispatcher, like progress: the handler runs on the main thread, in order with
// the sink's other events, and not at all for a stopped run.
void TWMStreamedOut::PostClientEvent(const TClientEvent& handler, uint32_t client) {
  if (!handler) return;
  TEventHandler::Instance().PostProgress(
      this, [handler, client](TComponent* sender) { handler(sender, client); });
}
