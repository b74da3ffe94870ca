// The paging-file policy in the scratch prefix's own system key, read back with the plain
// registry calls. The value is put back as it was found.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>

#include "platform/os_environment.h"
#include "platform/paging_file.h"

namespace nd::platform {
namespace {

constexpr wchar_t kKey[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management";
constexpr wchar_t kName[] = L"ClearPageFileAtShutdown";

struct Stored {
  DWORD type = REG_NONE;
  DWORD value = 0;
};

std::optional<Stored> StoredValue() {
  Stored stored;
  DWORD size = sizeof stored.value;
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, kKey, kName, RRF_RT_ANY | RRF_NOEXPAND, &stored.type,
                     &stored.value, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return stored;
}

void Store(DWORD type, const void* data, DWORD size) {
  ASSERT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, kName, type, data, size), ERROR_SUCCESS);
}

class PagingFilePolicyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The prefix's user is an administrator, which the policy needs.
    ASSERT_TRUE(IsAdministrator());
    saved_ = StoredValue();
    ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kKey, kName);
  }
  void TearDown() override {
    ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kKey, kName);
    if (saved_) Store(saved_->type, &saved_->value, sizeof saved_->value);
  }

  PagingFilePolicy& policy_ = *SystemPagingFilePolicy();
  std::optional<Stored> saved_;
};

TEST_F(PagingFilePolicyTest, WritesADwordThatUntickingSetsToZeroAndReadsOnlyDwords) {
  EXPECT_FALSE(policy_.Read());
  ASSERT_TRUE(policy_.Write(true));
  auto stored = StoredValue();
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(stored->value, 1u);
  EXPECT_EQ(policy_.Read(), 1u);

  ASSERT_TRUE(policy_.Write(false));
  stored = StoredValue();
  ASSERT_TRUE(stored) << "unticking must not delete the value";
  EXPECT_EQ(stored->value, 0u);

  const DWORD two = 2;
  Store(REG_DWORD, &two, sizeof two);
  EXPECT_EQ(policy_.Read(), 2u);
  // A text "1" typed in by hand is not the DWORD the system reads.
  Store(REG_SZ, L"1", 2 * sizeof(wchar_t));
  EXPECT_FALSE(policy_.Read());
}

}  // namespace
}  // namespace nd::platform
