// SPDX-License-Identifier: GPL-3.0-or-later
#include "tags/common_tags.h"

TCommonTags::TCommonTags() {
  // Empty texts rather than nulls; Empty stays true because nothing was changed yet.
  for (const char* key : {"Title", "Album", "Artist", "Genre", "Year", "Track"}) {
    DeclareKey(key, std::string{});
  }
}
