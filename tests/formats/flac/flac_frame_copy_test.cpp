// SPDX-License-Identifier: GPL-3.0-or-later
// The lossless FLAC cut, judged by FFmpeg's and GStreamer's decoders and the flac tool: the
// copy of a range decodes to exactly the source's samples over the range, its STREAMINFO
// check sum agrees with its audio, and every frame between the re-encoded edges carries the
// source's own bytes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "formats/flac/flac_frame_copy_out.h"
#include "formats/flac/flac_frame_index.h"
#include "formats/flac/flac_stream.h"
#include "pipeline/au_file_stream.h"
#include "pipeline_test_support.h"

using namespace test_support;

namespace {

// The smallest FLAC file source: it only opens the file and tells what STREAMINFO says; the
// copy sink reads the file itself.
class TFlacTestIn : public TAuFileIn {
 public:
  ~TFlacTestIn() override {
    NotifyDestroying();
    CloseFile();
  }

 protected:
  void OpenFile() override {
    std::lock_guard lock(FileLock);
    if (OpenCount > 0) return;
    OpenStream();
    const TFlacStart start = ReadFlacStart(*Stream);
    FValid = true;
    FBitsPerSample = static_cast<int32_t>(start.Info.BitsPerSample);
    FChannels = static_cast<int32_t>(start.Info.Channels);
    FSampleRate = static_cast<int32_t>(start.Info.SampleRate);
    FTotalSamples = static_cast<int64_t>(start.Info.TotalSamples);
    ++OpenCount;
  }
  void CloseFile() override {
    std::lock_guard lock(FileLock);
    if (OpenCount == 0) return;
    CloseStream();
    OpenCount = 0;
  }
  void ReadBlock(uint8_t*& buffer, uint32_t& bytes) override {
    buffer = nullptr;
    bytes = 0;
  }
  bool DoSeek(int64_t&) override { return true; }
};

struct TSource {
  const char* Name;
  int Rate;
  int Channels;
  // How the source is made from `noise.wav` (a tone under noise on every channel) into
  // `in.flac`: the arguments of ffmpeg, or a whole command piping into the flac tool.
  std::string Make;
  bool CutAgain = false;  // cut its copy too: a variable-blocksize source
};

std::string Path(const TTempFolder& folder, const char* name) {
  return Quoted((folder / name).string());
}

std::filesystem::path MakeSource(const TTempFolder& folder, const TSource& source) {
  std::string exprs;
  for (int c = 0; c < source.Channels; ++c)
    exprs += (c ? "|" : "") + std::string("val(0)*0.5+0.2*(random(") + std::to_string(c) + ")-0.5)";
  const std::string rate = std::to_string(source.Rate);
  EXPECT_TRUE(Ffmpeg("-f lavfi -i sine=f=440:r=" + rate + ":d=4 -af 'aeval=" + exprs +
                     ":c=" + std::to_string(source.Channels) + "c' -c:a pcm_s32le " +
                     Path(folder, "noise.wav")));
  if (source.Make.find(" | flac ") != std::string::npos)
    EXPECT_EQ(Shell(source.Make).Status, 0);
  else
    EXPECT_TRUE(Ffmpeg("-i " + Path(folder, "noise.wav") + " " + source.Make + " " +
                       Path(folder, "in.flac")));
  return folder / "in.flac";
}

// FFmpeg's decode: interleaved 32-bit words, a sample in the top bits.
std::vector<uint8_t> DecodeS32(const std::filesystem::path& file) {
  return ShellBytes("ffmpeg -nostdin -loglevel error -i " + Quoted(file.string()) +
                    " -f s32le -c:a pcm_s32le -");
}

std::vector<uint8_t> GstreamerDecodeS32(const TTempFolder& folder,
                                        const std::filesystem::path& file) {
  const auto raw = folder / "gst.raw";
  std::filesystem::remove(raw);
  Shell("gst-launch-1.0 -q filesrc location=" + Quoted(file.string()) +
        " ! flacparse ! flacdec ! audioconvert ! audio/x-raw,format=S32LE ! filesink location=" +
        Quoted(raw.string()));
  return ReadBytes(raw);
}

// Copies samples `start` to `end` (inclusive, -1: to the end) of `source` into `target` as a
// cut does. The run's error, or empty; the samples kept in `kept`.
std::string CopyRange(const std::filesystem::path& source, const std::filesystem::path& target,
                      int64_t start, int64_t end, int64_t* kept = nullptr) {
  TFlacTestIn in;
  in.SetFileName(source);
  in.StartSample = start;
  in.EndSample = end;
  TFlacFrameCopyOut copy;
  copy.SetInput(&in);
  copy.SetFileName(target);
  const std::string error = pipeline_test::RunToEnd(copy);
  copy.SetInput(nullptr);
  if (kept != nullptr) *kept = copy.SamplesKept();
  EXPECT_EQ(in.StartSample, 0);
  EXPECT_EQ(in.EndSample, -1);
  return error;
}

uint32_t FirstBlockSize(const std::filesystem::path& file) {
  TAuFileStream stream(file, fmOpenRead | fmShareDenyWrite);
  TFlacFrameIndex index(stream, ReadFlacStart(stream));
  return index.Reach(0) ? index.Frame(0).BlockSize : 0;
}

// How many frames of `target` between its first and last (as FFmpeg's demuxer splits them)
// do not carry audio bytes found in `source`, in order.
int ForeignMiddleFrames(const std::filesystem::path& target, const std::vector<uint8_t>& source) {
  const std::string packets =
      Shell("ffprobe -v error -select_streams a -show_entries packet=size,pos -of csv=p=0 " +
            Quoted(target.string()))
          .Out;
  const std::vector<uint8_t> bytes = ReadBytes(target);
  std::vector<std::pair<size_t, size_t>> frames;
  size_t pos = 0, size = 0;
  for (const char* p = packets.c_str(); std::sscanf(p, "%zu,%zu", &size, &pos) == 2;) {
    frames.emplace_back(pos, size);
    p = std::strchr(p, '\n');
    if (p == nullptr) break;
    ++p;
  }
  int foreign = 0;
  auto from = source.begin();
  for (size_t k = 1; k + 1 < frames.size(); ++k) {
    const auto [at, length] = frames[k];
    const auto header = ParseFlacFrameHeader(bytes.data() + at, length);
    if (!header || at + length > bytes.size()) {
      ++foreign;
      continue;
    }
    const auto body = bytes.begin() + static_cast<ptrdiff_t>(at + header->Bytes);
    const auto bodyEnd = bytes.begin() + static_cast<ptrdiff_t>(at + length - 2);
    const auto found = std::search(from, source.end(), body, bodyEnd);
    if (found == source.end())
      ++foreign;
    else
      from = found;
  }
  return foreign;
}

std::string Md5Of(const std::filesystem::path& file) {
  return Shell("metaflac --show-md5sum " + Quoted(file.string())).Out;
}

}  // namespace

