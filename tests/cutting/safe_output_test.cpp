// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutting/save/safe_output.h"

#include <sys/stat.h>
#include <unistd.h>
#include <fstream>
#include <iterator>
#include <random>

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;

using test_support::ReadText;

void Write(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// The temporary file's name as the hook last heard it; nullptr once gone.
const char* HookedPath = nullptr;
void Hook(const char* path) {
  HookedPath = path;
}

class SafeOutput : public ::testing::Test {
 protected:
  size_t Entries() const { return Folder.Names().size(); }
  test_support::TTempFolder Folder;
};

TEST_F(SafeOutput, CommitReplacesTheTargetAndAnUncommittedRunLeavesItAsItWas) {
  const fs::path target = Folder / "cut.wav";
  Write(target, "old");
  {
    TSafeOutput failed(target, true, {}, &Hook);
    ASSERT_NE(HookedPath, nullptr);
    EXPECT_EQ(fs::path(HookedPath), failed.TempPath());
    EXPECT_EQ(failed.TempPath().parent_path(), Folder.Path());
    EXPECT_EQ(failed.TempPath().extension(), ".wav");
    Write(failed.TempPath(), "half");
  }
  EXPECT_EQ(HookedPath, nullptr);
  EXPECT_EQ(ReadText(target), "old");
  EXPECT_EQ(Entries(), 1u);

  TSafeOutput done(target, true, {});
  Write(done.TempPath(), "new");
  done.Commit();
  EXPECT_EQ(ReadText(target), "new");
  EXPECT_EQ(Entries(), 1u);
}

TEST_F(SafeOutput, RefusalsSayWhyAndCreateNothing) {
  const fs::path source = Folder / "song.mp3", other = Folder / "other.mp3";
  Write(source, "sound");
  Write(other, "other");
  fs::create_hard_link(source, Folder / "link.mp3");
  fs::create_directory(Folder / "dir.mp3");
  ASSERT_EQ(::mkfifo((Folder / "fifo.mp3").c_str(), 0600), 0);
  fs::create_symlink(Folder / "gone.mp3", Folder / "dangling.mp3");
  using TReason = ESafeOutputError::TReason;
  const struct {
    fs::path Target;
    bool Replace;
    TReason Reason;
  } cases[] = {
      {source, true, TReason::IsInput},
      {Folder / "link.mp3", true, TReason::IsInput},  // another name of the same file
      {Folder / "dir.mp3", true, TReason::IsFolder},
      {Folder / "fifo.mp3", true, TReason::NotRegular},
      {"/dev/null", true, TReason::NotRegular},
      {Folder / "dangling.mp3", true, TReason::NotRegular},
      {other, false, TReason::Exists},
      {Folder / "no" / "cut.mp3", true, TReason::NoFolder},
  };
  for (const auto& c : cases) {
    try {
      TSafeOutput output(c.Target, c.Replace, {source});
      ADD_FAILURE() << c.Target << " was accepted";
    } catch (const ESafeOutputError& e) {
      EXPECT_EQ(e.Reason(), c.Reason) << c.Target << ": " << e.what();
    }
  }
  EXPECT_EQ(Entries(), 6u);
  EXPECT_EQ(ReadText(source), "sound");
}

// Replacing a link replaces the file it leads to, through any chain of links, absolute or
// relative, into another folder: the temporary file is made beside that file, so the rename
// stays in one folder, and the links stay links. The file's permissions carry over.
TEST_F(SafeOutput, ReplacingALinkReplacesTheFileItLeadsToAndKeepsTheLink) {
  const struct {
    const char* Name;
    fs::path Link;     // in Folder
    fs::path LeadsTo;  // as the link holds it
  } cases[] = {
      {"absolute", "abs.wav", Folder / "real" / "cut.wav"},
      {"relative", "rel.wav", fs::path("real") / "cut.wav"},
      {"to a link", "chain.wav", "abs.wav"},
  };
  fs::create_directory(Folder / "real");
  const fs::path file = Folder / "real" / "cut.wav";
  Write(file, "old");
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const fs::path link = Folder / c.Link;
    fs::create_symlink(c.LeadsTo, link);
    TSafeOutput output(link, true, {});
    EXPECT_EQ(output.TempPath().parent_path(), fs::canonical(Folder / "real"));
    Write(output.TempPath(), c.Name);
    output.Commit();
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), c.LeadsTo);
    EXPECT_EQ(ReadText(file), c.Name);
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(std::distance(fs::directory_iterator(Folder / "real"), fs::directory_iterator()), 1);
  }
}

TEST_F(SafeOutput, AFileThatAppearedDuringTheRunIsNotReplacedUnlessAsked) {
  const fs::path target = Folder / "cut.wav";
  TSafeOutput output(target, false, {});
  Write(output.TempPath(), "new");
  Write(target, "theirs");
  EXPECT_THROW(output.Commit(), ESafeOutputError);
  EXPECT_EQ(ReadText(target), "theirs");
}

TEST_F(SafeOutput, AReadOnlyFolderIsRefusedBeforeAnythingRuns) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  fs::permissions(Folder.Path(), fs::perms::owner_write, fs::perm_options::remove);
  EXPECT_THROW(TSafeOutput(Folder / "cut.wav", true, {}), ESafeOutputError);
}

TEST(SameFile, MatchesByDeviceAndInode) {
  const fs::path temp = fs::temp_directory_path();
  EXPECT_TRUE(SameFile(temp, temp / "."));
  EXPECT_FALSE(SameFile(temp, temp / "no-such-trimora-file"));
}

}  // namespace
