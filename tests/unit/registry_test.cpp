#include "system/registry.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

namespace nd {
namespace {

using platform::RegistryRoot;
using platform::RegistryValue;

std::string Bytes(std::initializer_list<int> bytes) {
  std::string out;
  for (int b : bytes) out.push_back(static_cast<char>(b));
  return out;
}

// An in-memory registry, to check the operations' contract where no real one exists.
class MemoryRegistry final : public platform::RegistryBackend {
 public:
  using Id = std::tuple<RegistryRoot, std::string, std::string>;
  std::map<Id, RegistryValue> values;

  std::optional<RegistryValue> Query(RegistryRoot root, const std::string& key,
                                     const std::string& name) override {
    auto it = values.find({root, key, name});
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
  bool Set(RegistryRoot root, const std::string& key, const std::string& name,
           const RegistryValue& value) override {
    values[{root, key, name}] = value;
    return true;
  }
  bool Delete(RegistryRoot root, const std::string& key, const std::string& name) override {
    return values.erase({root, key, name}) > 0;
  }
};

TEST(RegistryPath, RootIsFoundAnywhereAndTheUserRootWinsWhenBothOccur) {
  auto machine = SplitRegistryRoot("HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Name");
  ASSERT_TRUE(machine);
  EXPECT_EQ(machine->root, RegistryRoot::kLocalMachine);
  EXPECT_EQ(machine->rest, "SOFTWARE\\Vendor\\Name");

  auto user = SplitRegistryRoot("HKEY_CURRENT_USER\\Control Panel\\Desktop");
  ASSERT_TRUE(user);
  EXPECT_EQ(user->rest, "Control Panel\\Desktop");

  auto both = SplitRegistryRoot("HKEY_LOCAL_MACHINE\\HKEY_CURRENT_USER\\x");
  ASSERT_TRUE(both);
  EXPECT_EQ(both->root, RegistryRoot::kCurrentUser);
  EXPECT_EQ(both->rest, "\\HKEY_CURRENT_USER\\x");  // always from the fixed position

  EXPECT_FALSE(SplitRegistryRoot("HKEY_CLASSES_ROOT\\.txt\\Content Type"));
  EXPECT_FALSE(SplitRegistryRoot("HKEY_USERS\\.DEFAULT\\x"));
  EXPECT_FALSE(SplitRegistryRoot(""));
  EXPECT_EQ(SplitRegistryRoot("HKEY_CURRENT_USER")->rest, "");
}

TEST(RegistryPath, ValueNameIsTheLastPart) {
  KeyAndValue kv = SplitKeyAndValue("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProductName");
  EXPECT_EQ(kv.key, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\");
  EXPECT_EQ(kv.name, "ProductName");
  EXPECT_EQ(SplitKeyAndValue("Lonely").key, "");
  EXPECT_EQ(SplitKeyAndValue("Lonely").name, "Lonely");
}

TEST(RegistryRendering, EveryTypeReadsAsText) {
  EXPECT_EQ(RenderRegistryValue({kRegBinary, Bytes({1, 171, 0})}), "01 AB 00 ");
  EXPECT_EQ(RenderRegistryValue({kRegDword, Bytes({0x60, 0, 0, 0})}), "60 00 00 00 ");
  EXPECT_EQ(RenderRegistryValue({kRegSz, std::string("Windows 7 Home\0", 15)}), "Windows 7 Home");
  EXPECT_EQ(RenderRegistryValue({kRegExpandSz, std::string("%TEMP%\0", 7)}), "%TEMP%");
  EXPECT_EQ(RenderRegistryValue({kRegSz, std::string("\0", 1)}), "");
  EXPECT_EQ(RenderRegistryValue({kRegSz, ""}), "");
  EXPECT_EQ(RenderRegistryValue({kRegMultiSz, std::string("one\0two\0\0", 9)}), "onetwo");
  EXPECT_EQ(RenderRegistryValue({kRegDwordBigEndian, "ABCD"}), "ABCD");
  EXPECT_EQ(RenderRegistryValue({11, "12345678"}), "");  // QWORD is not handled
}

TEST(RegistryRendering, WrittenValuesAreEncodedLikeTheSystemStoresThem) {
  EXPECT_EQ(EncodeRegistryValue("96", kRegDword)->data, Bytes({0x60, 0, 0, 0}));
  EXPECT_EQ(EncodeRegistryValue("-1", kRegDword)->data, Bytes({0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_FALSE(EncodeRegistryValue("ninety", kRegDword));
  EXPECT_EQ(EncodeRegistryValue("Test", kRegSz)->data, std::string("Test\0", 5));
  EXPECT_FALSE(EncodeRegistryValue("x", kRegBinary));
}

TEST(RegistryAccessTest, WriteReadDeleteThroughABackend) {
  MemoryRegistry memory;
  RegistryAccess registry(memory);
  registry.RegWriteValue("HKEY_LOCAL_MACHINE\\Software\\Vendor", "Test", "Test", kRegSz);
  EXPECT_EQ(registry.RegReadValue("HKEY_LOCAL_MACHINE\\Software\\Vendor\\Test"), "Test");
  registry.RegWriteValue("HKEY_CURRENT_USER\\Control Panel\\Desktop\\WindowMetrics", "AppliedDPI",
                         "96", kRegDword);
  EXPECT_EQ(
      registry.RegReadValue("HKEY_CURRENT_USER\\Control Panel\\Desktop\\WindowMetrics\\AppliedDPI"),
      "60 00 00 00 ");
  registry.RegDeleteValue("HKEY_LOCAL_MACHINE\\Software\\Vendor\\Test");
  EXPECT_EQ(registry.RegReadValue("HKEY_LOCAL_MACHINE\\Software\\Vendor\\Test"), "");
  // Without a known root nothing is read or written.
  registry.RegWriteValue("HKEY_USERS\\X", "Y", "Z", kRegSz);
  EXPECT_EQ(memory.values.size(), 1u);
}

#ifdef _WIN32
// The machine's registry really stores the value, and answers as for a missing value once it
// is deleted.
TEST(RegistryAccessTest, ThisSystemsRegistryStoresReadsAndDeletes) {
  RegistryAccess registry;
  const std::string key = "HKEY_CURRENT_USER\\Software\\Nulldrift\\UnitTest";
  const std::string value = key + "\\Probe";
  registry.RegWriteValue(key, "Probe", "1\xc3\xa4", kRegSz);
  EXPECT_EQ(registry.RegReadValue(value), "1\xc3\xa4");
  registry.RegDeleteValue(value);
  EXPECT_EQ(registry.RegReadValue(value), "");
}
#else
TEST(RegistryAccessTest, ThisSystemHasNoRegistryAndAnswersAsForMissingValues) {
  RegistryAccess registry;
  registry.RegWriteValue("HKEY_CURRENT_USER\\Software\\Nulldrift", "Probe", "1", kRegSz);
  EXPECT_EQ(registry.RegReadValue("HKEY_CURRENT_USER\\Software\\Nulldrift\\Probe"), "");
  registry.RegDeleteValue("HKEY_CURRENT_USER\\Software\\Nulldrift\\Probe");
}

#endif  // _WIN32

}  // namespace
}  // namespace nd
