// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pipeline/file_input.h"
#include "tags/apev2_tags.h"
#include "tags/common_tags.h"
#include "tags/id3v1_tags.h"
#include "tags/id3v2_tags.h"

// A file source that carries the file's descriptive texts. The format class fills the tag
// objects when it opens the file; they live as long as the source, so values a window reads
// stay valid across opens, runs and changes of FileName.
class TAuTaggedFileIn : public TAuFileIn {
 public:
  TId3v1Tags& Id3v1Tags() { return FId3v1Tags; }
  const TId3v1Tags& Id3v1Tags() const { return FId3v1Tags; }
  TId3v2Tags& Id3v2Tags() { return FId3v2Tags; }
  const TId3v2Tags& Id3v2Tags() const { return FId3v2Tags; }
  TAPEv2Tags& APEv2Tags() { return FAPEv2Tags; }
  const TAPEv2Tags& APEv2Tags() const { return FAPEv2Tags; }
  TCommonTags& CommonTags() { return FCommonTags; }
  const TCommonTags& CommonTags() const { return FCommonTags; }

 private:
  TId3v1Tags FId3v1Tags;
  TId3v2Tags FId3v2Tags;
  TAPEv2Tags FAPEv2Tags;
  TCommonTags FCommonTags;
};
