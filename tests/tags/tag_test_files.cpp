// SPDX-License-Identifier: GPL-3.0-or-later
#include "tag_test_files.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace tagtest {

TBytes Bytes(std::string_view text) {
  TBytes out(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    out[i] = static_cast<std::byte>(text[i]);
  }
  return out;
}

TBytes Concat(std::initializer_list<TBytes> parts) {
  TBytes out;
  for (const auto& part : parts) {
    out.insert(out.end(), part.begin(), part.end());
  }
  return out;
}

std::string AsString(const TBytes& bytes) {
  return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::filesystem::path TTempDir::Write(const std::string& name, const TBytes& bytes) const {
  const auto path = *this / name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return path;
}

TBytes ReadAll(const std::filesystem::path& path) {
  return Bytes(test_support::ReadText(path));
}

std::filesystem::path Fixture(const std::string& name) {
  return std::filesystem::path(TRIMORA_TEST_DATA) / "tags" / name;
}

TTagFile OpenRead(const std::filesystem::path& path) {
  return TTagFile::Open(path, TTagFile::TMode::Read);
}

TTagFile OpenWrite(const std::filesystem::path& path) {
  return TTagFile::Open(path, TTagFile::TMode::ReadWrite);
}

}  // namespace tagtest
