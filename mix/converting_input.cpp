// SPDX-License-Identifier: GPL-3.0-or-later
#include "mix/converting_input.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "pipeline/au_exception.h"
#include "platform/media_av.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libswresample/swresample.h>
}

namespace {

using TSwr = trimora::media::TSwrPtr;

struct TLayout {
  AVChannelLayout Layout{};
  explicit TLayout(int channels) { av_channel_layout_default(&Layout, channels); }
  ~TLayout() { av_channel_layout_uninit(&Layout); }
  TLayout(const TLayout&) = delete;
  TLayout& operator=(const TLayout&) = delete;
};

struct TFormat {
  int Rate = 0;
  int Channels = 0;
  int Bits = 0;
  int FrameBytes() const { return Channels * (Bits / 8); }
  // libswresample has no packed 24-bit format: such samples travel as 32-bit ones.
  int SwrFrameBytes() const { return Channels * (Bits == 8 ? 1 : Bits == 16 ? 2 : 4); }
  AVSampleFormat SwrFormat() const {
    return Bits == 8 ? AV_SAMPLE_FMT_U8 : Bits == 16 ? AV_SAMPLE_FMT_S16 : AV_SAMPLE_FMT_S32;
  }
  bool operator==(const TFormat&) const = default;
};

constexpr int kBlockFrames = 4096;
// Input frames libswresample's filter (32 taps by default) needs to see past a sample before
// it gives that sample out, with room to spare.
constexpr int kFilterFrames = 64;

bool Supported(const TFormat& f) {
  return f.Rate > 0 && f.Channels > 0 && f.Channels <= 64 &&
         (f.Bits == 8 || f.Bits == 16 || f.Bits == 24 || f.Bits == 32);
}

TSwr MakeSwr(const TFormat& in, const TFormat& out) {
  TLayout inLayout(in.Channels), outLayout(out.Channels);
  SwrContext* raw = nullptr;
  if (swr_alloc_set_opts2(&raw, &outLayout.Layout, out.SwrFormat(), out.Rate, &inLayout.Layout,
                          in.SwrFormat(), in.Rate, 0, nullptr) < 0)
    return nullptr;
  TSwr swr(raw);
  // A mono recording plays at its own level on both sides, and a stereo one in mono is the
  // average of its sides; libswresample's default would lower the first by 3 dB.
  static constexpr std::array<double, 2> kMonoToStereo = {1.0, 1.0};
  static constexpr std::array<double, 2> kStereoToMono = {0.5, 0.5};
  if (in.Channels == 1 && out.Channels == 2 &&
      swr_set_matrix(swr.get(), kMonoToStereo.data(), 1) < 0)
    return nullptr;
  if (in.Channels == 2 && out.Channels == 1 &&
      swr_set_matrix(swr.get(), kStereoToMono.data(), 2) < 0)
    return nullptr;
  if (swr_init(swr.get()) < 0) return nullptr;
  return swr;
}

}  // namespace

struct TConvertingInput::TRun {
  TAuInput* Source = nullptr;  // cleared when the source goes away during the read
  TFormat In, Out;
  bool Passthrough = false;
  TSwr Swr;
  bool InputEnded = false;
  bool Padded = false;  // the input was short: silence follows it, the output is cut
  int PadLeft = 0;      // silent frames still to follow it
  bool Drained = false;
  int64_t InFrames = 0;          // read from the input
  int64_t OutFrames = 0;         // converted
  int64_t Expected = -1;         // the input's length at the output rate; -1: not known
  std::vector<uint8_t> Carry;    // input bytes short of a whole frame
  std::vector<uint8_t> Staging;  // input frames in the converter's format
  std::vector<uint8_t> Converted;
  std::vector<uint8_t> Pending;  // output not handed out yet, from PendingOffset on
  std::size_t PendingOffset = 0;
};

TConvertingInput::TConvertingInput() = default;

TConvertingInput::~TConvertingInput() {
  NotifyDestroying();
  std::lock_guard lock(DataLock);
  if (FRun && FRun->Source != nullptr) {
    try {
      FRun->Source->EndRead();
    } catch (const std::exception&) {
      // Nothing to report to while being destroyed.
    }
  }
  FRun.reset();
}

