// SPDX-License-Identifier: GPL-3.0-or-later
#include "mix/audio_mixer.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <limits>

#include "pipeline/au_exception.h"
#include "pipeline/sample_convert.h"

namespace {

using TToFloat = void (*)(const void*, float*, std::size_t);
using TFromFloat = void (*)(float*, void*, std::size_t);

// Indexed by bytes per sample, 1 to 4.
constexpr TToFloat kToFloat[] = {nullptr, PCM8ToFloat, PCM16ToFloat, PCM24ToFloat, PCM32ToFloat};
constexpr TFromFloat kFromFloat[] = {
    nullptr, [](float* src, void* dst, std::size_t n) { FloatToPCM8(src, dst, n); }, FloatToPCM16,
    FloatToPCM24, FloatToPCM32};

constexpr int64_t kInt64Max = std::numeric_limits<int64_t>::max();

// Sizes and offsets come from file headers and from the caller; saturate rather than wrap.
int64_t SatAdd(int64_t a, int64_t b) {
  int64_t r;
  return __builtin_add_overflow(a, b, &r) ? kInt64Max : r;
}
int64_t SatMul(int64_t a, int64_t b) {
  int64_t r;
  return __builtin_mul_overflow(a, b, &r) ? kInt64Max : r;
}

// Silence of 8-bit PCM is 128, not 0: zero bytes would read as full negative amplitude.
void FillSilence(std::vector<uint8_t>& samples, int width, uint32_t count) {
  std::memset(samples.data(), width == 1 ? 0x80 : 0, static_cast<std::size_t>(count) * width);
}

void Scale(float* values, uint32_t count, float gain) {
  for (uint32_t i = 0; i < count; ++i) values[i] *= gain;
}

float Gain(uint16_t volume) {
  return static_cast<float>(volume) / 65535.0f;
}

}  // namespace

TAudioMixer::~TAudioMixer() {
  // A sink reading this mixer is told first and stops its run, which ends this read through
  // DoEndRead while the mixer is still whole.
  NotifyDestroying();
  std::lock_guard lock(DataLock);
  try {
    CloseInputs();
  } catch (const std::exception&) {
    // Nothing to report to while being destroyed; the inputs' reads have been ended anyway.
  }
}

void TAudioMixer::SetInput1(TAuInput* input) {
  AssignInput(FInput1, input);
}
void TAudioMixer::SetInput2(TAuInput* input) {
  AssignInput(FInput2, input);
}

void TAudioMixer::AssignInput(std::atomic<TAuInput*>& slot, TAuInput* input) {
  std::lock_guard lock(DataLock);
  if (Busy) throw EAuException("The component is busy.");
  TAuInput* old = slot.exchange(input);
  if (old == input) return;
  // The same source may serve as both inputs; keep hearing of it while either refers to it.
  if (old != nullptr && old != FInput1 && old != FInput2) RemoveFreeNotification(old);
  if (input != nullptr) FreeNotification(input);
}

void TAudioMixer::Notification(TComponent* destroyed) {
  {
    std::lock_guard lock(DataLock);
    for (auto [slot, side] : {std::pair{&FInput1, &FSide1}, std::pair{&FInput2, &FSide2}}) {
      if (*slot != destroyed) continue;
      *slot = nullptr;
      if (side->Input == destroyed) {
        // A read of a source that is going away ends here; it owes nothing any more.
        side->Input = nullptr;
        side->Started = false;
        side->Ended = true;
      }
    }
  }
  TAuInput::Notification(destroyed);
}

TAuInput* TAudioMixer::RequireInput1() {
  TAuInput* input = FInput1;
  if (input == nullptr) throw EAuException("Input not assigned");
  return input;
}

int TAudioMixer::QueryBitsPerSample() {
  std::lock_guard lock(DataLock);
  return RequireInput1()->BitsPerSample();
}

int TAudioMixer::QueryChannels() {
  std::lock_guard lock(DataLock);
  return RequireInput1()->Channels();
}

int TAudioMixer::QuerySampleRate() {
  std::lock_guard lock(DataLock);
  return RequireInput1()->SampleRate();
}

void TAudioMixer::DoStartRead() {
  // One read at a time: a second start would take over the inputs of the first.
  if (Busy) throw EAuException("The component is busy.");
  Busy = true;
  FPosition = 0;
  FSampleCount = 0;
  try {
    OpenInputs();
  } catch (...) {
    // A failed start leaves nothing behind: the inputs already started are ended and the
    // mixer is idle again, so the caller can fix the cause and start anew.
    try {
      CloseInputs();
    } catch (const std::exception&) {
      // The start's own error is the one to report.
    }
    throw;
  }
}

void TAudioMixer::OpenInputs() {
  FSide1 = TSide{};
  FSide2 = TSide{};
  FSide1.Input = FInput1;
  FSide2.Input = FInput2;
  if (FSide1.Input == nullptr) throw EAuException("Input1 is not assigned");
  if (FSide2.Input == nullptr) throw EAuException("Input2 is not assigned");
  for (TSide* side : {&FSide1, &FSide2}) {
    side->Input->StartRead();
    side->Started = true;
  }
  for (TSide* side : {&FSide1, &FSide2}) {
    side->Width = side->Input->BitsPerSample() / 8;
    // The conversions exist for 1 to 4 bytes only; anything else would be read out of bounds.
    if (side->Width < 1 || side->Width > 4) throw EAuException("Unsupported bits per sample");
    side->Channels = std::max(side->Input->Channels(), 1);
    side->Samples.assign(static_cast<std::size_t>(BlockSamples) * side->Width, 0);
    side->Floats.assign(BlockSamples, 0.0f);
  }
  FSize = ReadSize();
}

