// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/coded/coded_out.h"

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <vector>

#include "pipeline/au_exception.h"
#include "platform/media_av.h"
#include "platform/media_avio.h"

using namespace trimora::media;

namespace {

constexpr int kIoBufferBytes = 1 << 16;
constexpr uint32_t kReadBytes = 1 << 16;

struct TFifoFreer {
  void operator()(AVAudioFifo* fifo) const { av_audio_fifo_free(fifo); }
};

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

EAuException EncodeError(const std::string& reason) {
  return EAuException("Error writing down the file: " + reason);
}

// The output stream as FFmpeg's I/O: the reason of a failed write is kept for the message.
// Each I/O keeps its own position, so that the MP4 muxer can read its data back through a
// second one while it moves the moov box before it.
struct TStreamIo {
  TAuStream* Stream = nullptr;
  std::string Error;
  int64_t Position = 0;

  bool At() {
    if (Stream->Seek(Position, soBeginning) == Position) return true;
    Error = "the file could not be positioned";
    return false;
  }
  static int Write(void* opaque, uint8_t* data, int size) {
    auto& io = *static_cast<TStreamIo*>(opaque);
    try {
      if (!io.At()) return AVERROR(EIO);
      const int64_t written = io.Stream->Write(data, size);
      io.Position += std::max<int64_t>(written, 0);
      if (written == size) return size;
      io.Error = "the file took only part of the data";
    } catch (const EAuException& e) {
      io.Error = e.what();
    }
    return AVERROR(EIO);
  }
  static int Read(void* opaque, uint8_t* data, int size) {
    auto& io = *static_cast<TStreamIo*>(opaque);
    try {
      if (!io.At()) return AVERROR(EIO);
      const int64_t got = io.Stream->Read(data, size);
      if (got <= 0) return AVERROR_EOF;
      io.Position += got;
      return static_cast<int>(got);
    } catch (const EAuException& e) {
      io.Error = e.what();
      return AVERROR(EIO);
    }
  }
  static int64_t Seek(void* opaque, int64_t offset, int whence) {
    auto& io = *static_cast<TStreamIo*>(opaque);
    try {
      switch (whence & ~AVSEEK_FORCE) {
        case SEEK_SET:
          return io.Position = offset;
        case SEEK_CUR:
          return io.Position += offset;
        case SEEK_END:
          return io.Position = io.Stream->Size() + offset;
        case AVSEEK_SIZE:
          return io.Stream->Size();
        default:
          return AVERROR(EINVAL);
      }
    } catch (const EAuException& e) {
      io.Error = e.what();
      return AVERROR(EIO);
    }
  }
};

// The MP4 muxer's second pass (the moov moved first) reads back what it wrote: the output
// stream once more, through an I/O of its own.
struct TReadBack {
  TStreamIo Io;
  TAvioPtr Avio;
};

int OpenReadBack(AVFormatContext* muxer, AVIOContext** pb, const char*, int flags, AVDictionary**) {
  auto& readBack = *static_cast<TReadBack*>(muxer->opaque);
  if ((flags & AVIO_FLAG_WRITE) != 0 || readBack.Avio) return AVERROR(EINVAL);
  auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferBytes));
  readBack.Avio.reset(avio_alloc_context(buffer, kIoBufferBytes, 0, &readBack.Io, &TStreamIo::Read,
                                         nullptr, &TStreamIo::Seek));
  if (!readBack.Avio) {
    av_free(buffer);
    return AVERROR(ENOMEM);
  }
  *pb = readBack.Avio.get();
  return 0;
}

int CloseReadBack(AVFormatContext* muxer, AVIOContext* pb) {
  auto& readBack = *static_cast<TReadBack*>(muxer->opaque);
  if (pb == readBack.Avio.get()) readBack.Avio.reset();
  return 0;
}

}  // namespace

struct TCodedOut::TRunState {
  bool ReadStarted = false;
  bool CreatedFile = false;
  bool Completed = false;
  bool HeaderWritten = false;
  TStreamIo Io;
  TAvioPtr Avio;
  TReadBack ReadBack;  // declared before Muxer: the muxer may still hold its I/O
  TAvOutputPtr Muxer;
  AVStream* Out = nullptr;
  TAvCodecPtr Codec;
  std::unique_ptr<SwrContext, TSwrFreer> Convert;
  std::unique_ptr<AVAudioFifo, TFifoFreer> Fifo;
  TAvFramePtr Frame{av_frame_alloc()};
  TAvPacketPtr Packet{av_packet_alloc()};
  int InputBits = 16;
  int Channels = 0;
  int InputRate = 0;
  bool Direct = false;  // the input's samples go to the encoder unconverted
  int64_t NextPts = 0;
  std::vector<uint8_t> Read;
  std::vector<int32_t> Wide;  // 8- and 24-bit input widened to 32 bits for the converter
};

