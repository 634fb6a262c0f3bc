// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "formats/media/mp3_in.h"
#include "media_test_support.h"
#include "test_support.h"

namespace trimora::media::test {

// The source a window would use for the fixture: TMP3In for .mp3, TWMIn for .wma.
std::unique_ptr<TWMIn> SourceFor(const std::string& fixture);
// One read over the source's range, as a sink does it: StartRead, ReadData until nothing
// comes, EndRead.
std::vector<uint8_t> ReadAll(TAuInput& source, uint32_t block = 16384);
// The runtime's straight decode of the fixture at 16 bits.
std::vector<uint8_t> StraightDecode(const std::string& fixture);

// A file in a fresh temporary folder, removed with the object.
class TTempFile {
 public:
  TTempFile(const std::string& name, const std::vector<uint8_t>& bytes);
  const std::filesystem::path& Path() const { return FilePath; }

 private:
  test_support::TTempFolder Folder;
  std::filesystem::path FilePath;
};

}  // namespace trimora::media::test
