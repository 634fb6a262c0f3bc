#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "pipeline/au_exception.h"
#include "pipeline/main_thread_queue.h"
#include "tag_test_files.h"
#include "tags/tagged_file_in.h"
#include "tags/tagged_file_out.h"

namespace {

using namespace tagtest;

// A raw 16-bit stereo file behind an optional ID3v2 tag, filling its tag objects when it
// opens the file as the compressed-format sources do.
class TTaggedRawIn : public TAuTaggedFileIn {
 public:
  ~TTaggedRawIn() override { CloseFile(); }

 protected:
  void OpenFile() override {
    std::lock_guard lock(FileLock);
    if (OpenCount > 0) return;
    Id3v2Tags().ClearValues();
    CommonTags().ClearValues();
    TTagFile tagFile = TTagFile::Open(FileName(), TTagFile::TMode::Read);
    DataStart = Id3v2Tags().ReadTag(tagFile) ? tagFile.Position().value_or(0) : 0;
    CommonTags().SetTitle(Id3v2Tags().Title());
    OpenStream();
    FValid = true;
    FBitsPerSample = 16;
    FChannels = 2;
    FSampleRate = 8000;
    FSize = Stream->Size() - DataStart;
    Stream->SetPosition(DataStart);
    ++OpenCount;
  }
  void CloseFile() override {
    std::lock_guard lock(FileLock);
    if (OpenCount == 0) return;
    CloseStream();
    OpenCount = 0;
  }
  void ReadBlock(uint8_t*& buffer, uint32_t& bytes) override {
    Buffer.resize(bytes);
    bytes = static_cast<uint32_t>(Stream->Read(Buffer.data(), bytes));
    buffer = Buffer.data();
  }
  bool DoSeek(int64_t& sampleNum) override {
    Stream->SetPosition(DataStart + sampleNum * 4);
    return true;
  }

 private:
  std::vector<uint8_t> Buffer;
  std::int64_t DataStart = 0;
};

// Copies its input to the file and tags the finished file as the MP3 sink does: an ID3v2 tag
// in front, an ID3v1 record behind.
class TTaggedRawOut : public TAuTaggedFileOut {
 public:
  ~TTaggedRawOut() override { Shutdown(); }

 protected:
  void PrepareOutput() override {
    CreateStream();
    Input()->StartRead();
  }
  bool WriteBlock(bool Abort) override {
    std::vector<uint8_t> block(4096);
    const uint32_t n = Abort ? 0 : Input()->ReadInto(block.data(), 4096);
    Stream->WriteBuffer(block.data(), n);
    return n > 0;
  }
  void FinishOutput() override {
    CloseStream();
    Input()->EndRead();
    TTagFile file = TTagFile::Open(FileName(), TTagFile::TMode::ReadWrite);
    if (!Id3v2Tags().WriteTag(file, true) || !Id3v1Tags().WriteTag(file, false)) {
      throw EAuException("Cannot write the tags");
    }
  }
};

bool RunToEnd(TAuOutput& sink) {
  bool done = false;
  sink.OnDone = [&](TComponent*) { done = true; };
  sink.Run();
  // A generous bound that only a hang reaches; the run itself takes milliseconds.
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done && std::chrono::steady_clock::now() < giveUp) {
    TMainThreadQueue::WaitAndProcess(std::chrono::milliseconds(5));
  }
  return done && sink.ExceptionMessage().empty();
}

TEST(TaggedFileIn, NeverOpenedSourceHasOnlyConstructionValues) {
  TTaggedRawIn source;
  EXPECT_TRUE(source.Id3v1Tags().Empty());
  EXPECT_TRUE(source.Id3v2Tags().Empty());
  EXPECT_TRUE(source.APEv2Tags().Empty());
  EXPECT_TRUE(source.CommonTags().Empty());
  for (const TAuTags* tags : {static_cast<const TAuTags*>(&source.Id3v2Tags()),
                              static_cast<const TAuTags*>(&source.APEv2Tags())}) {
    for (int i = 0; i < tags->ValueCount(); ++i) {
      EXPECT_EQ(tags->GetValue(tags->KeyAt(i)), TAuTagValue{}) << tags->KeyAt(i);
    }
  }
  EXPECT_EQ(source.Id3v1Tags().Title(), "");
  EXPECT_EQ(source.CommonTags().Title(), u"");
}

TEST(TaggedFileOut, SettingTagsCopiesValuesIntoTheOwnedObject) {
  TTaggedRawOut sink;
  TId3v2Tags* const owned = &sink.Id3v2Tags();
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

// The path a cut takes: the source reads its tags at open, the window copies them to the
// sink, the sink tags the file it wrote; the objects outlive the run and a new file name.
TEST(TaggedFiles, TagsTravelFromSourceThroughARunIntoTheOutput) {
  TTempDir dir;
  TBytes pcm(4000);
  for (std::size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<std::byte>(i * 7);
  const auto input = dir.Write("in.raw", pcm);
  {
    TId3v2Tags tags;
    tags.SetTitle(u"Tagged \u263A");
    tags.SetArtist(u"Someone");
    TTagFile file = TTagFile::Open(input, TTagFile::TMode::ReadWrite);
    ASSERT_TRUE(tags.WriteTag(file, true));
  }

  TTaggedRawIn source;
  source.SetFileName(input);
  ASSERT_EQ(source.TotalSamples(), 1000);
  EXPECT_EQ(source.Id3v2Tags().Title(), u"Tagged \u263A");
  EXPECT_EQ(source.CommonTags().Title(), u"Tagged \u263A");

  TTaggedRawOut sink;
  sink.SetInput(&source);
  sink.SetId3v2Tags(source.Id3v2Tags());
  sink.Id3v1Tags().SetTitle("Tagged");
  const TId3v2Tags* const sinkTags = &sink.Id3v2Tags();
  const auto output = dir.Path() / "out.raw";
  sink.SetFileName(output);
  ASSERT_TRUE(RunToEnd(sink));

  TTagFile file = TTagFile::Open(output, TTagFile::TMode::Read);
  TId3v2Tags v2;
  ASSERT_TRUE(v2.ReadTag(file));
  EXPECT_EQ(v2.Title(), u"Tagged \u263A");
  EXPECT_EQ(v2.Artist(), u"Someone");
  const std::int64_t audioStart = file.Position().value_or(0);
  TId3v1Tags v1;
  ASSERT_TRUE(v1.ReadTag(file));
  EXPECT_EQ(v1.Title(), "Tagged");
  const TBytes written = ReadAll(output);
  EXPECT_EQ(TBytes(written.begin() + audioStart, written.end() - 128), pcm);

  // Same objects, same values after the run and after a new file name.
  source.SetFileName(dir.Path() / "elsewhere.raw");
  sink.SetFileName(dir.Path() / "other.raw");
  EXPECT_EQ(&sink.Id3v2Tags(), sinkTags);
  EXPECT_EQ(sink.Id3v2Tags().Artist(), u"Someone");
  EXPECT_EQ(source.Id3v2Tags().Artist(), u"Someone");
}

}  // namespace
