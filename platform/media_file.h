// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/media_asf_header.h"
#include "platform/media_av.h"
#include "platform/media_byte_reader.h"
#include "platform/media_decoder.h"
#include "platform/media_metadata.h"
#include "platform/media_mp3_frames.h"
#include "platform/media_runtime.h"

namespace trimora::media {

// What the runtime knows of one stream of an open file.
struct TMediaStreamInfo {
  TMediaMajorType MajorType = TMediaMajorType::Unknown;
  int SampleRate = 0;
  int Channels = 0;
  bool Wide = false;       // decodes to more than 16 bits per sample
  bool Decodable = false;  // a decoder exists and opens
};

// An open MP3 or ASF file: its streams, its attributes, and decoders for its audio.
// MP3 frames are cut by our own frame index; ASF goes through FFmpeg's demuxer.
class TMediaFile {
 public:
  // Nothing when the stream holds neither an MP3 nor an ASF file with something in it.
  static std::unique_ptr<TMediaFile> Open(std::shared_ptr<IMediaStream> stream);
  TMediaFile() = default;  // use Open
  ~TMediaFile();
  TMediaFile(const TMediaFile&) = delete;
  TMediaFile& operator=(const TMediaFile&) = delete;

  const std::vector<TMediaStreamInfo>& Streams() const { return FStreamInfo; }
  bool Protected() const { return FIsProtected; }
  // 100 ns; absent when the file does not tell.
  std::optional<uint64_t> Duration() const { return FLength; }
  uint32_t Bitrate() const { return FBitsPerSecond; }
  bool IsVBR() const { return FVbr; }
  const TMediaMetadata& Metadata() const { return FTexts; }
  // The samples of a straight decode, counted on the frames (MP3); nothing for ASF.
  std::optional<int64_t> SampleCount() const { return FSampleCount; }
  // Where the MP3 frames change format part-way.
  const std::vector<TMediaFormatChange>& FormatChanges() const { return FFormatChanges; }
  // The VBR quality (0 to 9) the encoder recorded in its tag (MP3 by LAME).
  std::optional<int> EncoderVbrQuality() const {
    return FMp3 ? LameVbrQuality(FMp3->Tag) : std::nullopt;
  }

  // A decoder of audio stream `stream`, positioned at the start, that delivers `channels`
  // channels of `bits`-bit PCM. Creating one invalidates the one made before.
  std::unique_ptr<TMediaDecoder> MakeDecoder(int stream, int channels, int bits);

 private:
  bool OpenMp3();
  bool OpenAsf(const std::optional<TAsfHeader>& header);
  // Keeps Length within what the bytes from `dataStart` (-1: unknown) can hold.
  void BoundLengthByBytes(int64_t dataStart);

  std::shared_ptr<IMediaStream> FStream;
  std::unique_ptr<TMediaByteReader> FBytes;
  TAvioPtr FAvio;        // declared before Format: the demuxer goes first
  TAvFormatPtr FFormat;  // ASF only
  std::optional<TMp3Start> FMp3;
  std::unique_ptr<TMp3FrameIndex> FMp3Frames;
  TMediaTimeline FMp3Timeline;
  TAvParametersPtr FMp3Codec;
  std::vector<TMediaStreamInfo> FStreamInfo;
  TMediaMetadata FTexts;
  std::optional<uint64_t> FLength;
  std::optional<int64_t> FSampleCount;
  std::vector<TMediaFormatChange> FFormatChanges;
  uint32_t FBitsPerSecond = 0;
  bool FVbr = false;
  bool FIsProtected = false;
  bool FDecoderMade = false;
};

}  // namespace trimora::media
