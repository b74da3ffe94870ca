// Whole cleaning jobs on the fake volume, driven through the scripted host: what is written,
// what is left, what the page shows, and what is logged.
#include <gtest/gtest.h>

#include <map>

#include "engine/free_space_fill.h"
#include "engine/small_file_pass.h"
#include "engine/work_folder.h"
#include "engine_test_support.h"

namespace nd::engine {
namespace {

using test::JobRig;

constexpr uint64_t kMB = 1'000'000;
const std::string kWork = test::kFakeWork;

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  size_t at = 0;
  for (size_t bar; (bar = line.find('|', at)) != std::string::npos; at = bar + 1) {
    fields.push_back(line.substr(at, bar - at));
  }
  fields.push_back(line.substr(at));
  return fields;
}

bool Contains(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

void MakeRemovable(JobRig& rig, const char* file_system = "FAT32") {
  rig.volume.info().DriveType = kDriveRemovable;
  rig.volume.info().FileSystem = file_system;
}

TEST(CleaningJob, WayTwoFillsEveryByteFlushesThenDeletesEverything) {
  JobRig rig(40 * kMB);
  MakeRemovable(rig);
  rig.form.SelectMethod(3);
  std::string fine_line, medium_head, source_head;
  rig.volume.on_op = [&](std::string_view op, const std::string& path) {
    bool work_file = path.rfind(kWork + "/", 0) == 0 && !path.ends_with("/test.txt");
    if (op != "delete" || !fine_line.empty() || !work_file) return;
    // At the first deletion everything written is still there.
    auto& files = rig.volume.files();
    fine_line = files[kWork + "/fw2"].content.substr(0, 3002);
    medium_head = files[kWork + "/fw1"].content.substr(0, 51'002);
    source_head = files[kWork + "/000-ws1-012345678901234567890123456789"].content.substr(0, 1002);
  };
  rig.Run("D", 2);

  EXPECT_EQ(rig.state.WorkStatus, kStatusCompleted);
  EXPECT_LE(rig.volume.free_at_flush, 3000u);
  EXPECT_GE(rig.volume.flushes, 1);
  std::vector<std::string> work_files;
  for (const std::string& path : rig.volume.deleted) {
    if (path.rfind(kWork + "/", 0) == 0 && !path.ends_with("/test.txt")) work_files.push_back(path);
  }
  EXPECT_EQ(rig.volume.written_before_flush, work_files);
  EXPECT_TRUE(rig.volume.files().empty());  // the copy source went too
  EXPECT_FALSE(rig.volume.FolderExists(kWork));
  EXPECT_TRUE(Contains(rig.volume.deleted, kWork + "/000-ws1-012345678901234567890123456789"));

  // Digits only; every fine write is the same block; a medium write is it seventeen times.
  ASSERT_EQ(fine_line.size(), 3002u);
  EXPECT_EQ(fine_line.substr(0, 3000).find_first_not_of("0123456789"), std::string::npos);
  EXPECT_EQ(fine_line.substr(3000), "\r\n");
  std::string block = fine_line.substr(0, 3000);
  std::string seventeen;
  for (int i = 0; i < 17; ++i) seventeen += block;
  EXPECT_EQ(medium_head, seventeen + "\r\n");
  EXPECT_EQ(source_head.size(), 1002u);
  EXPECT_NE(source_head.substr(0, 1000), block.substr(0, 1000));  // its own random block

  EXPECT_EQ(rig.StepPictures(), (std::vector<std::string>{"IconOK", "IconOK", "IconOK", "IconOK"}));
  EXPECT_EQ(rig.form.ReportImage[0].PictureName(), "IconOK");
  EXPECT_EQ(rig.form.ReportDisk[0].Caption(), "D:");
  EXPECT_EQ(rig.form.ReportInfo[0].Caption(), "Completed successfully");
  EXPECT_EQ(rig.form.Label9.Caption().substr(rig.form.Label9.Caption().size() - 2), " D");
  EXPECT_FALSE(rig.form.Command4.Visible());
  EXPECT_FALSE(std::filesystem::exists(rig.context.env.data_folder + "/fileerror.txt"));

  auto lines = rig.LogLines();
  ASSERT_EQ(lines.size(), 1u);
  auto f = Fields(lines[0]);
  ASSERT_EQ(f.size(), 10u);
  EXPECT_EQ(f[0], "1");
  EXPECT_EQ(f[3], "5");  // 3 × 300 ms + 5 s final wait
  EXPECT_EQ(f[4], "D");
  EXPECT_EQ(f[5], "FAKE");
  EXPECT_EQ(f[6], "FAT32");
  EXPECT_EQ(f[7], "123456789");
  EXPECT_EQ(f[8], "2");
  EXPECT_EQ(f[9], "1");
  EXPECT_EQ(rig.context.settings.Get("NDRF", "Statistics", "Disk123456789-cleanway2-ntfs1"),
            std::to_string(40 * kMB / 5));
}

TEST(CleaningJob, VolumeBelowThresholdStartsInTheFinePhase) {
  JobRig rig(30 * kMB);  // fixed: T = 50,000,000
  rig.volume.info().FileSystem = "FAT32";
  rig.Run("D", 2);
  ASSERT_GE(rig.volume.appended.size(), 2u);
  EXPECT_EQ(rig.volume.appended[0], kWork + "/fw2");
  EXPECT_EQ(rig.volume.appended[1], kWork + "/fw1");
  EXPECT_EQ(rig.state.WorkStatus, kStatusCompleted);
  EXPECT_LE(rig.volume.free_at_flush, 3000u);
}

TEST(CleaningJob, FillSurvivesWhatTheFilesystemRefusesOrNeverConsumes) {
  {
    // Free space reported that no append can use (reserved blocks): finer phases, then done.
    JobRig rig(40 * kMB);
    MakeRemovable(rig);
    rig.volume.reported_extra = 250'000;
    rig.Run("D", 2);
    EXPECT_EQ(rig.state.WorkStatus, kStatusCompleted);
    EXPECT_LT(rig.volume.free_at_flush, 4096u);
  }
  {
    // The filesystem's own pool is set aside for the end of the fill and given back.
    JobRig rig(40 * kMB);
    MakeRemovable(rig);
    rig.volume.reserve_pool = 1 << 20;
    rig.Run("D", 2);
    EXPECT_EQ(rig.state.WorkStatus, kStatusCompleted);
    EXPECT_LT(rig.volume.free_at_flush, 4096u);
    EXPECT_GT(rig.volume.durable_appends, 0);
    EXPECT_EQ(rig.volume.pool_restores, 1);
    EXPECT_FALSE(rig.volume.pool_set_aside);
  }
  {
    // Writes that take no space (compression, deduplication) end as a failed fill.
    JobRig rig(40 * kMB);
    MakeRemovable(rig);
    rig.volume.stored_fraction = 0;
    rig.Run("D", 2);
    EXPECT_EQ(rig.state.WorkStatus, kStatusFillFailed);
    EXPECT_TRUE(rig.volume.files().size() <= 1u);  // only the copy source may stay
  }
  {
    // A copy refused short of the free space it had (ntfs-3g's own records): what it wrote
    // stays filler and the finer phases fill the rest. Refused with the volume still far from
    // full, or with less free than one copy, the fill fails.
    JobRig rig(140 * kMB);
    rig.volume.copy_overhead = 50 * kMB;
    int copies = 0;
    rig.volume.on_op = [&](std::string_view op, const std::string&) { copies += op == "copy"; };
    rig.Run("D", 2);
    EXPECT_EQ(rig.state.WorkStatus, kStatusCompleted);
    EXPECT_GE(copies, 1);
    EXPECT_LE(rig.volume.free_at_flush, 3000u);

    JobRig far_from_full(250 * kMB);
    far_from_full.volume.copy_overhead = 120 * kMB;
    far_from_full.Run("D", 2);
    EXPECT_EQ(far_from_full.state.WorkStatus, kStatusFillFailed);

    // 50,050,000 bytes free when the fill starts: at least T, less than one copy.
    JobRig short_of_a_copy(3 * kMB);
    auto& volume = short_of_a_copy.volume;
    volume.on_op = [&](std::string_view op, const std::string&) {
      if (op == "write") volume.reported_extra = 50'050'000 + 4096 - volume.Writable();
    };
    short_of_a_copy.Run("D", 2);
    EXPECT_EQ(short_of_a_copy.state.WorkStatus, kStatusFillFailed);
  }
  {
    // The volume vanishes in the middle of the fill.
    JobRig rig(40 * kMB);
    MakeRemovable(rig);
    rig.volume.on_op = [&](std::string_view op, const std::string& path) {
      if (op == "append" && path == kWork + "/fw1") rig.volume.vanished = true;
    };
    rig.Run("D", 2);
    EXPECT_EQ(rig.state.WorkStatus, kStatusFillFailed);
    EXPECT_EQ(Fields(rig.LogLines()[0])[0], "3");
  }
}

TEST(CleaningJob, FillEndsClusterByClusterWithEveryFillerFileWrittenToItsClusterEnd) {
  {
    // Appends refused while the file table is full of small files (NTFS): small files are
    // given back one by one until the last cluster is written.
    JobRig rig(120 * kMB);
    rig.volume.info().FileSystem = "FAT32";
    size_t entries_at_fill = 0;
    rig.volume.on_op = [&](std::string_view op, const std::string& path) {
      if (op == "append" && path == kWork + "/fw2" && entries_at_fill == 0) {
        entries_at_fill = rig.volume.files().size();
        rig.volume.refuse_clusters_above_entries = entries_at_fill - 40;
      }
    };
    std::map<std::string, uint64_t> sizes;
    bool seen = false;
    rig.volume.on_op = [&, first = rig.volume.on_op](std::string_view op, const std::string& path) {
      first(op, path);
      bool filler =
          path.find("/fw") != std::string::npos || path.find("/000-ws") != std::string::npos;
      if (op == "delete" && !seen && filler) {
        seen = true;
        for (const auto& [name, file] : rig.volume.files()) sizes[name] = file.size;
      }
    };
    rig.Run("D", 2);
    EXPECT_EQ(rig.state.WorkStatus, kStatusCompleted);
    EXPECT_LT(rig.volume.free_at_flush, test::FakeVolumeAccess::kBlock);
    EXPECT_GT(rig.volume.pads, 0);
    int filler_files = 0;
    for (const auto& [name, size] : sizes) {
      if (name.find("/bo") != std::string::npos || name.find(kWork) != 0) continue;
      ++filler_files;
      EXPECT_EQ(size % test::FakeVolumeAccess::kBlock, 0u) << name;
    }
    EXPECT_GE(filler_files, 3);  // copies, fw1 and fw2
    EXPECT_TRUE(rig.volume.files().empty());
  }
  {
    // A refusal that no given-back file relieves still ends the fill, normally.
    JobRig rig(40 * kMB);
    MakeRemovable(rig);
    rig.volume.on_op = [&](std::string_view op, const std::string& path) {
      if (op == "append" && path == kWork + "/fw2") rig.volume.refuse_clusters_above_entries = 0;
    };
    rig.Run("D", 2);
    EXPECT_EQ(rig.state.WorkStatus, kStatusCompleted);
    EXPECT_FALSE(rig.volume.FolderExists(kWork));
  }
}

TEST(CleaningJob, SmallFilePassEndsAtTheFloorOrAFullDirectory) {
  {
    // NTFS: each file holds one 903-byte line; the pass stops above 50 MB free.
    JobRig rig(70 * kMB);
    std::string first;
    rig.volume.on_op = [&](std::string_view op, const std::string&) {
      if (op == "delete" && first.empty()) {
        first = rig.volume.files()[kWork + "/" + SmallFileName(0)].content;
      }
    };
    rig.Run("D", 1);
    EXPECT_EQ(rig.state.WorkStatus, kStatusCompleted);
    EXPECT_EQ(first, std::string(901, ' ') + "\r\n");
    EXPECT_GE(rig.volume.free_at_flush, 50 * kMB - 4096);
    EXPECT_LT(rig.volume.deleted.size(), 7001u);
    EXPECT_EQ(rig.StepPictures(),
              (std::vector<std::string>{"IconOK", "IconOKgray", "IconOKgray", "IconOK"}));
  }
  {
    // An inode table or directory that is full: a normal end, and the fill still runs.
    JobRig rig(120 * kMB);
    rig.volume.info().FileSystem = "FAT32";
    rig.volume.max_entries = 500;
    rig.Run("D", 2);
    EXPECT_EQ(rig.state.WorkStatus, kStatusCompleted);
    // The last few small files made room for the fill's own files.
    EXPECT_TRUE(Contains(rig.volume.deleted, kWork + "/" + SmallFileName(0)));
    EXPECT_FALSE(Contains(rig.volume.deleted, kWork + "/" + SmallFileName(500)));
    EXPECT_TRUE(Contains(rig.volume.deleted, kWork + "/fw2"));
    EXPECT_LT(rig.volume.free_at_flush, 4096u);  // less than the block a fine append needs
  }
}

TEST(CleaningJob, UnpreparedVolumesFailWithCodeTwoAndTheJobGoesOn) {
  JobRig rig(40 * kMB);
  MakeRemovable(rig);
  rig.volume.read_only = true;
  rig.Run("DX", 2);
  EXPECT_EQ(rig.StepPictures(), std::vector<std::string>(4, "IconERROR"));
  auto lines = rig.LogLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(Fields(lines[0])[4], "X");  // newest first
  EXPECT_EQ(Fields(lines[0])[0], "2");
  EXPECT_EQ(Fields(lines[1])[0], "2");
  EXPECT_EQ(rig.form.ReportInfo[1].Caption().substr(0, 11), "Not cleaned");
  EXPECT_EQ(rig.form.ReportImage[1].PictureName(), "IconERROR");
  EXPECT_EQ(rig.form.ReportDisk[1].Top(),
            rig.form.ReportDisk[0].Top() + rig.form.ReportDisk[0].Height() + 150);
  EXPECT_TRUE(rig.volume.files().empty());
}

TEST(CleaningJob, StopEndsTheFillButNotTheDeletion) {
  JobRig rig(40 * kMB);
  MakeRemovable(rig);
  rig.context.settings.Save("NDRF", "Statistics", "Disk123456789-cleanway2-ntfs1", "1000000");
  rig.volume.on_op = [&](std::string_view op, const std::string& path) {
    if (op == "copy" && path.find("000-ws2-") != std::string::npos) {
      EXPECT_NE(rig.form.Label14.Caption(), "");
      rig.host.AtDoEvents(rig.host.DoEventsCount() + 1, [&] {
        rig.form.Command4.UserClick();
        EXPECT_EQ(rig.form.Label14.Caption(), "");
      });
    }
  };
  rig.Run("DD", 2);
  EXPECT_EQ(rig.state.WorkStatus, kStatusStopped);
  EXPECT_FALSE(rig.form.Command4.Enabled());
  EXPECT_TRUE(rig.volume.files().empty());  // copies deleted, copy source too
  EXPECT_FALSE(rig.volume.FolderExists(kWork));
  // The second volume is still visited: set up, sub-steps 1-3 skipped, deletion run.
  EXPECT_EQ(rig.StepPictures(),
            (std::vector<std::string>{"IconERROR", "IconERROR", "IconERROR", "IconOK"}));
  auto lines = rig.LogLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(Fields(lines[0])[0], "0");
  EXPECT_EQ(Fields(lines[1])[0], "0");
  EXPECT_EQ(rig.form.ReportInfo[1].Caption(), "Stopped by the user, not fully cleaned");
  EXPECT_EQ(rig.context.settings.Get("NDRF", "Statistics", "Disk123456789-cleanway2-ntfs1"),
            "1000000");
}

TEST(CleaningJob, StopOrPauseDuringTheDeletionDoesNotShortenIt) {
  JobRig rig(120 * kMB);
  rig.volume.info().FileSystem = "ext4";
  size_t deletions = 0;
  rig.volume.on_op = [&](std::string_view op, const std::string&) {
    if (op == "delete" && ++deletions == 10) {
      rig.Stop();
      rig.form.Check2.SetValue(1);
      rig.host.AtDoEvents(rig.host.DoEventsCount() + 50, [&] { rig.form.Check2.SetValue(0); });
    }
  };
  rig.Run("D", 1);
  EXPECT_EQ(rig.volume.deleted.size(), 12'002u);  // the set-up's test file and 12,001
  EXPECT_EQ(rig.state.PausedMilliseconds, 0);
  EXPECT_EQ(rig.form.StepImage[3].PictureName(), "IconOK");
  EXPECT_EQ(rig.state.WorkStatus, kStatusStopped);
}

TEST(CleaningJob, PauseIsSeenWithinATenthOfASecondBetweenProgressUpdates) {
  JobRig rig(120 * kMB);
  int writes = 0;
  int clicked_at = 0;
  int paused_at = 0;
  rig.volume.on_op = [&](std::string_view op, const std::string&) {
    if (op != "write") return;
    ++writes;
    rig.host.Sleep(30);  // each small file takes 30 ms: no progress update for a while
    if (paused_at == 0 && rig.state.PausedMilliseconds > 0) paused_at = writes;
    if (writes != 100) return;
    // The user clicks now; the click waits for the window's next turn.
    clicked_at = writes;
    int from = rig.host.DoEventsCount();
    rig.host.AtDoEvents(from + 1, [&] { rig.form.Check2.SetValue(1); });
    for (int n = from + 2; n < from + 100; ++n) {
      rig.host.AtDoEvents(n, [&rig] {
        if (rig.state.PausedMilliseconds >= 400) rig.form.Check2.SetValue(0);
      });
    }
  };
  rig.Run("D", 1);
  ASSERT_GT(clicked_at, 0);
  EXPECT_LE(paused_at - clicked_at, 5);  // 100 ms at most
  EXPECT_EQ(rig.state.PausedMilliseconds, 400);
}

// Elapsed seconds of a way-2 run on a small removable volume, pausing for `cycles` × 200 ms.
std::string ElapsedWithPause(int cycles) {
  JobRig rig(40 * kMB);
  MakeRemovable(rig);
  bool paused = false;
  rig.volume.on_op = [&](std::string_view op, const std::string& path) {
    if (op != "copy" || paused || cycles == 0 || path.find("000-ws1-") == std::string::npos) {
      return;
    }
    paused = true;
    rig.form.Check2.SetValue(1);
    int from = rig.host.DoEventsCount();
    for (int n = from + 1; n < from + 100; ++n) {
      rig.host.AtDoEvents(n, [&rig, cycles] {
        if (rig.state.PausedMilliseconds >= 200 * cycles) rig.form.Check2.SetValue(0);
      });
    }
  };
  rig.Run("D", 2);
  EXPECT_EQ(rig.state.PausedMilliseconds, 200 * cycles);
  return Fields(rig.LogLines()[0])[3];
}

TEST(CleaningJob, WholePauseSecondsAreTakenOffTheElapsedTime) {
  EXPECT_EQ(ElapsedWithPause(0), "5");  // 5.9 s
  EXPECT_EQ(ElapsedWithPause(4), "6");  // 6.7 s, nothing subtracted
  EXPECT_EQ(ElapsedWithPause(9), "6");  // 7.7 s less 1 s
}

TEST(CleaningJob, TraceNamesTheRunningSubStep) {
  JobRig rig(40 * kMB);
  MakeRemovable(rig);
  std::string trace;
  rig.volume.on_op = [&](std::string_view op, const std::string& path) {
    if (op == "append" && trace.empty() && path == kWork + "/fw1") {
      trace = test::ReadFile(rig.context.env.data_folder + "/fileerror.txt");
    }
  };
  rig.Run("D", 2);
  EXPECT_EQ(trace, "x|ver:3.00|CLEANINGSUB3\r\n");
  EXPECT_FALSE(std::filesystem::exists(rig.context.env.data_folder + "/fileerror.txt"));
}

TEST(WorkFolder, SubFolderFailsTheDeletionAndTheDriverRemovesItAll) {
  JobRig rig(120 * kMB);
  rig.volume.info().FileSystem = "FAT32";
  rig.volume.MakeFolder(kWork);
  rig.volume.MakeFolder(kWork + "/sub");
  rig.volume.WriteNewFile(kWork + "/old-file", "left by an interrupted run");
  rig.Run("D", 1);
  EXPECT_EQ(rig.state.WorkStatus, kStatusDeletionFailed);
  EXPECT_EQ(rig.form.StepImage[3].PictureName(), "IconOK");
  EXPECT_TRUE(Contains(rig.volume.deleted, kWork + "/old-file"));
  EXPECT_FALSE(rig.volume.FolderExists(kWork));
  EXPECT_EQ(Fields(rig.LogLines()[0])[0], "6");
}

TEST(WorkFolder, AFolderThatIsNotTheJobsIsNeitherUsedNorSwept) {
  JobRig rig(40 * kMB);
  rig.volume.MakeFolder(kWork);
  rig.volume.WriteNewFile(kWork + "/fw1", "another user's");
  rig.volume.foreign_folders.insert(kWork);
  rig.Run("D", 1);
  EXPECT_EQ(rig.state.WorkStatus, kStatusPreparationFailed);
  EXPECT_EQ(rig.form.ReportInfo[0].Caption(),
            "Not cleaned: NDRF_temp there is another user's or open to all");
  EXPECT_EQ(rig.volume.files().size(), 1u);
  EXPECT_TRUE(rig.volume.deleted.empty());

  std::vector<std::string> skipped;
  auto note = [&](const std::string& folder, FolderState) { skipped.push_back(folder); };
  RemoveLeftoverWorkFolders(rig.context, rig.host, rig.volume, note);
  EXPECT_TRUE(rig.host.MsgBoxes().empty());
  EXPECT_EQ(skipped, std::vector<std::string>{kWork});
  EXPECT_TRUE(rig.volume.FolderExists(kWork));

  // Held by a running cleaning: refused with its own text, and not a leftover either.
  rig.volume.foreign_folders.clear();
  rig.volume.busy_folders.insert(kWork);
  rig.Run("D", 1);
  EXPECT_EQ(rig.form.ReportInfo[0].Caption(),
            "Not cleaned: another cleaning is running on this disk");
  RemoveLeftoverWorkFolders(rig.context, rig.host, rig.volume, note);
  EXPECT_TRUE(rig.volume.FolderExists(kWork));
  EXPECT_EQ(rig.volume.files().size(), 1u);
}

TEST(WorkFolder, AFolderThatLeavesItsPlaceFailsTheRunningSubStep) {
  JobRig rig(120 * kMB);
  rig.volume.info().FileSystem = "FAT32";
  rig.volume.on_op = [&](std::string_view op, const std::string& path) {
    if (op == "append" && path == kWork + "/fw1") rig.volume.folder_moved = true;
  };
  rig.Run("D", 2);
  EXPECT_EQ(rig.state.WorkStatus, kStatusFillFailed);
  EXPECT_EQ(rig.form.ReportInfo[0].Caption(),
            "Failed: the disk was unmounted or its work folder replaced");
  // What the job wrote is still removed through the folder it had open.
  for (const auto& [name, file] : rig.volume.files()) EXPECT_NE(name.find(kWork), 0u) << name;
}

TEST(WorkFolder, LeftoversAreAnnouncedThenRemoved) {
  JobRig rig(40 * kMB);
  rig.volume.MakeFolder(kWork);
  rig.volume.WriteNewFile(kWork + "/fw1", "x");
  RemoveLeftoverWorkFolders(rig.context, rig.host, rig.volume);
  ASSERT_EQ(rig.host.MsgBoxes().size(), 2u);
  EXPECT_EQ(rig.host.MsgBoxes()[0].icon, ui::MsgBoxIcon::kExclamation);
  EXPECT_NE(rig.host.MsgBoxes()[0].text.find("\r\n\r\n" + kWork), std::string::npos);
  EXPECT_EQ(rig.host.MsgBoxes()[1].icon, ui::MsgBoxIcon::kInformation);
  EXPECT_FALSE(rig.volume.FolderExists(kWork));
  RemoveLeftoverWorkFolders(rig.context, rig.host, rig.volume);
  EXPECT_EQ(rig.host.MsgBoxes().size(), 2u);
  // The system volume's work folder lies beside the data folder, not in a volume root.
  EXPECT_EQ(WorkFolderPath(rig.context.env, rig.volume, "c"),
            platform::JoinPath(rig.context.env.app_data_folder, "NDRF_temp"));
}

}  // namespace
}  // namespace nd::engine