// Every kind of source cut at frame edges, at odd samples inside frames and across many, to
// and past its end: FFmpeg decodes the copy to exactly the source's samples over the range,
// GStreamer to the same, the flac tool finds its MD5 right, and the frames between the two
// re-encoded edges are the source's bytes.
TEST(FlacFrameCopy, EveryRangeDecodesToExactlyItsSamplesFromTheSourcesOwnFrames) {
  TTempFolder folder;
  const std::string raw = "flac -s -f --force-raw-format --endian=little --sign=signed";
  const TSource sources[] = {
      {"16-bit stereo", 44100, 2, "-c:a flac -sample_fmt s16", true},
      {"16-bit mono", 22050, 1, "-c:a flac -sample_fmt s16"},
      {"24-bit stereo", 48000, 2, "-c:a flac -sample_fmt s32 -bits_per_raw_sample 24", true},
      {"24-bit 6 channels", 44100, 6, "-c:a flac -sample_fmt s32 -bits_per_raw_sample 24"},
      {"8-bit mono by the flac tool", 8000, 1,
       "ffmpeg -loglevel error -y -i " + Path(folder, "noise.wav") + " -f u8 -c:a pcm_u8 - | " +
           raw + " --sign=unsigned --channels=1 --bps=8 --sample-rate=8000 -o " +
           Path(folder, "in.flac") + " -"},
      {"16-bit stereo by the flac tool, left/side", 44100, 2,
       "ffmpeg -loglevel error -y -i " + Path(folder, "noise.wav") +
           " -f s16le -c:a pcm_s16le - | " + raw +
           " --channels=2 --bps=16 --sample-rate=44100 -o " + Path(folder, "in.flac") + " -"},
  };
  for (const TSource& kind : sources) {
    const auto source = MakeSource(folder, kind);
    const std::vector<uint8_t> whole = DecodeS32(source);
    const std::vector<uint8_t> sourceBytes = ReadBytes(source);
    const size_t frameBytes = static_cast<size_t>(kind.Channels) * 4;
    const auto total = static_cast<int64_t>(whole.size() / frameBytes);
    ASSERT_GT(total, 0) << kind.Name;
    const int64_t r = kind.Rate, b = FirstBlockSize(source);
    ASSERT_GT(b, 16) << kind.Name;
    // A copy of a copy: the variable-blocksize stream a cut writes is a source too.
    const auto cutOfCut = folder / "cut.flac";
    if (kind.CutAgain) {
      ASSERT_EQ(CopyRange(source, cutOfCut, 7, -1), "");
    }
    const std::pair<int64_t, int64_t> ranges[] = {{0, r + 12345},
                                                  {r * 13 / 10 + 17, r * 27 / 10 + 4},
                                                  {b * 5 + 100, b * 5 + 150},
                                                  {3 * r + 5, -1},
                                                  {b * 3 - 5, b * 6 + 7},
                                                  {r, r * 100},
                                                  {b * 2 + 1, b * 2 + 10},
                                                  {b, b * 4 - 1},
                                                  // Over a MiB of frames, ending in a cut one.
                                                  {b, 3 * r + 5}};
    for (const auto& [file, shift] :
         {std::pair{source, int64_t{0}}, std::pair{cutOfCut, int64_t{7}}}) {
      if (shift != 0 && !kind.CutAgain) continue;
      for (const auto& [start, end] : ranges) {
        SCOPED_TRACE(std::string(kind.Name) + (shift ? " (cut again)" : "") + " from " +
                     std::to_string(start) + " to " + std::to_string(end));
        const auto target = folder / "out.flac";
        int64_t kept = 0;
        ASSERT_EQ(CopyRange(file, target, start, end, &kept), "");
        const int64_t stop = std::min(end < 0 ? total : end + 1, total - shift);
        const std::vector<uint8_t> expected(
            whole.begin() + static_cast<ptrdiff_t>((start + shift) * frameBytes),
            whole.begin() + static_cast<ptrdiff_t>((stop + shift) * frameBytes));
        EXPECT_EQ(kept, stop - start);
        const std::vector<uint8_t> decoded = DecodeS32(target);
        EXPECT_EQ(decoded.size(), expected.size());
        EXPECT_TRUE(decoded == expected) << "FFmpeg decodes the copy to other samples";
        EXPECT_TRUE(GstreamerDecodeS32(folder, target) == expected)
            << "GStreamer decodes the copy to other samples";
        EXPECT_EQ(Shell("flac -s -t " + Quoted(target.string()) + " 2>&1").Status, 0);
        EXPECT_NE(Md5Of(target), "00000000000000000000000000000000\n");
        EXPECT_EQ(ForeignMiddleFrames(target, sourceBytes), 0);
      }
    }
  }
}

