// SPDX-License-Identifier: GPL-3.0-or-later
// FLAC, Ogg Vorbis, Opus and M4A through the command line, one row per kind of file: what
// info tells, and cuts re-encoded and with the frames kept, judged by FFmpeg's and GStreamer's
// decoders and by mutagen's reading of the tags.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli_test_support.h"

namespace {

using namespace cli_test;
using test_support::LargestDifference;
using test_support::Quoted;

struct TKindRow {
  const char* File;
  const char* Encode;  // ffmpeg's output options
  const char* Format;  // the start of info's format line
  const char* Codec;   // ffprobe's codec name
  const char* Pcm;     // the raw format its samples compare in
  int Rate, Channels;
  bool Lossless;
  // Frames FFmpeg 5.1 may decode past the end an M4A's edit list states: AAC's last packet.
  int Overrun = 0;
};

void PrintTo(const TKindRow& row, std::ostream* out) {
  *out << row.File;
}

const TKindRow kKinds[] = {
    {"s16.flac", "-ac 2 -c:a flac -sample_fmt s16", "FLAC, 16-bit", "flac", "s16le", 44100, 2,
     true},
    {"m24.flac", "-ac 1 -c:a flac -sample_fmt s32 -bits_per_raw_sample 24", "FLAC, 24-bit", "flac",
     "s32le", 44100, 1, true},
    {"stereo.ogg", "-ac 2 -c:a libvorbis -q:a 5", "Ogg Vorbis, about 160 kbps", "vorbis", "s16le",
     44100, 2, false},
    {"stereo.opus", "-ac 2 -c:a libopus -b:a 96k", "Opus, ", "opus", "s16le", 48000, 2, false},
    {"mono.opus", "-ac 1 -c:a libopus -b:a 48k", "Opus, ", "opus", "s16le", 48000, 1, false},
    // Without noise substitution, whose noise a decoder starting inside the file draws anew.
    {"stereo.m4a", "-ac 2 -c:a aac -aac_pns 0 -b:a 160k", "M4A, AAC-LC, 16", "aac", "s16le", 44100,
     2, false, 1023},
    {"s16.m4a", "-ac 2 -c:a alac -sample_fmt s16p", "M4A, Apple Lossless, 16-bit", "alac", "s16le",
     44100, 2, true},
    {"s24.m4a", "-ac 2 -c:a alac -sample_fmt s32p", "M4A, Apple Lossless, 24-bit", "alac", "s32le",
     44100, 2, true},
};

// Seven seconds of a sweep over a quiet hiss, every kind tagged by mutagen with the fields a
// tagger writes (ReplayGain, a name of its own, a repeated artist) and a cover picture; an
// M4A with every text item, the numbers, the flag and two covers.
std::string MakeScript() {
  std::string script =
      "ffmpeg -nostdin -v error -f lavfi -i color=red:s=8x8 -frames:v 1 cover.png && "
      "ffmpeg -nostdin -v error -f lavfi -i color=blue:s=8x8 -frames:v 1 back.jpg && ";
  for (const TKindRow& row : kKinds)
    script +=
        "ffmpeg -nostdin -v error -f lavfi -i 'aevalsrc=0.3*sin(2*PI*(200*t+60*t*t))+"
        "0.01*random(0)|0.3*sin(2*PI*(300*t+40*t*t)):d=7:s=" +
        std::to_string(row.Rate == 48000 ? 48000 : 44100) + "' " + row.Encode + " " + row.File +
        " && ";
  script +=
      "/usr/bin/python3 -c \"\n"
      "import base64, glob, mutagen\n"
      "from mutagen.flac import Picture\n"
      "p = Picture(); p.type = 3; p.mime = 'image/png'; p.desc = 'Front'\n"
      "p.data = open('cover.png', 'rb').read()\n"
      "for name in glob.glob('*.flac') + glob.glob('*.ogg') + glob.glob('*.opus'):\n"
      "    f = mutagen.File(name)\n"
      "    f['TITLE'] = 'Caf\u00E9'; f['ARTIST'] = ['One', 'Two']\n"
      "    f['REPLAYGAIN_TRACK_GAIN'] = '-3.20 dB'; f['MOOD'] = 'calm'\n"
      "    if name.endswith('.flac'): f.add_picture(p)\n"
      "    else: f['METADATA_BLOCK_PICTURE'] = base64.b64encode(p.write()).decode()\n"
      "    f.save()\n"
      "from mutagen.mp4 import MP4, MP4Cover, MP4FreeForm\n"
      "for name in glob.glob('*.m4a'):\n"
      "    f = MP4(name)\n"
      "    for key, value in (('nam', 'Caf\u00E9'), ('ART', 'One'), ('alb', 'Album'),\n"
      "                       ('day', '2024'), ('gen', 'Jazz'), ('wrt', 'Writer'),\n"
      "                       ('cmt', 'Note'), ('lyr', 'La la')):\n"
      "        f[chr(169) + key] = [value]\n"
      "    f['aART'] = ['Band']; f['trkn'] = [(3, 12)]; f['disk'] = [(1, 2)]; f['cpil'] = True\n"
      "    f['covr'] = [MP4Cover(open('cover.png', 'rb').read(), MP4Cover.FORMAT_PNG),\n"
      "                 MP4Cover(open('back.jpg', 'rb').read(), MP4Cover.FORMAT_JPEG)]\n"
      "    f['----:com.apple.iTunes:replaygain_track_gain'] = [MP4FreeForm(b'-3.20 dB')]\n"
      "    f['----:com.apple.iTunes:MOOD'] = [MP4FreeForm(b'calm')]\n"
      "    f.save()\n"
      "\"";
  return script;
}

// What mutagen reads of a file: its fields (vendor left out) and its pictures' types; an M4A's
// items with its covers' formats, sizes and hashes (the gapless figures left out, which
// describe the file's own packets).
std::string Tags(const std::filesystem::path& file) {
  const std::vector<uint8_t> out = Shell(
      "/usr/bin/python3 -c \"\n"
      "import hashlib, mutagen, sys\n"
      "from mutagen.mp4 import MP4Cover\n"
      "def show(v):\n"
      "    if isinstance(v, MP4Cover):\n"
      "        return 'cover %d %d %s' % (v.imageformat, len(v), hashlib.md5(v).hexdigest())\n"
      "    if isinstance(v, tuple): return '%d/%d' % v\n"
      "    if isinstance(v, bytes): return v.decode('utf-8', 'replace')\n"
      "    return str(v)\n"
      "f = mutagen.File(sys.argv[1])\n"
      "pics = [p.type for p in getattr(f, 'pictures', [])]\n"
      "skip = ('METADATA_BLOCK_PICTURE', '----:COM.APPLE.ITUNES:ITUNSMPB')\n"
      "keys = sorted((k.upper(), k) for k in f.keys() if k.upper() not in skip)\n"
      "for upper, k in keys:\n"
      "    v = f[k] if isinstance(f[k], list) else [f[k]]\n"
      "    print(upper, '=', '|'.join(show(x) for x in v))\n"
      "print('pictures', pics or ('METADATA_BLOCK_PICTURE' in f and [3]) or [])\n"
      "\" " +
      Quoted(file.string()));
  return std::string(out.begin(), out.end());
}

class CliCoded : public testing::TestWithParam<TKindRow> {
 protected:
  void SetUp() override { ASSERT_TRUE(CopyMadeFiles(MakeScript(), Folder)); }
  std::filesystem::path Path(const std::string& name) const { return Folder / name; }
  int64_t Frames(const std::filesystem::path& file) const {
    return static_cast<int64_t>(DecodeWithFfmpeg(file, GetParam().Pcm).size()) /
           (GetParam().Channels * (std::string(GetParam().Pcm) == "s32le" ? 4 : 2));
  }
  TScratch Folder;
};

std::string Extension(const TKindRow& row) {
  return std::filesystem::path(row.File).extension().string();
}

TEST_P(CliCoded, InfoTellsTheFormatAndTheFramesFfmpegDecodes) {
  const TKindRow& row = GetParam();
  const TCliRun info = Folder.Cli({"info", row.File});
  ASSERT_EQ(info.Status, 0) << info.Err;
  EXPECT_NE(info.Out.find(std::string("Format:      ") + row.Format), std::string::npos)
      << info.Out;
  // FFmpeg decodes an AAC to the end of its last packet, past the edit list's end: the seven
  // seconds the encoder was given.
  const int64_t frames = row.Overrun > 0 ? int64_t{row.Rate} * 7 : Frames(Path(row.File));
  EXPECT_NE(info.Out.find("(" + std::to_string(frames) + " frames)"), std::string::npos)
      << info.Out;
  EXPECT_NE(info.Out.find("Title:       Caf\u00E9"), std::string::npos) << info.Out;
  if (row.Lossless || Extension(row) == ".m4a") return;
  // A chain of two Ogg streams is read as its first, as the frame-keeping cut reads it.
  const std::string chained = "chained" + std::filesystem::path(row.File).extension().string();
  Shell("cat " + Quoted(Path(row.File).string()) + " " + Quoted(Path(row.File).string()) + " > " +
        Quoted(Path(chained).string()));
  const TCliRun chain = Folder.Cli({"info", chained});
  EXPECT_NE(chain.Out.find("(" + std::to_string(Frames(Path(row.File))) + " frames)"),
            std::string::npos)
      << chain.Out;
}

// A re-encoded cut at odd times keeps the codec, the depth, the rate, about the bit rate and
// every tag, and holds exactly the range; a lossless one is the source's samples.
TEST_P(CliCoded, AReEncodedCutKeepsTheCodecTheTagsAndExactlyTheRange) {
  const TKindRow& row = GetParam();
  const std::string out = "cut" + Extension(row);
  const TCliRun cut =
      Folder.Cli({"cut", row.File, "--start", "00:00:01.237", "--end", "00:00:04.001", "-o", out});
  ASSERT_EQ(cut.Status, 0) << cut.Err;
  const int64_t first = std::llround(row.Rate * 1.237), last = std::llround(row.Rate * 4.001);
  EXPECT_GE(Frames(Path(out)), last - first + 1);
  EXPECT_LE(Frames(Path(out)), last - first + 1 + row.Overrun);
  EXPECT_NE(Folder.Cli({"info", out}).Out.find("(" + std::to_string(last - first + 1) + " frames)"),
            std::string::npos);
  EXPECT_EQ(ProbeCodec(Path(out)), row.Codec);
  if (Extension(row) == ".m4a") {
    // The moov box first, so that the file plays while it streams in.
    const std::vector<uint8_t> bytes = ReadBytes(Path(out));
    const std::string head(bytes.begin(), bytes.begin() + std::min<size_t>(bytes.size(), 64));
    EXPECT_NE(head.find("moov"), std::string::npos);
  }
  EXPECT_EQ(Probe(Path(out), "stream=sample_rate,bits_per_raw_sample"),
            Probe(Path(row.File), "stream=sample_rate,bits_per_raw_sample"));
  EXPECT_EQ(Tags(Path(out)), Tags(Path(row.File)));
  EXPECT_NE(Tags(Path(out)).find("REPLAYGAIN_TRACK_GAIN = -3.20 dB"), std::string::npos)
      << Tags(Path(out));
  if (row.Lossless) {
    const std::vector<uint8_t> source = DecodeWithFfmpeg(Path(row.File), row.Pcm);
    const size_t width = source.size() / static_cast<size_t>(Frames(Path(row.File)));
    EXPECT_TRUE(
        DecodeWithFfmpeg(Path(out), row.Pcm) ==
        std::vector<uint8_t>(source.begin() + first * width, source.begin() + (last + 1) * width));
  } else {
    const double in = std::stod(Probe(Path(row.File), "format=bit_rate").substr(9));
    const double outRate = std::stod(Probe(Path(out), "format=bit_rate").substr(9));
    EXPECT_NEAR(outRate / in, 1.0, 0.3) << in << " " << outRate;
  }
}

// Frames GStreamer decodes from `file`.
int64_t GstreamerFrames(const std::filesystem::path& file, int channels) {
  return static_cast<int64_t>(
             Shell("gst-launch-1.0 -q filesrc location=" + Quoted(file.string()) +
                   " ! decodebin ! audioconvert ! audio/x-raw,format=S16LE ! fdsink fd=1")
                 .size()) /
         (2 * channels);
}

// A cut that keeps the frames holds exactly the range for our reader, FFmpeg and GStreamer
// (a Vorbis cut plays up to one packet of lead-in on the last two, which ignore its first
// granule), carries every tag, and decodes to the source's samples: bit for bit for FLAC and
// Vorbis, within a few steps for Opus, whose decoder settles on the packets kept before the
// start.
TEST_P(CliCoded, ACutThatKeepsTheFramesIsExactToTheSample) {
  const TKindRow& row = GetParam();
  const bool vorbis = std::string(row.Codec) == "vorbis";
  const std::vector<uint8_t> source = DecodeWithFfmpeg(Path(row.File), row.Pcm);
  const int64_t total = row.Overrun > 0 ? int64_t{row.Rate} * 7 : Frames(Path(row.File));
  const size_t width =
      static_cast<size_t>(row.Channels) * (std::string(row.Pcm) == "s32le" ? 4 : 2);
  const struct {
    const char *Start, *End;  // End null: to the end
    double StartS, EndS;
  } ranges[] = {{"00:00:00.000", "00:00:01.503", 0, 1.503},
                {"00:00:02.347", "00:00:05.011", 2.347, 5.011},
                {"00:00:04.400", nullptr, 4.4, 0}};
  for (const auto& r : ranges) {
    SCOPED_TRACE(r.Start);
    const std::string out = "copy" + Extension(row);
    std::vector<std::string> args = {"cut", row.File, "--copy",  "-f",
                                     "-o",  out,      "--start", r.Start};
    if (r.End != nullptr) args.insert(args.end(), {"--end", r.End});
    const TCliRun cut = Folder.Cli(args);
    ASSERT_EQ(cut.Status, 0) << cut.Err;
    const int64_t first = std::llround(row.Rate * r.StartS);
    const int64_t last = r.End != nullptr ? std::llround(row.Rate * r.EndS) : total - 1;
    const int64_t frames = last - first + 1;
    EXPECT_NE(Folder.Cli({"info", out}).Out.find("(" + std::to_string(frames) + " frames)"),
              std::string::npos);
    if (r.End != nullptr && r.StartS == 0) {
      EXPECT_EQ(Tags(Path(out)), Tags(Path(row.File)));
    }
    const std::vector<uint8_t> decoded = DecodeWithFfmpeg(Path(out), row.Pcm);
    const std::vector<uint8_t> expected(source.begin() + first * width,
                                        source.begin() + (last + 1) * width);
    if (row.Overrun > 0) {
      // FFmpeg honours the edit list's start but plays on to the end of the last packet;
      // GStreamer ends its AAC up to two packets early. The first packet kept decodes without
      // the one before it.
      const int64_t over = static_cast<int64_t>(decoded.size() / width) - frames;
      EXPECT_GE(over, 0);
      EXPECT_LE(over, row.Overrun);
      EXPECT_LE(LargestDifference(decoded, 0, expected, 2048 * width), 1);
      const int64_t played = GstreamerFrames(Path(out), row.Channels);
      EXPECT_LE(played, frames);
      EXPECT_GE(played, frames - 2049);
      continue;
    }
    const int64_t leadIn = static_cast<int64_t>(decoded.size() / width) - frames;
    EXPECT_GE(leadIn, 0);
    EXPECT_LE(leadIn, vorbis ? 1024 : 0);
    EXPECT_NEAR(GstreamerFrames(Path(out), row.Channels), frames + leadIn, vorbis ? 1 : 0);
    if (row.Lossless)
      EXPECT_TRUE(decoded == expected);
    else
      EXPECT_LE(LargestDifference(decoded, static_cast<size_t>(leadIn) * width, expected),
                vorbis ? 0 : 64);
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, CliCoded, testing::ValuesIn(kKinds),
                         [](const testing::TestParamInfo<TKindRow>& info) {
                           std::string name = info.param.File;
                           for (char& c : name)
                             if (c == '.') c = '_';
                           return name;
                         });

}  // namespace