void TConvertingInput::SetInput(TAuInput* input) {
  std::lock_guard lock(DataLock);
  if (Busy) throw EAuException("The component is busy.");
  TAuInput* old = FInput.exchange(input);
  if (old == input) return;
  if (old != nullptr) RemoveFreeNotification(old);
  if (input != nullptr) FreeNotification(input);
}

void TConvertingInput::SetOutputFormat(int sampleRate, int channels, int bitsPerSample) {
  std::lock_guard lock(DataLock);
  if (Busy) throw EAuException("The component is busy.");
  FRate = std::max(sampleRate, 0);
  FChannels = std::max(channels, 0);
  FBits = std::max(bitsPerSample, 0);
}

void TConvertingInput::SetOutputFormatOf(TAuInput& model) {
  SetOutputFormat(model.SampleRate(), model.Channels(), model.BitsPerSample());
}

void TConvertingInput::Notification(TComponent* destroyed) {
  {
    std::lock_guard lock(DataLock);
    if (FInput == destroyed) FInput = nullptr;
    if (FRun && FRun->Source == destroyed) {
      FRun->Source = nullptr;
      FRun->InputEnded = true;
    }
  }
  TAuInput::Notification(destroyed);
}

TAuInput& TConvertingInput::RequireInput() {
  TAuInput* input = FInput;
  if (input == nullptr) throw EAuException("Input not assigned");
  return *input;
}

int TConvertingInput::QueryBitsPerSample() {
  std::lock_guard lock(DataLock);
  return FBits != 0 ? FBits.load() : RequireInput().BitsPerSample();
}

int TConvertingInput::QueryChannels() {
  std::lock_guard lock(DataLock);
  return FChannels != 0 ? FChannels.load() : RequireInput().Channels();
}

int TConvertingInput::QuerySampleRate() {
  std::lock_guard lock(DataLock);
  return FRate != 0 ? FRate.load() : RequireInput().SampleRate();
}

int64_t TConvertingInput::QueryTotalSamples() {
  std::lock_guard lock(DataLock);
  TAuInput& input = RequireInput();
  const int64_t total = input.TotalSamples();
  const int inRate = input.SampleRate();
  const int outRate = FRate != 0 ? FRate.load() : inRate;
  if (total <= 0 || inRate <= 0) return total;
  return av_rescale_rnd(total, outRate, inRate, AV_ROUND_NEAR_INF);
}

void TConvertingInput::DoStartRead() {
  if (Busy) throw EAuException("The component is busy.");
  TAuInput& input = RequireInput();
  input.StartRead();
  auto run = std::make_unique<TRun>();
  run->Source = &input;
  try {
    run->In = {input.SampleRate(), input.Channels(), input.BitsPerSample()};
    run->Out = {FRate != 0 ? FRate.load() : run->In.Rate,
                FChannels != 0 ? FChannels.load() : run->In.Channels,
                FBits != 0 ? FBits.load() : run->In.Bits};
    run->Passthrough = run->In == run->Out;
    if (!run->Passthrough) {
      if (!Supported(run->In) || !Supported(run->Out))
        throw EAuException("Unsupported sample format for conversion");
      run->Swr = MakeSwr(run->In, run->Out);
      if (!run->Swr) throw EAuException("Sample conversion could not be set up");
    }
  } catch (...) {
    input.EndRead();
    throw;
  }
  const int64_t inSize = input.Size();
  if (run->Passthrough || inSize < 0) {
    FSize = inSize;
  } else {
    const int64_t frames = inSize / run->In.FrameBytes();
    run->Expected = av_rescale_rnd(frames, run->Out.Rate, run->In.Rate, AV_ROUND_NEAR_INF);
    FSize = run->Expected * run->Out.FrameBytes();
  }
  FPosition = 0;
  FRun = std::move(run);
  Busy = true;
}

void TConvertingInput::DoEndRead() {
  std::unique_ptr<TRun> run = std::move(FRun);
  Busy = false;
  if (run && run->Source != nullptr) run->Source->EndRead();
}

