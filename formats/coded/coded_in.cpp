// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/coded/coded_in.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "formats/media/audio_stream.h"
#include "pipeline/au_exception.h"
#include "platform/media_av.h"
#include "platform/media_avio.h"
#include "tags/tag_text.h"

using namespace trimora::media;

namespace {

// How far before a sample the lossy decoders start, in samples at the codec's rate: Opus
// needs 80 ms to settle, Vorbis the overlap of two long blocks, AAC the overlap of the packet
// before (and HE-AAC's band replication the history of a few more).
int64_t Preroll(AVCodecID codec) {
  switch (codec) {
    case AV_CODEC_ID_OPUS:
      return 3840;
    case AV_CODEC_ID_VORBIS:
    case AV_CODEC_ID_AAC:
      return 8192;
    default:
      return 0;
  }
}

// A seek that lands too late moves this much further back each time, at most this often.
constexpr int64_t kSeekMargin = 4096;
constexpr int kSeekAttempts = 5;
// Damaged packets in a row after which the rest of the file is taken for lost.
constexpr int kBadPacketsInARow = 64;

uint32_t LittleEndian32(const uint8_t* bytes) {
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
         uint32_t{bytes[3]} << 24;
}

}  // namespace

// One open of the file: the demuxer, the decoder and the PCM decoded and not yet handed out.
struct TCodedIn::TDecoder {
  explicit TDecoder(TAuStream& stream) : Adapter(stream) {}

  TAudioStream Adapter;
  TAvioPtr Avio;  // declared before Format: the demuxer goes first
  TAvFormatPtr Format;
  int Stream = -1;
  AVRational TimeBase{1, 1};
  TAvCodecPtr Codec;
  TAvPacketPtr Packet{av_packet_alloc()};
  TAvFramePtr Frame{av_frame_alloc()};
  std::unique_ptr<SwrContext, TSwrFreer> Convert;
  int Rate = 0;
  int Channels = 0;
  int Bits = 16;  // of the PCM handed out
  int PreSkip = 0;
  int64_t Total = -1;

  std::vector<uint8_t> Converted;  // the last frame's samples in the PCM handed out
  std::vector<uint8_t> Out;        // converted PCM; [OutStart, Out.size()) not handed out yet
  size_t OutStart = 0;
  int64_t Next = 0;        // the index of the next sample decoded
  bool Anchored = true;    // Next is known (false after a seek until a frame tells)
  int64_t DropBefore = 0;  // samples before this index are decoded and dropped
  bool Draining = false;
  bool Ended = false;
  bool AtStart = true;               // the next frame is the stream's first
  int64_t LastPts = AV_NOPTS_VALUE;  // of the last packet read
  int BadPackets = 0;

  size_t FrameBytes() const { return static_cast<size_t>(Channels) * (Bits / 8); }

  bool Open() {
    QuietFfmpeg();
    if (!Packet || !Frame) return false;
    Stream = -1;
    AtStart = true;
    LastPts = AV_NOPTS_VALUE;
    Next = 0;
    uint64_t position = 0;
    if (!Succeeded(Adapter.Seek(0, TMediaSeekOrigin::Begin, position))) return false;
    Avio = MakeMediaAvio(Adapter);
    AVFormatContext* format = avformat_alloc_context();
    if (!Avio || format == nullptr) {
      avformat_free_context(format);
      return false;
    }
    format->pb = Avio.get();
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (avformat_open_input(&format, nullptr, nullptr, nullptr) < 0) return false;
    Format.reset(format);
    // The first audio stream; another logical stream of an Ogg file is passed over.
    for (unsigned i = 0; i < format->nb_streams && Stream < 0; ++i)
      if (format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO &&
          !(format->streams[i]->disposition & AV_DISPOSITION_ATTACHED_PIC))
        Stream = static_cast<int>(i);
    if (Stream < 0) return false;
    for (unsigned i = 0; i < format->nb_streams; ++i)
      if (static_cast<int>(i) != Stream) format->streams[i]->discard = AVDISCARD_ALL;
    const AVStream& stream = *format->streams[Stream];
    TimeBase = stream.time_base;
    const AVCodecParameters& parameters = *stream.codecpar;
    const AVCodec* decoder = avcodec_find_decoder(parameters.codec_id);
    if (decoder == nullptr) return false;
    Codec.reset(avcodec_alloc_context3(decoder));
    if (!Codec || avcodec_parameters_to_context(Codec.get(), &parameters) < 0) return false;
    Codec->pkt_timebase = TimeBase;
    // A FLAC decode shares its frames out over the cores, as FFmpeg's own program does.
    if (parameters.codec_id == AV_CODEC_ID_FLAC) Codec->thread_count = 0;
    if (avcodec_open2(Codec.get(), decoder, nullptr) < 0) return false;
    Rate = Codec->sample_rate;
    Channels = Codec->ch_layout.nb_channels;
    if (Rate <= 0 || Rate > 768000 || Channels <= 0 || Channels > 8) return false;
    if (parameters.codec_id == AV_CODEC_ID_FLAC || parameters.codec_id == AV_CODEC_ID_ALAC) {
      const int raw = Codec->bits_per_raw_sample;  // the decoder read it from its header
      Bits = raw > 24 ? 32 : raw > 16 ? 24 : 16;
    }
    if (parameters.codec_id == AV_CODEC_ID_OPUS && parameters.extradata_size >= 19)
      PreSkip = parameters.extradata[10] | parameters.extradata[11] << 8;
    return MakeConverter();
  }