TCodedOut::TCodedOut() = default;

TCodedOut::~TCodedOut() {
  Shutdown();
}

int TCodedOut::WrittenRate(int inputRate) const {
  if (Format.Encoder != "libopus") return inputRate;
  for (const int rate : {8000, 12000, 16000, 24000, 48000})
    if (rate == inputRate) return inputRate;
  return 48000;
}

void TCodedOut::PrepareOutput() {
  if (!StreamAssigned && WideFileName.empty()) throw EAuException("File name is not assigned.");
  QuietFfmpeg();
  auto run = std::make_unique<TRunState>();
  // The source is opened before the output is created: it holds its file against writers,
  // so an output named like the source is refused instead of truncating it.
  Input()->StartRead();
  run->ReadStarted = true;
  FRun = std::move(run);
  TRunState& state = *FRun;
  try {
    state.InputBits = Input()->BitsPerSample();
    state.Channels = Input()->Channels();
    state.InputRate = Input()->SampleRate();
    if (state.Channels < 1 || state.Channels > 8 || state.InputRate <= 0 ||
        (state.InputBits != 8 && state.InputBits != 16 && state.InputBits != 24 &&
         state.InputBits != 32))
      throw EAuException("This input cannot be encoded: " + std::to_string(state.Channels) +
                         " channels of " + std::to_string(state.InputBits) + "-bit samples");
    const AVCodec* encoder = avcodec_find_encoder_by_name(Format.Encoder.c_str());
    if (encoder == nullptr) throw EAuException("No encoder " + Format.Encoder + " is installed");
    state.Codec.reset(avcodec_alloc_context3(encoder));
    AVCodecContext& codec = *state.Codec;
    codec.sample_rate = WrittenRate(state.InputRate);
    av_channel_layout_default(&codec.ch_layout, state.Channels);
    codec.time_base = {1, codec.sample_rate};
    AVDictionary* options = nullptr;
    if (Format.Encoder == "flac") {
      codec.sample_fmt = Format.BitsPerSample <= 16 ? AV_SAMPLE_FMT_S16 : AV_SAMPLE_FMT_S32;
      codec.bits_per_raw_sample = std::clamp(Format.BitsPerSample, 16, 32);
      codec.compression_level = Format.CompressionLevel;
      if (codec.bits_per_raw_sample > 24) codec.strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL;
    } else if (Format.Encoder == "alac") {
      codec.sample_fmt = Format.BitsPerSample <= 16 ? AV_SAMPLE_FMT_S16P : AV_SAMPLE_FMT_S32P;
      codec.bits_per_raw_sample = Format.BitsPerSample <= 16 ? 16 : 24;
    } else if (Format.Encoder == "aac") {
      codec.sample_fmt = AV_SAMPLE_FMT_FLTP;
      if (Format.BitRate > 0) codec.bit_rate = Format.BitRate;
    } else if (Format.Encoder == "libvorbis") {
      codec.sample_fmt = AV_SAMPLE_FMT_FLTP;
      codec.flags |= AV_CODEC_FLAG_QSCALE;
      codec.global_quality = static_cast<int>(Format.Quality * FF_QP2LAMBDA);
    } else {
      codec.sample_fmt = AV_SAMPLE_FMT_FLT;
      if (Format.BitRate > 0) codec.bit_rate = Format.BitRate;
      if (Format.MappingFamily >= 0)
        av_dict_set_int(&options, "mapping_family", Format.MappingFamily, 0);
    }
    const int opened = avcodec_open2(&codec, encoder, &options);
    av_dict_free(&options);
    if (opened < 0) throw EncodeError("the encoder refused its settings (" + AvError(opened) + ")");

    SwrContext* convert = nullptr;
    AVChannelLayout layout{};
    av_channel_layout_default(&layout, state.Channels);
    const AVSampleFormat from = state.InputBits == 16 ? AV_SAMPLE_FMT_S16 : AV_SAMPLE_FMT_S32;
    if (swr_alloc_set_opts2(&convert, &codec.ch_layout, codec.sample_fmt, codec.sample_rate,
                            &layout, from, state.InputRate, 0, nullptr) < 0 ||
        swr_init(convert) < 0) {
      swr_free(&convert);
      throw EncodeError("no sample converter");
    }
    state.Convert.reset(convert);
    state.Direct = codec.sample_fmt == from && codec.sample_rate == state.InputRate;
    state.Fifo.reset(av_audio_fifo_alloc(codec.sample_fmt, state.Channels, 1 << 14));
    if (!state.Fifo || !state.Frame || !state.Packet) throw EncodeError("out of memory");

    CreateStream();
    state.CreatedFile = !StreamAssigned;
    state.Io.Stream = Stream;
    auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferBytes));
    state.Avio.reset(avio_alloc_context(buffer, kIoBufferBytes, 1, &state.Io, nullptr,
                                        &TStreamIo::Write, &TStreamIo::Seek));
    if (!state.Avio) {
      av_free(buffer);
      throw EncodeError("out of memory");
    }
    AVFormatContext* muxer = nullptr;
    if (avformat_alloc_output_context2(&muxer, nullptr, Format.Muxer.c_str(), nullptr) < 0)
      throw EncodeError("no " + Format.Muxer + " muxer");
    state.Muxer.reset(muxer);
    muxer->pb = state.Avio.get();
    muxer->flags |= AVFMT_FLAG_CUSTOM_IO | AVFMT_FLAG_BITEXACT;
    state.Out = avformat_new_stream(muxer, nullptr);
    if (state.Out == nullptr || avcodec_parameters_from_context(state.Out->codecpar, &codec) < 0)
      throw EncodeError("out of memory");
    state.Out->time_base = codec.time_base;
    // Opus records the rate its encoder was fed, which a decoder may choose to play at.
    AVCodecParameters& parameters = *state.Out->codecpar;
    if (Format.Encoder == "libopus" && parameters.extradata_size >= 19) {
      const auto rate =
          static_cast<uint32_t>(Format.InputRate > 0 ? Format.InputRate : state.InputRate);
      for (int i = 0; i < 4; ++i) parameters.extradata[12 + i] = uint8_t(rate >> (8 * i));
    }
    AVDictionary* muxing = nullptr;
    if (Format.IsMp4()) {
      // The moov first, so that the file plays while it streams in; the movie's clock is the
      // sample rate, so that the edit list states the length to the sample.
      state.ReadBack.Io.Stream = Stream;
      muxer->opaque = &state.ReadBack;
      muxer->io_open = &OpenReadBack;
      muxer->io_close2 = &CloseReadBack;
      av_dict_set(&muxing, "movflags", "+faststart", 0);
      av_dict_set_int(&muxing, "movie_timescale", codec.sample_rate, 0);
    }
    const int header = avformat_write_header(muxer, &muxing);
    av_dict_free(&muxing);
    if (header < 0) throw EncodeError(state.Io.Error.empty() ? AvError(header) : state.Io.Error);
    state.HeaderWritten = true;
    state.Read.resize(kReadBytes);
  } catch (...) {
    Discard(state);
    throw;
  }
}

