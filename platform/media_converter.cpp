// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media_converter.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace trimora::media {
namespace {

AVSampleFormat OutputFormat(int bits) {
  if (bits == 8) return AV_SAMPLE_FMT_U8;
  if (bits == 24) return AV_SAMPLE_FMT_S32;
  return AV_SAMPLE_FMT_S16;
}

}  // namespace

// The usual layout for the channel count is what the files of an unspecified one mean.
void UsableLayout(const AVChannelLayout& given, AVChannelLayout& layout) {
  if (given.order == AV_CHANNEL_ORDER_UNSPEC || av_channel_layout_check(&given) == 0)
    av_channel_layout_default(&layout, given.nb_channels);
  else
    av_channel_layout_copy(&layout, &given);
}

TMediaConverter::TMediaConverter(int channels, int bitsPerSample)
    : FChannels(channels), FBits(bitsPerSample) {}

TMediaConverter::~TMediaConverter() {
  av_channel_layout_uninit(&FInLayout);
}

bool TMediaConverter::Prepare(const AVFrame& frame) {
  if (FSwr && frame.format == FInFormat && frame.sample_rate == FInRate &&
      av_channel_layout_compare(&frame.ch_layout, &FInLayout) == 0)
    return true;
  FSwr.reset();
  av_channel_layout_uninit(&FInLayout);
  if (av_channel_layout_copy(&FInLayout, &frame.ch_layout) < 0) return false;
  FInFormat = frame.format;
  FInRate = frame.sample_rate;
  if (frame.ch_layout.nb_channels <= 0 || frame.sample_rate <= 0) return false;

  AVChannelLayout in{};
  AVChannelLayout out{};
  UsableLayout(frame.ch_layout, in);
  if (FChannels == in.nb_channels)
    av_channel_layout_copy(&out, &in);
  else
    av_channel_layout_default(&out, FChannels);
  SwrContext* swr = nullptr;
  const int made =
      swr_alloc_set_opts2(&swr, &out, OutputFormat(FBits), frame.sample_rate, &in,
                          static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0, nullptr);
  av_channel_layout_uninit(&in);
  av_channel_layout_uninit(&out);
  FSwr.reset(swr);
  if (made < 0 || swr_init(FSwr.get()) < 0) {
    FSwr.reset();
    return false;
  }
  return true;
}

bool TMediaConverter::Convert(const AVFrame& frame, int first, int count,
                              std::vector<uint8_t>& out) {
  if (count <= 0 || first < 0 || first + count > frame.nb_samples || !Prepare(frame)) return false;
  const auto format = static_cast<AVSampleFormat>(frame.format);
  const int sampleBytes = av_get_bytes_per_sample(format);
  const int inChannels = frame.ch_layout.nb_channels;
  const bool planar = av_sample_fmt_is_planar(format) != 0;
  FPlanes.assign(planar ? static_cast<size_t>(inChannels) : 1, nullptr);
  for (size_t p = 0; p < FPlanes.size(); ++p)
    FPlanes[p] = frame.extended_data[p] +
                 static_cast<ptrdiff_t>(first) * sampleBytes * (planar ? 1 : inChannels);

  const size_t samples = static_cast<size_t>(count) * static_cast<size_t>(FChannels);
  std::vector<uint8_t>& target = FBits == 24 ? FStaging : out;
  target.resize(samples * static_cast<size_t>(FBits == 24 ? 4 : FBits / 8));
  uint8_t* dest = target.data();
  if (swr_convert(FSwr.get(), &dest, count, FPlanes.data(), count) != count) return false;
  if (FBits == 24) {
    // Little-endian 32-bit samples keep their top three bytes.
    out.resize(samples * 3);
    for (size_t i = 0; i < samples; ++i)
      for (size_t b = 0; b < 3; ++b) out[i * 3 + b] = FStaging[i * 4 + 1 + b];
  }
  return true;
}

}  // namespace trimora::media
