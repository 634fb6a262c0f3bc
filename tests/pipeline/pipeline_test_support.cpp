#include "pipeline_test_support.h"

#include <fstream>
#include <random>

namespace pipeline_test {

TTempFile::TTempFile(int64_t frames, const std::string& name) {
  std::random_device rd;
  Folder = std::filesystem::temp_directory_path() /
           ("trimora-test-" + std::to_string(rd()) + std::to_string(rd()));
  std::filesystem::create_directories(Folder);
  FilePath = Folder / name;
  const auto bytes = MakeFrames(0, frames);
  std::ofstream(FilePath, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TTempFile::~TTempFile() {
  std::error_code ignored;
  std::filesystem::remove_all(Folder, ignored);
}

}  // namespace pipeline_test