namespace {

// Sends `frame` (null: the end) and writes every packet the encoder has.
void Encode(AVCodecContext& codec, AVFormatContext& muxer, AVStream& out, AVFrame* frame,
            AVPacket& packet, const std::string& ioError) {
  int sent = avcodec_send_frame(&codec, frame);
  if (sent < 0) throw EncodeError("the encoder failed (" + AvError(sent) + ")");
  for (;;) {
    const int got = avcodec_receive_packet(&codec, &packet);
    if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return;
    if (got < 0) throw EncodeError("the encoder failed (" + AvError(got) + ")");
    av_packet_rescale_ts(&packet, codec.time_base, out.time_base);
    packet.stream_index = out.index;
    const int written = av_write_frame(&muxer, &packet);
    av_packet_unref(&packet);
    if (written < 0) throw EncodeError(ioError.empty() ? AvError(written) : ioError);
  }
}

}  // namespace

bool TCodedOut::WriteBlock(bool Abort) {
  if (!Active) return true;
  if (Abort || !FRun || FRun->Completed) return false;
  TRunState& run = *FRun;
  AVCodecContext& codec = *run.Codec;
  bool endOfData = false;
  const int frameBytes = run.Channels * run.InputBits / 8;
  const uint32_t room = kReadBytes - kReadBytes % static_cast<uint32_t>(frameBytes);
  const uint32_t bytes = Input()->ReadFull(run.Read.data(), room, endOfData);
  const int frames = static_cast<int>(bytes) / frameBytes;
  const uint8_t* pcm = run.Read.data();
  if (run.InputBits == 8 || run.InputBits == 24) {
    // Unsigned 8-bit and packed 24-bit samples, left-justified in 32 bits.
    const size_t samples = static_cast<size_t>(frames) * run.Channels;
    run.Wide.resize(samples);
    for (size_t i = 0; i < samples; ++i) {
      const uint8_t* at = run.Read.data() + i * (run.InputBits / 8);
      run.Wide[i] = run.InputBits == 8
                        ? static_cast<int32_t>(static_cast<uint32_t>(at[0] ^ 0x80) << 24)
                        : static_cast<int32_t>(uint32_t{at[0]} << 8 | uint32_t{at[1]} << 16 |
                                               uint32_t{at[2]} << 24);
    }
    pcm = reinterpret_cast<const uint8_t*>(run.Wide.data());
  }
  if (run.Direct) {
    // The encoder takes the input's integers as they are (FLAC of the input's depth).
    if (frames > 0)
      av_audio_fifo_write(run.Fifo.get(), reinterpret_cast<void**>(const_cast<uint8_t**>(&pcm)),
                          frames);
  } else {
    // What the converter gives for these frames (and, at the end, what it still holds).
    const int room2 = swr_get_out_samples(run.Convert.get(), frames) + 64;
    uint8_t** converted = nullptr;
    if (av_samples_alloc_array_and_samples(&converted, nullptr, run.Channels, room2,
                                           codec.sample_fmt, 0) < 0)
      throw EncodeError("out of memory");
    const int made =
        swr_convert(run.Convert.get(), converted, room2, frames > 0 ? &pcm : nullptr, frames);
    if (made > 0) av_audio_fifo_write(run.Fifo.get(), reinterpret_cast<void**>(converted), made);
    av_freep(&converted[0]);
    av_freep(&converted);
  }

  const int size = codec.frame_size > 0 ? codec.frame_size : 4096;
  while (av_audio_fifo_size(run.Fifo.get()) >= size ||
         (endOfData && av_audio_fifo_size(run.Fifo.get()) > 0)) {
    AVFrame& frame = *run.Frame;
    av_frame_unref(&frame);
    frame.nb_samples = std::min(size, av_audio_fifo_size(run.Fifo.get()));
    frame.format = codec.sample_fmt;
    frame.sample_rate = codec.sample_rate;
    if (av_channel_layout_copy(&frame.ch_layout, &codec.ch_layout) < 0 ||
        av_frame_get_buffer(&frame, 0) < 0)
      throw EncodeError("out of memory");
    av_audio_fifo_read(run.Fifo.get(), reinterpret_cast<void**>(frame.data), frame.nb_samples);
    frame.pts = run.NextPts;
    run.NextPts += frame.nb_samples;
    Encode(codec, *run.Muxer, *run.Out, &frame, *run.Packet, run.Io.Error);
  }
  if (!endOfData) return true;
  Complete(run);
  return false;
}

