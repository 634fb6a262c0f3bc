// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media_asf_packets.h"

#include <cmath>

namespace trimora::media {
namespace {

// How many times a seek may move further back when the demuxer lands too late.
constexpr int kSeekAttempts = 6;

}  // namespace

TAsfPacketSource::TAsfPacketSource(AVFormatContext& format, int streamIndex, int sampleRate,
                                   int grid, bool exact)
    : FFormat(format),
      FStreamIndex(streamIndex),
      FRate(sampleRate),
      FGrid(grid > 0 ? grid : 1),
      FExact(exact),
      FPending(av_packet_alloc()) {
  if (Peek() && FPending->pts != AV_NOPTS_VALUE) FFirstPts = FPending->pts;
}

AVRational TAsfPacketSource::TimeBase() const {
  return FFormat.streams[FStreamIndex]->time_base;
}

bool TAsfPacketSource::ReadOwn(AVPacket& packet) {
  for (;;) {
    av_packet_unref(&packet);
    if (av_read_frame(&FFormat, &packet) < 0) return false;
    if (packet.stream_index == FStreamIndex) return true;
  }
}

bool TAsfPacketSource::Peek() {
  FHasPending = FPending != nullptr && ReadOwn(*FPending);
  return FHasPending;
}

bool TAsfPacketSource::Next(AVPacket& packet) {
  if (FHasPending) {
    FHasPending = false;
    av_packet_unref(&packet);
    av_packet_move_ref(&packet, FPending.get());
    return true;
  }
  return ReadOwn(packet);
}

int64_t TAsfPacketSource::RawPosition(int64_t pts) const {
  const AVRational tb = TimeBase();
  const double samples = static_cast<double>(pts - FFirstPts) * tb.num * FRate / tb.den;
  if (FGrid <= 1) return std::llround(samples);
  return std::llround(samples / FGrid) * FGrid;
}

bool TAsfPacketSource::SeekBefore(int64_t raw) {
  if (FPending == nullptr || !SeeksExactly()) return false;
  // The decoder drops its first two frames after a flush; one more frame of distance
  // keeps the frame at the target clear of anything the flush disturbed.
  const int64_t safe = FGrid > 1 ? 3 * int64_t{FGrid} : 8192;
  int64_t margin = safe + (FGrid > 1 ? FGrid : 4096);
  const AVRational tb = TimeBase();
  for (int attempt = 0; attempt < kSeekAttempts; ++attempt, margin *= 2) {
    const int64_t want = raw - margin;
    if (want <= 0) return false;
    const int64_t pts = FFirstPts + av_rescale(want, tb.den, int64_t{FRate} * tb.num);
    if (av_seek_frame(&FFormat, FStreamIndex, pts, AVSEEK_FLAG_BACKWARD) < 0) return false;
    if (!Peek() || FPending->pts == AV_NOPTS_VALUE) return false;
    if (RawPosition(FPending->pts) <= raw - safe) return true;
  }
  return false;
}

bool TAsfPacketSource::Rewind() {
  if (FPending == nullptr) return false;
  if (av_seek_frame(&FFormat, FStreamIndex, FFirstPts, AVSEEK_FLAG_BACKWARD) < 0) return false;
  return Peek() && FPending->pts == FFirstPts;
}

}  // namespace trimora::media
