// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "pipeline/file_input.h"
#include "pipeline/file_output.h"

class TId3v2Tags;
class TPiecesCopyOut;
class TWMAOut;

// The channels and rate of the sound a sink writes.
struct TPcmShape {
  int Channels = 0;
  int Rate = 0;
};

// One kind of sound file and everything that differs between kinds: how its files are named
// and opened, the sink that writes it with its stored settings and the one that keeps the
// source's frames, what a cut carries from the source into the sink, how long the file's sound
// really is, how a written file is checked, and what `info` tells of it. The windows and the
// commands reach a kind only through this interface and the registry that lists the kinds.
class TKind {
 public:
  virtual ~TKind() = default;

  // The kind as users read it: "WAV", "MP3".
  virtual std::string Name() const = 0;
  // The extensions of its files in lower case with the dot, the one written first.
  virtual std::vector<std::string> Extensions() const = 0;
  std::string Extension() const;
  // Whether `path` has one of the extensions, case ignored.
  bool Names(const std::filesystem::path& path) const;
  // Whether the kind's source is tried on a file of no known kind (peaks of an odd file).
  virtual bool OpensUnknownFiles() const { return false; }

  // A source or sink of the kind with the stored settings every window and command uses.
  virtual std::unique_ptr<TAuFileIn> MakeSource() const = 0;
  virtual std::unique_ptr<TAuFileOut> MakeSink() const = 0;
  // The sink of a cut that keeps the source's frames (for a kind whose cut is lossless
  // anyway, its usual sink); ECutError with FrameKeepingRefusal() where frames cannot be kept.
  virtual std::unique_ptr<TAuFileOut> MakeFrameKeepingSink() const;
  // Why the kind's frames cannot be kept as they are, or empty when they can.
  virtual std::string FrameKeepingRefusal() const;
  // Whether keeping the frames differs from re-encoding: the sink copies the coded frames.
  virtual bool KeepsFramesByCopy() const { return false; }
  // Whether `sink` copies frames, so that it cannot fade.
  virtual bool CopiesFrames(const TAuFileOut&) const { return false; }
  // The sink of a segment cut or join that keeps the frames away from the joins and codes only
  // those at them afresh; nothing for a kind whose usual sink loses nothing anyway; ECutError
  // with the reason where the frames cannot be kept across a join.
  virtual std::unique_ptr<TPiecesCopyOut> MakePieceKeepingSink() const;
  // Whether MakePieceKeepingSink gives a sink: what a window's box offers.
  virtual bool KeepsFramesAcrossJoins() const { return false; }
  // Why two files of the kind cannot be joined keeping their frames, or empty when they can.
  virtual std::string JoinKeepingRefusal(TAuFileIn&, TAuFileIn&) const { return {}; }

  // Sets `sink` up from `source` before a cut, join or segment cut: tags, encoder settings,
  // the kind of data. Call it after the sink's input is set.
  virtual void PrepareCut(TAuFileIn& source, TAuFileOut& sink) const;
  // Counts the frames `sink` took in its run from `input` (its input or the source it reads).
  virtual std::function<int64_t()> FramesFed(TAuFileOut& sink, TAuInput& input) const;
  // Encoders working at once, for a kind whose sink can share its work out.
  virtual void SetEncoderLanes(TAuFileOut&, int) const {}

  // The frames of sound the file of `source` holds.
  virtual int64_t FramesHeld(TAuFileIn& source) const;
  // Whether FramesHeld is a header's estimate that no decode has proved: the sound may end
  // before it or run past it, so reads go on to where the sound ends and a stretch past the
  // estimate is still read.
  virtual bool LengthIsEstimate(TAuFileIn&) const { return false; }
  // Frames the length known before a read may be off by: a codec frame or block.
  virtual int64_t SlackFrames() const { return 0; }
  // How far short of the frames asked for a read may end without the file having ended
  // early: the compressed sources know their lengths only to about a frame of the codec.
  int64_t LengthSlack(int rate) const { return SlackFrames() + rate / 100; }
  // What `sink` (set up for its run) writes when fed `input`: the input's shape unless the
  // codec's own format decides.
  virtual TPcmShape WrittenShape(TAuFileOut&, TPcmShape input) const { return input; }
  // Whether `written` (opened as a file of the kind) holds `frames` frames, as closely as the
  // kind's source can tell.
  virtual bool LengthMatches(TAuFileIn& written, int64_t frames) const;

  // "WAV, PCM": the container and the kind of data `source` holds.
  virtual std::string Describe(TAuFileIn& source) const = 0;
  // What a cut of `source` writes where that can differ from the source; empty otherwise.
  virtual std::string DescribeCut(TAuFileIn&) const { return {}; }
  // Facts of `source` beyond its format and length that `info` shows, one line each (where
  // the sound changes format part-way, and what a read makes of it); none by default.
  virtual std::vector<std::string> Notes(TAuFileIn&) const { return {}; }
  // Why an invalid `source` was refused; empty when no reason is known.
  virtual std::string Refusal(TAuFileIn&) const { return {}; }
  // Whether a file of the kind can be protected, so that nothing but its kind can be told.
  virtual bool MayBeProtected() const { return false; }
  // The bit rate in bits per second, and whether it varies.
  virtual uint32_t Bitrate(TAuFileIn& source) const;
  virtual bool IsVBR(TAuFileIn&) const { return false; }
  // The texts a cut of `file` (opened as `source`) carries over.
  virtual void ReadTags(const std::filesystem::path& file, TAuFileIn& source,
                        TId3v2Tags& tags) const = 0;

  // The WMA stream's codec format for `source`: codec 0 and the format of its bit rate, rate
  // and channels (a kind without a coded bit rate is matched as 128 kbps).
  virtual void ChooseStreamFormat(TAuFileIn& source, TWMAOut& sink) const;
};

// Counts the frames `source` hands over in its next read (or the one under way). The frame
// width is taken now, while the file is open: counting after the run never reopens the file
// by its name, which may be gone by then.
std::function<int64_t()> FramesDelivered(TAuInput& source);
// The same for a join (`first` then `second`) or a mix (side by side) of two inputs that hand
// out frames of one format.
std::function<int64_t()> FramesCombined(TAuInput& first, TAuInput& second, bool mix);
