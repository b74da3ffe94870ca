// The work folder reached through its handle, under Wine on the scratch drives.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "platform/files.h"
#include "platform/work_files.h"
#include "scratch.h"

namespace nd::platform {
namespace {

std::string Read(const std::string& path) {
  std::string contents;
  ReadFileBytes(path, contents);
  return contents;
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

TEST(WorkFolder, CreatesAppendsPadsCutsAndRemovesThroughTheHandle) {
  test::ScratchFolder scratch;
  const std::string path = scratch / "NDRF_temp";
  FolderRefusal why = FolderRefusal::kUnusable;
  auto folder = OpenWorkFolder(path, why);
  ASSERT_TRUE(folder) << static_cast<int>(why);
  EXPECT_EQ(why, FolderRefusal::kNone);
  EXPECT_TRUE(IsRealDirectory(path));

  EXPECT_EQ(folder->Create("test.txt", "test\r\n"), IoStatus::kOk);
  EXPECT_EQ(Read(path + "\\test.txt"), "test\r\n");
  EXPECT_EQ(folder->Append("fw1", "abc", false), IoStatus::kOk);
  EXPECT_EQ(folder->Append("fw1", "def", true), IoStatus::kOk);
  EXPECT_EQ(folder->PadToMultiple("fw1", 8, "xy"), IoStatus::kOk);
  EXPECT_EQ(Read(path + "\\fw1"), "abcdefxy");
  EXPECT_EQ(folder->CutEnd("fw1", 3), IoStatus::kOk);
  EXPECT_EQ(Read(path + "\\fw1"), "abcde");
  EXPECT_EQ(folder->PadToMultiple("never-made", 8, "x"), IoStatus::kOk);
  EXPECT_EQ(folder->WriteRepeated("000-ws1", "0123456789", 25), IoStatus::kOk);
  EXPECT_EQ(Read(path + "\\000-ws1"), "0123456789012345678901234");

  const std::string source = scratch / "temp.xd";
  ASSERT_TRUE(WriteWholeFile(source, "copy source"));
  EXPECT_EQ(folder->Copy(source, "000-ws2"), IoStatus::kOk);
  EXPECT_EQ(Read(path + "\\000-ws2"), "copy source");
  EXPECT_EQ(folder->Copy(scratch / "missing", "000-ws3"), IoStatus::kFailed);

  // Names that would leave the folder are refused.
  EXPECT_EQ(folder->Create("..\\escape", "x"), IoStatus::kFailed);
  EXPECT_EQ(folder->Create("C:escape", "x"), IoStatus::kFailed);
  EXPECT_FALSE(PathExists(scratch / "escape"));

  std::vector<std::string> names;
  ASSERT_TRUE(folder->ListWorkFiles(names));
  EXPECT_EQ(Sorted(names), (std::vector<std::string>{"000-ws1", "000-ws2", "fw1", "test.txt"}));
  EXPECT_TRUE(folder->Flush());
  folder->DisableCompression();
  EXPECT_TRUE(folder->StillInPlace());
  EXPECT_FALSE(folder->RemoveIfEmpty());
  for (const std::string& name : names) EXPECT_TRUE(folder->Delete(name)) << name;
  EXPECT_TRUE(folder->RemoveIfEmpty());
  EXPECT_FALSE(PathExists(path));
}

// A copy larger than the fill's usual buffer gets a buffer of its size, and the buffer kept
// for one pattern is never used for another: every file holds exactly its own pattern.
TEST(WorkFolder, RepeatedWritesHoldTheirOwnPatternAtAnySize) {
  test::ScratchFolder scratch;
  const std::string path = scratch / "NDRF_temp";
  FolderRefusal why = FolderRefusal::kUnusable;
  auto folder = OpenWorkFolder(path, why);
  ASSERT_TRUE(folder);
  auto repeated = [](std::string_view pattern, size_t size) {
    std::string text;
    text.reserve(size);
    while (text.size() < size) text.append(pattern.substr(0, size - text.size()));
    return text;
  };
  const std::string line = "0123456789abcdefghijklmnopqrstuvwxyz\r\n";
  const size_t large = (size_t{64} << 20) + 4099;
  const std::pair<std::string, size_t> writes[] = {
      {line, 1000}, {line, large}, {"other\r\n", 70}, {line, 77}};
  for (size_t i = 0; i < std::size(writes); ++i) {
    const auto& [pattern, size] = writes[i];
    const std::string name = "000-ws" + std::to_string(i);
    ASSERT_EQ(folder->WriteRepeated(name, pattern, size), IoStatus::kOk);
    EXPECT_TRUE(Read(path + "\\" + name) == repeated(pattern, size)) << name;
  }
  folder->RemoveAll();
  EXPECT_FALSE(PathExists(path));
}

// The empty files that take the file table's last records have long names with "$$$"; a job
// lists and deletes some thousands of them.
TEST(WorkFolder, ThousandsOfEmptyFilesWithLongDollarNamesAreListedAndDeleted) {
  test::ScratchFolder scratch;
  FolderRefusal why = FolderRefusal::kNone;
  auto folder = OpenWorkFolder(scratch / "NDRF_temp", why);
  ASSERT_TRUE(folder);
  constexpr int kFiles = 1000;
  for (int i = 0; i < kFiles; ++i) {
    ASSERT_EQ(folder->Create("bo" + std::to_string(i) + "-" + std::string(100, '5') + ".$$$", ""),
              IoStatus::kOk);
  }
  // Listed twice, as a job does: some are given back after the first listing, the rest are
  // deleted after the second.
  std::vector<std::string> names;
  ASSERT_TRUE(folder->ListWorkFiles(names));
  ASSERT_EQ(names.size(), static_cast<size_t>(kFiles));
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(folder->Delete(names[i])) << names[i];
  ASSERT_TRUE(folder->ListWorkFiles(names));
  EXPECT_EQ(names.size(), static_cast<size_t>(kFiles - 10));
  for (const std::string& name : names) ASSERT_TRUE(folder->Delete(name)) << name;
  EXPECT_TRUE(folder->RemoveIfEmpty());
}

TEST(WorkFolder, APlantedFileIsNeitherReplacedNorWrittenInAFreshFolder) {
  test::ScratchFolder scratch;
  const std::string path = scratch / "NDRF_temp";
  FolderRefusal why;
  auto folder = OpenWorkFolder(path, why);
  ASSERT_TRUE(folder);
  ASSERT_TRUE(WriteWholeFile(path + "\\fw1", "planted"));
  EXPECT_EQ(folder->Create("fw1", "ours"), IoStatus::kFailed);
  EXPECT_EQ(folder->Append("fw1", "ours", false), IoStatus::kFailed);
  EXPECT_EQ(Read(path + "\\fw1"), "planted");
  // Our own file, swapped for another under its name, is not appended to.
  ASSERT_EQ(folder->Append("fw2", "a", false), IoStatus::kOk);
  // Moved away rather than deleted, so that the new file cannot get the old one's number.
  ASSERT_TRUE(RenameFile(path + "\\fw2", path + "\\fw2.moved"));
  ASSERT_TRUE(WriteWholeFile(path + "\\fw2", "swapped"));
  EXPECT_EQ(folder->Append("fw2", "b", false), IoStatus::kFailed);
  EXPECT_EQ(Read(path + "\\fw2"), "swapped");
  folder->RemoveAll();
  EXPECT_FALSE(PathExists(path));
}

TEST(WorkFolder, LeftoversAreReusedAndTheHandleLocksOutASecondJob) {
  test::ScratchFolder scratch;
  const std::string path = scratch / "NDRF_temp";
  ASSERT_TRUE(MakeDirectory(path));
  ASSERT_TRUE(WriteWholeFile(path + "\\bo1", "old"));
  FolderRefusal why;
  auto folder = OpenWorkFolder(path, why);
  ASSERT_TRUE(folder);
  // Our own leftover: its files may be replaced.
  EXPECT_EQ(folder->Create("bo1", "new"), IoStatus::kOk);
  EXPECT_EQ(Read(path + "\\bo1"), "new");

  FolderRefusal second_why;
  EXPECT_FALSE(OpenWorkFolder(path, second_why));
  EXPECT_EQ(second_why, FolderRefusal::kBusy);
  EXPECT_EQ(InspectWorkFolder(path), FolderState::kBusy);
  EXPECT_FALSE(RemoveLeftoverWorkFolder(path));
  EXPECT_TRUE(PathExists(path + "\\bo1"));

  folder.reset();
  EXPECT_EQ(InspectWorkFolder(path), FolderState::kOurs);
  EXPECT_TRUE(RemoveLeftoverWorkFolder(path));
  EXPECT_EQ(InspectWorkFolder(path), FolderState::kAbsent);
}

TEST(WorkFolder, AFileAtTheFolderPlaceOrAMissingParentIsRefused) {
  test::ScratchFolder scratch;
  ASSERT_TRUE(WriteWholeFile(scratch / "NDRF_temp", "a file"));
  FolderRefusal why;
  EXPECT_FALSE(OpenWorkFolder(scratch / "NDRF_temp", why));
  EXPECT_EQ(why, FolderRefusal::kNotAFolder);
  EXPECT_EQ(InspectWorkFolder(scratch / "NDRF_temp"), FolderState::kForeign);
  EXPECT_FALSE(OpenWorkFolder(scratch / "missing\\NDRF_temp", why));
  EXPECT_EQ(why, FolderRefusal::kUnusable);
}

TEST(WorkFolder, AFullVolumeIsNoSpaceNotAFailure) {
  const std::string e = test::SmallDrive();
  if (e.empty()) GTEST_SKIP() << "no small scratch volume (needs root to mount a tmpfs)";
  test::ScratchFolder scratch(e + ":\\");
  FolderRefusal why;
  auto folder = OpenWorkFolder(scratch / "NDRF_temp", why);
  ASSERT_TRUE(folder);
  EXPECT_EQ(folder->WriteRepeated("000-ws1", "filler line\r\n", uint64_t{64} << 20),
            IoStatus::kNoSpace);
  IoStatus status = IoStatus::kOk;
  for (int i = 0; i < 1000 && status == IoStatus::kOk; ++i) {
    status = folder->Append("fw1", std::string(4096, ' '), true);
  }
  EXPECT_EQ(status, IoStatus::kNoSpace);
  // Every file was flushed when it was closed: the volume counts as flushed.
  EXPECT_TRUE(folder->Flush());
  folder->RemoveAll();
  EXPECT_FALSE(PathExists(scratch / "NDRF_temp"));
}

// The runner plants host symbolic links in D:\with-links and D:\NDRF_linked pointing at a
// folder outside every drive; after the run it checks that the file there still exists.
TEST(WorkFolder, LinksAreNeverFollowedIntoForeignFolders) {
  const std::string d = test::FolderDrive();
  const std::string linked = d + ":\\NDRF_linked";
  const std::string with_links = d + ":\\with-links";
  if (!PathExists(linked)) GTEST_SKIP() << "runner did not plant links";
  FolderRefusal why;
  EXPECT_FALSE(OpenWorkFolder(linked, why));
  EXPECT_EQ(why, FolderRefusal::kNotAFolder);
  EXPECT_EQ(InspectWorkFolder(linked), FolderState::kForeign);
  EXPECT_FALSE(RemoveLeftoverWorkFolder(linked));
  EXPECT_FALSE(RemoveTree(linked));

  // A leftover holding links: everything else goes, the links' targets stay.
  ASSERT_TRUE(WriteWholeFile(with_links + "\\bo1", "ours"));
  EXPECT_EQ(InspectWorkFolder(with_links), FolderState::kOurs);
  EXPECT_FALSE(RemoveLeftoverWorkFolder(with_links));
  EXPECT_FALSE(PathExists(with_links + "\\bo1"));

  auto folder = OpenWorkFolder(with_links, why);
  ASSERT_TRUE(folder);
  std::vector<std::string> names;
  ASSERT_TRUE(folder->ListWorkFiles(names));
  for (const std::string& name : names) EXPECT_FALSE(folder->Delete(name)) << name;
  folder->RemoveAll();
  EXPECT_FALSE(RemoveTree(with_links));
}

TEST(FileWriter, WritesFromTheStartAndRefusesFolders) {
  test::ScratchFolder scratch;
  ASSERT_TRUE(WriteWholeFile(scratch / "temp.xd", "a longer old content"));
  IoStatus status;
  auto writer = CreateFileWriter(scratch / "temp.xd", status);
  ASSERT_TRUE(writer);
  EXPECT_EQ(writer->Write("new"), IoStatus::kOk);
  EXPECT_EQ(writer->Close(), IoStatus::kOk);
  EXPECT_EQ(Read(scratch / "temp.xd"), "new");
  EXPECT_FALSE(CreateFileWriter(scratch.path(), status));

  std::string pattern;
  uint64_t size = 0;
  ASSERT_TRUE(WriteWholeFile(scratch / "rep", "abcabcabc"));
  EXPECT_TRUE(ReadRepeatingUnit(scratch / "rep", 3, pattern, size));
  EXPECT_EQ(pattern, "abc");
  EXPECT_EQ(size, 9u);
  ASSERT_TRUE(WriteWholeFile(scratch / "rep", "abcabcab"));
  EXPECT_FALSE(ReadRepeatingUnit(scratch / "rep", 3, pattern, size));
}

}  // namespace
}  // namespace nd::platform
