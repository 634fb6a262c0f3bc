// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media_encoder.h"

#include <cstdio>

#include "platform/media_asf_description.h"
#include "platform/media_avio.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace trimora::media {
namespace {

constexpr int kAvioBufferSize = 64 * 1024;
// The encoder's frames that its own decoder drops at the start of a stream.
constexpr int64_t kDecoderDroppedFrames = 2;

}  // namespace

int TMediaEncoder::WritePacket(void* opaque, uint8_t* buffer, int size) noexcept try {
  auto* self = static_cast<TMediaEncoder*>(opaque);
  // The muxer writes the header at the start, and once more there when it knows the sizes.
  if (self->FPosition == 0 && size > 0)
    MoveDescriptionIntoContentDescription(std::span(buffer, static_cast<size_t>(size)));
  uint32_t written = 0;
  if (size < 0 || !Succeeded(self->FStream->Write(buffer, static_cast<uint32_t>(size), written)) ||
      written != static_cast<uint32_t>(size)) {
    self->FWriteFailed = true;
    return AVERROR(EIO);
  }
  self->FPosition += size;
  return size;
} catch (...) {
  static_cast<TMediaEncoder*>(opaque)->FWriteFailed = true;
  return AVERROR(EIO);
}

int64_t TMediaEncoder::SeekPacket(void* opaque, int64_t offset, int whence) noexcept try {
  auto* self = static_cast<TMediaEncoder*>(opaque);
  if (whence & AVSEEK_SIZE) return AVERROR(ENOSYS);
  TMediaSeekOrigin origin = TMediaSeekOrigin::Begin;
  if (!MediaSeekOrigin(whence, origin)) return AVERROR(EINVAL);
  uint64_t position = 0;
  if (!Succeeded(self->FStream->Seek(offset, origin, position))) return AVERROR(EIO);
  self->FPosition = static_cast<int64_t>(position);
  return static_cast<int64_t>(position);
} catch (...) {
  return AVERROR(EIO);
}

TMediaEncoder::~TMediaEncoder() = default;

std::unique_ptr<TMediaEncoder> TMediaEncoder::Start(const TEncoderSetup& setup,
                                                    IMediaWriteStream& stream) {
  auto encoder = std::make_unique<TMediaEncoder>();
  encoder->FStream = &stream;
  AVFormatContext* output = nullptr;
  if (avformat_alloc_output_context2(&output, nullptr, "asf", nullptr) < 0) return nullptr;
  encoder->FOutput.reset(output);

  auto* buffer = static_cast<unsigned char*>(av_malloc(kAvioBufferSize));
  if (buffer == nullptr) return nullptr;
  const bool live = !stream.Seekable();
  encoder->FAvio.reset(avio_alloc_context(buffer, kAvioBufferSize, 1, encoder.get(), nullptr,
                                          WritePacket, live ? nullptr : SeekPacket));
  if (!encoder->FAvio) {
    av_free(buffer);
    return nullptr;
  }
  output->pb = encoder->FAvio.get();
  output->flags |= AVFMT_FLAG_CUSTOM_IO;
  // Live listeners get each packet as it is made, not when the I/O buffer fills.
  if (live) output->flush_packets = 1;
  // The stamps are chosen so that the first kept sample plays at 0; the leading frames
  // lie before it, inside the file's preroll.
  output->avoid_negative_ts = AVFMT_AVOID_NEG_TS_DISABLED;

  encoder->FCodec =
      TEncoderLanes::Make(setup, output->oformat->flags & AVFMT_GLOBALHEADER, setup.Lanes);
  if (!encoder->FCodec) return nullptr;
  encoder->FFrameSize = encoder->FCodec->FrameSize();
  AVStream* avStream = avformat_new_stream(output, nullptr);
  if (avStream == nullptr ||
      avcodec_parameters_from_context(avStream->codecpar, &encoder->FCodec->Codec()) < 0)
    return nullptr;
  avStream->time_base = {1, setup.Rate};
  for (const auto& [key, value] : setup.Metadata)
    av_dict_set(&output->metadata, key.c_str(), value.c_str(), 0);

  encoder->FPcm = TMediaPcmInput::Make(setup.Input, setup.Rate, setup.Channels);
  encoder->FHeld.reset(av_packet_alloc());
  if (!encoder->FPcm || !encoder->FHeld) return nullptr;
  if (avformat_write_header(output, nullptr) < 0 || encoder->FWriteFailed) return nullptr;
  if (live) avio_flush(encoder->FAvio.get());

  // The decoder drops two frames and the encoder delays by its initial padding (one
  // frame): the silence in front makes up the difference.
  const int64_t lead =
      kDecoderDroppedFrames * encoder->FFrameSize - encoder->FCodec->Codec().initial_padding;
  if (!encoder->FPcm->AddSilence(static_cast<int>(lead))) return nullptr;
  return encoder;
}

bool TMediaEncoder::Write(const uint8_t* bytes, uint32_t size) {
  if (size == 0) return !FWriteFailed;
  return FPcm->Add(bytes, size) &&
         FCodec->Take(FPcm->Queue(), false, [this](AVPacket& p) { return Mux(p); }) &&
         !FWriteFailed;
}

// Packet j holds the audio a decoder keeps as frame j - 2; it is stamped with that time.
// It is held back until the next arrives, so the last one's duration can end the file
// exactly where the written audio ends.
bool TMediaEncoder::Mux(AVPacket& packet) {
  if (FHasHeld && !PutHeld(FFrameSize)) return false;
  av_packet_unref(FHeld.get());
  av_packet_move_ref(FHeld.get(), &packet);
  FHeld->pts = FHeld->dts = (FPackets - kDecoderDroppedFrames) * FFrameSize;
  FHeld->stream_index = 0;
  ++FPackets;
  FHasHeld = true;
  return true;
}

bool TMediaEncoder::PutHeld(int64_t duration) {
  FHasHeld = false;
  FHeld->duration = duration > 0 ? duration : 1;
  av_packet_rescale_ts(FHeld.get(), {1, FCodec->Codec().sample_rate},
                       FOutput->streams[0]->time_base);
  return av_write_frame(FOutput.get(), FHeld.get()) >= 0;
}

bool TMediaEncoder::Finish() {
  // The encoders hold nothing back: every frame given has given its packet.
  if (!FPcm->Flush() || !FCodec->Take(FPcm->Queue(), true, [this](AVPacket& p) { return Mux(p); }))
    return false;
  if (FHasHeld && !PutHeld(FPcm->Converted() - FHeld->pts)) return false;
  if (av_write_trailer(FOutput.get()) < 0) return false;
  avio_flush(FAvio.get());
  return !FWriteFailed && FAvio->error == 0;
}

}  // namespace trimora::media
