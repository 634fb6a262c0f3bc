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
    : FMakeCodec(std::move(makeCodec)),
      FCodec(FMakeCodec()),
      FSource(std::move(source)),
      FLine(timeline),
      FRate(sampleRate),
      FConverter(std::make_unique<TMediaConverter>(channels, bitsPerSample)),
      FResampler(sampleRate),
      FPacket(av_packet_alloc()),
      FFrame(av_frame_alloc()),
      FDecoded(av_frame_alloc()) {}

bool TMediaDecoder::Hold(int64_t raw) {
  FFrameRaw = raw;
  FNextRaw = FFrameRaw + FFrame->nb_samples;
  FHeld = true;
  return true;
}

// Takes the frame the codec just gave: into Frame when it is at the stream's rate, into the
// resampler when not. A stretch of another format ends first, the frame kept until the
// stretch's last samples have gone out.
bool TMediaDecoder::Accept() {
  AVFrame& decoded = *FDecoded;
  const bool stamped = decoded.pts != AV_NOPTS_VALUE;
  const int64_t raw = stamped ? FSource->RawPosition(decoded.pts) : FNextRaw;
  if (const int rate = stamped ? FSource->PacketRate(decoded.pts) : 0; rate > 0)
    decoded.sample_rate = rate;
  const bool ownRate = decoded.sample_rate == FRate || decoded.sample_rate <= 0;
  if (FResampler.Active() && (ownRate || !FResampler.Continues(decoded))) {
    FResampler.Finish();
    FPending = true;
    return false;
  }
  if (ownRate) {
    av_frame_move_ref(FFrame.get(), &decoded);
    return Hold(raw);
  }
  // A stretch that cannot be converted is left out, as a damaged frame is.
  if (!FResampler.Push(decoded, raw)) FResampler.Reset();
  av_frame_unref(&decoded);
  return false;
}

bool TMediaDecoder::Decode() {
  if (FHeld) av_frame_unref(FFrame.get());
  FHeld = false;
  int errors = 0;
  while (!FEnded) {
    int64_t raw = 0;
    if (FResampler.Pull(*FFrame, raw)) return Hold(raw);
    if (FPending) {
      FPending = false;
      if (Accept()) return true;
      continue;
    }
    const int received = avcodec_receive_frame(FCodec.get(), FDecoded.get());
    if (received == 0) {
      if (Accept()) return true;
      continue;
    }
    if (received == AVERROR_EOF) {
      if (FResampler.Finish()) continue;
      break;
    }
    if (received != AVERROR(EAGAIN)) {
      if (++errors > kMaxErrorsInRow) break;
      continue;
    }
    if (FDraining) break;
    if (FSource->Next(*FPacket)) {
      const int sent = avcodec_send_packet(FCodec.get(), FPacket.get());
      av_packet_unref(FPacket.get());
      if (sent < 0 && ++errors > kMaxErrorsInRow) break;
    } else {
      avcodec_send_packet(FCodec.get(), nullptr);
      FDraining = true;
    }
  }
  FEnded = true;
  return false;
}

void TMediaDecoder::Prime() {
  if (FPrimed) return;
  FPrimed = true;
  // The decoder's own start-up drop shows as the raw position of its first frame.
  if (Decode()) {
    FLine.Leading += FFrameRaw;
    FLine.DiscardBegin += FFrameRaw;
    FLine.DiscardEnd += FFrameRaw;
    TakePiece();
  }
}

// Works out which samples of the held frame a straight decode keeps and the range wants.
void TMediaDecoder::TakePiece() {
  int64_t lo = std::max(FFrameRaw, FLine.Leading);
  int64_t hi = FFrameRaw + FFrame->nb_samples;
  const int64_t windowBegin = std::max(FLine.DiscardBegin, FLine.Leading);
  if (FLine.DiscardEnd > windowBegin && lo < FLine.DiscardEnd && hi > windowBegin) {
    // A frame ends where the discarded stretch ends, so what is kept lies before it.
    if (lo >= windowBegin)
      lo = hi;
    else
      hi = windowBegin;
  }
  lo = std::max(lo, FLine.ToRaw(FWant));
  if (FEnd >= 0) hi = std::min(hi, FLine.ToRaw(FEnd));
  if (hi <= lo) {
    FPieceFirst = FPieceCount = 0;
    return;
  }
  FPieceFirst = static_cast<int>(lo - FFrameRaw);
  FPieceCount = static_cast<int>(hi - lo);
}

TMediaResult TMediaDecoder::Next(TMediaSample& sample) {
  if (!Valid()) return TMediaResult::Fail;
  Prime();
  for (;;) {
    if (FHeld && FPieceCount > 0) {
      const int64_t index = FLine.ToIndex(FFrameRaw + FPieceFirst);
      const bool converted = FConverter->Convert(*FFrame, FPieceFirst, FPieceCount, sample.Bytes);
      sample.Time = av_rescale(index, 10000000, FRate);
      sample.Duration = av_rescale(FPieceCount, 10000000, FRate);
      FPieceCount = 0;
      return converted ? TMediaResult::Ok : TMediaResult::Fail;
    }
    if (FHeld && FEnd >= 0 && FFrameRaw + FFrame->nb_samples >= FLine.ToRaw(FEnd))
      return TMediaResult::NoMoreSamples;
    if (!Decode()) return TMediaResult::NoMoreSamples;
    TakePiece();
  }
}

TMediaResult TMediaDecoder::Seek(int64_t index, int64_t end) {
  if (!Valid()) return TMediaResult::Fail;
  Prime();
  FWant = std::max<int64_t>(0, index);
  FEnd = end;
  const int64_t raw = FLine.ToRaw(FWant);
  const int64_t current = FHeld ? FFrameRaw : FNextRaw;
  const bool ahead = !FEnded && raw >= current && raw >= FExactFrom;
  if (ahead && (!FSource->SeeksExactly() || raw - current <= kDecodeOnLimit * FRate)) {
    if (FHeld) TakePiece();  // the held frame may already hold the target
    return TMediaResult::Ok;
  }
  if (FHeld) av_frame_unref(FFrame.get());
  FHeld = false;
  FEnded = false;
  FDraining = false;
  FPending = false;
  FResampler.Reset();
  if (FSource->SeeksExactly() && FSource->SeekBefore(raw)) {
    avcodec_flush_buffers(FCodec.get());
    FExactFrom = raw;
    return TMediaResult::Ok;
  }
  // From the start with a fresh decoder, exactly as the straight decode began.
  FExactFrom = 0;
  if (!FSource->Rewind()) {
    FEnded = true;
    return TMediaResult::Fail;
  }
  FCodec = FMakeCodec();
  FNextRaw = 0;
  return FCodec ? TMediaResult::Ok : TMediaResult::Fail;
}

}  // namespace trimora::media

namespace trimora::media {

void TMediaDecoder::SetFormat(int channels, int bitsPerSample) {
  FConverter = std::make_unique<TMediaConverter>(channels, bitsPerSample);
}

}  // namespace trimora::media
