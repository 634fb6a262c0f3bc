// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pipeline/file_output.h"
#include "tags/apev2_tags.h"
#include "tags/id3v1_tags.h"
#include "tags/id3v2_tags.h"
#include "tags/mp4_tags.h"
#include "tags/xiph_tags.h"

// A file sink that writes descriptive texts: the format class reads the tag objects when it
// finishes the file. Setting a tag property copies the values into the owned object, so the
// caller's object stays the caller's.
class TAuTaggedFileOut : public TAuFileOut {
 public:
  TId3v1Tags& Id3v1Tags() { return FId3v1Tags; }
  const TId3v1Tags& Id3v1Tags() const { return FId3v1Tags; }
  void SetId3v1Tags(const TId3v1Tags& tags) { FId3v1Tags.Assign(tags); }
  TId3v2Tags& Id3v2Tags() { return FId3v2Tags; }
  const TId3v2Tags& Id3v2Tags() const { return FId3v2Tags; }
  void SetId3v2Tags(const TId3v2Tags& tags) { FId3v2Tags.Assign(tags); }
  TAPEv2Tags& APEv2Tags() { return FAPEv2Tags; }
  const TAPEv2Tags& APEv2Tags() const { return FAPEv2Tags; }
  // The comment fields and pictures of a FLAC, Vorbis or Opus sink, written as they are.
  TXiphTags& XiphTags() { return FXiphTags; }
  const TXiphTags& XiphTags() const { return FXiphTags; }
  // The iTunes items of an M4A sink, written as they are.
  TMp4Tags& Mp4Tags() { return FMp4Tags; }
  const TMp4Tags& Mp4Tags() const { return FMp4Tags; }

 private:
  TId3v1Tags FId3v1Tags;
  TId3v2Tags FId3v2Tags;
  TAPEv2Tags FAPEv2Tags;
  TXiphTags FXiphTags;
  TMp4Tags FMp4Tags;
};
