#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Writing an output file so that nothing is lost: the engine writes to a temporary file
// beside the target (same folder, so the final rename cannot cross file systems, and the same
// extension, so that libraries that go by the extension see the right one), and only a
// successful run renames it over the target. A failed or interrupted run removes it, and the
// file that had the target's name, if any, is untouched.
class TSafeOutput {
 public:
  // Refuses (TCliError) a target that is one of `inputs` (same device and inode, whatever the
  // name), a target that exists unless `replace`, a folder, and a missing parent folder; then
  // creates the temporary file.
  TSafeOutput(const std::filesystem::path& target, bool replace,
              const std::vector<std::filesystem::path>& inputs);
  ~TSafeOutput();
  TSafeOutput(const TSafeOutput&) = delete;
  TSafeOutput& operator=(const TSafeOutput&) = delete;

  const std::filesystem::path& TempPath() const { return Temp; }
  const std::filesystem::path& Target() const { return FTarget; }

  // Moves the temporary file to the target with the permissions a new file (or the replaced
  // one) would have. Without `replace` an existing target is never overwritten, even one
  // that appeared during the run.
  void Commit();

 private:
  std::filesystem::path FTarget;
  std::filesystem::path Temp;
  std::string TempText;  // the signal handler's copy of the name
  bool Replace;
  bool Committed = false;
};
