// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Helpers the tests share: a scratch folder, shell commands, FFmpeg and ffprobe, and sound
// files with clicks at known frames.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace test_support {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TTempFolder {
 public:
  TTempFolder();
  ~TTempFolder();
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;
  const std::filesystem::path& Path() const { return Folder; }
  std::filesystem::path operator/(const std::string& name) const { return Folder / name; }
  // The names in the folder, sorted (hidden ones too).
  std::vector<std::string> Names() const;

 private:
  std::filesystem::path Folder;
};

// The text quoted for a POSIX shell.
std::string Quoted(const std::string& text);

struct TShellRun {
  int Status = -1;
  std::string Out;
};
// Runs `command` in /bin/sh; its standard output, its errors discarded.
TShellRun Shell(const std::string& command);
// The standard output of `command` as bytes; empty when it failed.
std::vector<uint8_t> ShellBytes(const std::string& command);

// Runs ffmpeg quietly with `arguments` (already quoted); true when it succeeded.
bool Ffmpeg(const std::string& arguments);
// The file's audio as FFmpeg decodes it: interleaved 16-bit samples at the file's own rate
// and channels.
std::vector<int16_t> DecodeS16(const std::filesystem::path& path);
// The largest difference between the 16-bit little-endian samples of `a` from byte `from` on
// and those of `b`, the first `skip` bytes of `b` passed over.
int LargestDifference(const std::vector<uint8_t>& a, size_t from, const std::vector<uint8_t>& b,
                      size_t skip = 0);
// One ffprobe value: `entry` as in -show_entries (e.g. "stream=channels", "format_tags=title").
std::string Probe(const std::filesystem::path& path, const std::string& entry);

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path);
std::string ReadText(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

// A sine of `Hz` at `Peak` (16-bit steps) on every channel from frame Start for Frames frames.
struct TTone {
  int64_t Start = 0;
  int64_t Frames = 0;
  double Hz = 440;
  int Peak = 8000;
};
// A sound of `frames` silent frames with a click (one loud sample on every channel) at each
// of `clicks`, and tones. `Noise` fills the silence with a fixed pseudo-random hiss of that
// peak (6: about -80 dBFS), as a quiet room recorded.
struct TClickSound {
  int Rate = 44100;
  int Channels = 2;
  int64_t Frames = 0;
  std::vector<int64_t> Clicks;
  std::vector<TTone> Tones = {};
  int Noise = 0;
};
// 17 seconds of stereo at `rate`: three tones apart by 3 s pauses of a quiet hiss (about
// -80 dBFS), tones at 0-4 s, 7-9 s and 10-12 s, 15-17 s; the 1 s between the second and third
// is a dip too short to count as a pause.
TClickSound PausedTones(int rate = 44100);
// Writes `sound` as a 16-bit PCM WAV file.
void WriteClickWave(const std::filesystem::path& path, const TClickSound& sound);
// Writes `sound` in the format of `path`'s extension (.wav; .mp3 at 128 kbps; .wma with
// FFmpeg's WMA v2 encoder at 128 kbps; .flac; .ogg at Vorbis quality 4; .opus at 96 kbps and
// so at 48 kHz; .m4a as AAC at 160 kbps), with `tags` (FFmpeg metadata keys).
void WriteClickFile(const std::filesystem::path& path, const TClickSound& sound,
                    const std::map<std::string, std::string>& tags = {});
// The frames at which decoded interleaved `samples` of `channels` channels click: the
// loudest frame of every run of loud frames, runs closer than `gap` frames joined.
std::vector<int64_t> FindClicks(const std::vector<int16_t>& samples, int channels,
                                int64_t gap = 256);

}  // namespace test_support
