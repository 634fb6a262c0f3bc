// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

// A comment of a tag (an ID3v2 COMM frame) with what sets it apart from the file's other
// comments: its language and its description. The main comment has an empty description.
struct TTagComment {
  std::string Language = "XXX";  // three letters of ISO 639-2; "XXX" when unknown
  std::u16string Description;
  std::u16string Text;

  bool operator==(const TTagComment&) const = default;
};

using TTagComments = std::vector<TTagComment>;
