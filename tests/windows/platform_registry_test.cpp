// The registry through the W functions: values as the registry helpers see them and the settings
// store's keys. Everything is written below test keys of the scratch prefix's registry and
// removed again.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/registry_backend.h"
#include "platform/windows/registry_windows.h"
#include "system/settings_store.h"

namespace nd::platform {
namespace {

using nd::SettingsStore;

constexpr wchar_t kStoreKey[] = L"Software\\Nulldrift\\NDRF-test";

class RegistryTest : public ::testing::Test {
 protected:
  void TearDown() override {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Nulldrift-test");
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kStoreKey);
  }
};

TEST_F(RegistryTest, StringsRoundTripAsUtf8WithOneNul) {
  RegistryBackend& registry = SystemRegistry();
  const std::string text =
      "Gr\xC3\xBC\xC3\x9F"
      "e \xE6\x97\xA5";  // Grüße 日
  ASSERT_TRUE(registry.Set(RegistryRoot::kCurrentUser, "Software\\Nulldrift-test\\a\\", "Name",
                           {REG_SZ, text + '\0'}));
  auto value = registry.Query(RegistryRoot::kCurrentUser, "Software\\Nulldrift-test\\a\\", "Name");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->type, static_cast<uint32_t>(REG_SZ));
  EXPECT_EQ(value->data, text + '\0');

  // Stored as UTF-16, so that other programs read the same text.
  wchar_t raw[32] = {};
  DWORD size = sizeof raw;
  ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Nulldrift-test\\a", L"Name",
                           RRF_RT_REG_SZ, nullptr, raw, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(raw), L"Gr\u00FC\u00DFe \u65E5");

  ASSERT_TRUE(registry.Delete(RegistryRoot::kCurrentUser, "Software\\Nulldrift-test\\a\\", "Name"));
  EXPECT_FALSE(registry.Query(RegistryRoot::kCurrentUser, "Software\\Nulldrift-test\\a\\", "Name"));
  EXPECT_FALSE(
      registry.Delete(RegistryRoot::kCurrentUser, "Software\\Nulldrift-test\\a\\", "Name"));
}

TEST_F(RegistryTest, DwordsAndBinaryValuesKeepTheirBytes) {
  RegistryBackend& registry = SystemRegistry();
  ASSERT_TRUE(registry.Set(RegistryRoot::kCurrentUser, "Software\\Nulldrift-test\\", "Dpi",
                           {REG_DWORD, std::string("\x60\0\0\0", 4)}));
  auto dword = registry.Query(RegistryRoot::kCurrentUser, "Software\\Nulldrift-test\\", "Dpi");
  ASSERT_TRUE(dword);
  EXPECT_EQ(dword->type, static_cast<uint32_t>(REG_DWORD));
  EXPECT_EQ(dword->data, std::string("\x60\0\0\0", 4));

  const BYTE multi[] = {'a', 0, 'b', 0, 0, 0, 'c', 0, 0, 0, 0, 0};
  ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Nulldrift-test", L"List", REG_MULTI_SZ,
                              multi, sizeof multi),
            ERROR_SUCCESS);
  auto list = registry.Query(RegistryRoot::kCurrentUser, "Software\\Nulldrift-test\\", "List");
  ASSERT_TRUE(list);
  EXPECT_EQ(list->data, std::string("ab\0c\0\0", 6));
  EXPECT_FALSE(registry.Query(RegistryRoot::kCurrentUser, "Software\\Nulldrift-test\\", "None"));
}

TEST_F(RegistryTest, SettingsLiveAsStringValuesBelowTheStoreKey) {
  SettingsStore store = SettingsStore::ForCurrentUser();
  ASSERT_TRUE(store.Save("NDRF-test", "Recent Update", "Reload-Month", "12"));
  EXPECT_EQ(store.Get("NDRF-test", "Recent Update", "Reload-Month"), "12");
  wchar_t raw[8] = {};
  DWORD size = sizeof raw;
  EXPECT_EQ(::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Nulldrift\\NDRF-test\\Recent Update",
                           L"Reload-Month", RRF_RT_REG_SZ, nullptr, raw, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(raw), L"12");
  // An empty value is stored, not deleted; an absent one reads as empty as well.
  ASSERT_TRUE(store.Save("NDRF-test", "Settings", "PlaySound", ""));
  EXPECT_EQ(store.Get("NDRF-test", "Settings", "PlaySound"), "");
  EXPECT_EQ(store.Get("NDRF-test", "Settings", "Missing"), "");
  // A backslash in a name would reach another key.
  EXPECT_FALSE(store.Save("NDRF-test", "a\\b", "Key", "x"));
}

TEST_F(RegistryTest, WrongTypeOrAbsurdLengthReadsEmptyAndTheNextSaveRepairsIt) {
  SettingsStore store = SettingsStore::ForCurrentUser();
  DWORD number = 5;
  ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Nulldrift\\NDRF-test\\EmptyBin",
                              L"Value", REG_DWORD, &number, sizeof number),
            ERROR_SUCCESS);
  EXPECT_EQ(store.Get("NDRF-test", "EmptyBin", "Value"), "");
  ASSERT_TRUE(store.Save("NDRF-test", "EmptyBin", "Value", "YES"));
  EXPECT_EQ(store.Get("NDRF-test", "EmptyBin", "Value"), "YES");

  std::wstring huge(win::kMaxSettingBytes, L'x');
  ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Nulldrift\\NDRF-test\\Settings",
                              L"Language", REG_SZ, huge.c_str(),
                              static_cast<DWORD>((huge.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  EXPECT_EQ(store.Get("NDRF-test", "Settings", "Language"), "");
  ASSERT_TRUE(store.Save("NDRF-test", "Settings", "Language", "English"));
  EXPECT_EQ(store.Get("NDRF-test", "Settings", "Language"), "English");
}

}  // namespace
}  // namespace nd::platform
