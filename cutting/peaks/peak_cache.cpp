// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/peaks/peak_cache.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace peak_cache {
namespace {

// Entry layout, little-endian: magic, path length and bytes, size, modification time,
// channels, rate, frames, column count, then (min, max) int16 pairs of every column and
// channel.
constexpr char kMagic[8] = {'T', 'R', 'M', 'P', 'E', 'A', 'K', '1'};
// A longer entry would be an overview of days of sound; such a file is not ours to trust.
constexpr uint64_t kMaxEntryBytes = 256ull << 20;
constexpr uint32_t kMaxPathBytes = 1u << 16;
constexpr int64_t kMaxRate = 10'000'000;
constexpr int64_t kMaxFrames = int64_t{1} << 50;

class TWriter {
 public:
  template <typename T>
  void Put(T v) {
    for (size_t i = 0; i < sizeof(T); ++i)
      Bytes.push_back(static_cast<char>((static_cast<uint64_t>(v) >> (8 * i)) & 0xFF));
  }
  void PutText(const std::string& s) {
    Put(static_cast<uint32_t>(s.size()));
    Bytes.insert(Bytes.end(), s.begin(), s.end());
  }
  std::vector<char> Bytes;
};

class TReader {
 public:
  explicit TReader(const std::vector<char>& bytes) : FBytes(bytes) {}
  template <typename T>
  bool Get(T& v) {
    if (FBytes.size() - FPos < sizeof(T)) return false;
    uint64_t u = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
      u |= uint64_t{static_cast<uint8_t>(FBytes[FPos + i])} << (8 * i);
    FPos += sizeof(T);
    v = static_cast<T>(u);
    return true;
  }
  bool GetText(std::string& s) {
    uint32_t n = 0;
    if (!Get(n) || n > kMaxPathBytes || FBytes.size() - FPos < n) return false;
    s.assign(FBytes.data() + FPos, n);
    FPos += n;
    return true;
  }
  bool Skip(const char* expected, size_t n) {
    if (FBytes.size() - FPos < n || std::memcmp(FBytes.data() + FPos, expected, n) != 0) return false;
    FPos += n;
    return true;
  }
  size_t Left() const { return FBytes.size() - FPos; }

 private:
  const std::vector<char>& FBytes;
  size_t FPos = 0;
};

uint64_t Fnv1a(const std::string& s) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
  return h;
}

std::optional<std::vector<char>> ReadEntry(const fs::path& file) {
  std::error_code ec;
  const auto size = fs::file_size(file, ec);
  if (ec || size > kMaxEntryBytes) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<char> bytes(size);
  if (!in.read(bytes.data(), static_cast<std::streamsize>(size))) return std::nullopt;
  return bytes;
}

bool SameKey(TReader& r, const TPeakCacheKey& key) {
  std::string path;
  uint64_t size = 0;
  int64_t modified = 0;
  return r.Skip(kMagic, sizeof kMagic) && r.GetText(path) && path == key.Path && r.Get(size) &&
         size == key.Size && r.Get(modified) && modified == key.ModifiedNs;
}

bool WriteFile(const fs::path& file, const std::vector<char>& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

}  // namespace

std::optional<TPeakCacheKey> KeyOf(const fs::path& soundFile) {
  std::error_code ec;
  const fs::path absolute = fs::absolute(soundFile, ec).lexically_normal();
  if (ec || !fs::is_regular_file(absolute, ec)) return std::nullopt;
  TPeakCacheKey key;
  key.Path = absolute.string();
  key.Size = fs::file_size(absolute, ec);
  if (ec) return std::nullopt;
  const auto modified = fs::last_write_time(absolute, ec);
  if (ec) return std::nullopt;
  key.ModifiedNs =
      std::chrono::duration_cast<std::chrono::nanoseconds>(modified.time_since_epoch()).count();
  return key;
}

fs::path EntryPath(const fs::path& cacheFolder, const TPeakCacheKey& key) {
  char name[32];
  std::snprintf(name, sizeof name, "%016llx.peaks",
                static_cast<unsigned long long>(Fnv1a(key.Path)));
  return cacheFolder / name;
}

