// What the headless runner tells: its command line, the volume listing, the JSON document, the
// bytes it meters and the lines and figures it takes from a real job on the fake volume.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "engine_test_support.h"
#include "shell/clean_command.h"
#include "shell/job_watch.h"
#include "shell/json_report.h"
#include "shell/metered_volume_access.h"
#include "shell/volume_listing.h"
#include "ui/utf8.h"

namespace nd::test {
namespace {

using nlohmann::json;

VolumeInfo Volume(std::string letter, std::string root, int type, std::string label = "") {
  VolumeInfo v;
  v.DriveLetter = std::move(letter);
  v.RootPath = std::move(root);
  v.DriveType = type;
  v.IsReady = true;
  v.TotalSize = 8e9;
  v.AvailableSpace = 3'000'000'000;
  v.FileSystem = "ext4";
  v.VolumeName = std::move(label);
  return v;
}

// What outside texts can hold: blanks, quotes, line feeds, tabs, backslashes, broken UTF-8.
std::vector<VolumeInfo> AwkwardVolumes() {
  VolumeInfo unready = Volume("F", "/mnt/gone", kDriveNetwork);
  unready.IsReady = false;
  unready.TotalSize = 0;
  unready.AvailableSpace = 0;
  unready.FileSystem = "nfs4";
  return {Volume("C", "/", kDriveFixed),
          Volume("D", "/media/user/My Stick", kDriveRemovable, "say \"hi\"\nnext\tline"),
          Volume("E", "/mnt/back\\slash", kDriveFixed, "bad \xFF\xC3 utf8 \xE6\x97\xA5"),
          unready,
          Volume("", "/mnt/twenty-fifth", kDriveFixed),
          Volume("G", "/dev/shm", kDriveRamDisk)};
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string field; in >> field;) fields.push_back(field);
  return fields;
}

TEST(CleanCommand, ListVersionJsonAndQuiet) {
  CleanCommand list = ParseCleanCommand({"--list", "--json"});
  EXPECT_EQ(list.error, "");
  EXPECT_TRUE(list.list);
  EXPECT_TRUE(list.json);
  EXPECT_NE(ParseCleanCommand({"--list", "D"}).error, "");
  EXPECT_EQ(ParseCleanCommand({"--version"}).error, "");
  EXPECT_TRUE(ParseCleanCommand({"--version"}).version);
  CleanCommand quiet = ParseCleanCommand({"-q", "--way=2", "D"});
  EXPECT_EQ(quiet.error, "");
  EXPECT_TRUE(quiet.quiet);
  EXPECT_FALSE(quiet.json);
  EXPECT_NE(ParseCleanCommand({"--json"}).error, "");  // a job still needs its volumes
}

// The help names volumes and NULLDRIFT_MOUNTS the way this platform's command line takes them.
TEST(CleanCommand, HelpDescribesThePlatformsVolumeNames) {
  const std::string help = CleanHelpText();
  EXPECT_NE(help.find("Usage: nulldrift-clean"), std::string::npos);
  EXPECT_NE(help.find("Options:"), std::string::npos);
  EXPECT_EQ(help.back(), '\n');
#ifdef _WIN32
  EXPECT_NE(help.find("drive roots separated by \";\""), std::string::npos) << help;
  EXPECT_EQ(help.find("mount point"), help.find("mount point, label")) << help;
  EXPECT_EQ(help.find("colon-separated"), std::string::npos) << help;
#else
  EXPECT_NE(help.find("or a mount point (/media/stick)"), std::string::npos) << help;
  EXPECT_NE(help.find("NULLDRIFT_MOUNTS   colon-separated mount points"), std::string::npos);
#endif
}

TEST(VolumeListing, OneSafeLinePerVolumeWhateverTheLabelsAndMountPointsHold) {
  std::vector<VolumeInfo> volumes = AwkwardVolumes();
  std::vector<std::string> lines = Lines(VolumeListText(volumes));
  ASSERT_EQ(lines.size(), volumes.size() + 1);
  EXPECT_EQ(Fields(lines[0])[0], "LETTER");
  for (const std::string& line : lines) {
    for (unsigned char c : line) EXPECT_TRUE(c >= 0x20 && c != 0x7F) << line;
    EXPECT_EQ(ui::ReplaceInvalidUtf8(line), line);
  }
  std::vector<std::string> c = Fields(lines[1]);
  EXPECT_EQ(c, (std::vector<std::string>{"C", "/", "-", "ext4", "fixed", "8.0", "GB", "3.0", "GB",
                                         "yes"}));
  // The mount point stays one field, escaped as in the kernel's mount table; the label keeps
  // its blanks and quotes but not its line feed or tab.
  std::vector<std::string> d = Fields(lines[2]);
  EXPECT_EQ(d[1], "/media/user/My\\040Stick");
  EXPECT_NE(lines[2].find("say \"hi\"\\012next\\011line"), std::string::npos) << lines[2];
  EXPECT_EQ(d.back(), "yes");
#ifdef _WIN32
  // Every drive root holds a backslash: it separates, and stays as it is.
  EXPECT_NE(lines[3].find("/mnt/back\\slash"), std::string::npos) << lines[3];
  EXPECT_EQ(EscapedField("D:\\", false), "D:\\");
#else
  EXPECT_NE(lines[3].find("/mnt/back\\134slash"), std::string::npos);
#endif
  EXPECT_NE(lines[3].find("bad \\377\\303 utf8 \xE6\x97\xA5"), std::string::npos) << lines[3];
  std::vector<std::string> f = Fields(lines[4]);
  EXPECT_EQ(std::vector<std::string>(f.begin() + 4, f.begin() + 8),
            (std::vector<std::string>{"network", "-", "-", "no:"}))
      << lines[4];
  EXPECT_NE(lines[4].find("no: not ready"), std::string::npos);
  EXPECT_EQ(Fields(lines[5])[0], "-");
  EXPECT_NE(lines[5].find("no: no letter left"), std::string::npos);
  EXPECT_NE(lines[6].find("RAM disk"), std::string::npos);
  EXPECT_NE(Fields(lines[6]).back(), "yes");
  // The columns line up: every line has its mount point where the heading has it.
  for (size_t i = 1; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].find_first_not_of("CDEFG- "), lines[0].find("MOUNT")) << lines[i];
  }
}