  bool MakeConverter() {
    SwrContext* convert = nullptr;
    const AVSampleFormat out = Bits == 16 ? AV_SAMPLE_FMT_S16 : AV_SAMPLE_FMT_S32;
    if (swr_alloc_set_opts2(&convert, &Codec->ch_layout, out, Rate, &Codec->ch_layout,
                            Codec->sample_fmt, Rate, 0, nullptr) < 0)
      return false;
    Convert.reset(convert);
    return swr_init(convert) >= 0;
  }

  // The length the stream states, or else the sum of its packets' durations.
  int64_t MeasureLength() {
    const AVStream& stream = *Format->streams[Stream];
    if (stream.duration != AV_NOPTS_VALUE && stream.duration > 0 && !Chained())
      return std::max<int64_t>(av_rescale_q(stream.duration, TimeBase, {1, Rate}) - PreSkip, 0);
    // Where the packets of the first stream end.
    int64_t end = 0, sum = 0;
    int64_t last = AV_NOPTS_VALUE;
    while (av_read_frame(Format.get(), Packet.get()) >= 0) {
      const AVPacket& packet = *Packet;
      if (packet.stream_index == Stream && packet.duration > 0) {
        if (NewLink(packet, last)) break;
        sum += av_rescale_q(packet.duration, TimeBase, {1, Rate});
        // The demuxer has already cut the last packet's duration at the stream's end.
        if (packet.pts != AV_NOPTS_VALUE)
          end = av_rescale_q(packet.pts + packet.duration, TimeBase, {1, Rate});
      }
      av_packet_unref(Packet.get());
    }
    av_packet_unref(Packet.get());
    return std::max<int64_t>(last != AV_NOPTS_VALUE ? end : sum - PreSkip, 0);
  }

  // Whether `packet` starts the next stream of a chained Ogg file, whose time stamps start
  // over: only the first stream is read, as the frame-keeping cut reads it.
  static bool NewLink(const AVPacket& packet, int64_t& last) {
    if (packet.pts == AV_NOPTS_VALUE) return false;
    const bool back = last != AV_NOPTS_VALUE && packet.pts < last;
    last = packet.pts;
    return back;
  }

  // Whether the last page of an Ogg file belongs to another stream than the first: a chain
  // of streams, whose length FFmpeg takes from the last.
  bool Chained() {
    if (std::string_view(Format->iformat->name) != "ogg") return false;
    uint64_t size = 0, at = 0;
    if (!Succeeded(Adapter.Stat(size)) || size < 27) return false;
    const auto read = [this, &at](uint64_t offset, std::vector<uint8_t>& bytes) {
      uint32_t got = 0;
      return Succeeded(Adapter.Seek(static_cast<int64_t>(offset), TMediaSeekOrigin::Begin, at)) &&
             Succeeded(Adapter.Read(bytes.data(), static_cast<uint32_t>(bytes.size()), got)) &&
             got == bytes.size();
    };
    std::vector<uint8_t> head(27), tail(static_cast<size_t>(std::min<uint64_t>(size, 65536)));
    const bool chained = [&] {
      if (!read(0, head) || !read(size - tail.size(), tail)) return false;
      for (size_t i = tail.size() - 27 + 1; i-- > 0;)
        if (std::memcmp(&tail[i], "OggS", 4) == 0)
          return std::memcmp(&tail[i + 14], &head[14], 4) != 0;
      return false;
    }();
    // The demuxer reads on from where its buffer ended.
    (void)Adapter.Seek(Format->pb->pos, TMediaSeekOrigin::Begin, at);
    return chained;
  }