bool TConvertingInput::Produce(TRun& run) {
  if (run.Drained) return false;
  const int inBytes = run.In.FrameBytes();
  int inFrames = 0;
  if (!run.InputEnded) {
    uint8_t* data = nullptr;
    uint32_t count = static_cast<uint32_t>(kBlockFrames * inBytes);
    if (!run.Padded) run.Source->ReadData(data, count);
    if (run.Padded || count == 0 || data == nullptr) {
      run.InputEnded = !PadShortInput(run);
    } else {
      run.Carry.insert(run.Carry.end(), data, data + count);
      run.InFrames += count / inBytes;
    }
    inFrames = static_cast<int>(run.Carry.size() / static_cast<std::size_t>(inBytes));
  }
  // Packed 24-bit samples go in as the top three bytes of 32-bit ones.
  const std::size_t inSamples = static_cast<std::size_t>(inFrames) * run.In.Channels;
  const uint8_t* in = run.Carry.data();
  if (run.In.Bits == 24) {
    run.Staging.resize(inSamples * 4);
    for (std::size_t i = 0; i < inSamples; ++i) {
      run.Staging[i * 4] = 0;
      std::memcpy(&run.Staging[i * 4 + 1], &run.Carry[i * 3], 3);
    }
    in = run.Staging.data();
  }
  const int capacity = swr_get_out_samples(run.Swr.get(), inFrames) + 16;
  run.Converted.resize(static_cast<std::size_t>(capacity) * run.Out.SwrFrameBytes());
  uint8_t* out = run.Converted.data();
  int got = swr_convert(run.Swr.get(), &out, capacity, run.InputEnded ? nullptr : &in,
                        run.InputEnded ? 0 : inFrames);
  run.Carry.erase(run.Carry.begin(),
                  run.Carry.begin() + static_cast<std::ptrdiff_t>(inSamples * (run.In.Bits / 8)));
  if (got < 0) throw EAuException("Sample conversion failed");
  if (run.Padded) got = static_cast<int>(std::min<int64_t>(got, run.Expected - run.OutFrames));
  run.OutFrames += got;
  if (got == 0 && (run.InputEnded || (run.Padded && run.OutFrames >= run.Expected))) {
    run.Drained = true;
    return false;
  }
  const std::size_t outSamples = static_cast<std::size_t>(got) * run.Out.Channels;
  run.Pending.clear();
  run.PendingOffset = 0;
  if (run.Out.Bits == 24) {
    run.Pending.resize(outSamples * 3);
    for (std::size_t i = 0; i < outSamples; ++i)
      std::memcpy(&run.Pending[i * 3], &run.Converted[i * 4 + 1], 3);
  } else {
    run.Pending.assign(
        run.Converted.begin(),
        run.Converted.begin() + static_cast<std::ptrdiff_t>(outSamples * (run.Out.Bits / 8)));
  }
  return true;
}

// libswresample gives nothing back, not even when flushed, for an input shorter than its
// filter: such an input (a few frames, or a few at 1 Hz) goes on with silence, a block's worth
// of output at a time, and the output is cut at the input's length. False when the input needs
// no more of it.
bool TConvertingInput::PadShortInput(TRun& run) {
  if (!run.Padded) {
    if (run.Expected <= 0 || run.InFrames >= kFilterFrames) return false;
    run.Padded = true;
    run.PadLeft = kFilterFrames;
  }
  if (run.PadLeft <= 0 || run.OutFrames >= run.Expected) return false;
  const int step = static_cast<int>(
      std::clamp<int64_t>(int64_t{kBlockFrames} * run.In.Rate / run.Out.Rate, 1, run.PadLeft));
  run.PadLeft -= step;
  const uint8_t silence = run.In.Bits == 8 ? 0x80 : 0;  // 8-bit samples are unsigned
  run.Carry.resize(run.Carry.size() + static_cast<std::size_t>(step) * run.In.FrameBytes(),
                   silence);
  return true;
}

void TConvertingInput::ReadBlock(uint8_t*& buffer, uint32_t& bytes) {
  buffer = nullptr;
  if (!FRun || bytes == 0) {
    bytes = 0;
    return;
  }
  TRun& run = *FRun;
  if (run.Passthrough) {
    if (run.Source == nullptr) {
      bytes = 0;
      return;
    }
    run.Source->ReadData(buffer, bytes);
  } else {
    while (run.PendingOffset >= run.Pending.size())
      if (!Produce(run)) {
        bytes = 0;
        return;
      }
    bytes =
        static_cast<uint32_t>(std::min<std::size_t>(bytes, run.Pending.size() - run.PendingOffset));
    buffer = run.Pending.data() + run.PendingOffset;
    run.PendingOffset += bytes;
  }
  if (buffer == nullptr) bytes = 0;
  FPosition += bytes;
}