int64_t TAudioMixer::ReadSize() const {
  const int64_t size1 = FSide1.Input->Size(), size2 = FSide2.Input->Size();
  if (size1 < 0 || size2 < 0) return -1;  // unknown stays unknown
  const int64_t n1 = size1 / FSide1.Width, n2 = size2 / FSide2.Width;
  const int64_t samples =
      Mode == amConcatenate ? SatAdd(n1, n2) : std::max(n1, SatAdd(n2, Input2StartInSamples()));
  return SatMul(samples, FSide1.Width);
}

int64_t TAudioMixer::Input2StartInSamples() const {
  return SatMul(std::max<int64_t>(Input2StartSample, 0), FSide2.Channels);
}

void TAudioMixer::DoEndRead() {
  CloseInputs();
}

void TAudioMixer::CloseInputs() {
  std::exception_ptr error;
  for (TSide* side : {&FSide1, &FSide2}) {
    if (side->Started && side->Input != nullptr) {
      try {
        side->Input->EndRead();
      } catch (const std::exception&) {
        if (!error) error = std::current_exception();
      }
    }
    *side = TSide{};  // also frees the buffers
  }
  Busy = false;
  if (error) std::rethrow_exception(error);
}

uint32_t TAudioMixer::ReadSamples(TSide& side, uint32_t count) {
  if (side.Input == nullptr) {
    side.Ended = true;
    return 0;
  }
  bool endOfData = false;
  const uint32_t bytes = side.Input->ReadFull(side.Samples.data(), count * side.Width, endOfData);
  if (endOfData) side.Ended = true;
  return bytes / side.Width;
}

void TAudioMixer::ReadBlock(uint8_t*& buffer, uint32_t& bytes) {
  if (!Busy || (FSide1.Ended && FSide2.Ended)) {
    buffer = nullptr;
    bytes = 0;
    return;
  }
  uint32_t n = std::min(BlockSamples, bytes / FSide1.Width);
  // Whole frames only, so that the second input of a mix always starts on the first channel.
  const uint32_t frameSamples = static_cast<uint32_t>(FSide1.Channels);
  if (n >= frameSamples) n -= n % frameSamples;
  const uint32_t count = Mode == amConcatenate ? ConcatenateBlock(n) : MixBlock(n);
  buffer = FSide1.Samples.data();
  bytes = count * FSide1.Width;
  EndOfStream = FSide1.Ended && FSide2.Ended;
  // Sizes of compressed inputs are estimates; a position past the size would show a
  // progress above 100%.
  const int64_t size = FSize, position = SatAdd(FPosition, bytes);
  FPosition = size >= 0 ? std::min(position, size) : position;
}

uint32_t TAudioMixer::MixBlock(uint32_t n) {
  FillSilence(FSide1.Samples, FSide1.Width, n);
  FillSilence(FSide2.Samples, FSide2.Width, n);
  uint32_t s1 = 0;
  if (!FSide1.Ended) {
    s1 = ReadSamples(FSide1, n);
    FSampleCount += s1;
  }
  const int64_t start = Input2StartInSamples();
  if (FSide1.Ended && s1 == 0 && !FSide2.Ended && FSampleCount < start) {
    // The first input ended before the second is due: deliver silence up to the exact start
    // rather than an empty block, which would end the read and lose the second input.
    const auto gap = static_cast<uint32_t>(std::min<int64_t>(n, start - FSampleCount));
    FSampleCount += gap;
    return gap;
  }
  // The second input starts at the beginning of the block in which the first reaches the
  // offset, so up to one block early.
  const uint32_t s2 = (FSampleCount >= start && !FSide2.Ended) ? ReadSamples(FSide2, n) : 0;
  const uint32_t used = std::max(s1, s2);
  float* a = FSide1.Floats.data();
  const float* b = FSide2.Floats.data();
  kToFloat[FSide1.Width](FSide1.Samples.data(), a, used);
  kToFloat[FSide2.Width](FSide2.Samples.data(), FSide2.Floats.data(), used);
  const float g1 = Gain(Volume1), g2 = Gain(Volume2);
  for (uint32_t i = 0; i < used; ++i) a[i] = (a[i] * g1 + b[i] * g2) / 2.0f;
  kFromFloat[FSide1.Width](a, FSide1.Samples.data(), used);
  return used;
}

uint32_t TAudioMixer::ConcatenateBlock(uint32_t n) {
  if (!FSide1.Ended) {
    const uint32_t s1 = ReadSamples(FSide1, n);
    if (s1 > 0) {
      // The first input's last, short block goes out alone; the second starts with the next.
      float* a = FSide1.Floats.data();
      kToFloat[FSide1.Width](FSide1.Samples.data(), a, s1);
      Scale(a, s1, Gain(Volume1));
      kFromFloat[FSide1.Width](a, FSide1.Samples.data(), s1);
      return s1;
    }
  }
  if (FSide2.Ended) return 0;
  const uint32_t s2 = ReadSamples(FSide2, n);
  float* b = FSide2.Floats.data();
  kToFloat[FSide2.Width](FSide2.Samples.data(), b, s2);
  Scale(b, s2, Gain(Volume2));
  // Into the first input's width: the output keeps the first input's format.
  kFromFloat[FSide1.Width](b, FSide1.Samples.data(), s2);
  return s2;
}
