// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/mp3out/id3v1_record.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

void Put(std::array<uint8_t, 128>& record, size_t offset, const std::string& text, size_t length) {
  std::memcpy(record.data() + offset, text.data(), std::min(text.size(), length));
}

}  // namespace

std::array<uint8_t, 128> MakeId3v1Record(const TId3v1Tags& tags) {
  std::array<uint8_t, 128> record{};
  Put(record, 0, "TAG", 3);
  Put(record, 3, tags.Title(), 30);
  Put(record, 33, tags.Artist(), 30);
  Put(record, 63, tags.Album(), 30);
  // Only a year that is exactly four digits fits the field; "99" or 0 leave it empty.
  const std::string year = tags.Year() != 0 ? std::to_string(tags.Year()) : std::string();
  if (year.size() == 4) Put(record, 93, year, 4);
  // A track number takes the last two bytes of the comment field (the 1.1 layout), so that
  // it is not lost on the way.
  if (tags.Track() != 0) {
    Put(record, 97, tags.Comment(), 28);
    record[126] = tags.Track();
  } else {
    Put(record, 97, tags.Comment(), 30);
  }
  record[127] = 0;
  return record;
}
