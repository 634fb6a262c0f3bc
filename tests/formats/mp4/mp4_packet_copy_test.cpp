// SPDX-License-Identifier: GPL-3.0-or-later
// The M4A source and the lossless M4A cut, judged by FFmpeg's and GStreamer's decoders: our
// source reads the exact length; the copy of a range reads back as exactly the range, FFmpeg
// starts it at the asked sample, GStreamer plays it as it plays the source, and its packets are
// the source's bytes (ALAC's two edges aside). Broken and protected files are refused with
// their reason.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "formats/mp4/mp4_in.h"
#include "formats/mp4/mp4_packet_copy_out.h"
#include "pipeline_test_support.h"

using namespace test_support;

namespace {

struct TSourceKind {
  const char* Name;
  int Rate;
  int Channels;
  const char* Codec;  // ffmpeg's options
  bool Alac;
  bool ItunesPriming;  // 2112 samples of priming stated by the edit list and iTunSMPB
  int Bits;
};

void PrintTo(const TSourceKind& kind, std::ostream* out) {
  *out << kind.Name;
}

constexpr TSourceKind kKinds[] = {
    {"AAC-LC stereo 44.1 kHz", 44100, 2, "-c:a aac -aac_pns 0 -b:a 160k", false, false, 16},
    {"AAC-LC mono 22.05 kHz", 22050, 1, "-c:a aac -aac_pns 0 -b:a 64k", false, false, 16},
    {"AAC with iTunes priming", 44100, 2, "-c:a aac -aac_pns 0 -b:a 128k", false, true, 16},
    {"ALAC 16-bit", 44100, 2, "-c:a alac -sample_fmt s16p", true, false, 16},
    {"ALAC 24-bit", 48000, 2, "-c:a alac -sample_fmt s32p", true, false, 24},
};

uint32_t Get32(const std::vector<uint8_t>& bytes, size_t at) {
  return uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 | uint32_t{bytes[at + 2]} << 8 |
         bytes[at + 3];
}

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

// Where the four letters `type` first stand in `bytes`, from `from`.
size_t FindType(const std::vector<uint8_t>& bytes, const char* type, size_t from = 0) {
  const auto at =
      std::search(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end(), type, type + 4);
  return at == bytes.end() ? std::string::npos : static_cast<size_t>(at - bytes.begin()) - 4;
}

// A sweep in noise, so that a decode shifted by one sample differs everywhere. The iTunes
// kind's edit list is rewritten to skip 2112 samples, as iTunes's encoder primes, with the
// iTunSMPB item to match: FFmpeg's encoder primes 1024.
std::filesystem::path MakeSource(const TTempFolder& folder, const TSourceKind& kind) {
  const auto file = folder / "in.m4a";
  const std::string rate = std::to_string(kind.Rate);
  EXPECT_TRUE(Ffmpeg("-f lavfi -i 'aevalsrc=0.3*sin(2*PI*(200*t+60*t*t)):s=" + rate +
                     ":d=4' -f lavfi -i anoisesrc=a=0.05:r=" + rate +
                     ":d=4 -filter_complex amix=inputs=2 -ac " + std::to_string(kind.Channels) +
                     " " + kind.Codec + " " + Quoted(file.string())));
  if (kind.ItunesPriming) {
    std::vector<uint8_t> bytes = ReadBytes(file);
    const size_t elst = FindType(bytes, "elst");
    EXPECT_NE(elst, std::string::npos);
    Put32(bytes, elst + 16, Get32(bytes, elst + 16) - 25);  // 1088 samples less, in ms
    Put32(bytes, elst + 20, 2112);
    WriteBytes(file, bytes);
    Shell("/usr/bin/python3 -c \"import mutagen.mp4 as m; f = m.MP4('" + file.string() +
          "'); f['----:com.apple.iTunes:iTunSMPB'] = [m.MP4FreeForm(b' 00000000 00000840 "
          "000001CA 000000000002AF00')]; f.save()\"");
  }
  return file;
}

// The length the source states: the sound FFmpeg was given, less the iTunes kind's extra
// priming.
int64_t StatedLength(const TSourceKind& kind) {
  return int64_t{kind.Rate} * 4 - (kind.ItunesPriming ? 1088 : 0);
}

// The frames as bytes (16-bit, or 24-bit as our source hands them and 32-bit from FFmpeg).
std::vector<uint8_t> ReadSource(TAuInput& input) {
  std::vector<uint8_t> bytes;
  input.StartRead();
  for (bool ended = false; !ended;) {
    uint8_t block[1 << 15];  // whole frames of any width up to 8 channels of 24 bits
    const uint32_t got = input.ReadFull(block, sizeof block - sizeof block % 48, ended);
    bytes.insert(bytes.end(), block, block + got);
  }
  input.EndRead();
  return bytes;
}

// FFmpeg's decode as 16-bit, or for 24 bits as packed 24-bit like ours.
std::vector<uint8_t> FfmpegFrames(const std::filesystem::path& file, int bits) {
  if (bits == 16)
    return ShellBytes("ffmpeg -nostdin -v error -i " + Quoted(file.string()) + " -f s16le -");
  return ShellBytes("ffmpeg -nostdin -v error -i " + Quoted(file.string()) + " -f s24le -");
}

std::vector<uint8_t> GstreamerFrames(const std::filesystem::path& file) {
  const auto raw = file.string() + ".raw";
  Shell("gst-launch-1.0 -q filesrc location=" + Quoted(file.string()) +
        " ! decodebin ! audioconvert dithering=none ! audio/x-raw,format=S16LE,layout=interleaved "
        "! filesink location=" +
        Quoted(raw));
  return ReadBytes(raw);
}

// The audio packets' bytes one after another, as FFmpeg demuxes them.
std::string PacketBytes(const std::filesystem::path& file, bool dropEdges) {
  const std::vector<uint8_t> data = ShellBytes(
      "ffmpeg -nostdin -v error -i " + Quoted(file.string()) + " -map 0:a -c copy -f data -");
  std::string bytes(data.begin(), data.end());
  if (!dropEdges) return bytes;
  const TShellRun sizes = Shell(
      "ffprobe -v error -select_streams a -show_entries packet=size -of "
      "csv=p=0 " +
      Quoted(file.string()));
  const size_t first = std::stoul(sizes.Out);
  const size_t last = std::stoul(sizes.Out.substr(sizes.Out.rfind('\n', sizes.Out.size() - 2) + 1));
  return bytes.size() > first + last ? bytes.substr(first, bytes.size() - first - last) : "";
}

class Mp4Copy : public testing::TestWithParam<TSourceKind> {};

// From the start, in the middle at odd samples, to the end, and within one packet.
TEST_P(Mp4Copy, TheCopyOfARangeIsExactlyTheRangeFromTheSourcesPackets) {
  const TSourceKind& kind = GetParam();
  TTempFolder folder;
  const auto source = MakeSource(folder, kind);
  TMp4In whole;
  whole.SetFileName(source);
  ASSERT_TRUE(whole.Valid()) << whole.Refusal();
  EXPECT_EQ(whole.TotalSamples(), StatedLength(kind));
  const size_t width = static_cast<size_t>(kind.Channels) * kind.Bits / 8;
  const std::vector<uint8_t> ours = ReadSource(whole);
  EXPECT_EQ(ours.size(), StatedLength(kind) * width);
  const std::vector<uint8_t> ffmpeg = FfmpegFrames(source, kind.Bits);
  const std::vector<uint8_t> gstreamer = GstreamerFrames(source);
  const std::string packets = PacketBytes(source, false);
  // FFmpeg decodes what we do, to the end of the last packet.
  EXPECT_EQ(LargestDifference(ffmpeg, 0, ours), 0);
  const int64_t rate = kind.Rate, length = StatedLength(kind);
  const std::pair<int64_t, int64_t> ranges[] = {{0, 2 * rate},
                                                {rate * 13 / 10 + 17, rate * 31 / 10 + 4},
                                                {rate * 5 / 2 + 3, -1},
                                                {rate + 100, rate + 600}};
  for (const auto& [start, end] : ranges) {
    SCOPED_TRACE(std::to_string(start) + " to " + std::to_string(end));
    const int64_t last = end < 0 ? length - 1 : end;
    const int64_t frames = last - start + 1;
    const auto target = folder / "copy.m4a";
    TMp4In in;
    in.SetFileName(source);
    in.StartSample = start;
    in.EndSample = end;
    TMp4PacketCopyOut copy;
    copy.SetInput(&in);
    copy.SetFileName(target);
    copy.Mp4Tags().SetTrack(2, 9);
    ASSERT_EQ(pipeline_test::RunToEnd(copy), "");
    copy.SetInput(nullptr);
    EXPECT_EQ(copy.SamplesKept(), frames);

    // Our source reads exactly the range.
    TMp4In back;
    back.SetFileName(target);
    ASSERT_TRUE(back.Valid()) << back.Refusal();
    EXPECT_EQ(back.TotalSamples(), frames);
    // The tags went in, and an AAC cut states its gapless figures for Apple's players too.
    TMp4Tags tags;
    ASSERT_TRUE(ReadMp4Tags(target, tags));
    EXPECT_EQ(tags.Text("trkn"), "2/9");
    const TMp4Track track = back.Track();
    EXPECT_EQ(track.SmpbLength, kind.Alac ? -1 : frames);
    EXPECT_EQ(track.SmpbPriming, kind.Alac ? -1 : track.EditMediaTime);
    const std::vector<uint8_t> read = ReadSource(back);
    ASSERT_EQ(read.size(), frames * width);
    const std::vector<uint8_t> expected(ours.begin() + start * width,
                                        ours.begin() + (last + 1) * width);
    // AAC's first kept packet decodes without the one before it; after it, only the decoder's
    // noise substitution, which draws from its own random sequence, may differ by a step.
    if (kind.Alac)
      EXPECT_TRUE(read == expected);
    else
      EXPECT_LE(LargestDifference(read, 0, expected, 2048 * width), 1);

    // FFmpeg starts at the asked sample and plays up to the end of the last packet.
    const std::vector<uint8_t> decoded = FfmpegFrames(target, kind.Bits);
    const int64_t over = static_cast<int64_t>(decoded.size() / width) - frames;
    EXPECT_GE(over, 0);
    EXPECT_LE(over, kind.Alac ? 0 : 1023);
    if (kind.Alac)
      EXPECT_TRUE(std::vector<uint8_t>(decoded.begin(), decoded.begin() + frames * width) ==
                  expected);
    else
      EXPECT_LE(LargestDifference(ffmpeg, start * width, decoded, 2048 * width), 1);

    // GStreamer plays it as it plays the source there, but for rounding the edit to its
    // nanoseconds, which may start it a sample off, and an AAC end up to two packets short.
    const std::vector<uint8_t> played = GstreamerFrames(target);
    const size_t gstWidth = 2 * static_cast<size_t>(kind.Channels);
    const size_t skip = kind.Alac ? 0 : 2048 * gstWidth;
    int closest = 1 << 16;
    for (const int64_t shift : {int64_t{-1}, int64_t{0}, int64_t{1}})
      if (start + shift >= 0)
        closest = std::min(closest,
                           LargestDifference(gstreamer, (start + shift) * gstWidth, played, skip));
    EXPECT_LE(closest, 1);
    const int64_t gstFrames = static_cast<int64_t>(played.size() / gstWidth);
    EXPECT_LE(gstFrames, frames);
    EXPECT_GE(gstFrames, frames - (kind.Alac ? 0 : 2 * 1024 + 1));

    // The packets are the source's bytes.
    const std::string kept = PacketBytes(target, kind.Alac);
    if (!kind.Alac || frames > 3 * 4096) {
      EXPECT_TRUE(!kept.empty() && packets.find(kept) != std::string::npos);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, Mp4Copy, testing::ValuesIn(kKinds),
                         [](const testing::TestParamInfo<TSourceKind>& info) {
                           std::string name = info.param.Name;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

// Each fault written into a sound file FFmpeg made, and the words of the reason given.
TEST(Mp4In, BrokenOrProtectedFilesAreRefusedWithTheirReason) {
  TTempFolder folder;
  const auto good = folder / "good.m4a";
  const auto tail = folder / "tail.m4a";
  const auto fragmented = folder / "fragmented.m4a";
  ASSERT_TRUE(
      Ffmpeg("-f lavfi -i sine=d=1 -c:a aac -movflags +faststart " + Quoted(good.string())));
  ASSERT_TRUE(Ffmpeg("-f lavfi -i sine=d=1 -c:a aac " + Quoted(tail.string())));
  ASSERT_TRUE(Ffmpeg("-f lavfi -i sine=d=1 -c:a aac -movflags frag_keyframe+empty_moov " +
                     Quoted(fragmented.string())));
  const std::vector<uint8_t> bytes = ReadBytes(good);
  const size_t moov = FindType(bytes, "moov"), elst = FindType(bytes, "elst");
  const size_t entry = FindType(bytes, "mp4a", FindType(bytes, "stsd"));
  const auto edited = [&](const std::function<void(std::vector<uint8_t>&)>& edit) {
    std::vector<uint8_t> copy = bytes;
    edit(copy);
    return copy;
  };
  const struct {
    const char* Name;
    std::vector<uint8_t> Bytes;
    const char* Reason;
  } cases[] = {
      {"a moov box longer than the file",
       edited([&](auto& b) { Put32(b, moov, static_cast<uint32_t>(b.size())); }), "size"},
      {"an inner box longer than its parent", edited([&](auto& b) { Put32(b, elst, 0x7fffffff); }),
       "size"},
      {"no moov box", edited([&](auto& b) { std::memcpy(&b[moov + 4], "free", 4); }), "moov"},
      {"two edits", edited([&](auto& b) { Put32(b, elst + 12, 2); }), "edit"},
      {"an empty edit", edited([&](auto& b) { Put32(b, elst + 20, 0xffffffff); }), "empty edit"},
      {"drms", edited([&](auto& b) { std::memcpy(&b[entry + 4], "drms", 4); }), "protected"},
      {"enca", edited([&](auto& b) { std::memcpy(&b[entry + 4], "enca", 4); }), "protected"},
      {"a truncated file", std::vector<uint8_t>(bytes.begin(), bytes.begin() + moov + 100), "size"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto file = folder / "broken.m4a";
    WriteBytes(file, c.Bytes);
    TMp4In in;
    in.SetFileName(file);
    EXPECT_FALSE(in.Valid());
    EXPECT_NE(in.Refusal().find(c.Reason), std::string::npos) << in.Refusal();
  }
  TMp4In atEnd;
  atEnd.SetFileName(tail);
  EXPECT_TRUE(atEnd.Valid()) << "a moov after the data is read as well";
  TMp4In pieces;
  pieces.SetFileName(fragmented);
  EXPECT_FALSE(pieces.Valid());
  EXPECT_NE(pieces.Refusal().find("fragmented"), std::string::npos) << pieces.Refusal();
}

}  // namespace