void TCodedOut::Complete(TRunState& run) {
  Encode(*run.Codec, *run.Muxer, *run.Out, nullptr, *run.Packet, run.Io.Error);
  const int trailer = av_write_trailer(run.Muxer.get());
  if (trailer < 0) throw EncodeError(run.Io.Error.empty() ? AvError(trailer) : run.Io.Error);
  avio_flush(run.Avio.get());
  if (!run.Io.Error.empty()) throw EncodeError(run.Io.Error);
  run.Muxer.reset();
  run.Avio.reset();
  CloseStream();
  run.Completed = true;
  if (StreamAssigned || WideFileName.empty()) return;
  if (!(Format.IsMp4() ? WriteMp4Tags(WideFileName, Mp4Tags())
                       : WriteXiphTags(WideFileName, XiphTags())))
    throw EAuException("The tags could not be written into '" + WideFileName.string() + "'");
}

void TCodedOut::Discard(TRunState& run) {
  run.Muxer.reset();
  run.Avio.reset();
  CloseStream();
  if (!run.CreatedFile) return;
  run.CreatedFile = false;
  std::error_code ignored;
  std::filesystem::remove(WideFileName, ignored);
}

void TCodedOut::FinishOutput() {
  std::unique_ptr<TRunState> run = std::move(FRun);
  if (!run) return;
  struct TEndRead {
    TCodedOut& Sink;
    TRunState& Run;
    ~TEndRead() {
      Sink.CloseStream();
      if (Run.ReadStarted && Sink.Input() != nullptr) Sink.Input()->EndRead();
    }
  } endRead{*this, *run};
  if (run->Completed) return;
  if (RunFailed() || !run->HeaderWritten) {
    Discard(*run);
    return;
  }
  // A stopped run keeps what it encoded, as a finished file.
  try {
    Complete(*run);
  } catch (...) {
    Discard(*run);
    throw;
  }
}
