// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/save/app_data_folder.h"

#include <pwd.h>
#include <unistd.h>
#include <cstdlib>
#include <string>

namespace {

// $HOME, or the password database's entry when the environment lacks it (a service).
std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr)
    return entry->pw_dir;
  return "/";
}

}  // namespace

std::filesystem::path AppDataFolder() {
  std::string folder;
  // The base-directory convention ignores a relative value, which would depend on the
  // current folder.
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && xdg[0] == '/') {
    folder = xdg;
  } else {
    folder = HomeFolder();
    if (folder.back() != '/') folder += '/';
    folder += ".local/share";
  }
  if (folder.back() != '/') folder += '/';
  return folder;
}
