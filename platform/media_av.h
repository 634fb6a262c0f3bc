// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Owners for the FFmpeg objects the media runtime uses, so that no early return leaks one.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
}

#include <memory>

namespace trimora::media {

struct TAvFormatCloser {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
// An output context, which has no input to close.
struct TAvOutputFreer {
  void operator()(AVFormatContext* context) const { avformat_free_context(context); }
};
struct TAvCodecFreer {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct TAvFrameFreer {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct TAvPacketFreer {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct TSwrFreer {
  void operator()(SwrContext* context) const { swr_free(&context); }
};
struct TAvParserCloser {
  void operator()(AVCodecParserContext* parser) const { av_parser_close(parser); }
};
struct TAvParametersFreer {
  void operator()(AVCodecParameters* parameters) const { avcodec_parameters_free(&parameters); }
};
// Neither avformat_close_input nor a failed open frees a custom I/O context: its buffer
// (which FFmpeg may have replaced) and the context are ours to free.
struct TAvioFreer {
  void operator()(AVIOContext* context) const {
    if (context == nullptr) return;
    av_freep(&context->buffer);
    avio_context_free(&context);
  }
};

using TAvFormatPtr = std::unique_ptr<AVFormatContext, TAvFormatCloser>;
using TAvOutputPtr = std::unique_ptr<AVFormatContext, TAvOutputFreer>;
using TAvParserPtr = std::unique_ptr<AVCodecParserContext, TAvParserCloser>;
using TAvCodecPtr = std::unique_ptr<AVCodecContext, TAvCodecFreer>;
using TAvFramePtr = std::unique_ptr<AVFrame, TAvFrameFreer>;
using TAvPacketPtr = std::unique_ptr<AVPacket, TAvPacketFreer>;
using TSwrPtr = std::unique_ptr<SwrContext, TSwrFreer>;
using TAvParametersPtr = std::unique_ptr<AVCodecParameters, TAvParametersFreer>;
using TAvioPtr = std::unique_ptr<AVIOContext, TAvioFreer>;

}  // namespace trimora::media
