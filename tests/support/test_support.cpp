// SPDX-License-Identifier: GPL-3.0-or-later
#include "test_support.h"

#include <sys/wait.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <stdexcept>

namespace test_support {
namespace {

void PutLE(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

struct TPipeCloser {
  void operator()(FILE* pipe) const { ::pclose(pipe); }
};

}  // namespace

TTempFolder::TTempFolder() {
  std::random_device rd;
  Folder = std::filesystem::temp_directory_path() /
           ("trimora-test-" + std::to_string(rd()) + std::to_string(rd()));
  std::filesystem::create_directories(Folder);
}

TTempFolder::~TTempFolder() {
  std::error_code ignored;
  std::filesystem::permissions(Folder, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(Folder, ignored);
}

std::vector<std::string> TTempFolder::Names() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(Folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

TShellRun Shell(const std::string& command) {
  TShellRun run;
  const std::string full = command + " 2>/dev/null";
  std::unique_ptr<FILE, TPipeCloser> pipe(::popen(full.c_str(), "r"));
  if (!pipe) return run;
  char buffer[65536];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0) run.Out.append(buffer, got);
  const int raw = ::pclose(pipe.release());
  run.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

std::vector<uint8_t> ShellBytes(const std::string& command) {
  const TShellRun run = Shell(command);
  if (run.Status != 0) return {};
  return {run.Out.begin(), run.Out.end()};
}

bool Ffmpeg(const std::string& arguments) {
  return Shell("ffmpeg -nostdin -hide_banner -loglevel error -y " + arguments).Status == 0;
}

std::vector<int16_t> DecodeS16(const std::filesystem::path& path) {
  const TShellRun run = Shell("ffmpeg -nostdin -hide_banner -loglevel error -i " +
                              Quoted(path.string()) + " -f s16le -c:a pcm_s16le -");
  std::vector<int16_t> samples(run.Out.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<int16_t>(static_cast<uint8_t>(run.Out[2 * i]) |
                                      (static_cast<uint8_t>(run.Out[2 * i + 1]) << 8));
  return samples;
}

int LargestDifference(const std::vector<uint8_t>& a, size_t from, const std::vector<uint8_t>& b,
                      size_t skip) {
  int largest = 0;
  for (size_t i = skip; i + 1 < b.size() && from + i + 1 < a.size(); i += 2) {
    const int x = static_cast<int16_t>(a[from + i] | a[from + i + 1] << 8);
    const int y = static_cast<int16_t>(b[i] | b[i + 1] << 8);
    largest = std::max(largest, std::abs(x - y));
  }
  return largest;
}

std::string Probe(const std::filesystem::path& path, const std::string& entry) {
  std::string out = Shell("ffprobe -v error -show_entries " + Quoted(entry) +
                          " -of default=noprint_wrappers=1:nokey=1 " + Quoted(path.string()))
                        .Out;
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

void WriteClickWave(const std::filesystem::path& path, const TClickSound& sound) {
  const auto frameBytes = static_cast<uint32_t>(sound.Channels * 2);
  const auto dataSize = static_cast<uint32_t>(sound.Frames * frameBytes);
  std::vector<uint8_t> w;
  w.insert(w.end(), {'R', 'I', 'F', 'F'});
  PutLE(w, 36 + dataSize, 4);
  w.insert(w.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutLE(w, 16, 4);
  PutLE(w, 1, 2);
  PutLE(w, static_cast<uint32_t>(sound.Channels), 2);
  PutLE(w, static_cast<uint32_t>(sound.Rate), 4);
  PutLE(w, static_cast<uint32_t>(sound.Rate) * frameBytes, 4);
  PutLE(w, frameBytes, 2);
  PutLE(w, 16, 2);
  w.insert(w.end(), {'d', 'a', 't', 'a'});
  PutLE(w, dataSize, 4);
  const size_t header = w.size();
  w.resize(header + dataSize, 0);
  std::vector<double> frames(static_cast<size_t>(sound.Frames), 0.0);
  uint32_t seed = 12345;
  for (double& v : frames) {
    seed = seed * 1664525u + 1013904223u;
    v = sound.Noise == 0 ? 0.0 : static_cast<int>(seed >> 16) % (2 * sound.Noise + 1) - sound.Noise;
  }
  for (const TTone& tone : sound.Tones)
    for (int64_t f = 0; f < tone.Frames && tone.Start + f < sound.Frames; ++f)
      frames[static_cast<size_t>(tone.Start + f)] +=
          tone.Peak *
          std::sin(2 * 3.14159265358979 * tone.Hz * static_cast<double>(f) / sound.Rate);
  for (size_t f = 0; f < frames.size(); ++f) {
    const auto value = static_cast<uint16_t>(static_cast<int16_t>(std::lround(frames[f])));
    for (int c = 0; c < sound.Channels; ++c) {
      const size_t at =
          header + (f * static_cast<size_t>(sound.Channels) + static_cast<size_t>(c)) * 2;
      w[at] = static_cast<uint8_t>(value & 0xFF);
      w[at + 1] = static_cast<uint8_t>(value >> 8);
    }
  }
  for (int64_t click : sound.Clicks)
    for (int c = 0; c < sound.Channels; ++c) {
      const size_t at = header + static_cast<size_t>(click * sound.Channels + c) * 2;
      w[at] = 0x20;  // 20000
      w[at + 1] = 0x4e;
    }
  WriteBytes(path, w);
}

TClickSound PausedTones(int rate) {
  TClickSound sound;
  sound.Rate = rate;
  sound.Frames = int64_t{17} * rate;
  sound.Noise = 6;
  sound.Tones = {{0, 4 * int64_t{rate}},
                 {7 * int64_t{rate}, 2 * int64_t{rate}},
                 {10 * int64_t{rate}, 2 * int64_t{rate}},
                 {15 * int64_t{rate}, 2 * int64_t{rate}}};
  return sound;
}

void WriteClickFile(const std::filesystem::path& path, const TClickSound& sound,
                    const std::map<std::string, std::string>& tags) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == ".wav" && tags.empty()) return WriteClickWave(path, sound);
  const std::filesystem::path wave = path.string() + ".source.wav";
  WriteClickWave(wave, sound);
  std::string arguments = "-i " + Quoted(wave.string());
  for (const auto& [key, value] : tags) arguments += " -metadata " + Quoted(key + "=" + value);
  if (extension == ".mp3") arguments += " -c:a libmp3lame -b:a 128k -id3v2_version 3";
  if (extension == ".wma") arguments += " -c:a wmav2 -b:a 128k -f asf";
  if (extension == ".flac") arguments += " -c:a flac";
  if (extension == ".ogg" || extension == ".oga") arguments += " -c:a libvorbis -q:a 4 -f ogg";
  if (extension == ".opus") arguments += " -c:a libopus -b:a 96k -f opus";
  if (extension == ".m4a") arguments += " -c:a aac -aac_pns 0 -b:a 160k -f ipod";
  const bool made = Ffmpeg(arguments + " " + Quoted(path.string()));
  std::filesystem::remove(wave);
  if (!made) throw std::runtime_error("ffmpeg could not write " + path.string());
}

std::vector<int64_t> FindClicks(const std::vector<int16_t>& samples, int channels, int64_t gap) {
  std::vector<int64_t> clicks;
  const int64_t frames = static_cast<int64_t>(samples.size()) / channels;
  int64_t runEnd = -gap - 1, peakFrame = -1;
  int peak = 0;
  for (int64_t f = 0; f < frames; ++f) {
    const int level = std::abs(int{samples[static_cast<size_t>(f * channels)]});
    if (level < 4000) continue;
    if (f - runEnd > gap) {
      if (peakFrame >= 0) clicks.push_back(peakFrame);
      peak = 0;
    }
    if (level > peak) peak = level, peakFrame = f;
    runEnd = f;
  }
  if (peakFrame >= 0) clicks.push_back(peakFrame);
  return clicks;
}

}  // namespace test_support
