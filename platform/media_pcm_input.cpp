// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media_pcm_input.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace trimora::media {
namespace {

AVSampleFormat InputFormat(int bits) {
  switch (bits) {
    case 8:
      return AV_SAMPLE_FMT_U8;
    case 16:
      return AV_SAMPLE_FMT_S16;
    default:
      return AV_SAMPLE_FMT_S32;  // 24-bit samples are widened first
  }
}

}  // namespace

std::unique_ptr<TMediaPcmInput> TMediaPcmInput::Make(const TWaveFormat& input, int rate,
                                                     int channels) {
  auto pcm = std::make_unique<TMediaPcmInput>();
  pcm->FInBits = input.BitsPerSample;
  pcm->FInChannels = input.Channels;
  pcm->FOutChannels = channels;
  AVChannelLayout inLayout{};
  AVChannelLayout outLayout{};
  av_channel_layout_default(&inLayout, input.Channels);
  av_channel_layout_default(&outLayout, channels);
  SwrContext* swr = nullptr;
  const int made = swr_alloc_set_opts2(&swr, &outLayout, AV_SAMPLE_FMT_FLTP, rate, &inLayout,
                                       InputFormat(input.BitsPerSample),
                                       static_cast<int>(input.SamplesPerSec), 0, nullptr);
  av_channel_layout_uninit(&inLayout);
  av_channel_layout_uninit(&outLayout);
  pcm->FSwr.reset(swr);
  if (made < 0 || swr_init(swr) < 0) return nullptr;
  pcm->FFifo.reset(av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, channels, 4096));
  if (!pcm->FFifo) return nullptr;
  pcm->FPlanes.resize(static_cast<size_t>(channels));
  pcm->FPlanePointers.resize(static_cast<size_t>(channels));
  return pcm;
}

bool TMediaPcmInput::Add(const uint8_t* bytes, uint32_t size) {
  const size_t frameBytes = static_cast<size_t>(FInChannels) * static_cast<size_t>(FInBits / 8);
  std::vector<uint8_t> joined;
  if (!FPartial.empty()) {
    joined = std::move(FPartial);
    joined.insert(joined.end(), bytes, bytes + size);
    bytes = joined.data();
    size = static_cast<uint32_t>(joined.size());
  }
  const size_t frames = size / frameBytes;
  FPartial.assign(bytes + frames * frameBytes, bytes + size);
  if (frames == 0) return true;
  const uint8_t* data = bytes;
  if (FInBits == 24) {
    const size_t samples = frames * static_cast<size_t>(FInChannels);
    FWidened.resize(samples);
    for (size_t i = 0; i < samples; ++i) {
      const uint8_t* s = bytes + 3 * i;
      FWidened[i] = static_cast<int32_t>((uint32_t{s[0]} << 8) | (uint32_t{s[1]} << 16) |
                                         (uint32_t{s[2]} << 24));
    }
    data = reinterpret_cast<const uint8_t*>(FWidened.data());
  }
  const uint8_t* in[1] = {data};
  return Convert(in, static_cast<int>(frames));
}

bool TMediaPcmInput::Flush() {
  return Convert(nullptr, 0);
}

bool TMediaPcmInput::Convert(const uint8_t** in, int frames) {
  const int room = swr_get_out_samples(FSwr.get(), frames);
  if (room < 0) return false;
  if (room == 0) return true;
  for (size_t c = 0; c < FPlanes.size(); ++c) {
    FPlanes[c].resize(static_cast<size_t>(room));
    FPlanePointers[c] = reinterpret_cast<uint8_t*>(FPlanes[c].data());
  }
  const int got = swr_convert(FSwr.get(), FPlanePointers.data(), room, in, frames);
  if (got < 0) return false;
  if (got > 0 &&
      av_audio_fifo_write(FFifo.get(), reinterpret_cast<void**>(FPlanePointers.data()), got) < got)
    return false;
  FFrames += got;
  return true;
}

bool TMediaPcmInput::AddSilence(int count) {
  if (count <= 0) return true;
  for (size_t c = 0; c < FPlanes.size(); ++c) {
    FPlanes[c].assign(static_cast<size_t>(count), 0.0f);
    FPlanePointers[c] = reinterpret_cast<uint8_t*>(FPlanes[c].data());
  }
  return av_audio_fifo_write(FFifo.get(), reinterpret_cast<void**>(FPlanePointers.data()), count) >=
         count;
}

}  // namespace trimora::media
