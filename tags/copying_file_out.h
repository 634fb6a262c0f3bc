// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

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
  // Closes the output, and removes it when this run created it.
  void RemoveCreatedFile(bool& created);

  std::atomic<int64_t> FBytesCopied{0};
  std::atomic<int64_t> FBytesToCopy{0};
  std::atomic<int64_t> FSamplesKept{0};
};
