// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "cutting/peaks/peak_overview.h"

// Peak overviews kept between runs in a cache folder (the windows pass the user's cache
// location), one file per sound file. An entry is used only for the same absolute path, size
// and modification time; anything else in it, a damaged or foreign file included, is a miss.
namespace peak_cache {

struct TPeakCacheKey {
  std::string Path;  // absolute, lexically normal, as UTF-8
  uint64_t Size = 0;
  int64_t ModifiedNs = 0;  // file clock ticks in nanoseconds
};

// The key of `soundFile` as it is now; nothing when it cannot be examined.
std::optional<TPeakCacheKey> KeyOf(const std::filesystem::path& soundFile);
// The entry's file name inside the cache folder.
std::filesystem::path EntryPath(const std::filesystem::path& cacheFolder, const TPeakCacheKey& key);

// What the entries of a cache folder may take together; beyond it the least recently used go.
inline constexpr uint64_t kLimitBytes = uint64_t{200} << 20;

// A complete overview stored for `key`, or nothing. An entry found counts as used now.
std::optional<TPeakOverview> Load(const std::filesystem::path& cacheFolder,
                                  const TPeakCacheKey& key);
// Stores a complete overview (creating the folder); false when it could not be written, in
// which case no entry or a previous one is left, never a partial file.
// The folder is then trimmed to `limitBytes`.
bool Save(const std::filesystem::path& cacheFolder, const TPeakCacheKey& key,
          const TPeakOverview& peaks, uint64_t limitBytes = kLimitBytes);

// Removes the entries used least recently (by their modification time, which a use renews)
// until the rest take at most `limitBytes`. Files that are not entries are left alone.
void Trim(const std::filesystem::path& cacheFolder, uint64_t limitBytes = kLimitBytes);

}  // namespace peak_cache
