// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// The iTunes items of an M4A file as a cut carries them: every item as the file holds it, the
// texts, numbers, flags and every cover picture alike, and the free-form "----" items but
// those an encoder writes of its own work (iTunSMPB, the gapless figures, which a writer
// states anew for its file, and "Encoding Params"). Copies share the items until one changes.
class TMp4Tags {
 public:
  TMp4Tags();
  ~TMp4Tags();
  TMp4Tags(const TMp4Tags&);
  TMp4Tags& operator=(const TMp4Tags&);

  bool Empty() const;
  // The item names in TagLib's spelling ("\xc2\xa9nam", "trkn", "----:com.apple.iTunes:X").
  std::vector<std::string> Names() const;
  // The text of `name` (UTF-8, values joined by "; "), a number pair as "7/12", a flag as
  // "1", a picture list as the count of its pictures; empty when absent.
  std::string Text(const std::string& name) const;
  // The bytes of every cover picture, in order.
  std::vector<std::string> Covers() const;
  // Sets trkn to `number` of `count`.
  void SetTrack(int number, int count);
  // Sets the iTunSMPB item to the gapless figures of a file: the samples of priming before
  // the sound, of padding after it, and of the sound itself.
  void SetGapless(int64_t priming, int64_t padding, int64_t length);

  struct TItems;

 private:
  TItems& Own();
  std::shared_ptr<TItems> FItems;

  friend bool ReadMp4Tags(const std::filesystem::path& file, TMp4Tags& tags);
  friend bool WriteMp4Tags(const std::filesystem::path& file, const TMp4Tags& tags);
  friend std::string RenderMp4UserData(const TMp4Tags& tags, const std::string& head);
};

// The items of the M4A file `file`; false when it is not one or cannot be read.
bool ReadMp4Tags(const std::filesystem::path& file, TMp4Tags& tags);
// Replaces the items of `file` with `tags`; false when it cannot be read or written.
bool WriteMp4Tags(const std::filesystem::path& file, const TMp4Tags& tags);
// The udta box that holds `tags` as TagLib writes it into `head`, the ftyp and moov boxes of
// an M4A file with no data: a writer places it in its own moov box before the data, so that
// the tags cost no second pass over the file. Empty when TagLib would not write it.
std::string RenderMp4UserData(const TMp4Tags& tags, const std::string& head);
