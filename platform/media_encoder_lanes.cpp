// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media_encoder_lanes.h"

#include <algorithm>
#include <cstring>

#include "platform/media_encoder.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace trimora::media {
namespace {

TAvCodecPtr OpenEncoder(const TEncoderSetup& setup, bool globalHeader) {
  const AVCodec* codec = avcodec_find_encoder_by_name(setup.Encoder.c_str());
  if (codec == nullptr) return nullptr;
  TAvCodecPtr context(avcodec_alloc_context3(codec));
  if (!context) return nullptr;
  context->sample_rate = setup.Rate;
  context->sample_fmt = AV_SAMPLE_FMT_FLTP;
  context->bit_rate = setup.Bitrate;
  context->time_base = {1, setup.Rate};
  av_channel_layout_default(&context->ch_layout, setup.Channels);
  if (globalHeader) context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (avcodec_open2(context.get(), codec, nullptr) < 0) return nullptr;
  return context;
}

}  // namespace

TEncoderLanes::~TEncoderLanes() {
  if (FPendingDone.valid()) FPendingDone.wait();
}

std::unique_ptr<TEncoderLanes> TEncoderLanes::Make(const TEncoderSetup& setup, bool globalHeader,
                                                   int lanes) {
  auto made = std::make_unique<TEncoderLanes>();
  for (int i = 0; i < std::clamp(lanes, 1, 2); ++i) {
    TLane lane{OpenEncoder(setup, globalHeader), TAvFramePtr(av_frame_alloc()),
               TAvPacketPtr(av_packet_alloc())};
    if (!lane.Codec || !lane.Input || !lane.Packet || lane.Codec->frame_size <= 0) return nullptr;
    lane.Input->nb_samples = lane.Codec->frame_size;
    lane.Input->format = AV_SAMPLE_FMT_FLTP;
    lane.Input->sample_rate = lane.Codec->sample_rate;
    if (av_channel_layout_copy(&lane.Input->ch_layout, &lane.Codec->ch_layout) < 0 ||
        av_frame_get_buffer(lane.Input.get(), 0) < 0)
      return nullptr;
    made->FLanes.push_back(std::move(lane));
  }
  made->FFrame = made->FLanes[0].Codec->frame_size;
  made->FChannels = setup.Channels;
  made->FChunkFrames = std::max(1, setup.ChunkFrames);
  // The stream starts as if after a silent frame, as a fresh encoder does.
  made->FLast.assign(static_cast<size_t>(made->FChannels),
                     std::vector<float>(static_cast<size_t>(made->FFrame), 0.0f));
  return made;
}

void TEncoderLanes::StartChunk() {
  FCurrent.Planes.resize(static_cast<size_t>(FChannels));
  for (size_t c = 0; c < FCurrent.Planes.size(); ++c)
    FCurrent.Planes[c].assign(FLast[c].begin(), FLast[c].end());
  FCurrent.Frames = 0;
  FCurrent.Packets.clear();
}

bool TEncoderLanes::Take(AVAudioFifo& fifo, bool all, const TMux& mux) {
  for (;;) {
    const int queued = av_audio_fifo_size(&fifo);
    if (queued <= 0 || (queued < FFrame && !all)) break;
    if (FCurrent.Frames == 0) StartChunk();
    const auto at = static_cast<size_t>(FCurrent.Frames + 1) * static_cast<size_t>(FFrame);
    std::vector<void*> planes;
    for (auto& plane : FCurrent.Planes) {
      plane.resize(at + static_cast<size_t>(FFrame));
      planes.push_back(plane.data() + at);
    }
    const int got = av_audio_fifo_read(&fifo, planes.data(), FFrame);
    if (got < 0) return false;
    for (auto& plane : FCurrent.Planes)
      std::fill(plane.begin() + static_cast<std::ptrdiff_t>(at) + got,
                plane.begin() + static_cast<std::ptrdiff_t>(at) + FFrame, 0.0f);
    if (++FCurrent.Frames == FChunkFrames && !Submit(mux)) return false;
  }
  if (!all) return true;
  if (FCurrent.Frames > 0 && !Submit(mux)) return false;
  if (!FPendingDone.valid()) return true;
  return FPendingDone.get() && MuxAll(FPending, mux);
}

// The chunk in hand goes to the second lane when that is free; otherwise it is encoded
// here while the second lane finishes the chunk before it.
bool TEncoderLanes::Submit(const TMux& mux) {
  const auto last = static_cast<std::ptrdiff_t>(FCurrent.Frames) * FFrame;
  for (size_t c = 0; c < FLast.size(); ++c)
    std::copy(FCurrent.Planes[c].begin() + last, FCurrent.Planes[c].begin() + last + FFrame,
              FLast[c].begin());
  if (FLanes.size() > 1 && !FPendingDone.valid()) {
    std::swap(FPending, FCurrent);
    FCurrent.Frames = 0;
    FPendingDone = std::async(std::launch::async, [this] { return Encode(FLanes[1], FPending); });
    return true;
  }
  const bool encoded = Encode(FLanes[0], FCurrent);
  if (FPendingDone.valid() && !(FPendingDone.get() && MuxAll(FPending, mux))) return false;
  const bool muxed = encoded && MuxAll(FCurrent, mux);
  FCurrent.Frames = 0;
  return muxed;
}

bool TEncoderLanes::Encode(TLane& lane, TChunk& chunk) {
  chunk.Packets.clear();
  for (int f = 0; f <= chunk.Frames; ++f) {
    if (av_frame_make_writable(lane.Input.get()) < 0) return false;
    const auto at = static_cast<size_t>(f) * static_cast<size_t>(FFrame);
    for (size_t c = 0; c < chunk.Planes.size(); ++c)
      std::memcpy(lane.Input->data[c], chunk.Planes[c].data() + at, sizeof(float) * size_t(FFrame));
    lane.Input->pts = int64_t{f} * FFrame;  // the encoder's own; the muxer gets ours
    if (avcodec_send_frame(lane.Codec.get(), lane.Input.get()) < 0) return false;
    for (;;) {
      const int received = avcodec_receive_packet(lane.Codec.get(), lane.Packet.get());
      if (received == AVERROR(EAGAIN)) break;
      if (received < 0) return false;
      if (f == 0) {
        av_packet_unref(lane.Packet.get());  // the leading frame's: already in the stream
        continue;
      }
      chunk.Packets.emplace_back(av_packet_alloc());
      if (!chunk.Packets.back()) return false;
      av_packet_move_ref(chunk.Packets.back().get(), lane.Packet.get());
    }
  }
  return true;
}

bool TEncoderLanes::MuxAll(TChunk& chunk, const TMux& mux) {
  for (auto& packet : chunk.Packets)
    if (!mux(*packet)) return false;
  chunk.Packets.clear();
  return true;
}

}  // namespace trimora::media
