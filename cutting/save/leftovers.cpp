// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/save/leftovers.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cctype>
#include <cerrno>
#include <string>

#include "cutting/save/safe_output.h"

namespace {

// The digits of `text` from `at` up to the next '-' followed by six letters or digits; 0 when
// they are not there.
long PidBeforeSuffix(const std::string& text, size_t at) {
  size_t end = at;
  while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])) != 0) ++end;
  if (end == at || end - at > 9 || end + 7 > text.size() || text[end] != '-') return 0;
  for (size_t i = end + 1; i < end + 7; ++i)
    if (std::isalnum(static_cast<unsigned char>(text[i])) == 0) return 0;
  // A temporary file ends after the six letters or goes on with its extension.
  if (end + 7 < text.size() && text[end + 7] != '.') return 0;
  return std::stol(text.substr(at, end - at));
}

bool ProcessRuns(long pid) {
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

}  // namespace

long LeftoverOwner(const std::string& name) {
  const std::string folder = "segcut-";
  if (name.rfind(folder, 0) == 0) {
    const long pid = PidBeforeSuffix(name, folder.size());
    return name.size() == folder.size() + std::to_string(pid).size() + 7 ? pid : 0;
  }
  if (name.empty() || name[0] != '.') return 0;
  const size_t marker = name.rfind(kTempMarker);
  if (marker == std::string::npos || marker == 0) return 0;
  return PidBeforeSuffix(name, marker + std::char_traits<char>::length(kTempMarker));
}

int SweepLeftovers(const std::vector<std::filesystem::path>& folders) {
  namespace fs = std::filesystem;
  int removed = 0;
  for (const fs::path& folder : folders) {
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
      const std::string name = it->path().filename().string();
      const long pid = LeftoverOwner(name);
      if (pid <= 0 || pid == ::getpid() || ProcessRuns(pid)) continue;
      struct stat info {};
      if (::lstat(it->path().c_str(), &info) != 0 || info.st_uid != ::getuid()) continue;
      std::error_code removeError;
      const bool isFolder = S_ISDIR(info.st_mode);
      if (isFolder != (name[0] != '.') || !(isFolder || S_ISREG(info.st_mode))) continue;
      if (isFolder ? fs::remove_all(it->path(), removeError) > 0
                   : fs::remove(it->path(), removeError))
        ++removed;
    }
  }
  return removed;
}
