#include "platform/trash.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "test_support.h"

namespace nd {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::ScratchFolder;
using test::WriteFile;

bool IsEmptyFolder(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(path, ec) && fs::is_empty(path, ec);
}

// Fills a Trash folder the way a file manager leaves it, with the traps a hostile or odd
// Trash can hold: links to the outside and folders without write rights.
void FillTrash(const std::string& trash, const std::string& outside) {
  WriteFile(trash + "/files/report.txt", "secret");
  WriteFile(trash + "/files/project/src/deep/main.cpp", "int main() {}");
  WriteFile(trash + "/info/report.txt.trashinfo", "[Trash Info]\nPath=/home/u/report.txt\n");
  WriteFile(trash + "/info/project.trashinfo", "[Trash Info]\nPath=/home/u/project\n");
  WriteFile(trash + "/expunged/half-gone/file", "x");
  WriteFile(trash + "/directorysizes", "4096 1700000000 project\n");
  fs::create_symlink(outside + "/keep.txt", trash + "/files/link-to-file");
  fs::create_directory_symlink(outside, trash + "/files/link-to-folder");
  WriteFile(trash + "/files/read-only/inner/file", "x");
  fs::permissions(trash + "/files/read-only/inner", fs::perms::owner_read | fs::perms::owner_exec);
  fs::permissions(trash + "/files/read-only", fs::perms::none);
}

class TrashTest : public ::testing::Test {
 protected:
  void SetUp() override { WriteFile(outside + "/keep.txt", "keep"); }

  ScratchFolder scratch;
  std::string outside = scratch / "outside";
  ScopedEnv home{"HOME", scratch / "home"};
  ScopedEnv data{"XDG_DATA_HOME", scratch / "data"};
  // Not a mount point: no real volume's Trash is visited.
  ScopedEnv mounts{"NULLDRIFT_MOUNTS", scratch.path()};
  std::string uid = std::to_string(::getuid());
};

TEST_F(TrashTest, EmptiesTheUserTrashButNothingItLinksTo) {
  const std::string trash = scratch / "data/Trash";
  FillTrash(trash, outside);

  platform::EmptyTrash();

  EXPECT_TRUE(IsEmptyFolder(trash + "/files"));
  EXPECT_TRUE(IsEmptyFolder(trash + "/info"));
  EXPECT_TRUE(IsEmptyFolder(trash + "/expunged"));
  EXPECT_FALSE(fs::exists(trash + "/directorysizes"));
  EXPECT_EQ(test::ReadFile(outside + "/keep.txt"), "keep");
}

TEST_F(TrashTest, FallsBackToTheHomeFolderWhenXdgDataHomeIsUnusable) {
  ScopedEnv relative("XDG_DATA_HOME", "relative/data");
  WriteFile(scratch / "home/.local/share/Trash/files/a", "a");
  platform::EmptyTrash();
  EXPECT_TRUE(IsEmptyFolder(scratch / "home/.local/share/Trash/files"));
}

TEST_F(TrashTest, EmptiesOnlyTheVolumeTrashFoldersThatAreTheUsers) {
  const std::string top = scratch / "volume";
  FillTrash(top + "/.Trash-" + uid, outside);
  WriteFile(top + "/.Trash/" + uid + "/files/shared-trash-file", "x");
  ::chmod((top + "/.Trash").c_str(), 01777);
  WriteFile(top + "/unrelated/files/x", "x");

  platform::EmptyVolumeTrash(top);

  EXPECT_TRUE(IsEmptyFolder(top + "/.Trash-" + uid + "/files"));
  EXPECT_TRUE(IsEmptyFolder(top + "/.Trash-" + uid + "/info"));
  EXPECT_TRUE(IsEmptyFolder(top + "/.Trash/" + uid + "/files"));
  EXPECT_TRUE(fs::exists(top + "/unrelated/files/x"));
  EXPECT_EQ(test::ReadFile(outside + "/keep.txt"), "keep");
}

TEST_F(TrashTest, LeavesUntrustedVolumeTrashFoldersAlone) {
  // A shared .Trash without the sticky bit could hold a folder planted by someone else.
  const std::string unsticky = scratch / "unsticky";
  WriteFile(unsticky + "/.Trash/" + uid + "/files/x", "x");
  ::chmod((unsticky + "/.Trash").c_str(), 0777);
  platform::EmptyVolumeTrash(unsticky);
  EXPECT_TRUE(fs::exists(unsticky + "/.Trash/" + uid + "/files/x"));

  // A Trash folder that is a link leads elsewhere, whatever it is called.
  const std::string linked = scratch / "linked";
  WriteFile(outside + "/files/victim", "x");
  fs::create_directories(linked);
  fs::create_directory_symlink(outside, linked + "/.Trash-" + uid);
  platform::EmptyVolumeTrash(linked);
  EXPECT_TRUE(fs::exists(outside + "/files/victim"));
}

}  // namespace
}  // namespace nd
