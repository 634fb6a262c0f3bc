// SPDX-License-Identifier: GPL-3.0-or-later
#include "media_source_support.h"

#include <unistd.h>
#include <atomic>
#include <fstream>

namespace trimora::media::test {

std::unique_ptr<TWMIn> SourceFor(const std::string& fixture) {
  std::unique_ptr<TWMIn> source;
  if (IsMp3(fixture))
    source = std::make_unique<TMP3In>();
  else
    source = std::make_unique<TWMIn>();
  source->SetFileName(MediaFixturePath(fixture));
  return source;
}

std::vector<uint8_t> ReadAll(TAuInput& source, uint32_t block) {
  std::vector<uint8_t> all;
  source.StartRead();
  for (;;) {
    uint8_t* data = nullptr;
    uint32_t bytes = block;
    source.ReadData(data, bytes);
    if (bytes == 0) break;
    all.insert(all.end(), data, data + bytes);
  }
  source.EndRead();
  return all;
}

std::vector<uint8_t> StraightDecode(const std::string& fixture) {
  auto reader = OpenForReading(LoadMediaFixture(fixture));
  return reader ? ReadToEnd(*reader) : std::vector<uint8_t>{};
}

TTempFile::TTempFile(const std::string& name, const std::vector<uint8_t>& bytes)
    : FilePath(Folder / name) {
  test_support::WriteBytes(FilePath, bytes);
}

}  // namespace trimora::media::test
