// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media_decoder.h"

#include <algorithm>

namespace trimora::media {
namespace {

// Consecutive decoding errors after which the stream counts as ended. Every error uses up
// a packet, so this only bounds the work on a hopeless stream.
constexpr int kMaxErrorsInRow = 1 << 16;
// Seconds of audio ahead that are decoded through rather than sought.
constexpr int64_t kDecodeOnLimit = 1;

}  // namespace

TMediaDecoder::TMediaDecoder(TCodecMaker makeCodec, std::unique_ptr<TMediaPacketSource> source,
                             TMediaTimeline timeline, int sampleRate, int channels,
                             int bitsPerSample)
    : MakeCodec(std::move(makeCodec)),
      Codec(MakeCodec()),
      Source(std::move(source)),
      Line(timeline),
      Rate(sampleRate),
      Converter(std::make_unique<TMediaConverter>(channels, bitsPerSample)),
      Packet(av_packet_alloc()),
      Frame(av_frame_alloc()) {}

bool TMediaDecoder::Decode() {
  if (Held) av_frame_unref(Frame.get());
  Held = false;
  int errors = 0;
  while (!Ended) {
    const int received = avcodec_receive_frame(Codec.get(), Frame.get());
    if (received == 0) {
      FrameRaw = Frame->pts != AV_NOPTS_VALUE ? Source->RawPosition(Frame->pts) : NextRaw;
      NextRaw = FrameRaw + Frame->nb_samples;
      Held = true;
      return true;
    }
    if (received == AVERROR_EOF) break;
    if (received != AVERROR(EAGAIN)) {
      if (++errors > kMaxErrorsInRow) break;
      continue;
    }
    if (Draining) break;
    if (Source->Next(*Packet)) {
      const int sent = avcodec_send_packet(Codec.get(), Packet.get());
      av_packet_unref(Packet.get());
      if (sent < 0 && ++errors > kMaxErrorsInRow) break;
    } else {
      avcodec_send_packet(Codec.get(), nullptr);
      Draining = true;
    }
  }
  Ended = true;
  return false;
}

void TMediaDecoder::Prime() {
  if (Primed) return;
  Primed = true;
  // The decoder's own start-up drop shows as the raw position of its first frame.
  if (Decode()) {
    Line.Leading += FrameRaw;
    Line.DiscardBegin += FrameRaw;
    Line.DiscardEnd += FrameRaw;
    TakePiece();
  }
}

// Works out which samples of the held frame a straight decode keeps and the range wants.
void TMediaDecoder::TakePiece() {
  int64_t lo = std::max(FrameRaw, Line.Leading);
  int64_t hi = FrameRaw + Frame->nb_samples;
  const int64_t windowBegin = std::max(Line.DiscardBegin, Line.Leading);
  if (Line.DiscardEnd > windowBegin && lo < Line.DiscardEnd && hi > windowBegin) {
    // A frame ends where the discarded stretch ends, so what is kept lies before it.
    if (lo >= windowBegin)
      lo = hi;
    else
      hi = windowBegin;
  }
  lo = std::max(lo, Line.ToRaw(Want));
  if (End >= 0) hi = std::min(hi, Line.ToRaw(End));
  if (hi <= lo) {
    PieceFirst = PieceCount = 0;
    return;
  }
  PieceFirst = static_cast<int>(lo - FrameRaw);
  PieceCount = static_cast<int>(hi - lo);
}

TMediaResult TMediaDecoder::Next(TMediaSample& sample) {
  if (!Valid()) return TMediaResult::Fail;
  Prime();
  for (;;) {
    if (Held && PieceCount > 0) {
      const int64_t index = Line.ToIndex(FrameRaw + PieceFirst);
      const bool converted = Converter->Convert(*Frame, PieceFirst, PieceCount, sample.Bytes);
      sample.Time = av_rescale(index, 10000000, Rate);
      sample.Duration = av_rescale(PieceCount, 10000000, Rate);
      PieceCount = 0;
      return converted ? TMediaResult::Ok : TMediaResult::Fail;
    }
    if (Held && End >= 0 && FrameRaw + Frame->nb_samples >= Line.ToRaw(End))
      return TMediaResult::NoMoreSamples;
    if (!Decode()) return TMediaResult::NoMoreSamples;
    TakePiece();
  }
}

TMediaResult TMediaDecoder::Seek(int64_t index, int64_t end) {
  if (!Valid()) return TMediaResult::Fail;
  Prime();
  Want = std::max<int64_t>(0, index);
  End = end;
  const int64_t raw = Line.ToRaw(Want);
  const int64_t current = Held ? FrameRaw : NextRaw;
  const bool ahead = !Ended && raw >= current && raw >= ExactFrom;
  if (ahead && (!Source->SeeksExactly() || raw - current <= kDecodeOnLimit * Rate)) {
    if (Held) TakePiece();  // the held frame may already hold the target
    return TMediaResult::Ok;
  }
  if (Held) av_frame_unref(Frame.get());
  Held = false;
  Ended = false;
  Draining = false;
  if (Source->SeeksExactly() && Source->SeekBefore(raw)) {
    avcodec_flush_buffers(Codec.get());
    ExactFrom = raw;
    return TMediaResult::Ok;
  }
  // From the start with a fresh decoder, exactly as the straight decode began.
  ExactFrom = 0;
  if (!Source->Rewind()) {
    Ended = true;
    return TMediaResult::Fail;
  }
  Codec = MakeCodec();
  NextRaw = 0;
  return Codec ? TMediaResult::Ok : TMediaResult::Fail;
}

}  // namespace trimora::media

namespace trimora::media {

void TMediaDecoder::SetFormat(int channels, int bitsPerSample) {
  Converter = std::make_unique<TMediaConverter>(channels, bitsPerSample);
}

}  // namespace trimora::media
