// SPDX-License-Identifier: GPL-3.0-or-later
#include "mix/joined_input.h"

#include <algorithm>
#include <exception>

#include "pipeline/au_exception.h"

TJoinedInput::~TJoinedInput() {
  // A sink reading this source is told first and stops its run while the source is whole.
  NotifyDestroying();
  std::lock_guard lock(DataLock);
  try {
    CloseInputs();
  } catch (const std::exception&) {
    // Nothing to report to while being destroyed; the reads have been ended anyway.
  }
}

void TJoinedInput::SetInputs(TAuInput* first, TAuInput* second) {
  std::lock_guard lock(DataLock);
  if (Busy) throw EAuException("The component is busy.");
  for (TAuInput* old : FInputs)
    if (old != nullptr) RemoveFreeNotification(old);
  FInputs = {first, second};
  for (TAuInput* input : FInputs)
    if (input != nullptr) FreeNotification(input);
}

void TJoinedInput::Notification(TComponent* destroyed) {
  {
    std::lock_guard lock(DataLock);
    // A read of an input that is going away ends here; it owes nothing any more.
    for (size_t i = 0; i < FInputs.size(); ++i)
      if (FInputs[i] == destroyed) {
        FInputs[i] = nullptr;
        FStarted[i] = false;
      }
  }
  TAuInput::Notification(destroyed);
}

template <typename T>
T TJoinedInput::OfFirst(T (TAuInput::*query)()) {
  std::lock_guard lock(DataLock);
  if (FInputs[0] == nullptr) throw EAuException("Input not assigned");
  return (FInputs[0]->*query)();
}

int TJoinedInput::QueryBitsPerSample() {
  return OfFirst(&TAuInput::BitsPerSample);
}
int TJoinedInput::QueryChannels() {
  return OfFirst(&TAuInput::Channels);
}
int TJoinedInput::QuerySampleRate() {
  return OfFirst(&TAuInput::SampleRate);
}
bool TJoinedInput::QueryFloatSamples() {
  return OfFirst(&TAuInput::FloatSamples);
}

int64_t TJoinedInput::QueryTotalSamples() {
  std::lock_guard lock(DataLock);
  int64_t total = 0;
  for (TAuInput* input : FInputs)
    if (input != nullptr) total += std::max<int64_t>(input->TotalSamples(), 0);
  return total;
}

void TJoinedInput::DoStartRead() {
  if (Busy) throw EAuException("The component is busy.");
  if (FInputs[0] == nullptr || FInputs[1] == nullptr) throw EAuException("Input not assigned");
  Busy = true;
  FPosition = 0;
  FCurrent = 0;
  try {
    for (size_t i = 0; i < FInputs.size(); ++i) {
      FInputs[i]->StartRead();
      FStarted[i] = true;
    }
  } catch (...) {
    // A failed start leaves nothing behind, so the caller can fix the cause and start anew.
    try {
      CloseInputs();
    } catch (const std::exception&) {
      // The start's own error is the one to report.
    }
    throw;
  }
  const int64_t first = FInputs[0]->Size(), second = FInputs[1]->Size();
  FSize = first < 0 || second < 0 ? -1 : first + second;
}

void TJoinedInput::DoEndRead() {
  CloseInputs();
}

void TJoinedInput::CloseInputs() {
  std::exception_ptr error;
  for (size_t i = 0; i < FInputs.size(); ++i) {
    if (!FStarted[i] || FInputs[i] == nullptr) continue;
    FStarted[i] = false;
    try {
      FInputs[i]->EndRead();
    } catch (const std::exception&) {
      if (!error) error = std::current_exception();
    }
  }
  Busy = false;
  if (error) std::rethrow_exception(error);
}

void TJoinedInput::ReadBlock(uint8_t*& buffer, uint32_t& bytes) {
  const uint32_t wanted = bytes;
  buffer = nullptr;
  bytes = 0;
  // The second input starts where the first comes back empty.
  for (; Busy && FCurrent < FInputs.size(); ++FCurrent) {
    if (!FStarted[FCurrent]) continue;
    uint32_t got = wanted;
    FInputs[FCurrent]->ReadData(buffer, got);
    if (got == 0) continue;
    bytes = got;
    // Sizes of compressed inputs are estimates; a position past the size would show a
    // progress above 100%.
    const int64_t size = FSize, position = FPosition + got;
    FPosition = size >= 0 ? std::min(position, size) : position;
    return;
  }
  buffer = nullptr;
  EndOfStream = true;
}
