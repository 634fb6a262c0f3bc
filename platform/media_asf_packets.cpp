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
    : Format(format),
      StreamIndex(streamIndex),
      Rate(sampleRate),
      Grid(grid > 0 ? grid : 1),
      Exact(exact),
      Pending(av_packet_alloc()) {
  if (Peek() && Pending->pts != AV_NOPTS_VALUE) FirstPts = Pending->pts;
}

AVRational TAsfPacketSource::TimeBase() const {
  return Format.streams[StreamIndex]->time_base;
}

bool TAsfPacketSource::ReadOwn(AVPacket& packet) {
  for (;;) {
    av_packet_unref(&packet);
    if (av_read_frame(&Format, &packet) < 0) return false;
    if (packet.stream_index == StreamIndex) return true;
  }
}

bool TAsfPacketSource::Peek() {
  HasPending = Pending != nullptr && ReadOwn(*Pending);
  return HasPending;
}

bool TAsfPacketSource::Next(AVPacket& packet) {
  if (HasPending) {
    HasPending = false;
    av_packet_unref(&packet);
    av_packet_move_ref(&packet, Pending.get());
    return true;
  }
  return ReadOwn(packet);
}

int64_t TAsfPacketSource::RawPosition(int64_t pts) const {
  const AVRational tb = TimeBase();
  const double samples = static_cast<double>(pts - FirstPts) * tb.num * Rate / tb.den;
  if (Grid <= 1) return std::llround(samples);
  return std::llround(samples / Grid) * Grid;
}

bool TAsfPacketSource::SeekBefore(int64_t raw) {
  if (Pending == nullptr || !SeeksExactly()) return false;
  // The decoder drops its first two frames after a flush; one more frame of distance
  // keeps the frame at the target clear of anything the flush disturbed.
  const int64_t safe = Grid > 1 ? 3 * int64_t{Grid} : 8192;
  int64_t margin = safe + (Grid > 1 ? Grid : 4096);
  const AVRational tb = TimeBase();
  for (int attempt = 0; attempt < kSeekAttempts; ++attempt, margin *= 2) {
    const int64_t want = raw - margin;
    if (want <= 0) return false;
    const int64_t pts = FirstPts + av_rescale(want, tb.den, int64_t{Rate} * tb.num);
    if (av_seek_frame(&Format, StreamIndex, pts, AVSEEK_FLAG_BACKWARD) < 0) return false;
    if (!Peek() || Pending->pts == AV_NOPTS_VALUE) return false;
    if (RawPosition(Pending->pts) <= raw - safe) return true;
  }
  return false;
}

bool TAsfPacketSource::Rewind() {
  if (Pending == nullptr) return false;
  if (av_seek_frame(&Format, StreamIndex, FirstPts, AVSEEK_FLAG_BACKWARD) < 0) return false;
  return Peek() && Pending->pts == FirstPts;
}

}  // namespace trimora::media
