// The engine's fixed rules that need no job: filler characters, file counts and names,
// statistics, the usable-volume filter and the job log line.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/filler.h"
#include "engine/free_space_fill.h"
#include "engine/job_log.h"
#include "engine/small_file_pass.h"
#include "engine/standby.h"
#include "engine/statistics.h"
#include "engine/usable_volumes.h"
#include "engine/working_page_form.h"
#include "test_support.h"

namespace nd::engine {
namespace {

RandomFraction Sequence(std::vector<double> values) {
  size_t i = 0;
  return [values, i]() mutable { return values[i++ % values.size()]; };
}

TEST(Filler, EachMethodDrawsOnlyItsCharacters) {
  WorkingPageForm form;
  std::mt19937 generator(1);
  RandomFraction random = [&generator] {
    return std::uniform_real_distribution<double>(0, 1)(generator);
  };
  for (int method : {1, 4}) {
    form.SelectMethod(method);
    std::string text = BuildFillerText(form.Page(), random, 20'000);
    ASSERT_EQ(text.size(), 20'000u);
    EXPECT_EQ(text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXY"), std::string::npos);
    EXPECT_NE(text.find('A'), std::string::npos);
    EXPECT_NE(text.find('Y'), std::string::npos);
  }
  for (int method : {3, 5}) {
    form.SelectMethod(method);
    std::string text = BuildFillerText(form.Page(), random, 5000);
    EXPECT_EQ(text.find_first_not_of("0123456789"), std::string::npos);
    EXPECT_NE(text.find('9'), std::string::npos);
  }
  form.SelectMethod(2);
  EXPECT_EQ(BuildFillerText(form.Page(), random, 901), std::string(901, ' '));
  form.SelectMethod(0);
  EXPECT_EQ(BuildFillerText(form.Page(), random, 3000), "");
  EXPECT_EQ(AsLine(""), "\r\n");
}

TEST(Filler, LettersRejectDrawsBelowCodeA) {
  WorkingPageForm form;
  form.SelectMethod(1);
  // 0.5 → 45 (rejected), 0.99 → 89 "Y", 0.7222 → 64 (rejected), 0.7223 → 65 "A".
  EXPECT_EQ(BuildFillerText(form.Page(), Sequence({0.5, 0.99, 0.7222, 0.7223}), 2), "YA");
}

TEST(Filler, LargeBlockIsTheFineBlockSeventeenTimes) {
  std::string fine(3000, 'Q');
  fine[0] = 'A';
  std::string large = LargeFillerBlock(fine);
  ASSERT_EQ(large.size(), 51'000u);
  for (size_t at = 0; at < large.size(); at += 3000) EXPECT_EQ(large.substr(at, 3000), fine);
  EXPECT_EQ(AsLine(large).size(), 51'002u);
}

TEST(SmallFiles, CountFollowsSizeModeAndRemovableRules) {
  EXPECT_EQ(SmallFileCount({500e9, static_cast<NtfsMode>(1), false, 0}), 20'000);
  EXPECT_EQ(SmallFileCount({500e9, static_cast<NtfsMode>(2), false, 0}), 70'000);
  EXPECT_EQ(SmallFileCount({500e9, static_cast<NtfsMode>(3), false, 0}), 150'000);
  EXPECT_EQ(SmallFileCount({500e9, static_cast<NtfsMode>(7), false, 0}), 20'000);
  // 16 GB stick with less than 33 GB free: capped first, then a hundredth.
  EXPECT_EQ(SmallFileCount({16e9, static_cast<NtfsMode>(1), true, 15'000'000'000}), 200);
  EXPECT_EQ(SmallFileCount({16e9, static_cast<NtfsMode>(1), true, 33'000'000'000}), 20'000);
  EXPECT_EQ(SmallFileCount({1'234'567, static_cast<NtfsMode>(1), false, 0}), 123);
  EXPECT_EQ(SmallFileCount({9'999, static_cast<NtfsMode>(1), false, 0}), 1);
  EXPECT_EQ(SmallFileCount({50'000'000, static_cast<NtfsMode>(1), true, 1000}), 50);
  EXPECT_EQ(SmallFileCount({900'000, static_cast<NtfsMode>(1), true, 1000}), 1);
}

TEST(SmallFiles, NamesAreLongAndNumbered) {
  std::string name = SmallFileName(0);
  EXPECT_EQ(name.size(), 108u);
  EXPECT_EQ(name.substr(0, 4), "bo0-");
  EXPECT_EQ(name.substr(name.size() - 4), ".$$$");
  EXPECT_EQ(name.substr(4, 10), "0123456789");
  EXPECT_EQ(SmallFileName(20'000).size(), 112u);
}

TEST(Fill, ThresholdDependsOnRemovable) {
  EXPECT_EQ(FillThreshold(true), 5'000'000u);
  EXPECT_EQ(FillThreshold(false), 50'000'000u);
}

VolumeInfo Volume(std::string letter, int type, bool ready) {
  VolumeInfo v;
  v.DriveLetter = std::move(letter);
  v.DriveType = type;
  v.IsReady = ready;
  return v;
}

TEST(Volumes, UsableFilter) {
  VolumeInfo v = Volume("D", kDriveFixed, true);
  EXPECT_TRUE(IsUsableVolume(v));
  for (int type : {kDriveUnknown, kDriveRemovable, kDriveNetwork}) {
    v.DriveType = type;
    EXPECT_TRUE(IsUsableVolume(v)) << type;
  }
  for (int type : {kDriveCdRom, kDriveRamDisk}) {
    v.DriveType = type;
    EXPECT_FALSE(IsUsableVolume(v)) << type;
  }
  EXPECT_FALSE(IsUsableVolume(Volume("", kDriveFixed, true)));
  EXPECT_FALSE(IsUsableVolume(Volume("DE", kDriveFixed, true)));
  EXPECT_FALSE(IsUsableVolume(Volume("D", kDriveFixed, false)));
}

TEST(Statistics, KeyRateAndEstimate) {
  test::ScratchFolder scratch;
  SettingsStore store(scratch / "config");
  std::string key = StatisticsKey(123456789, CleanWay::kFreeSpace, NtfsMode::kFew);
  EXPECT_EQ(key, "Disk123456789-cleanway2-ntfs1");
  EXPECT_FALSE(StoredRate(store, key));
  StoreRate(store, key, 1'000'001, 2);
  EXPECT_EQ(store.Get("NDRF", "Statistics", key), "500000");
  EXPECT_EQ(StoredRate(store, key), 500000.0);
  StoreRate(store, key, 1, 5);  // a rate of 0 is stored, but never divided by
  EXPECT_FALSE(StoredRate(store, key));
  store.Save("NDRF", "Statistics", key, "fast");
  EXPECT_FALSE(StoredRate(store, key));
  auto now = std::chrono::system_clock::from_time_t(1000);
  EXPECT_EQ(EstimatedEnd(now, 1'000'000, 300'000.0), now + std::chrono::seconds(3));
}

TEST(JobLog, LineHasTenFieldsAndNewestComesFirst) {
  JobLogEntry entry{kStatusFillFailed,    "s",           "e", 42, "D", "", "NTFS", 2147483648LL,
                    CleanWay::kFreeSpace, NtfsMode::kFew};
  EXPECT_EQ(BuildJobLogLine(entry), "3|s|e|42|D||NTFS|2147483648|2|1");

  test::ScratchFolder scratch;
  Environment env;
  env.data_folder = scratch.path();
  env.version_text = "3.52";
  TraceStep(env, "CLEANINGSUB3");
  EXPECT_EQ(test::ReadFile(scratch / "fileerror.txt"), "x|ver:3.52|CLEANINGSUB3\r\n");
  TraceStep(env, "");
  EXPECT_FALSE(std::filesystem::exists(scratch / "fileerror.txt"));
  TraceStep(env, "");  // nothing to delete: no harm

  ASSERT_TRUE(AppendJobLog(env, "first"));
  ASSERT_TRUE(AppendJobLog(env, "second"));
  EXPECT_EQ(test::ReadFile(scratch / "log.txt"), "second\r\nfirst\r\n");
  EXPECT_FALSE(std::filesystem::exists(scratch / "temp.log"));
  // A half-written temp.log of a run that died is simply replaced.
  test::WriteFile(scratch / "temp.log", "garbage");
  ASSERT_TRUE(AppendJobLog(env, "third"));
  EXPECT_EQ(test::ReadFile(scratch / "log.txt"), "third\r\nsecond\r\nfirst\r\n");
}

TEST(JobLog, UnwritableDataFolderIsSilent) {
  Environment env;
  env.data_folder = "/nonexistent/nulldrift/data";
  env.version_text = "3.00";
  TraceStep(env, "SOUND");
  EXPECT_FALSE(AppendJobLog(env, "line"));
}

TEST(SuspendRefusal, OnlyTheSuspendQueryAndRequestAreRefused) {
  constexpr uint32_t kPower = 0x48;
  constexpr uint32_t kPowerBroadcast = 0x218;
  EXPECT_EQ(SuspendRefusal(kPowerBroadcast, 0), 0x424D5144);  // query -> BROADCAST_QUERY_DENY
  EXPECT_EQ(SuspendRefusal(kPower, 1), -1);                   // request -> PWR_FAIL
  // Resume, power-status changes and the other old power notices keep their normal answer.
  for (uint64_t notice : {4u, 7u, 10u, 18u}) EXPECT_FALSE(SuspendRefusal(kPowerBroadcast, notice));
  for (uint64_t notice : {2u, 3u, 4u}) EXPECT_FALSE(SuspendRefusal(kPower, notice));
  // Another message with the same parameter is no power message at all.
  EXPECT_FALSE(SuspendRefusal(0x10, 0));
}

}  // namespace
}  // namespace nd::engine