  // Takes the decoder's next frame into Out; false when it has none for now.
  bool Receive() {
    if (avcodec_receive_frame(Codec.get(), Frame.get()) < 0) return false;
    const int count = Frame->nb_samples;
    if (AtStart) {
      // A stream whose first granule says to drop the start of its first packet (a Vorbis
      // cut that kept its packets) stamps that packet before 0: the part before 0 goes.
      AtStart = false;
      const int64_t pts = Frame->best_effort_timestamp;
      if (Anchored && Next == 0 && pts != AV_NOPTS_VALUE && pts < 0)
        Next = std::max<int64_t>(av_rescale_q(pts, TimeBase, {1, Rate}), -count);
    }
    if (!Anchored) {
      const int64_t pts = Frame->best_effort_timestamp;
      if (pts == AV_NOPTS_VALUE) {
        av_frame_unref(Frame.get());
        return true;
      }
      Next = av_rescale_q(pts, TimeBase, {1, Rate});
      Anchored = true;
    }
    const int64_t first = Next;
    Next += count;
    int64_t skip = std::clamp<int64_t>(DropBefore - first, 0, count);
    if (skip < count) {
      // FLAC decodes to the integers handed out: no conversion.
      if (Codec->sample_fmt == (Bits == 16 ? AV_SAMPLE_FMT_S16 : AV_SAMPLE_FMT_S32)) {
        Append(Frame->extended_data[0], count, skip);
      } else {
        Converted.resize(static_cast<size_t>(count) * Channels * (Bits == 16 ? 2 : 4));
        uint8_t* target = Converted.data();
        const int made = swr_convert(Convert.get(), &target, count,
                                     const_cast<const uint8_t**>(Frame->extended_data), count);
        if (made > 0) Append(Converted.data(), made, skip);
      }
    }
    av_frame_unref(Frame.get());
    return true;
  }

  // Appends `count` converted samples less the first `skip`, packing 32-bit words to 24 bits.
  void Append(const uint8_t* data, int count, int64_t skip) {
    if (OutStart == Out.size()) {
      Out.clear();
      OutStart = 0;
    }
    const size_t word = Bits == 16 ? 2 : 4;
    const size_t samples = static_cast<size_t>(count - skip) * Channels;
    const uint8_t* from = data + static_cast<size_t>(skip) * Channels * word;
    if (Bits != 24) {
      Out.insert(Out.end(), from, from + samples * word);
      return;
    }
    const size_t at = Out.size();
    Out.resize(at + samples * 3);
    for (size_t i = 0; i < samples; ++i) std::memcpy(&Out[at + i * 3], from + i * 4 + 1, 3);
  }

  // Decodes until PCM waits in Out; false at the end of the data.
  bool Fill() {
    while (OutStart == Out.size()) {
      if (Ended) return false;
      if (Receive()) continue;
      if (Draining) {
        Ended = true;
        return false;
      }
      if (av_read_frame(Format.get(), Packet.get()) < 0) {
        Draining = true;
        avcodec_send_packet(Codec.get(), nullptr);
        continue;
      }
      if (Packet->stream_index == Stream && NewLink(*Packet, LastPts)) {
        av_packet_unref(Packet.get());
        Draining = true;
        avcodec_send_packet(Codec.get(), nullptr);
        continue;
      }
      if (Packet->stream_index == Stream) {
        const int sent = avcodec_send_packet(Codec.get(), Packet.get());
        if (sent < 0 && sent != AVERROR(EAGAIN)) {
          // A damaged packet is passed over, as FFmpeg's own decode does; a file of nothing
          // else ends here.
          if (++BadPackets > kBadPacketsInARow) Ended = true;
        } else {
          BadPackets = 0;
        }
      }
      av_packet_unref(Packet.get());
    }
    return true;
  }

  void Reset(int64_t dropBefore, bool anchored) {
    avcodec_flush_buffers(Codec.get());
    Out.clear();
    OutStart = 0;
    Draining = false;
    Ended = false;
    BadPackets = 0;
    Anchored = anchored;
    AtStart = anchored;
    LastPts = AV_NOPTS_VALUE;
    Next = 0;
    DropBefore = dropBefore;
  }
};

TCodedIn::TCodedIn() = default;

