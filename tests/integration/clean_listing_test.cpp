// The runner's listing and JSON on mounts that are hard to print: labels with quotes, line
// feeds and bytes that are not UTF-8, mount points with blanks and line feeds, and mounts the
// user may not reach. Every output stays valid and the program never crashes.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "integration/scratch_volume.h"
#include "unit/test_support.h"

namespace nd::test {
namespace {

using nlohmann::json;

const std::string kRunner = std::string(ND_BUILD_DIR) + "/nulldrift-clean";
constexpr uid_t kNobody = 65534;
// mkfs.ext4 stores the label's bytes as given, at most 16 of them.
const std::string kAwkwardLabel = "a \"b\"\n\xFF\xFE";

struct Output {
  int status = -1;
  std::string out;
};

// The runner on `mounts` with scratch settings, as `uid`; only its standard output is kept.
Output RunRunner(const std::vector<std::string>& args, const std::string& mounts,
                 const ScratchFolder& home, uid_t uid = 0) {
  int fds[2];
  if (::pipe(fds) != 0) return {};
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(fds[1], 1);
    ::close(fds[0]);
    ::setenv("NULLDRIFT_MOUNTS", mounts.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    if (uid != 0 && (::setgid(uid) != 0 || ::setuid(uid) != 0)) ::_exit(126);
    std::vector<char*> argv = {const_cast<char*>(kRunner.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(kRunner.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  Output result;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) {
    result.out.append(buffer, static_cast<size_t>(n));
  }
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// A tmpfs at a path of the test's choosing, unmounted again whatever happens.
class TmpfsAt {
 public:
  explicit TmpfsAt(std::string path) : path_(std::move(path)) {
    std::filesystem::create_directories(path_);
    mounted_ = ::mount("nulldrift-scratch", path_.c_str(), "tmpfs", 0, "size=4m") == 0;
  }
  ~TmpfsAt() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
  }
  TmpfsAt(const TmpfsAt&) = delete;
  TmpfsAt& operator=(const TmpfsAt&) = delete;
  bool Mounted() const { return mounted_; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  bool mounted_ = false;
};

// The line or JSON volume of a mount, whatever letters the others got.
std::string LineWith(const std::string& text, const std::string& piece) {
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.find(piece) != std::string::npos) return line;
  }
  return {};
}

json VolumeAt(const json& document, const std::string& mount_point) {
  for (const json& v : document["volumes"]) {
    if (v["mount_point"] == mount_point) return v;
  }
  return {};
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Printable, well-formed UTF-8 without a control character.
void ExpectPrintable(const std::string& text) {
  json probe = text;  // dump() throws on broken UTF-8
  EXPECT_NO_THROW(probe.dump()) << text;
  for (unsigned char c : text) EXPECT_TRUE(c >= 0x20 && c != 0x7F) << text;
}

class ListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ScratchVolume::Options options;
    options.label = kAwkwardLabel;
    volume_ = ScratchVolume::Make(ScratchVolume::Kind::kExt4, 32ull << 20, options);
    if (!volume_->Ready()) GTEST_SKIP() << volume_->SkipReason();
    blank_ = std::make_unique<TmpfsAt>(folder_ / "blank name");
    line_feed_ = std::make_unique<TmpfsAt>(folder_ / "line\nfeed");
    if (!blank_->Mounted() || !line_feed_->Mounted()) GTEST_SKIP() << "cannot mount tmpfs";
    mounts_ = volume_->MountPoint() + ":" + blank_->Path() + ":" + line_feed_->Path();
  }

  ScratchFolder folder_;
  ScratchFolder home_;
  std::unique_ptr<ScratchVolume> volume_;
  std::unique_ptr<TmpfsAt> blank_;
  std::unique_ptr<TmpfsAt> line_feed_;
  std::string mounts_;
};

TEST_F(ListingTest, TextListingKeepsOneSafeLinePerVolume) {
  Output list = RunRunner({"--list"}, mounts_, home_);
  ASSERT_EQ(list.status, 0) << list.out;
  std::vector<std::string> lines = Lines(list.out);
  ASSERT_EQ(lines.size(), 4u) << list.out;
  for (const std::string& line : lines) ExpectPrintable(line);
  std::string ext4 = LineWith(list.out, volume_->MountPoint());
  EXPECT_NE(ext4.find(" a \"b\"\\012\\377\\376 "), std::string::npos) << ext4;
  EXPECT_EQ(ext4.substr(ext4.size() - 3), "yes");
  EXPECT_NE(LineWith(list.out, "/blank\\040name "), "") << list.out;
  EXPECT_NE(LineWith(list.out, "/line\\012feed "), "") << list.out;
}

TEST_F(ListingTest, JsonListingNamesTheRealPathsAndReplacesBrokenBytes) {
  Output list = RunRunner({"--list", "--json"}, mounts_, home_);
  ASSERT_EQ(list.status, 0);
  json document = json::parse(list.out);
  EXPECT_EQ(document["volumes"].size(), 3u);
  json ext4 = VolumeAt(document, volume_->MountPoint());
  EXPECT_EQ(ext4["label"], "a \"b\"\n\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(ext4["cleanable"], true);
  EXPECT_EQ(VolumeAt(document, blank_->Path())["type"], "RAM disk");
  EXPECT_EQ(VolumeAt(document, line_feed_->Path())["type"], "RAM disk");
}

TEST_F(ListingTest, MountsTheUserCannotReachAreListedAsNotReady) {
  // With the folders around them closed (mode 0700), nobody cannot look inside the mounts.
  const std::filesystem::path around = std::filesystem::path(volume_->MountPoint()).parent_path();
  std::filesystem::permissions(around, std::filesystem::perms::owner_all);
  struct Reopen {
    std::filesystem::path folder;
    ~Reopen() {
      std::error_code ec;
      std::filesystem::permissions(
          folder,
          std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
              std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
              std::filesystem::perms::others_exec,
          ec);
    }
  } reopen{around};
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--list"}, std::vector<std::string>{"--list", "--json"}}) {
    Output list = RunRunner(args, mounts_, home_, kNobody);
    ASSERT_EQ(list.status, 0) << list.out;
    if (args.size() == 1) {
      std::vector<std::string> lines = Lines(list.out);
      ASSERT_EQ(lines.size(), 4u) << list.out;
      for (size_t i = 1; i < lines.size(); ++i) {
        ExpectPrintable(lines[i]);
        EXPECT_NE(lines[i].find("no: "), std::string::npos) << lines[i];
      }
      std::string ext4 = LineWith(list.out, volume_->MountPoint());
      EXPECT_NE(ext4.find("no: not ready"), std::string::npos) << ext4;
    } else {
      json ext4 = VolumeAt(json::parse(list.out), volume_->MountPoint());
      EXPECT_EQ(ext4["ready"], false);
      EXPECT_EQ(ext4["cleanable"], false);
    }
  }
}

TEST_F(ListingTest, JobReportsAreValidJsonAndPlainLinesWithoutNoise) {
  Output run = RunRunner({"--json", volume_->MountPoint()}, mounts_, home_);
  ASSERT_EQ(run.status, 0) << run.out;
  json document = json::parse(run.out);
  EXPECT_EQ(document["exit_status"], 0);
  ASSERT_EQ(document["volumes"].size(), 1u);
  const json& d = document["volumes"][0];
  const std::string letter = d["letter"];
  EXPECT_EQ(d["mount_point"], volume_->MountPoint());
  EXPECT_EQ(d["file_system"], "ext4");
  EXPECT_EQ(d["label"], "a \"b\"\n\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(d["way"], 1);
  EXPECT_EQ(d["method"], "spaces");
  EXPECT_EQ(d["result_code"], 1);
  EXPECT_EQ(d["result_text"], "Completed successfully");
  const std::regex iso(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)");
  EXPECT_TRUE(std::regex_match(d["start"].get<std::string>(), iso)) << d["start"];
  EXPECT_TRUE(std::regex_match(d["end"].get<std::string>(), iso)) << d["end"];
  EXPECT_LE(d["start"].get<std::string>(), d["end"].get<std::string>());
  EXPECT_GT(d["seconds"].get<double>(), 0);
  // ext4 small files are empty; the test write is what way 1 puts onto the volume.
  EXPECT_GT(d["bytes_written"].get<uint64_t>(), 0u);
  EXPECT_EQ(d["free_before"], d["free_after"]);

  // By letter this time; in a log, one line per start, step and result, nothing else.
  Output plain = RunRunner({letter}, mounts_, home_);
  ASSERT_EQ(plain.status, 0) << plain.out;
  EXPECT_EQ(
      Lines(plain.out),
      (std::vector<std::string>{
          letter + ": " + volume_->MountPoint() + " (ext4, label a \"b\"\\012\\377\\376)",
          letter + ": step 1 of 4: Overwrite file records of deleted files",
          letter + ": step 4 of 4: Delete the work files", letter + ": Completed successfully"}));

  Output quiet = RunRunner({"--quiet", volume_->MountPoint()}, mounts_, home_);
  EXPECT_EQ(quiet.out, letter + ": Completed successfully\n");
}

TEST(Runner, RefusalsAsJsonAndTheVersion) {
  ScratchFolder home;
  Output refused = RunRunner({"--json", "Q"}, "/nonexistent", home);
  EXPECT_EQ(refused.status, 2);
  json document = json::parse(refused.out);
  EXPECT_EQ(document["exit_status"], 2);
  EXPECT_NE(document["error"].get<std::string>().find("Q is not a volume"), std::string::npos);
  Output version = RunRunner({"--version"}, "", home);
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(std::regex_match(version.out, std::regex("nulldrift-clean \\d+\\.\\d\\d\n")));
}

}  // namespace
}  // namespace nd::test
