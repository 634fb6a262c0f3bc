// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cutting/kinds/kind.h"

class TAuTaggedFileOut;
class TCodedIn;
class TCodedOut;
struct TCodedFormat;

// What FLAC, Ogg Vorbis, Opus and M4A share: FFmpeg decodes them to their exact length, a
// re-encoded cut writes the source's codec with settings taken from the source, and every
// comment field (or iTunes item) and picture of the source is carried over through TagLib.
// Each kind adds its codec, its settings and the sink that keeps its frames.
class TCodedKind : public TKind {
 public:
  std::unique_ptr<TAuFileIn> MakeSource() const override;
  std::unique_ptr<TAuFileOut> MakeSink() const override;
  bool KeepsFramesByCopy() const override { return true; }
  bool CopiesFrames(const TAuFileOut& sink) const override;
  // The source's fields and pictures into the sink; a re-encoding sink also gets the
  // source's settings (SetUpFormat).
  void PrepareCut(TAuFileIn& source, TAuFileOut& sink) const override;
  std::function<int64_t()> FramesFed(TAuFileOut& sink, TAuInput& input) const override;
  TPcmShape WrittenShape(TAuFileOut& sink, TPcmShape input) const override;
  uint32_t Bitrate(TAuFileIn& source) const override;
  std::string Refusal(TAuFileIn& source) const override;
  void ReadTags(const std::filesystem::path& file, TAuFileIn& source,
                TId3v2Tags& tags) const override;

 protected:
  // The codec and container of the kind's sink.
  virtual TCodedFormat Format() const = 0;
  // The encoder's settings for a cut of `source`.
  virtual void SetUpFormat(TCodedIn& source, TCodedFormat& format) const = 0;
  // The FFmpeg codec name the kind's files hold.
  virtual std::string CodecName() const = 0;
  // The frames a copying sink of the kind kept, or null when `sink` is not one.
  virtual std::function<int64_t()> FramesKept(TAuFileOut& sink) const = 0;
  // The container's own tags of `source`'s file into `sink`: the comment fields and pictures.
  virtual void CarryOwnTags(TAuFileIn& source, TAuTaggedFileOut& sink) const;
  // "128 kbps" for the source's bit rate.
  static std::string Kbps(uint32_t bitrate);
};

// FLAC (.flac): lossless, so a re-encoded cut is as exact as a kept one; the frames inside
// the range are kept and only the two partial ones at its ends are coded anew.
class TFlacKind : public TCodedKind {
 public:
  std::string Name() const override { return "FLAC"; }
  std::vector<std::string> Extensions() const override { return {".flac"}; }
  std::unique_ptr<TAuFileOut> MakeFrameKeepingSink() const override;
  // Exact joins: only the frames cut at a join are coded anew.
  std::unique_ptr<TPiecesCopyOut> MakePieceKeepingSink() const override;
  bool KeepsFramesAcrossJoins() const override { return true; }
  std::string JoinKeepingRefusal(TAuFileIn& first, TAuFileIn& second) const override;
  std::string Describe(TAuFileIn& source) const override;
  std::string DescribeCut(TAuFileIn& source) const override;

 protected:
  TCodedFormat Format() const override;
  void SetUpFormat(TCodedIn& source, TCodedFormat& format) const override;
  std::string CodecName() const override { return "flac"; }
  std::function<int64_t()> FramesKept(TAuFileOut& sink) const override;
};

// Ogg Vorbis (.ogg, .oga): re-encoded at the quality nearest the source's nominal bit rate;
// a kept cut copies the packets from one before the start and says the trim in its granules,
// which players built on the reference decoder honour; FFmpeg and GStreamer honour the end but
// play the lead-in, less than one packet.
class TVorbisKind : public TCodedKind {
 public:
  std::string Name() const override { return "Ogg Vorbis"; }
  std::vector<std::string> Extensions() const override { return {".ogg", ".oga"}; }
  std::unique_ptr<TAuFileOut> MakeFrameKeepingSink() const override;
  // A kept cut starts up to a packet early in FFmpeg's reading (see FramesKept).
  int64_t SlackFrames() const override { return 2048; }
  std::string Describe(TAuFileIn& source) const override;
  // The Vorbis quality nearest `bitrate` for `channels` channels.
  static double QualityFor(uint32_t bitrate, int channels);

 protected:
  TCodedFormat Format() const override;
  void SetUpFormat(TCodedIn& source, TCodedFormat& format) const override;
  std::string CodecName() const override { return "vorbis"; }
  std::function<int64_t()> FramesKept(TAuFileOut& sink) const override;
};

// Opus (.opus): always 48 kHz inside; re-encoded at the source's bit rate and channel mapping,
// with its input rate recorded; a kept cut copies the packets from 80 ms before the start and
// says the trim in the pre-skip and the last granule.
class TOpusKind : public TCodedKind {
 public:
  std::string Name() const override { return "Opus"; }
  std::vector<std::string> Extensions() const override { return {".opus"}; }
  std::unique_ptr<TAuFileOut> MakeFrameKeepingSink() const override;
  std::string Describe(TAuFileIn& source) const override;

 protected:
  TCodedFormat Format() const override;
  void SetUpFormat(TCodedIn& source, TCodedFormat& format) const override;
  std::string CodecName() const override { return "opus"; }
  std::function<int64_t()> FramesKept(TAuFileOut& sink) const override;
};

// M4A (.m4a, and .mp4 holding only sound): AAC (LC or HE) or Apple Lossless in an MP4 file,
// its length exact from the edit list. Re-encoded as the source's codec (AAC at the source's
// bit rate); a kept cut copies the packets under a new edit list, AAC from one packet before
// the start, ALAC with its two edge packets coded anew. The iTunes items carry over.
class TM4AKind : public TCodedKind {
 public:
  std::string Name() const override { return "M4A"; }
  std::vector<std::string> Extensions() const override { return {".m4a", ".mp4"}; }
  std::unique_ptr<TAuFileIn> MakeSource() const override;
  std::unique_ptr<TAuFileOut> MakeFrameKeepingSink() const override;
  std::string Describe(TAuFileIn& source) const override;
  std::string Refusal(TAuFileIn& source) const override;

 protected:
  TCodedFormat Format() const override;
  void SetUpFormat(TCodedIn& source, TCodedFormat& format) const override;
  std::string CodecName() const override { return "aac"; }
  std::function<int64_t()> FramesKept(TAuFileOut& sink) const override;
  void CarryOwnTags(TAuFileIn& source, TAuTaggedFileOut& sink) const override;
};
