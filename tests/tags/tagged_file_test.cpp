// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "tags/tagged_file_in.h"
#include "tags/tagged_file_out.h"

namespace {

// The smallest concrete source and sink: owning the tag objects needs no file work.
class TTaggedIn : public TAuTaggedFileIn {
 protected:
  void OpenFile() override {}
  void CloseFile() override {}
  void ReadBlock(uint8_t*&, uint32_t& bytes) override { bytes = 0; }
  bool DoSeek(int64_t&) override { return false; }
};

class TTaggedOut : public TAuTaggedFileOut {
 public:
  ~TTaggedOut() override { Shutdown(); }

 protected:
  void PrepareOutput() override {}
  bool WriteBlock(bool) override { return false; }
  void FinishOutput() override {}
};

TEST(TaggedFileIn, NeverOpenedSourceHasOnlyConstructionValues) {
  TTaggedIn source;
  EXPECT_TRUE(source.Id3v1Tags().Empty());
  EXPECT_TRUE(source.CommonTags().Empty());
  for (const TAuTags* tags : {static_cast<const TAuTags*>(&source.Id3v2Tags()),
                              static_cast<const TAuTags*>(&source.APEv2Tags())}) {
    EXPECT_TRUE(tags->Empty());
    for (int i = 0; i < tags->ValueCount(); ++i) {
      EXPECT_EQ(tags->GetValue(tags->KeyAt(i)), TAuTagValue{}) << tags->KeyAt(i);
    }
  }
}

TEST(TaggedFileIn, KeepsItsObjectsAndValuesAcrossFileNames) {
  TTaggedIn source;
  const TId3v2Tags* const owned = &source.Id3v2Tags();
  source.Id3v2Tags().SetArtist(u"Someone");
  source.SetFileName("/nonexistent/a.mp3");
  source.SetFileName("/nonexistent/b.mp3");
  EXPECT_EQ(&source.Id3v2Tags(), owned);
  EXPECT_EQ(source.Id3v2Tags().Artist(), u"Someone");
}

TEST(TaggedFileOut, SettingTagsCopiesValuesIntoTheOwnedObject) {
  TTaggedOut sink;
  const TId3v2Tags* const owned = &sink.Id3v2Tags();
  TId3v2Tags given;
  given.SetTitle(u"First");
  sink.SetId3v2Tags(given);
  given.SetTitle(u"Changed later");
  EXPECT_EQ(&sink.Id3v2Tags(), owned);
  EXPECT_EQ(sink.Id3v2Tags().Title(), u"First");

  TId3v1Tags v1;
  v1.SetArtist("Artist");
  sink.SetId3v1Tags(v1);
  v1.ClearValues();
  EXPECT_EQ(sink.Id3v1Tags().Artist(), "Artist");
}

}  // namespace
