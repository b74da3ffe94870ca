// The paging-file option on page 4 over a policy held in memory: what start-up shows, what a
// click writes, and what happens without administrator rights.
#include <gtest/gtest.h>

#include <filesystem>

#include "wizard_test_support.h"

namespace nd::test {
namespace {

using wizard::Start;

constexpr const char* kRunAsAdmin =
    "Changing this setting needs administrator rights. Please start the program as administrator "
    "and try again.";

struct PolicyRig : WizardRig {
  explicit PolicyRig(bool administrator) {
    context.env.is_administrator = administrator;
    paging_file = &policy;
  }
  std::string TraceFile() const { return context.env.data_folder + "/fileerror.txt"; }
  FakePagingFilePolicy policy{TraceFile()};
};

TEST(PagingFileOption, ShowsOnlyTheValueOneAndWritesEachClickAsOneOrZero) {
  PolicyRig rig(true);
  Start& w = rig.Open();
  // Missing: cleared, and nothing is written at start-up.
  EXPECT_TRUE(w.Check6.Enabled());
  EXPECT_EQ(w.Check6.Value(), 0);
  EXPECT_TRUE(rig.policy.traces_at_write.empty());

  // Page 4 is not shown: the box is changed from code, which runs its click all the same.
  w.Check6.SetValue(1);
  EXPECT_EQ(rig.policy.value, 1u);
  ASSERT_EQ(rig.policy.traces_at_write.size(), 1u);
  EXPECT_NE(rig.policy.traces_at_write[0].find("|MEMORYMANAGEMENT"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(rig.TraceFile()));
  // Unticking stores 0; the value stays.
  w.Check6.SetValue(0);
  EXPECT_EQ(rig.policy.value, 0u);

  // Any number but 1 shows cleared and is left as it is until the user clicks.
  rig.policy.value = 2;
  rig.policy.traces_at_write.clear();
  Start& again = rig.Restart();
  EXPECT_EQ(again.Check6.Value(), 0);
  EXPECT_EQ(rig.policy.value, 2u);
  EXPECT_TRUE(rig.policy.traces_at_write.empty());
  again.Check6.SetValue(1);
  EXPECT_EQ(rig.policy.value, 1u);
  EXPECT_TRUE(rig.host.MsgBoxes().empty());
}

TEST(PagingFileOption, WithRightsAnOnPolicyIsWrittenAgainAtStartAndAFailedWriteKeepsTheTick) {
  PolicyRig rig(true);
  rig.policy.value = 1;
  Start& w = rig.Open();
  EXPECT_EQ(w.Check6.Value(), 1);
  EXPECT_EQ(rig.policy.traces_at_write.size(), 1u);

  rig.policy.refuse_writes = true;
  w.Check6.SetValue(0);
  EXPECT_EQ(w.Check6.Value(), 0);
  EXPECT_EQ(rig.policy.value, 1u);
  EXPECT_FALSE(std::filesystem::exists(rig.TraceFile()));
  EXPECT_TRUE(rig.host.MsgBoxes().empty());
}

TEST(PagingFileOption, WithoutRightsATickGetsOneMessageAndTheBoxClearsWithNothingWritten) {
  PolicyRig rig(false);
  Start& w = rig.Open();
  EXPECT_TRUE(rig.host.MsgBoxes().empty());
  w.Check6.SetValue(1);
  ASSERT_EQ(rig.host.MsgBoxes().size(), 1u);
  EXPECT_EQ(rig.host.MsgBoxes()[0].icon, ui::MsgBoxIcon::kCritical);
  EXPECT_EQ(rig.host.MsgBoxes()[0].text, kRunAsAdmin);
  EXPECT_EQ(w.Check6.Value(), 0);
  EXPECT_TRUE(rig.policy.traces_at_write.empty());
  EXPECT_FALSE(rig.policy.value);

  // An on policy met without rights: the message during start-up, the box cleared, the policy
  // still on.
  rig.policy.value = 1;
  Start& again = rig.Restart();
  EXPECT_TRUE(rig.loaded);
  ASSERT_EQ(rig.host.MsgBoxes().size(), 2u);
  EXPECT_EQ(rig.host.MsgBoxes()[1].text, kRunAsAdmin);
  EXPECT_EQ(again.Check6.Value(), 0);
  EXPECT_EQ(rig.policy.value, 1u);
  EXPECT_TRUE(rig.policy.traces_at_write.empty());
}

}  // namespace
}  // namespace nd::test
