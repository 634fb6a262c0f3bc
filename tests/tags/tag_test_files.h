// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tags/tag_file.h"
#include "test_support.h"

namespace tagtest {

using TBytes = std::vector<std::byte>;

TBytes Bytes(std::string_view text);
// All bytes of a literal, zero bytes included.
template <std::size_t N>
TBytes Raw(const char (&text)[N]) {
  return Bytes(std::string_view(text, N - 1));
}
TBytes Concat(std::initializer_list<TBytes> parts);
std::string AsString(const TBytes& bytes);

// A temporary folder removed with its files when the object goes.
class TTempDir : public test_support::TTempFolder {
 public:
  // Writes a file of the given bytes and returns its path.
  std::filesystem::path Write(const std::string& name, const TBytes& bytes) const;
};

TBytes ReadAll(const std::filesystem::path& path);
std::filesystem::path Fixture(const std::string& name);
TTagFile OpenRead(const std::filesystem::path& path);
TTagFile OpenWrite(const std::filesystem::path& path);

}  // namespace tagtest
