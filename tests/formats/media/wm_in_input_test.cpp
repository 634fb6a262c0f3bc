// The sources on files that are not what their names say, damaged, empty or missing.

#include <gtest/gtest.h>

#include "media_source_support.h"
#include "pipeline/au_exception.h"

namespace trimora::media::test {
namespace {

TEST(MediaSourceInput, FilesWithoutDecodableAudioAreNotValidAndReadNothing) {
  const std::string text(5000, 't');
  auto wma = LoadMediaFixture("wma_v2_64k_44k_stereo.wma");
  for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::vector<uint8_t>>>{
           {"empty.mp3", {}},
           {"empty.wma", {}},
           {"text.mp3", std::vector<uint8_t>(text.begin(), text.end())},
           {"header_only.wma", std::vector<uint8_t>(wma.begin(), wma.begin() + 200)}}) {
    SCOPED_TRACE(name);
    const TTempFile file(name, bytes);
    std::unique_ptr<TWMIn> source =
        name.ends_with(".mp3") ? std::make_unique<TMP3In>() : std::make_unique<TWMIn>();
    source->SetFileName(file.Path());
    EXPECT_FALSE(source->Valid());
    EXPECT_EQ(source->Bitrate(), 0u);
    EXPECT_FALSE(source->IsVBR());
    EXPECT_EQ(source->Id3v2Tags().Title(), u"");
    // The read falls back to a format of its own and ends at once.
    EXPECT_TRUE(ReadAll(*source).empty());
    EXPECT_EQ(source->SampleRate(), 8000);
    EXPECT_EQ(source->BitsPerSample(), 8);
    EXPECT_EQ(source->Channels(), 1);
  }
}

// A file that does not open after one that did: nothing of the first survives, and asking
// again changes nothing.
TEST(MediaSourceInput, AFailedOpenForgetsTheFileBefore) {
  const std::string text(5000, 't');
  for (const std::string fixture :
       {"mp3_ffmpeg_cbr96_48k_stereo.mp3", "wma_v2_64k_44k_stereo.wma"}) {
    SCOPED_TRACE(fixture);
    const TTempFile broken("text" + fixture.substr(fixture.size() - 4),
                           std::vector<uint8_t>(text.begin(), text.end()));
    auto source = SourceFor(fixture);
    ASSERT_GT(source->TotalSamples(), 0);
    ASSERT_EQ(source->Id3v2Tags().Title(), u"FF Title");
    source->SetFileName(broken.Path());
    for (int query = 0; query < 3; ++query) EXPECT_EQ(source->TotalSamples(), -1);
    EXPECT_EQ(source->Size(), 0);
    EXPECT_EQ(source->Duration(), 0u);
    EXPECT_EQ(source->SampleRate(), 8000);
    EXPECT_EQ(source->BitsPerSample(), 8);
    EXPECT_EQ(source->Channels(), 1);
    EXPECT_EQ(source->Id3v2Tags().Title(), u"");
    EXPECT_EQ(source->CommonTags().Artist(), u"");
  }
}

TEST(MediaSourceInput, TheContentDecidesNotTheExtension) {
  // A WMA file named .mp3 and an MP3 file named .wma decode as what they are.
  for (const auto& [fixture, name] : std::vector<std::pair<std::string, std::string>>{
           {"wma_v2_64k_44k_stereo.wma", "renamed.mp3"},
           {"mp3_lame_cbr128_44k_stereo.mp3", "renamed.wma"}}) {
    SCOPED_TRACE(name);
    const TTempFile file(name, LoadMediaFixture(fixture));
    std::unique_ptr<TWMIn> source =
        name.ends_with(".mp3") ? std::make_unique<TMP3In>() : std::make_unique<TWMIn>();
    source->SetFileName(file.Path());
    EXPECT_TRUE(source->Valid());
    EXPECT_EQ(Md5Hex(ReadAll(*source)), Expected(fixture).Md5);
  }
}

TEST(MediaSourceInput, MissingNamesAndFilesRaise) {
  TWMIn unnamed;
  try {
    unnamed.IsProtected();
    FAIL() << "no exception";
  } catch (const EAuException& e) {
    EXPECT_STREQ(e.what(), "File name is not assigned");
  }
  TMP3In missing;
  missing.SetFileName("/nonexistent/folder/song.mp3");
  EXPECT_THROW(missing.Valid(), EAuException);
}

TEST(MediaSourceInput, ACallersStreamIsReadAndRewound) {
  TAuMemoryStream stream(LoadMediaFixture("mp3_lame_cbr32_22k_mono.mp3"));
  TMP3In source;
  source.SetStream(&stream);
  EXPECT_TRUE(source.Valid());
  EXPECT_EQ(Md5Hex(ReadAll(source)), Expected("mp3_lame_cbr32_22k_mono.mp3").Md5);
  EXPECT_EQ(stream.Position(), 0);
}

}  // namespace
}  // namespace trimora::media::test
