// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media_packet_source.h"

namespace trimora::media {

// The packets of one audio stream of an ASF file, through FFmpeg's demuxer. ASF stamps its
// packets in whole milliseconds, so a stamp alone cannot place a sample; but a decoder's
// packets start on multiples of its frame length (`grid` samples), and snapping a stamp to
// the nearest multiple gives the exact position. With a grid of 1 (a codec whose frame
// length we do not know) positions are good to a millisecond, and only a decode from the
// start reaches a sample exactly; the same holds for a codec whose output depends on the
// whole stream before it (`exact` false).
class TAsfPacketSource final : public TMediaPacketSource {
 public:
  TAsfPacketSource(AVFormatContext& format, int streamIndex, int sampleRate, int grid, bool exact);

  AVRational TimeBase() const override;
  bool Next(AVPacket& packet) override;
  int64_t RawPosition(int64_t pts) const override;
  bool SeeksExactly() const override { return FExact && FGrid > 1; }
  bool SeekBefore(int64_t raw) override;
  bool Rewind() override;

 private:
  bool ReadOwn(AVPacket& packet);
  bool Peek();

  AVFormatContext& FFormat;
  int FStreamIndex;
  int FRate;
  int FGrid;
  bool FExact;
  int64_t FFirstPts = 0;
  TAvPacketPtr FPending;
  bool FHasPending = false;
};

}  // namespace trimora::media
