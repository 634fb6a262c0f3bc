// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "pipeline/au_file_stream.h"
#include "pipeline/file_input.h"
#include "tags/tagged_file_out.h"

// What the sinks that keep a source's coded frames share: their input is a file source with
// the range set as for any cut, whose file they read themselves, frame by frame, instead of
// its decoded samples. Progress counts the bytes copied of those to copy.
class TCopyingFileOut : public TAuTaggedFileOut {
 public:
  int Progress() const override;
  // The samples the written file gives a decoder; 0 until a run has finished it.
  int64_t SamplesKept() const { return FSamplesKept.load(); }

 protected:
  // The input's file source; EAuException(`refusal`) for an input that reads no file.
  TAuFileIn& CopiedSource(const std::string& refusal);
  // The source's file read through a stream of our own: the one its caller holds open, where
  // it holds one (whatever the name has come to mean since), else the file opened deny-write,
  // so that an output named like the source is refused instead of truncating it. Starts a run:
  // the counts are back at 0.
  std::unique_ptr<TAuFileStream> OpenCopiedFile(TAuFileIn& source);
  // Writes `count` bytes; EAuException naming the kind ("mp3") and the system's reason.
  void WriteCopied(const uint8_t* data, size_t count, const std::string& kind);
  // The same at `offset`, over bytes written earlier (a header whose figures are known only at
  // the end); the writing then goes on where it was.
  void RewriteCopiedAt(int64_t offset, std::span<const uint8_t> bytes, const std::string& kind);
  // Closes the output, and removes it when this run created it.
  void RemoveCreatedFile(bool& created);

  std::atomic<int64_t> FBytesCopied{0};
  std::atomic<int64_t> FBytesToCopy{0};
  std::atomic<int64_t> FSamplesKept{0};
};

// A sink that keeps the coded frames of several stretches joined one after another: pieces
// of its input's file, then, for a join of two files, all of a second file. Only the frames
// at each join are coded afresh. Progress counts the bytes written of those expected.
class TPiecesCopyOut : public TCopyingFileOut {
 public:
  struct TPiece {
    int64_t StartSample = 0;  // as the input's source counts them
    int64_t EndSample = -1;   // inclusive; -1: to the end
  };
  // The pieces of the input's file, in order (the whole file when none are set).
  void SetPieces(std::vector<TPiece> pieces) { FPieces = std::move(pieces); }
  // A source whose whole sound follows the pieces; it must outlive the run.
  void SetFollowingSource(TAuFileIn* source) { FFollowing = source; }
  // Fades in samples: out before each join and in after it.
  void SetJoinFades(int64_t out, int64_t in) {
    FFadeOut = out;
    FFadeIn = in;
  }
  // Where a join lands: the sample of the output where the next piece starts, and how many
  // samples later than asked it starts there (negative: earlier; 0 where the kind joins
  // exactly).
  struct TJoin {
    int64_t Sample = 0;
    int64_t Shift = 0;
  };
  // The joins a run with the input, pieces and following source set now would make, planned
  // without writing anything; EAuException with the reason where the frames cannot be kept.
  virtual std::vector<TJoin> PlannedJoins() = 0;

 protected:
  std::vector<TPiece> FPieces;
  TAuFileIn* FFollowing = nullptr;
  int64_t FFadeOut = 0;
  int64_t FFadeIn = 0;
};