TCodedIn::~TCodedIn() {
  NotifyDestroying();  // a sink reading this source stops while it is whole
  CloseFile();
}

void TCodedIn::OpenFile() {
  std::lock_guard lock(FileLock);
  if (OpenCount != 0) return;
  if (!StreamAssigned && WideFileName.empty()) throw EAuException("File name is not assigned");
  FValid = false;
  FChannels = 1;
  FBitsPerSample = 16;
  FSampleRate = 8000;
  FSize = 0;
  FTotalSamples = 0;
  OpenStream();
  FFoundCodec.clear();
  auto decoder = std::make_unique<TDecoder>(*Stream);
  const bool opened = decoder->Open();
  if (decoder->Codec) FFoundCodec = avcodec_get_name(decoder->Codec->codec_id);
  if (!opened || (!FCodecs.empty() &&
                  std::find(FCodecs.begin(), FCodecs.end(), FFoundCodec) == FCodecs.end())) {
    CloseStream();
    return;
  }
  decoder->Total = decoder->MeasureLength();
  if (!decoder->Open()) {  // back to the start, with the start trimming of a fresh open
    CloseStream();
    return;
  }
  FDecoder = std::move(decoder);
  FAverageBitrate = -1;
  FChannels = FDecoder->Channels;
  FBitsPerSample = FDecoder->Bits;
  FSampleRate = FDecoder->Rate;
  FTotalSamples = FDecoder->Total;
  FrameSize = static_cast<uint16_t>(FDecoder->FrameBytes());
  FSize = FTotalSamples * FrameSize;
  FValid = FTotalSamples > 0;
  Seekable = true;
  FillTags();
  ++OpenCount;
}

void TCodedIn::CloseFile() {
  std::lock_guard lock(FileLock);
  if (OpenCount <= 0) return;
  FDecoder.reset();
  OpenCount = 0;
  CloseStream();
}

void TCodedIn::FillTags() {
  TId3v2Tags& id3 = Id3v2Tags();
  TCommonTags& common = CommonTags();
  id3.ClearValues();
  common.ClearValues();
  const AVFormatContext& format = *FDecoder->Format;
  const auto text = [&](const char* name) {
    const AVDictionaryEntry* entry = av_dict_get(format.metadata, name, nullptr, 0);
    if (entry == nullptr)
      entry = av_dict_get(format.streams[FDecoder->Stream]->metadata, name, nullptr, 0);
    return entry != nullptr ? std::string(entry->value) : std::string();
  };
  const auto wide = [&](const char* name) { return tag_text::Utf8ToWide(text(name)); };
  id3.SetArtist(wide("artist"));
  common.SetArtist(wide("artist"));
  id3.SetTitle(wide("title"));
  common.SetTitle(wide("title"));
  id3.SetAlbum(wide("album"));
  common.SetAlbum(wide("album"));
  id3.SetGenre(wide("genre"));
  common.SetGenre(wide("genre"));
  const std::string track = text("track").empty() ? text("tracknumber") : text("track");
  id3.SetTrack(track);
  common.SetTrack(track);
  id3.SetYear(text("date"));
  common.SetYear(text("date"));
  id3.SetComment(text("comment").empty() ? wide("description") : wide("comment"));
  id3.SetComposer(wide("composer"));
  id3.SetCopyright(wide("copyright"));
}

void TCodedIn::ReadBlock(uint8_t*& buffer, uint32_t& bytes) {
  buffer = nullptr;
  if (!FDecoder) {
    bytes = 0;
    return;
  }
  const int64_t left = FSize - FPosition;
  if (static_cast<int64_t>(bytes) > left) bytes = static_cast<uint32_t>(std::max<int64_t>(left, 0));
  TDecoder& decoder = *FDecoder;
  if (bytes == 0 || !decoder.Fill()) {
    bytes = 0;
    return;
  }
  const size_t frame = decoder.FrameBytes();
  size_t available = decoder.Out.size() - decoder.OutStart;
  available -= available % frame;
  bytes = static_cast<uint32_t>(std::min<size_t>(bytes - bytes % frame, available));
  buffer = decoder.Out.data() + decoder.OutStart;
  decoder.OutStart += bytes;
}

