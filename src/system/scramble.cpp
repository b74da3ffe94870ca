#include "system/scramble.h"

#include <charconv>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <vector>

namespace nd {
namespace {

constexpr long long kLargestPart = 1'000'000'000;

int Code(char c) { return static_cast<unsigned char>(c); }

int KeySum(std::string_view key) {
  int sum = 0;
  for (char c : key) sum += Code(c);
  return sum;
}

std::optional<long long> ParseNumber(std::string_view text) {
  long long value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
  // Real parts are small; bounding them keeps the arithmetic below free of overflow.
  if (value > kLargestPart || value < -kLargestPart) return std::nullopt;
  return value;
}

std::vector<std::string_view> Split(std::string_view data, char separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    size_t at = data.find(separator);
    parts.push_back(data.substr(0, at));
    if (at == std::string_view::npos) return parts;
    data.remove_prefix(at + 1);
  }
}

}  // namespace

RandomFraction ClockSeededRandom() {
  // The clock alone would give two stores within one clock tick the same salt.
  auto now = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
  std::random_device device;
  std::seed_seq seed{static_cast<uint32_t>(now), static_cast<uint32_t>(now >> 32), device()};
  auto engine = std::make_shared<std::mt19937>(seed);
  return [engine] { return std::uniform_real_distribution<double>(0.0, 1.0)(*engine); };
}

std::string ScrambleText(std::string_view text, std::string_view key,
                         const RandomFraction& random) {
  if (key.empty()) return {};
  const int salt = static_cast<int>(random() * 255);
  std::vector<long long> numbers{salt, static_cast<long long>(text.size()) + salt,
                                 KeySum(key) + salt};
  for (size_t i = 0; i < text.size(); ++i) {
    numbers.push_back(Code(text[i]) + Code(key[i % key.size()]) + salt);
  }
  const int fillers = static_cast<int>(random() * 10) + 1;
  for (int i = 0; i < fillers; ++i) numbers.push_back(static_cast<int>(random() * 400));

  std::string out;
  for (size_t i = 0; i < numbers.size(); ++i) {
    if (i > 0) out.push_back('|');
    out += std::to_string(numbers[i]);
  }
  return out;
}

std::string UnscrambleText(std::string_view data, std::string_view key) {
  if (data.empty() || key.empty()) return {};
  std::vector<std::string_view> parts = Split(data, '|');
  if (parts.size() < 3) return {};
  auto salt = ParseNumber(parts[0]);
  auto length = ParseNumber(parts[1]);
  auto sum = ParseNumber(parts[2]);
  if (!salt || !length || !sum || *sum - *salt != KeySum(key)) return {};

  std::string text;
  const long long count = *length - *salt;
  for (long long i = 0; i < count && 3 + static_cast<size_t>(i) < parts.size(); ++i) {
    auto number = ParseNumber(parts[3 + static_cast<size_t>(i)]);
    if (!number) break;
    long long code = *number - Code(key[static_cast<size_t>(i) % key.size()]) - *salt;
    if (code < 0 || code > 255) break;
    text.push_back(static_cast<char>(code));
  }
  return text;
}

}  // namespace nd