// Broken sources: a cut of the frames that hold is exact, a cut that needs a damaged or
// missing frame fails with the reason and leaves no file, and a STREAMINFO that lies about
// the length does not change what is cut.
TEST(FlacFrameCopy, BrokenSourcesGiveTheFramesThatHoldOrAClearReason) {
  TTempFolder folder;
  const auto source = MakeSource(folder, {"16-bit stereo", 44100, 2, "-c:a flac -sample_fmt s16"});
  const std::vector<uint8_t> good = ReadBytes(source);
  const std::vector<uint8_t> whole = DecodeS32(source);
  const auto total = static_cast<int64_t>(whole.size() / 8);
  TAuFileStream stream(source, fmOpenRead | fmShareDenyWrite);
  const auto audio = static_cast<size_t>(ReadFlacStart(stream).AudioOffset);
  const auto raw32 = folder / "noise32.raw";
  ASSERT_TRUE(Ffmpeg("-i " + Path(folder, "noise.wav") + " -f s32le -c:a pcm_s32le " +
                     Quoted(raw32.string())));
  ASSERT_EQ(Shell("flac -s -f --force-raw-format --endian=little --sign=signed --channels=2 "
                  "--bps=32 --sample-rate=44100 -o " +
                  Path(folder, "s32.flac") + " " + Quoted(raw32.string()))
                .Status,
            0);

  using TEdit = std::function<void(std::vector<uint8_t>&)>;
  struct TCase {
    const char* Name;
    TEdit Edit;
    int64_t Start, End;
    const char* Error;  // "": the cut succeeds with the samples of the frames that hold
  };
  const TCase cases[] = {
      {"cut short inside a frame", [](auto& b) { b.resize(b.size() * 6 / 10); }, 0, -1, ""},
      {"a damaged frame after the range", [](auto& b) { b[b.size() / 2] ^= 0x41; }, 4000, 40000,
       ""},
      {"a damaged frame in the range", [](auto& b) { b[b.size() / 2] ^= 0x41; }, 4000, -1,
       "damaged at byte"},
      {"STREAMINFO tells a wrong length", [](auto& b) { b[8 + 17] = 100; }, 0, -1, ""},
      {"STREAMINFO tells another sample size",
       [](auto& b) {
         b[8 + 12] |= 1;  // 16 bits become 24
         b[8 + 13] = static_cast<uint8_t>((b[8 + 13] & 0x0F) | 0x70);
       },
       0, -1, "does not match the STREAMINFO"},
      {"no frames", [&](auto& b) { b.resize(audio); }, 0, -1, "no FLAC frame"},
      {"no FLAC stream", [](auto& b) { b.assign(1000, 'x'); }, 0, -1, "holds no FLAC stream"},
      {"32-bit samples", [&](auto& b) { b = ReadBytes(folder / "s32.flac"); }, 0, -1,
       "32-bit samples cannot be decoded"},
      {"a range past the end", [](auto&) {}, total + 10, -1, "holds no sound"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<uint8_t> bytes = good;
    c.Edit(bytes);
    const auto broken = folder / "broken.flac";
    WriteBytes(broken, bytes);
    const auto target = folder / "out.flac";
    std::filesystem::remove(target);
    int64_t kept = 0;
    const std::string error = CopyRange(broken, target, c.Start, c.End, &kept);
    if (*c.Error != '\0') {
      EXPECT_NE(error.find(c.Error), std::string::npos) << error;
      EXPECT_FALSE(std::filesystem::exists(target));
      continue;
    }
    ASSERT_EQ(error, "");
    const std::vector<uint8_t> decoded = DecodeS32(target);
    ASSERT_GT(kept, 0);
    EXPECT_EQ(decoded.size(), static_cast<size_t>(kept) * 8);
    EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), whole.begin() + c.Start * 8));
    EXPECT_EQ(Shell("flac -s -t " + Quoted(target.string()) + " 2>&1").Status, 0);
    if (c.End >= 0) {
      EXPECT_EQ(kept, c.End - c.Start + 1);
    }
  }
}