bool TCodedIn::DoSeek(int64_t& sampleNum) {
  if (!FDecoder || sampleNum < 0) return false;
  TDecoder& decoder = *FDecoder;
  const int64_t preroll = Preroll(decoder.Codec->codec_id);
  int64_t margin = preroll + (preroll > 0 ? kSeekMargin : 0);
  for (int attempt = 0; attempt < kSeekAttempts; ++attempt, margin *= 4) {
    const int64_t from = sampleNum - margin;
    if (from <= 0) break;
    const int64_t ts = av_rescale_q(from, {1, decoder.Rate}, decoder.TimeBase);
    if (av_seek_frame(decoder.Format.get(), decoder.Stream, ts, AVSEEK_FLAG_BACKWARD) < 0) break;
    decoder.Reset(sampleNum, false);
    // The first frame that tells where it lies must lie early enough to settle the decoder.
    while (!decoder.Anchored && !decoder.Ended) {
      if (decoder.Receive()) continue;
      if (av_read_frame(decoder.Format.get(), decoder.Packet.get()) < 0) break;
      if (decoder.Packet->stream_index == decoder.Stream)
        (void)avcodec_send_packet(decoder.Codec.get(), decoder.Packet.get());
      av_packet_unref(decoder.Packet.get());
    }
    if (decoder.Anchored && decoder.Next - decoder.Frame->nb_samples <= sampleNum - preroll &&
        decoder.Next <= sampleNum + 1)
      return true;
    if (decoder.Anchored && preroll == 0 && decoder.Next <= sampleNum) return true;
  }
  // From the start: a fresh open, so that the stream's start trimming applies as in a
  // straight decode.
  if (!decoder.Open()) return false;
  decoder.Reset(sampleNum, true);
  return true;
}

std::string TCodedIn::CodecName() {
  std::lock_guard lock(DataLock);
  OpenFile();
  return FFoundCodec;
}

int TCodedIn::CodedBits() {
  std::lock_guard lock(DataLock);
  OpenFile();
  if (!FDecoder || (FDecoder->Codec->codec_id != AV_CODEC_ID_FLAC &&
                    FDecoder->Codec->codec_id != AV_CODEC_ID_ALAC))
    return 0;
  return FDecoder->Codec->bits_per_raw_sample;
}

int64_t TCodedIn::Bitrate() {
  std::lock_guard lock(DataLock);
  OpenFile();
  if (!FDecoder) return 0;
  const int64_t nominal = FDecoder->Format->streams[FDecoder->Stream]->codecpar->bit_rate;
  if (nominal > 0 || FTotalSamples <= 0 || Busy) return std::max<int64_t>(nominal, 0);
  if (FAverageBitrate < 0) {
    // The packets' own bytes, not the file's: a cover picture is no part of the sound.
    TDecoder count(*Stream);
    int64_t bytes = 0;
    int64_t last = AV_NOPTS_VALUE;
    if (count.Open())
      while (av_read_frame(count.Format.get(), count.Packet.get()) >= 0) {
        const AVPacket& packet = *count.Packet;
        if (packet.stream_index == count.Stream && TDecoder::NewLink(packet, last)) break;
        if (packet.stream_index == count.Stream) bytes += packet.size;
        av_packet_unref(count.Packet.get());
      }
    av_packet_unref(count.Packet.get());
    FAverageBitrate = av_rescale(bytes * 8, FSampleRate, FTotalSamples);
    // Both read the one stream: the decoder starts again from where it stood, the start.
    if (!FDecoder->Open()) FDecoder.reset();
  }
  return FAverageBitrate;
}

bool TCodedIn::BitrateIsNominal() {
  std::lock_guard lock(DataLock);
  OpenFile();
  return FDecoder && FDecoder->Format->streams[FDecoder->Stream]->codecpar->bit_rate > 0;
}

int TCodedIn::InputRate() {
  std::lock_guard lock(DataLock);
  OpenFile();
  if (!FDecoder) return 0;
  const AVCodecParameters& parameters = *FDecoder->Format->streams[FDecoder->Stream]->codecpar;
  if (parameters.codec_id != AV_CODEC_ID_OPUS || parameters.extradata_size < 19) return 0;
  return static_cast<int>(LittleEndian32(parameters.extradata + 12));
}

std::string TCodedIn::Extradata() {
  std::lock_guard lock(DataLock);
  OpenFile();
  if (!FDecoder) return {};
  const AVCodecParameters& parameters = *FDecoder->Format->streams[FDecoder->Stream]->codecpar;
  return std::string(reinterpret_cast<const char*>(parameters.extradata),
                     static_cast<size_t>(std::max(parameters.extradata_size, 0)));
}
