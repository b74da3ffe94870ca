// The file operations with the names Windows users have: non-ASCII, long, reserved.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/files.h"
#include "platform/work_files.h"
#include "scratch.h"

namespace nd::platform {
namespace {

TEST(Files, NonAsciiNamesReachTheFileSystemAsTheyAre) {
  test::ScratchFolder scratch;
  const std::string name =
      "Gr\xC3\xBC\xC3\x9F"
      "e \xE6\x97\xA5\xE6\x9C\xAC.txt";  // Grüße 日本
  ASSERT_TRUE(WriteWholeFile(scratch / name, "text", true)) << ::GetLastError();
  std::string contents;
  ASSERT_TRUE(ReadFileBytes(scratch / name, contents));
  EXPECT_EQ(contents, "text");
  EXPECT_EQ(ListFolderFiles(scratch.path()), std::vector<std::string>{name});
  // The name on disk is the UTF-16 of that text, not its bytes read in the ANSI code page.
  std::wstring wide(scratch.path().begin(), scratch.path().end());
  wide += L"\\Gr\u00FC\u00DFe \u65E5\u672C.txt";
  EXPECT_NE(::GetFileAttributesW(wide.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(WriteWholeFile(scratch / "bad\xFF.txt", "x"));
}

TEST(Files, PathsLongerThanMaxPathWork) {
  test::ScratchFolder scratch;
  std::string path = scratch.path();
  while (path.size() < 300) {
    path += "\\" + std::string(40, 'd');
    ASSERT_TRUE(MakeDirectory(path)) << path.size();
  }
  ASSERT_TRUE(WriteWholeFile(path + "\\file", "deep"));
  std::string contents;
  EXPECT_TRUE(ReadFileBytes(path + "\\file", contents));
  EXPECT_EQ(contents, "deep");
  EXPECT_TRUE(IsRegularFile(path + "\\file"));
  EXPECT_TRUE(RemoveTree(scratch / std::string(40, 'd'))) << ::GetLastError();
}

TEST(Files, DevicesFoldersAndInvalidNamesAreRefused) {
  test::ScratchFolder scratch;
  std::string contents;
  EXPECT_FALSE(ReadFileBytes(scratch.path(), contents));
  EXPECT_FALSE(WriteWholeFile(scratch.path(), "x"));
  EXPECT_FALSE(WriteWholeFile("NUL", "x"));
  EXPECT_FALSE(ReadFileBytes("CON", contents));
  EXPECT_FALSE(WriteWholeFile(std::string("a\0b", 3), "x"));
  EXPECT_FALSE(PathExists(""));
  EXPECT_TRUE(IsDirectory(scratch.path()));
  EXPECT_FALSE(IsRegularFile(scratch.path()));
}

TEST(Files, DirectoriesAreMadeWithTheirParentsAndListedInOrder) {
  test::ScratchFolder scratch;
  ASSERT_TRUE(MakeDirectories(scratch / "a\\b\\c"));
  EXPECT_TRUE(IsDirectory(scratch / "a\\b\\c"));
  EXPECT_TRUE(MakeDirectory(scratch / "a"));  // exists already
  for (const char* name : {"b.txt", "A.txt", "c.txt"})
    ASSERT_TRUE(WriteWholeFile(scratch / name, ""));
  EXPECT_EQ(ListFolderFiles(scratch.path()), (std::vector<std::string>{"A.txt", "b.txt", "c.txt"}));
  EXPECT_EQ(CanonicalPath(scratch / "a\\..\\A.txt"), scratch / "A.txt");
  EXPECT_TRUE(RenameFile(scratch / "A.txt", scratch / "b.txt"));
  EXPECT_EQ(ListFolderFiles(scratch.path()), (std::vector<std::string>{"b.txt", "c.txt"}));
  // Only the owner's write bit means something here: as the read-only attribute.
  const std::wstring c = std::wstring(scratch.path().begin(), scratch.path().end()) + L"\\c.txt";
  EXPECT_TRUE(SetPermissions(scratch / "c.txt", 0444));
  EXPECT_NE(::GetFileAttributesW(c.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_TRUE(SetPermissions(scratch / "c.txt", 0755));
  EXPECT_EQ(::GetFileAttributesW(c.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_TRUE(WriteWholeFile(scratch / "c.txt", "writable"));
}

TEST(Files, AtomicWritesReplaceWholeAndLeaveNoTemporaryFile) {
  test::ScratchFolder scratch;
  const std::string path = scratch / "NDRF.ini";
  ASSERT_TRUE(WriteWholeFile(path, "old"));
  ASSERT_TRUE(ReplaceFileAtomically(path, "new"));
  std::string contents;
  ASSERT_TRUE(ReadFileBytes(path, contents));
  EXPECT_EQ(contents, "new");
  {
    AtomicFileWriter abandoned(path);
    ASSERT_TRUE(abandoned.Begin());
    ASSERT_TRUE(abandoned.Write("half"));
  }
  EXPECT_EQ(ListFolderFiles(scratch.path()), std::vector<std::string>{"NDRF.ini"});
  ASSERT_TRUE(WriteWholeFile(path + ".tmp-abc123", "stale"));
  ASSERT_TRUE(WriteWholeFile(scratch / "other.tmp-abc123", "not ours"));
  RemoveStaleTempFiles(path);
  EXPECT_EQ(ListFolderFiles(scratch.path()),
            (std::vector<std::string>{"NDRF.ini", "other.tmp-abc123"}));
}

TEST(Files, PrivateTempFoldersAreFreshAndDistinct) {
  test::ScratchFolder scratch;
  std::string a = MakePrivateTempFolder(scratch.path(), "nulldrift-");
  std::string b = MakePrivateTempFolder(scratch.path(), "nulldrift-");
  ASSERT_FALSE(a.empty());
  ASSERT_FALSE(b.empty());
  EXPECT_NE(a, b);
  EXPECT_TRUE(IsDirectory(a));
  EXPECT_EQ(a.rfind(scratch / "nulldrift-", 0), 0u);
  EXPECT_TRUE(MakePrivateTempFolder(scratch.path(), "a\\b").empty());
  EXPECT_TRUE(MakePrivateTempFolder(scratch / "missing", "x").empty());
}

TEST(FolderLock, ASecondHolderWaitsForTheFirst) {
  test::ScratchFolder scratch;
  std::atomic<bool> second_held{false};
  std::thread other;
  {
    FolderLock first(scratch.path());
    ASSERT_TRUE(first.Held());
    other = std::thread([&] {
      FolderLock second(scratch.path());
      second_held = second.Held();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(second_held);
  }
  other.join();
  EXPECT_TRUE(second_held);
  EXPECT_FALSE(FolderLock(scratch / "missing").Held());
}

}  // namespace
}  // namespace nd::platform