// A cut into its own source is refused before anything is written: the source holds the
// file against writers.
TEST(FlacFrameCopy, ACutOverItsOwnSourceIsRefusedAndLeavesItAsItWas) {
  TTempFolder folder;
  const auto source = MakeSource(folder, {"16-bit mono", 8000, 1, "-c:a flac -sample_fmt s16"});
  const std::vector<uint8_t> before = ReadBytes(source);
  EXPECT_NE(CopyRange(source, source, 0, -1), "");
  EXPECT_TRUE(ReadBytes(source) == before);
}

// The comment fields given to the sink are in the finished file, which stays valid.
TEST(FlacFrameCopy, TheCommentFieldsGoInAfterTheFrames) {
  TTempFolder folder;
  const auto source = MakeSource(folder, {"16-bit mono", 44100, 1, "-c:a flac -sample_fmt s16"});
  const auto target = folder / "out.flac";
  TFlacTestIn in;
  in.SetFileName(source);
  in.StartSample = 1000;
  TFlacFrameCopyOut copy;
  copy.XiphTags().Fields = {{"TITLE", "Kept"}, {"ARTIST", "Someone"}};
  copy.SetInput(&in);
  copy.SetFileName(target);
  ASSERT_EQ(pipeline_test::RunToEnd(copy), "");
  copy.SetInput(nullptr);
  EXPECT_EQ(Probe(target, "format_tags=title"), "Kept");
  EXPECT_EQ(Shell("flac -s -t " + Quoted(target.string()) + " 2>&1").Status, 0);
}
