// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/save/app_data_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace {

// Sets or clears an environment variable for one test and puts the old value back.
class TEnvOverride {
 public:
  TEnvOverride(const char* name, const char* value) : Name(name) {
    if (const char* old = std::getenv(name)) Old = old;
    if (value != nullptr)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~TEnvOverride() {
    if (Old)
      ::setenv(Name, Old->c_str(), 1);
    else
      ::unsetenv(Name);
  }

 private:
  const char* Name;
  std::optional<std::string> Old;
};

TEST(AppDataFolder, XdgDataHomeWinsAndGetsATrailingSeparator) {
  TEnvOverride xdg("XDG_DATA_HOME", "/tmp/trimora-data");
  EXPECT_EQ(AppDataFolder().string(), "/tmp/trimora-data/");
  TEnvOverride xdgSlash("XDG_DATA_HOME", "/tmp/trimora-data/");
  EXPECT_EQ(AppDataFolder().string(), "/tmp/trimora-data/");
}

TEST(AppDataFolder, FallsBackToLocalShareUnderHome) {
  TEnvOverride home("HOME", "/home/someone");
  TEnvOverride unset("XDG_DATA_HOME", nullptr);
  EXPECT_EQ(AppDataFolder().string(), "/home/someone/.local/share/");
  TEnvOverride relative("XDG_DATA_HOME", "relative/data");  // ignored: not absolute
  EXPECT_EQ(AppDataFolder().string(), "/home/someone/.local/share/");
}

}  // namespace
