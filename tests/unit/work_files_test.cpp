// The file operations that another local user could turn against a job: the data folder's
// files behind links and FIFOs, and the work folder planted, linked, shared, held or swapped.
#include "platform/work_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>

#include "platform/files.h"
#include "test_support.h"

namespace nd::platform {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::ScratchFolder;
using test::WriteFile;

// Runs `call` in a child process so that a call that blocks cannot hang the tests: its answer,
// or nothing when it has not returned within two seconds.
std::optional<bool> WithinTwoSeconds(const std::function<bool()>& call) {
  pid_t child = ::fork();
  if (child == 0) ::_exit(call() ? 0 : 1);
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  int status = 0;
  while (::waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > end) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      return std::nullopt;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A data folder with "link" leading to a file that must keep its contents and "fifo" that
// nobody reads or writes.
struct TrappedFolder {
  TrappedFolder() {
    WriteFile(target, "keep me");
    fs::create_symlink(target, link);
    ::mkfifo(fifo.c_str(), 0600);
  }
  ScratchFolder folder;
  std::string target = folder / "target";
  std::string link = folder / "link";
  std::string fifo = folder / "fifo";
};

TEST(DataFolderFiles, WritesRefuseLinksAndFifosWithoutBlocking) {
  TrappedFolder trap;
  for (const std::string& path : {trap.link, trap.fifo}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(WithinTwoSeconds([&] { return WriteWholeFile(path, "overwritten"); }), false);
    EXPECT_EQ(WithinTwoSeconds([&] { return WriteWholeFile(path, "overwritten", true); }), false);
    EXPECT_EQ(WithinTwoSeconds([&] {
                IoStatus status = IoStatus::kOk;
                auto writer = CreateFileWriter(path, status);
                return writer != nullptr || status != IoStatus::kFailed;
              }),
              false);
  }
  EXPECT_EQ(ReadFile(trap.target), "keep me");
  EXPECT_TRUE(fs::is_symlink(trap.link));
  EXPECT_TRUE(fs::is_fifo(trap.fifo));
  // A regular file is still written, and emptied first.
  EXPECT_TRUE(WriteWholeFile(trap.target, "new"));
  EXPECT_EQ(ReadFile(trap.target), "new");
}

TEST(DataFolderFiles, ReadsRefuseLinksAndFifosWithoutBlocking) {
  TrappedFolder trap;
  for (const std::string& path : {trap.link, trap.fifo}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(WithinTwoSeconds([&] {
                std::string contents;
                return ReadFileBytes(path, contents);
              }),
              false);
    EXPECT_EQ(WithinTwoSeconds([&] {
                std::string pattern;
                uint64_t size = 0;
                return ReadRepeatingUnit(path, 1, pattern, size);
              }),
              false);
  }
  std::string contents;
  EXPECT_TRUE(ReadFileBytes(trap.target, contents));
  EXPECT_EQ(contents, "keep me");
}

// A fresh scratch folder with a work folder path in it and a victim file beside it.
struct Volume {
  Volume() { WriteFile(victim, "the user's own file"); }
  std::unique_ptr<WorkFolderHandle> Open(FolderRefusal& why) { return OpenWorkFolder(work, why); }
  std::unique_ptr<WorkFolderHandle> Open() {
    FolderRefusal why = FolderRefusal::kNone;
    auto folder = Open(why);
    EXPECT_EQ(why, FolderRefusal::kNone);
    return folder;
  }
  ScratchFolder root;
  std::string work = root / "NDRF_temp";
  std::string victim = root / "victim.txt";
};

// The filler's write paths (one buffer kept per pattern, whole blocks past the cache, the
// cached fall-back for the rest) must put exactly the bytes asked for into each file.
TEST(WorkFolderHandle, WritesExactlyTheFillerAskedForOnEveryWritePath) {
  Volume volume;
  auto folder = volume.Open();
  ASSERT_NE(folder, nullptr);
  auto repeated = [](std::string_view pattern, size_t size) {
    std::string text;
    while (text.size() < size) text.append(pattern.substr(0, size - text.size()));
    return text;
  };
  std::string line(1000, 'Q');
  line += "\r\n";
  std::string other(1000, 'R');
  other += "\r\n";
  // Sizes on and off the block and pattern boundaries; the second pattern must not be
  // written from the first one's buffer.
  const std::pair<std::string, size_t> copies[] = {
      {line, 2'052'096 + 5000}, {line, 7}, {other, 50'100}, {line, 4096}};
  for (size_t i = 0; i < std::size(copies); ++i) {
    const auto& [pattern, size] = copies[i];
    std::string name = "000-ws" + std::to_string(i);
    ASSERT_EQ(folder->WriteRepeated(name, pattern, size), IoStatus::kOk);
    EXPECT_EQ(ReadFile(volume.work + "/" + name), repeated(pattern, size)) << name;
  }
  // Durable appends: whole blocks to a file on a block boundary, then a short piece, then whole
  // blocks again to a file that no longer ends on a boundary.
  std::string expected;
  for (auto [fill, size] : {std::pair{'a', 4096}, {'b', 8192}, {'c', 100}, {'d', 4096}}) {
    std::string piece(static_cast<size_t>(size), fill);
    ASSERT_EQ(folder->Append("fw2", piece, true), IoStatus::kOk);
    expected += piece;
  }
  EXPECT_EQ(ReadFile(volume.work + "/fw2"), expected);
}

TEST(WorkFolderHandle, IsCreatedPrivateAndTakenOnlyOnce) {
  Volume volume;
  auto folder = volume.Open();
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(fs::status(volume.work).permissions(), fs::perms::owner_all);
  EXPECT_EQ(InspectWorkFolder(volume.work), FolderState::kBusy);
  FolderRefusal why = FolderRefusal::kNone;
  EXPECT_EQ(volume.Open(why), nullptr);
  EXPECT_EQ(why, FolderRefusal::kBusy);
  // The sweep leaves a folder alone while a cleaning holds it, files and all.
  ASSERT_EQ(folder->Create("bo0", "x"), IoStatus::kOk);
  EXPECT_FALSE(RemoveLeftoverWorkFolder(volume.work));
  EXPECT_TRUE(fs::exists(volume.work + "/bo0"));
  folder.reset();
  // Let go, it is a leftover of ours: opened again, its names are replaced, not appended to.
  EXPECT_EQ(InspectWorkFolder(volume.work), FolderState::kOurs);
  folder = volume.Open();
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(folder->Create("bo0", "new"), IoStatus::kOk);
  EXPECT_EQ(ReadFile(volume.work + "/bo0"), "new");
  folder.reset();
  EXPECT_TRUE(RemoveLeftoverWorkFolder(volume.work));
  EXPECT_EQ(InspectWorkFolder(volume.work), FolderState::kAbsent);
}

TEST(WorkFolderHandle, LinksAndSharedFoldersAreRefusedUntouched) {
  Volume volume;
  FolderRefusal why = FolderRefusal::kNone;
  // A link to a folder, and a file, where the folder belongs.
  fs::create_directory_symlink(volume.root.path(), volume.work);
  EXPECT_EQ(volume.Open(why), nullptr);
  EXPECT_EQ(why, FolderRefusal::kNotAFolder);
  EXPECT_EQ(InspectWorkFolder(volume.work), FolderState::kForeign);
  EXPECT_FALSE(RemoveLeftoverWorkFolder(volume.work));
  EXPECT_TRUE(fs::exists(volume.victim));
  fs::remove(volume.work);
  WriteFile(volume.work, "a file");
  EXPECT_EQ(volume.Open(why), nullptr);
  EXPECT_EQ(why, FolderRefusal::kNotAFolder);
  fs::remove(volume.work);
  // Folders that others may write in, with a link planted under a job's name.
  for (mode_t mode : {0770, 0707, 0777, 01777}) {
    SCOPED_TRACE(mode);
    fs::create_directory(volume.work);
    ::chmod(volume.work.c_str(), mode);
    fs::create_hard_link(volume.victim, volume.work + "/fw1");
    EXPECT_EQ(volume.Open(why), nullptr);
    EXPECT_EQ(why, FolderRefusal::kNotOurs);
    EXPECT_EQ(InspectWorkFolder(volume.work), FolderState::kForeign);
    EXPECT_FALSE(RemoveLeftoverWorkFolder(volume.work));
    EXPECT_TRUE(fs::exists(volume.work + "/fw1"));
    fs::remove_all(volume.work);
  }
  EXPECT_EQ(ReadFile(volume.victim), "the user's own file");
  EXPECT_EQ(fs::hard_link_count(volume.victim), 1u);
}

TEST(WorkFolderHandle, NeverWritesThroughANameItDidNotCreate) {
  Volume volume;
  auto folder = volume.Open();
  ASSERT_NE(folder, nullptr);
  // Planted in the fresh folder after it was made: a hard link and a symbolic link.
  fs::create_hard_link(volume.victim, volume.work + "/fw1");
  fs::create_symlink(volume.victim, volume.work + "/fw2");
  WriteFile(volume.root / "source", "copy source");
  for (const char* name : {"fw1", "fw2"}) {
    SCOPED_TRACE(name);
    EXPECT_NE(folder->Create(name, "test\r\n"), IoStatus::kOk);
    EXPECT_NE(folder->Append(name, "filler", true), IoStatus::kOk);
    EXPECT_NE(folder->WriteRepeated(name, "ABC", 3000), IoStatus::kOk);
    EXPECT_NE(folder->Copy(volume.root / "source", name), IoStatus::kOk);
    // Nothing was created under that name, so there is nothing to pad.
    EXPECT_EQ(folder->PadToMultiple(name, 4096, "x"), IoStatus::kOk);
  }
  // A file the job made, replaced by a link to the victim between two appends.
  ASSERT_EQ(folder->Append("fw3", "first", false), IoStatus::kOk);
  fs::remove(volume.work + "/fw3");
  fs::create_hard_link(volume.victim, volume.work + "/fw3");
  EXPECT_NE(folder->Append("fw3", "second", false), IoStatus::kOk);
  EXPECT_EQ(folder->PadToMultiple("fw3", 4096, "x"), IoStatus::kFailed);
  // A file the job made that got a second name elsewhere is not extended either.
  ASSERT_EQ(folder->Append("fw4", "first", false), IoStatus::kOk);
  fs::create_hard_link(volume.work + "/fw4", volume.root / "elsewhere");
  EXPECT_NE(folder->Append("fw4", "second", false), IoStatus::kOk);
  EXPECT_EQ(ReadFile(volume.root / "elsewhere"), "first");
  EXPECT_EQ(ReadFile(volume.victim), "the user's own file");
  EXPECT_EQ(ReadFile(volume.root / "source"), "copy source");
  // Deleting removes the planted names themselves, never what they lead to.
  folder->RemoveAll();
  EXPECT_FALSE(fs::exists(volume.work));
  EXPECT_EQ(ReadFile(volume.victim), "the user's own file");
}

TEST(WorkFolderHandle, ALeftoverOfOursHasItsNamesReplacedNotFollowed) {
  Volume volume;
  fs::create_directory(volume.work);
  ::chmod(volume.work.c_str(), 0700);
  fs::create_hard_link(volume.victim, volume.work + "/test.txt");
  fs::create_symlink(volume.victim, volume.work + "/fw1");
  auto folder = volume.Open();
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(folder->Create("test.txt", "test\r\n"), IoStatus::kOk);
  EXPECT_EQ(folder->Append("fw1", "filler", true), IoStatus::kOk);
  EXPECT_EQ(ReadFile(volume.work + "/test.txt"), "test\r\n");
  EXPECT_EQ(ReadFile(volume.work + "/fw1"), "filler");
  EXPECT_FALSE(fs::is_symlink(volume.work + "/fw1"));
  EXPECT_EQ(ReadFile(volume.victim), "the user's own file");
  EXPECT_EQ(fs::hard_link_count(volume.victim), 1u);
}

TEST(WorkFolderHandle, SwappedFolderIsNoLongerInPlaceAndKeepsGettingTheWrites) {
  for (bool by_link : {false, true}) {
    SCOPED_TRACE(by_link ? "swapped for a link" : "swapped for another folder");
    Volume volume;
    auto folder = volume.Open();
    ASSERT_NE(folder, nullptr);
    EXPECT_TRUE(folder->StillInPlace());
    ASSERT_EQ(folder->Create("bo0", "x"), IoStatus::kOk);
    std::string elsewhere = volume.root / "elsewhere";
    fs::create_directory(elsewhere);
    WriteFile(elsewhere + "/bo1", "bait");
    fs::rename(volume.work, volume.root / "moved");
    if (by_link) {
      fs::create_directory_symlink(elsewhere, volume.work);
    } else {
      fs::rename(elsewhere, volume.work);
    }
    EXPECT_FALSE(folder->StillInPlace());
    // Writes and deletions still go to the folder the handle opened, not to the new one.
    EXPECT_EQ(folder->Create("bo2", "x"), IoStatus::kOk);
    EXPECT_TRUE(fs::exists(volume.root / "moved/bo2"));
    EXPECT_FALSE(folder->Delete("bo1"));
    EXPECT_FALSE(folder->RemoveIfEmpty());
    folder->RemoveAll();
    EXPECT_TRUE(fs::is_empty(volume.root / "moved"));
    std::string replacement = by_link ? elsewhere : volume.work;
    EXPECT_EQ(ReadFile(replacement + "/bo1"), "bait");
  }
}

TEST(WorkFolderHandle, RemovedFolderIsNoLongerInPlace) {
  Volume volume;
  auto folder = volume.Open();
  ASSERT_NE(folder, nullptr);
  fs::remove(volume.work);
  EXPECT_FALSE(folder->StillInPlace());
  fs::create_directory(volume.work);
  EXPECT_FALSE(folder->StillInPlace());
}

}  // namespace
}  // namespace nd::platform
