#include "system/registry.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace nd {
namespace {

constexpr std::string_view kMachineRoot = "HKEY_LOCAL_MACHINE";
constexpr std::string_view kUserRoot = "HKEY_CURRENT_USER";

std::string HexPairs(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : bytes) {
    auto b = static_cast<unsigned char>(c);
    out.push_back(kHex[b >> 4]);
    out.push_back(kHex[b & 0xF]);
    out.push_back(' ');
  }
  return out;
}

// A DWORD is written from the decimal text of a 32-bit number; other text writes nothing.
std::optional<uint32_t> DwordFromText(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  long long value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  if (value < INT32_MIN || value > UINT32_MAX) return std::nullopt;
  return static_cast<uint32_t>(value);
}

}  // namespace

std::optional<RegistryPath> SplitRegistryRoot(std::string_view path) {
  std::optional<RegistryPath> result;
  if (path.find(kMachineRoot) != std::string_view::npos) {
    result = RegistryPath{platform::RegistryRoot::kLocalMachine,
                          std::string(path.substr(std::min(path.size(), kMachineRoot.size() + 1)))};
  }
  if (path.find(kUserRoot) != std::string_view::npos) {
    result = RegistryPath{platform::RegistryRoot::kCurrentUser,
                          std::string(path.substr(std::min(path.size(), kUserRoot.size() + 1)))};
  }
  return result;
}

KeyAndValue SplitKeyAndValue(std::string_view rest) {
  size_t last = rest.rfind('\\');
  if (last == std::string_view::npos) return {std::string(), std::string(rest)};
  return {std::string(rest.substr(0, last + 1)), std::string(rest.substr(last + 1))};
}

std::string RenderRegistryValue(const platform::RegistryValue& value) {
  const std::string& data = value.data;
  switch (value.type) {
    case kRegSz:
    case kRegExpandSz:
      return data.empty() ? std::string() : data.substr(0, data.size() - 1);
    case kRegBinary:
    case kRegDword:
      return HexPairs(data);
    case kRegDwordBigEndian:
      return data.substr(0, 4);
    case kRegMultiSz: {
      std::string joined;
      for (char c : data) {
        if (c != '\0') joined.push_back(c);
      }
      return joined;
    }
    default:
      return {};
  }
}

std::optional<platform::RegistryValue> EncodeRegistryValue(std::string_view value, uint32_t type) {
  if (type == kRegSz) {
    std::string data(value);
    data.push_back('\0');
    return platform::RegistryValue{kRegSz, std::move(data)};
  }
  if (type == kRegDword) {
    auto number = DwordFromText(value);
    if (!number) return std::nullopt;
    std::string data;
    for (int i = 0; i < 4; ++i) data.push_back(static_cast<char>((*number >> (8 * i)) & 0xFF));
    return platform::RegistryValue{kRegDword, std::move(data)};
  }
  return std::nullopt;
}

std::string RegistryAccess::RegReadValue(std::string_view path) {
  auto root = SplitRegistryRoot(path);
  if (!root) return {};
  KeyAndValue kv = SplitKeyAndValue(root->rest);
  auto value = backend_.Query(root->root, kv.key, kv.name);
  return value ? RenderRegistryValue(*value) : std::string();
}

void RegistryAccess::RegWriteValue(std::string_view key_path, std::string_view value_name,
                                   std::string_view value, uint32_t type) {
  auto root = SplitRegistryRoot(key_path);
  if (!root) return;
  auto encoded = EncodeRegistryValue(value, type);
  if (!encoded) return;
  std::string key = root->rest;
  if (!key.empty() && key.back() != '\\') key.push_back('\\');
  backend_.Set(root->root, key, std::string(value_name), *encoded);
}

void RegistryAccess::RegDeleteValue(std::string_view path) {
  auto root = SplitRegistryRoot(path);
  if (!root) return;
  // A path ending in a backslash names a key, not a value; only values are ever deleted.
  if (!root->rest.empty() && root->rest.back() == '\\') return;
  KeyAndValue kv = SplitKeyAndValue(root->rest);
  backend_.Delete(root->root, kv.key, kv.name);
}

}  // namespace nd
