// SPDX-License-Identifier: GPL-3.0-or-later
// Throughput of the per-block conversions on the mixer's and the WAV reader's paths, and of IMA
// decoding next to FFmpeg's decoder on the same blocks. Bytes are counted as 16-bit PCM
// delivered (or consumed), so the MB/s figures compare directly.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

#include "formats/wave/adpcm.h"
#include "pipeline/sample_convert.h"
#include "platform/media_av.h"

namespace {

constexpr std::size_t kMixerBlock = 4096;  // samples per mixer conversion call

std::vector<int16_t> Sine(std::size_t count) {
  std::vector<int16_t> s(count);
  for (std::size_t i = 0; i < count; ++i) {
    s[i] = static_cast<int16_t>(
        std::lround(20000 * std::sin(2 * std::numbers::pi * 440 * i / 44100.0)));
  }
  return s;
}

void BM_PCM16ToFloat(benchmark::State& state) {
  const auto pcm = Sine(kMixerBlock);
  std::vector<float> out(kMixerBlock);
  for (auto _ : state) {
    PCM16ToFloat(pcm.data(), out.data(), kMixerBlock);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kMixerBlock * 2);
}
BENCHMARK(BM_PCM16ToFloat);

// Includes the clamping pass over the source; a tenth of the samples lie outside -1 .. 1.
void BM_FloatToPCM16(benchmark::State& state) {
  const auto pcm = Sine(kMixerBlock);
  std::vector<float> source(kMixerBlock);
  PCM16ToFloat(pcm.data(), source.data(), kMixerBlock);
  for (std::size_t i = 0; i < kMixerBlock; i += 10) source[i] *= 2.0f;
  std::vector<float> work(kMixerBlock);
  std::vector<int16_t> out(kMixerBlock);
  for (auto _ : state) {
    std::memcpy(work.data(), source.data(), kMixerBlock * sizeof(float));
    FloatToPCM16(work.data(), out.data(), kMixerBlock);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kMixerBlock * 2);
}
BENCHMARK(BM_FloatToPCM16);

// The WAV reader's float path: one 16384-byte read of single-precision data.
void BM_SingleToInt32InPlace(benchmark::State& state) {
  constexpr std::size_t kCount = 16384 / 4;
  const auto pcm = Sine(kCount);
  std::vector<float> source(kCount);
  PCM16ToFloat(pcm.data(), source.data(), kCount);
  std::vector<float> work(kCount);
  for (auto _ : state) {
    std::memcpy(work.data(), source.data(), kCount * sizeof(float));
    SingleToInt32InPlace(work.data(), kCount * sizeof(float));
    benchmark::DoNotOptimize(work.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kCount * 4);
}
BENCHMARK(BM_SingleToInt32InPlace);

// 64 blocks of 256 (mono) or 512 (stereo) bytes, made by our encoder from a sine.
struct ImaStream {
  int Channels;
  std::size_t BlockAlign;
  std::size_t FramesPerBlock;
  std::vector<uint8_t> Data;
};

ImaStream MakeImaStream(int channels) {
  ImaStream s{channels, 256u * channels, 505, {}};  // 505 frames per block either way
  constexpr std::size_t kBlocks = 64;
  const auto pcm = Sine(kBlocks * s.FramesPerBlock * channels);
  TImaChannelState state[2];
  std::vector<uint8_t> block(s.BlockAlign);
  for (std::size_t b = 0; b < kBlocks; ++b) {
    EncodeImaBlock(
        std::span(pcm).subspan(b * s.FramesPerBlock * channels, s.FramesPerBlock * channels),
        channels, state[0], state[1], block);
    s.Data.insert(s.Data.end(), block.begin(), block.end());
  }
  return s;
}

void BM_DecodeIma(benchmark::State& state) {
  const int channels = static_cast<int>(state.range(0));
  const ImaStream s = MakeImaStream(channels);
  std::vector<int16_t> out(s.FramesPerBlock * channels);
  const std::size_t header = 4u * channels;
  for (auto _ : state) {
    for (std::size_t pos = 0; pos < s.Data.size(); pos += s.BlockAlign) {
      const uint8_t* b = &s.Data[pos];
      TImaChannelState left{static_cast<int16_t>(b[0] | (b[1] << 8)), b[2]};
      TImaChannelState right{static_cast<int16_t>(b[4] | (b[5] << 8)), b[6]};
      const std::span<const uint8_t> codes(b + header, s.BlockAlign - header);
      if (channels == 1) {
        DecodeImaMono(left, codes, out);
      } else {
        DecodeImaStereo(left, right, codes, out);
      }
      benchmark::DoNotOptimize(out.data());
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * (s.Data.size() / s.BlockAlign) * s.FramesPerBlock *
                          channels * 2);
}
BENCHMARK(BM_DecodeIma)->Arg(1)->Arg(2)->ArgName("channels");

// FFmpeg's decoder on the same blocks, for the ratio.
void BM_DecodeImaFfmpeg(benchmark::State& state) {
  const int channels = static_cast<int>(state.range(0));
  const ImaStream s = MakeImaStream(channels);
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_ADPCM_IMA_WAV);
  trimora::media::TAvCodecPtr context(avcodec_alloc_context3(codec));
  av_channel_layout_default(&context->ch_layout, channels);
  context->sample_rate = 44100;
  context->block_align = static_cast<int>(s.BlockAlign);
  context->bits_per_coded_sample = 4;
  trimora::media::TAvPacketPtr packet(av_packet_alloc());
  trimora::media::TAvFramePtr frame(av_frame_alloc());
  if (avcodec_open2(context.get(), codec, nullptr) < 0) {
    state.SkipWithError("FFmpeg's IMA decoder did not open");
    return;
  }
  std::vector<uint8_t> padded(s.Data.size() + AV_INPUT_BUFFER_PADDING_SIZE);
  std::memcpy(padded.data(), s.Data.data(), s.Data.size());
  for (auto _ : state) {
    for (std::size_t pos = 0; pos < s.Data.size(); pos += s.BlockAlign) {
      packet->data = padded.data() + pos;
      packet->size = static_cast<int>(s.BlockAlign);
      avcodec_send_packet(context.get(), packet.get());
      while (avcodec_receive_frame(context.get(), frame.get()) == 0) av_frame_unref(frame.get());
    }
  }
  state.SetBytesProcessed(state.iterations() * (s.Data.size() / s.BlockAlign) * s.FramesPerBlock *
                          channels * 2);
}
BENCHMARK(BM_DecodeImaFfmpeg)->Arg(1)->Arg(2)->ArgName("channels");

}  // namespace
