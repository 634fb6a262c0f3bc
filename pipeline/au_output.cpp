// SPDX-License-Identifier: GPL-3.0-or-later
#include "pipeline/au_output.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "pipeline/au_exception.h"
#include "pipeline/au_thread.h"
#include "pipeline/event_handler.h"
#include "pipeline/main_thread_queue.h"

TAuOutput::TAuOutput() {
  FSerial = TEventHandler::RegisterSink(this);
  FThread = std::make_unique<TAuThread>(*this);
}

TAuOutput::~TAuOutput() {
  Shutdown();
}

void TAuOutput::Shutdown() {
  if (FShutDown) return;
  FShutDown = true;
  Stop();
  FThread->Terminate();
  TEventHandler::ReleaseSink(this);
  if (FInput != nullptr) RemoveFreeNotification(FInput);
  FInput = nullptr;
}

void TAuOutput::Run() {
  std::lock_guard lock(FLock);
  SetExceptionMessage({});
  if (Busy) throw EAuException("Component is Busy");
  if (FInput == nullptr) throw EAuException("Input is not assigned");
  Busy = true;
  FThread->Wake(++FRunCount);
}

void TAuOutput::Stop() {
  Stopped = true;
  FThread->DeliverDone = false;
  FThread->RunFinished = false;
  FThread->StopRequested = true;
  FStoppedRun = FRunCount.load();
  TEventHandler& events = TEventHandler::Instance();
  events.BlockEvents(this);
  events.PurgeEvents(this);
  // The dispatcher may be waiting for this thread to run a handler; keep such calls flowing.
  while (!FThread->Idle() && !FThread->RunFinished)
    main_thread_queue::WaitAndProcess(std::chrono::milliseconds(1));
  events.UnblockEvents();
  FThread->DeliverDone = true;
}

int TAuOutput::Progress() const {
  if (FInput == nullptr) return 0;
  const int64_t size = FInput->Size();
  if (size == -1) return -1;
  if (size == 0) return 0;
  // A source whose size is an estimate may read on past it.
  return std::min(100, static_cast<int>(std::nearbyint(static_cast<double>(FInput->Position()) /
                                                       static_cast<double>(size) * 100.0)));
}

void TAuOutput::SetInput(TAuInput* input) {
  if (FInput != nullptr && FInput != input) RemoveFreeNotification(FInput);
  if (Busy) {
    Stop();
    FInput = input;
    if (input == nullptr) return;  // nothing to restart on: the input is going away
    FreeNotification(input);
    Run();
    return;
  }
  FInput = input;
  if (input != nullptr) FreeNotification(input);
}

void TAuOutput::Notification(TComponent* destroyed) {
  if (destroyed == FInput) SetInput(nullptr);
  TComponent::Notification(destroyed);
}

std::string TAuOutput::ExceptionMessage() const {
  std::lock_guard lock(FMessageLock);
  return FExceptionMessage;
}

void TAuOutput::SetExceptionMessage(std::string message) {
  std::lock_guard lock(FMessageLock);
  FExceptionMessage = std::move(message);
}

bool TAuOutput::DeliversDone() const {
  return FThread->DeliverDone;
}

void TAuOutput::FinishRun() {
  if (!Busy) return;
  Active = false;
  FinishOutput();
  Stopped = false;
  Busy = false;
}
