#include "pipeline_test_support.h"

namespace pipeline_test {

TTempFile::TTempFile(int64_t frames, const std::string& name) : FilePath(Folder / name) {
  test_support::WriteBytes(FilePath, MakeFrames(0, frames));
}

}  // namespace pipeline_test
