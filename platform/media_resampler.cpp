// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media_resampler.h"

#include <algorithm>

#include "platform/media_converter.h"
#include "platform/media_timeline.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

namespace trimora::media {

TMediaResampler::~TMediaResampler() {
  av_channel_layout_uninit(&FLayout);
}

bool TMediaResampler::Continues(const AVFrame& frame) const {
  return Active() && frame.sample_rate == FInRate && frame.format == FInFormat &&
         frame.ch_layout.nb_channels == FInChannels;
}

bool TMediaResampler::Start(const AVFrame& frame, int64_t raw) {
  av_channel_layout_uninit(&FLayout);
  UsableLayout(frame.ch_layout, FLayout);
  FInRate = frame.sample_rate;
  FInFormat = frame.format;
  FInChannels = frame.ch_layout.nb_channels;
  const auto format = static_cast<AVSampleFormat>(frame.format);
  SwrContext* swr = nullptr;
  const int made =
      swr_alloc_set_opts2(&swr, &FLayout, format, FRate, &FLayout, format, FInRate, 0, nullptr);
  FSwr.reset(swr);
  if (made < 0 || FInChannels <= 0 || swr_init(FSwr.get()) < 0) {
    FSwr.reset();
    return false;
  }
  FIn = FMade = 0;
  FOutRaw = raw;
  FOut.reset();
  FCapacity = 0;
  return true;
}

bool TMediaResampler::Reserve(int64_t count) {
  const int held = FOut ? FOut->nb_samples : 0;
  if (FOut && held + count <= FCapacity) return true;
  TAvFramePtr bigger(av_frame_alloc());
  if (!bigger || av_channel_layout_copy(&bigger->ch_layout, &FLayout) < 0) return false;
  bigger->format = FInFormat;
  bigger->sample_rate = FRate;
  bigger->nb_samples = static_cast<int>(held + count);
  if (av_frame_get_buffer(bigger.get(), 0) < 0) return false;
  if (held > 0)
    av_samples_copy(bigger->extended_data, FOut->extended_data, 0, 0, held, FInChannels,
                    static_cast<AVSampleFormat>(FInFormat));
  FCapacity = bigger->nb_samples;
  bigger->nb_samples = held;
  FOut = std::move(bigger);
  return true;
}

uint8_t** TMediaResampler::Planes(int offset) {
  const auto format = static_cast<AVSampleFormat>(FInFormat);
  const bool planar = av_sample_fmt_is_planar(format) != 0;
  const int step = av_get_bytes_per_sample(format) * (planar ? 1 : FInChannels);
  FPlanes.assign(planar ? static_cast<size_t>(FInChannels) : 1, nullptr);
  for (size_t p = 0; p < FPlanes.size(); ++p)
    FPlanes[p] = FOut->extended_data[p] + static_cast<ptrdiff_t>(offset) * step;
  return FPlanes.data();
}

bool TMediaResampler::Push(const AVFrame& frame, int64_t raw) {
  if (!Active() && !Start(frame, raw)) return false;
  const int room = swr_get_out_samples(FSwr.get(), frame.nb_samples);
  if (room < 0 || !Reserve(room)) return false;
  const int held = FOut->nb_samples;
  const int got = swr_convert(FSwr.get(), Planes(held), room,
                              const_cast<const uint8_t**>(frame.extended_data), frame.nb_samples);
  if (got < 0) return false;
  FOut->nb_samples = held + got;
  FIn += frame.nb_samples;
  FMade += got;
  return true;
}

bool TMediaResampler::Finish() {
  if (!Active()) return false;
  const int64_t target = ConvertedSamples(FIn, FInRate, FRate);
  const int64_t rest = target - FMade;
  if (rest > 0 && Reserve(rest)) {
    // What libswresample still holds, then silence for anything its delay leaves short.
    const int held = FOut->nb_samples;
    const int got =
        std::max(0, swr_convert(FSwr.get(), Planes(held), static_cast<int>(rest), nullptr, 0));
    av_samples_set_silence(Planes(held), got, static_cast<int>(rest) - got, FInChannels,
                           static_cast<AVSampleFormat>(FInFormat));
    FOut->nb_samples = held + static_cast<int>(rest);
  } else if (rest < 0 && FOut) {
    FOut->nb_samples = static_cast<int>(std::max<int64_t>(0, FOut->nb_samples + rest));
  }
  FSwr.reset();
  return true;
}

bool TMediaResampler::Pull(AVFrame& out, int64_t& raw) {
  if (!FOut || FOut->nb_samples == 0) return false;
  av_frame_unref(&out);
  raw = FOutRaw;
  FOutRaw += FOut->nb_samples;
  av_frame_move_ref(&out, FOut.get());
  FOut.reset();
  FCapacity = 0;
  return true;
}

void TMediaResampler::Reset() {
  FSwr.reset();
  FOut.reset();
  FCapacity = 0;
  FIn = FMade = 0;
}

}  // namespace trimora::media