std::optional<TPeakOverview> Load(const fs::path& cacheFolder, const TPeakCacheKey& key) {
  const fs::path entry = EntryPath(cacheFolder, key);
  const auto bytes = ReadEntry(entry);
  if (!bytes) return std::nullopt;
  TReader r(*bytes);
  uint32_t channels = 0, rate = 0;
  int64_t frames = 0;
  uint64_t columns = 0;
  if (!SameKey(r, key) || !r.Get(channels) || !r.Get(rate) || !r.Get(frames) || !r.Get(columns))
    return std::nullopt;
  if (channels < 1 || channels > 2 || rate < 1 || rate > kMaxRate || frames < 0 ||
      frames > kMaxFrames)
    return std::nullopt;
  // The count must match both the bytes that follow and the frames it claims to cover.
  const uint64_t expected =
      static_cast<uint64_t>((frames * TPeakOverview::kPeaksPerSecond + rate - 1) / rate);
  if (columns > r.Left() / (4 * channels) || columns * 4 * channels != r.Left() ||
      columns > expected + 1)
    return std::nullopt;
  TPeakOverview peaks;
  peaks.Channels = static_cast<int>(channels);
  peaks.SampleRate = static_cast<int>(rate);
  peaks.Frames = frames;
  peaks.Peaks.resize(columns * channels);
  for (TPeak& p : peaks.Peaks) {
    r.Get(p.Min);
    r.Get(p.Max);
  }
  peaks.Complete = true;
  std::error_code ec;
  fs::last_write_time(entry, fs::file_time_type::clock::now(), ec);  // used now, for Trim
  return peaks;
}

bool Save(const fs::path& cacheFolder, const TPeakCacheKey& key, const TPeakOverview& peaks,
          uint64_t limitBytes) {
  if (!peaks.Complete || peaks.Channels < 1 || peaks.Channels > 2 || peaks.SampleRate < 1)
    return false;
  TWriter w;
  w.Bytes.insert(w.Bytes.end(), std::begin(kMagic), std::end(kMagic));
  w.PutText(key.Path);
  w.Put(key.Size);
  w.Put(key.ModifiedNs);
  w.Put(static_cast<uint32_t>(peaks.Channels));
  w.Put(static_cast<uint32_t>(peaks.SampleRate));
  w.Put(peaks.Frames);
  w.Put(static_cast<uint64_t>(peaks.Columns()));
  for (const TPeak& p : peaks.Peaks) {
    w.Put(p.Min);
    w.Put(p.Max);
  }
  std::error_code ec;
  fs::create_directories(cacheFolder, ec);
  if (ec) return false;
  // Written beside the entry under a name of its own and renamed over it, so a reader (or
  // another instance saving the same file) never sees half an entry.
  const fs::path entry = EntryPath(cacheFolder, key);
  fs::path temporary = entry;
  temporary += ".tmp" + std::to_string(std::random_device{}());
  if (!WriteFile(temporary, w.Bytes)) {
    fs::remove(temporary, ec);
    return false;
  }
  fs::rename(temporary, entry, ec);
  if (ec) {
    fs::remove(temporary, ec);
    return false;
  }
  Trim(cacheFolder, limitBytes);
  return true;
}

void Trim(const fs::path& cacheFolder, uint64_t limitBytes) {
  struct TEntry {
    fs::file_time_type Used;
    uint64_t Bytes;
    fs::path Path;
  };
  std::vector<TEntry> entries;
  uint64_t total = 0;
  std::error_code ec;
  for (fs::directory_iterator it(cacheFolder, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->path().extension() != ".peaks") continue;
    std::error_code entryError;
    const uint64_t bytes = it->file_size(entryError);
    const auto used = it->last_write_time(entryError);
    if (entryError) continue;
    entries.push_back({used, bytes, it->path()});
    total += bytes;
  }
  std::sort(entries.begin(), entries.end(),
            [](const TEntry& a, const TEntry& b) { return a.Used < b.Used; });
  for (const TEntry& entry : entries) {
    if (total <= limitBytes) break;
    if (fs::remove(entry.Path, ec)) total -= entry.Bytes;
  }
}

}  // namespace peak_cache