TEST(VolumeListing, JsonIsValidWithEveryTextEscaped) {
  json document = json::parse(VolumeListJson(AwkwardVolumes(), "3.00"));
  EXPECT_EQ(document["version"], "3.00");
  const json& volumes = document["volumes"];
  ASSERT_EQ(volumes.size(), 6u);
  EXPECT_EQ(volumes[1]["label"], "say \"hi\"\nnext\tline");
  EXPECT_EQ(volumes[1]["mount_point"], "/media/user/My Stick");
  EXPECT_EQ(volumes[1]["type"], "removable");
  EXPECT_EQ(volumes[2]["label"], "bad \xEF\xBF\xBD\xEF\xBF\xBD utf8 \xE6\x97\xA5");
  EXPECT_EQ(volumes[0]["size"], 8'000'000'000u);
  EXPECT_EQ(volumes[0]["free"], 3'000'000'000u);
  EXPECT_EQ(volumes[0]["cleanable"], true);
  EXPECT_TRUE(volumes[0]["reason"].is_null());
  EXPECT_EQ(volumes[3]["ready"], false);
  EXPECT_EQ(volumes[3]["cleanable"], false);
  EXPECT_TRUE(volumes[4]["letter"].is_null());
  EXPECT_EQ(volumes[5]["reason"], "RAM disk");
}

TEST(RunReport, DocumentWithResultsTimesAndAnError) {
  VolumeResult d;
  d.letter = "D";
  d.mount_point = "/mnt/a b";
  d.file_system = "NTFS";
  d.label = "\x80";
  d.clean_way = 2;
  d.ntfs_mode = 3;
  d.method = 5;
  d.result_code = 1;
  d.result_text = "Completed successfully";
  d.start = std::chrono::system_clock::from_time_t(1'800'000'000);
  d.end = d.start + std::chrono::milliseconds(61'500);
  d.seconds = 61.5004;
  d.bytes_written = 5'000'000'000;
  d.free_before = 4'999'000'000;
  json document = json::parse(RunReportJson({"3.00", {d}, 0, ""}));
  const json& v = document["volumes"][0];
  EXPECT_EQ(v["mount_point"], "/mnt/a b");
  EXPECT_EQ(v["label"], "\xEF\xBF\xBD");
  EXPECT_EQ(v["way"], 2);
  EXPECT_EQ(v["ntfs_mode"], 3);
  EXPECT_EQ(v["method"], "dod");
  EXPECT_EQ(v["result_code"], 1);
  EXPECT_EQ(v["completed"], true);
  EXPECT_EQ(v["start"], "2027-01-15T08:00:00Z");
  EXPECT_EQ(v["end"], "2027-01-15T08:01:01Z");
  EXPECT_DOUBLE_EQ(v["seconds"].get<double>(), 61.5);
  EXPECT_EQ(v["bytes_written"], 5'000'000'000u);
  EXPECT_EQ(v["free_before"], 4'999'000'000u);
  EXPECT_TRUE(v["free_after"].is_null());
  EXPECT_EQ(document["exit_status"], 0);
  EXPECT_FALSE(document.contains("error"));

  json refused = json::parse(RunReportJson({"3.00", {}, 2, "Q is not a volume"}));
  EXPECT_EQ(refused["exit_status"], 2);
  EXPECT_EQ(refused["error"], "Q is not a volume");
  EXPECT_TRUE(refused["volumes"].empty());
  EXPECT_EQ(IsoUtcText(std::chrono::system_clock::from_time_t(951'782'400)),
            "2000-02-29T00:00:00Z");
}

TEST(MeteredVolume, CountsWhatGoesIntoWorkFoldersWithThePaddingOfKnownFiles) {
  ScratchFolder scratch;
  FakeVolumeAccess fake(1 << 20, scratch / "data");
  MeteredVolumeAccess metered(fake);
  metered.StartMeter();
  engine::FolderRefusal why;
  auto folder = metered.OpenWorkFolder(test::kFakeWork, why);
  ASSERT_TRUE(folder);
  EXPECT_EQ(folder->Create("small", "12345"), engine::IoStatus::kOk);
  EXPECT_EQ(metered.Metered(), 5u);
  // The copy source lives in the data folder, not on D; its copies count whole.
  engine::IoStatus status;
  auto writer = metered.CreateFile(scratch / "data/source", status);
  ASSERT_TRUE(writer);
  writer->Write(std::string(1000, 'x'));
  EXPECT_EQ(writer->Close(), engine::IoStatus::kOk);
  EXPECT_EQ(metered.Metered(), 5u);
  EXPECT_EQ(folder->Copy(scratch / "data/source", "copy"), engine::IoStatus::kOk);
  EXPECT_EQ(metered.Metered(), 1005u);
  // Padding to the cluster counts what the file lacked to its end.
  EXPECT_EQ(folder->PadToMultiple("copy", 4096, " "), engine::IoStatus::kOk);
  EXPECT_EQ(metered.Metered(), 4101u);
  EXPECT_EQ(folder->Append("fine", std::string(100, 'y'), true), engine::IoStatus::kOk);
  EXPECT_EQ(folder->PadToMultiple("fine", 4096, " "), engine::IoStatus::kOk);
  EXPECT_EQ(metered.Metered(), 8197u);
  // A refused write counts nothing, and the file's size is no longer known.
  fake.read_only = true;
  EXPECT_NE(folder->Append("fine", "lost", false), engine::IoStatus::kOk);
  fake.read_only = false;
  folder->PadToMultiple("fine", 4096, " ");
  EXPECT_EQ(metered.Metered(), 8197u);
  metered.StartMeter();
  EXPECT_EQ(metered.Metered(), 0u);
}

// A job on the fake volume D (and E, which it cannot clean), watched as the runner does.
struct WatchedJob {
  explicit WatchedJob(uint64_t capacity) : rig(capacity), metered(rig.volume) {}

  void Run(const std::string& letters, int way) {
    std::vector<VolumeInfo> known = rig.volume.Volumes();
    JobEvents events;
    events.volume_started = [this](const VolumeInfo& v) { lines.push_back(VolumeStartLine(v)); };
    events.step_entered = [this](const std::string& letter, int step, const std::string& title) {
      lines.push_back(StepLine(letter, step, title));
    };
    events.volume_ended = [this](const VolumeResult& r) { lines.push_back(ResultLine(r)); };
    JobWatch watch({rig.form, rig.state, rig.host, metered, known, way, 1, 3}, events);
    engine::JobEnvironment job = rig.Environment();
    engine::JobOverrides overrides{static_cast<engine::CleanWay>(way), engine::NtfsMode::kFew,
                                   false};
    engine::JobEnvironment metered_job{job.context, job.host,  job.page, job.state, metered,
                                       job.random,  overrides, nullptr,  {},        {}};
    rig.form.Command4.OnClick = [this] { rig.Stop(); };
    engine::StartCleaningJob(metered_job, letters);
    watch.Poll();
    results = watch.Results();
  }

  JobRig rig;
  MeteredVolumeAccess metered;
  std::vector<std::string> lines;
  std::vector<VolumeResult> results;
};

TEST(JobWatch, LinesAndFiguresOfAFillThatCompletes) {
  WatchedJob w(8ull << 20);
  const uint64_t free_before = w.rig.volume.Writable();
  w.Run("D", 2);
  EXPECT_EQ(w.lines,
            (std::vector<std::string>{
                "D: /fake/D (NTFS, label FAKE)",
                "D: step 1 of 4: Overwrite file records of deleted files",
                "D: step 2 of 4: Prepare filler data", "D: step 3 of 4: Overwrite free space",
                "D: step 4 of 4: Delete the work files", "D: Completed successfully"}));
  ASSERT_EQ(w.results.size(), 1u);
  const VolumeResult& d = w.results[0];
  EXPECT_EQ(d.result_code, 1);
  EXPECT_EQ(d.mount_point, "/fake/D");
  EXPECT_EQ(d.file_system, "NTFS");
  EXPECT_EQ(d.clean_way, 2);
  EXPECT_EQ(d.method, 3);
  EXPECT_EQ(d.free_before, free_before);
  EXPECT_EQ(d.free_after, free_before);  // everything written is gone again
  // The fill takes every free cluster; beyond that only the test write, the small files, whose
  // space is given back on the way, and the 64 clusters that NTFS's file table is given room in
  // and that are filled again count. The copy source in the data folder is not on D.
  EXPECT_GE(d.bytes_written, free_before);
  EXPECT_LE(d.bytes_written, free_before + (64u << 10) + 64 * 4096);
  EXPECT_EQ(IsoUtcText(d.start), "2027-01-15T08:00:00Z");
  EXPECT_GE(d.end, d.start + std::chrono::seconds(5));  // the fill's closing wait at least
  EXPECT_NEAR(d.seconds, std::chrono::duration<double>(d.end - d.start).count(), 0.001);
}

TEST(JobWatch, AStopAndAVolumeThatCannotBePreparedEachGetTheirRow) {
  WatchedJob w(64ull << 20);
  w.rig.volume.more_volumes = {Volume("E", "/fake/E", kDriveFixed)};
  bool stopped = false;
  w.rig.volume.on_op = [&](std::string_view op, const std::string& path) {
    if (!stopped && op == "append" && path.find("NDRF_temp") != std::string::npos) {
      stopped = true;
      w.rig.form.Command4.UserClick();
    }
  };
  w.Run("DE", 2);
  ASSERT_EQ(w.results.size(), 2u);
  EXPECT_EQ(w.results[0].result_code, 0);
  EXPECT_EQ(w.results[0].result_text, "Stopped by the user, not fully cleaned");
  EXPECT_GT(w.results[0].bytes_written, 0u);
  EXPECT_EQ(w.results[1].letter, "E");
  EXPECT_EQ(w.results[1].mount_point, "/fake/E");
  EXPECT_EQ(w.results[1].result_code, 0);  // a stop holds for the rest of the job
  EXPECT_FALSE(w.results[1].free_before);  // the fake cannot say
  EXPECT_EQ(w.results[1].bytes_written, 0u);
  // E enters no step and is never lettered empty; D's steps after the stop are not entered.
  std::vector<std::string> e_lines;
  for (const std::string& line : w.lines) {
    EXPECT_NE(line.substr(0, 2), ": ");
    if (line.rfind("E:", 0) == 0) e_lines.push_back(line);
  }
  EXPECT_EQ(e_lines.front(), "E: /fake/E (ext4)");
  EXPECT_EQ(e_lines.back(), "E: Stopped by the user, not fully cleaned");
}

TEST(JobWatch, AVolumeThatCannotBePreparedFailsWithCodeTwo) {
  WatchedJob w(8ull << 20);
  w.rig.volume.more_volumes = {Volume("E", "/fake/E", kDriveFixed)};
  w.Run("ED", 1);
  ASSERT_EQ(w.results.size(), 2u);
  EXPECT_EQ(w.results[0].letter, "E");
  EXPECT_EQ(w.results[0].result_code, 2);
  EXPECT_EQ(w.results[1].letter, "D");
  EXPECT_EQ(w.results[1].result_code, 1);
  EXPECT_EQ(w.lines[0], "E: /fake/E (ext4)");
  EXPECT_EQ(w.lines[1], "E: Not cleaned: disk not ready, write-protected or not accessible");
  EXPECT_EQ(w.lines[2], "D: /fake/D (NTFS, label FAKE)");
  // Way 1: the small files and their deletion only.
  EXPECT_EQ(w.lines.size(), 6u);
}

}  // namespace
}  // namespace nd::test
