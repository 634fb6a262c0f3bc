// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The common texts of a tag container, set or checked in one call. Works with any container
// that has the getters and setters of these names (ID3v2, the common set, ID3v1).

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace test_support {

// Texts left empty are neither set nor checked. Tables list them in this order.
struct TTagTexts {
  std::optional<std::u16string> Title = {}, Artist = {}, Album = {}, Genre = {}, Comment = {};
  std::optional<std::string> Track = {}, Year = {};
};

template <class TTags>
void SetTexts(TTags& tags, const TTagTexts& texts) {
  if (texts.Title) tags.SetTitle(*texts.Title);
  if (texts.Artist) tags.SetArtist(*texts.Artist);
  if (texts.Album) tags.SetAlbum(*texts.Album);
  if (texts.Genre) tags.SetGenre(*texts.Genre);
  if (texts.Track) tags.SetTrack(*texts.Track);
  if (texts.Year) tags.SetYear(*texts.Year);
  if (texts.Comment) tags.SetComment(*texts.Comment);
}

template <class TTags>
void ExpectTexts(const TTags& tags, const TTagTexts& texts) {
  if (texts.Title) {
    EXPECT_EQ(tags.Title(), *texts.Title);
  }
  if (texts.Artist) {
    EXPECT_EQ(tags.Artist(), *texts.Artist);
  }
  if (texts.Album) {
    EXPECT_EQ(tags.Album(), *texts.Album);
  }
  if (texts.Genre) {
    EXPECT_EQ(tags.Genre(), *texts.Genre);
  }
  if (texts.Track) {
    EXPECT_EQ(tags.Track(), *texts.Track);
  }
  if (texts.Year) {
    EXPECT_EQ(tags.Year(), *texts.Year);
  }
  if constexpr (requires { tags.Comment(); }) {
    if (texts.Comment) {
      EXPECT_EQ(tags.Comment(), *texts.Comment);
    }
  } else {
    EXPECT_FALSE(texts.Comment) << "this container holds no comment";
  }
}

}  // namespace test_support
