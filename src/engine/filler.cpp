#include "engine/filler.h"

#include <cmath>

namespace nd::engine {
namespace {

bool Selected(ui::OptionButton* button) { return button && button->Value(); }

int Draw(const RandomFraction& random, int scale) {
  return static_cast<int>(std::floor(random() * scale));
}

}  // namespace

std::string NextFillerChar(ui::OptionButton* const (&method)[5], const RandomFraction& random) {
  std::string result;
  if (Selected(method[0]) || Selected(method[3])) {
    // Drawing from 0-89 and rejecting below 65 keeps "A" to "Y" equally likely.
    int code = 0;
    do {
      code = Draw(random, 90);
    } while (code < 65);
    result.assign(1, static_cast<char>(code));
  }
  if (Selected(method[1])) result.assign(1, ' ');
  if (Selected(method[2])) result.assign(1, static_cast<char>('0' + Draw(random, 10)));
  if (Selected(method[4])) result.assign(1, static_cast<char>('0' + Draw(random, 10)));
  return result;
}

std::string BuildFillerText(const WorkingPage& page, const RandomFraction& random, int count) {
  std::string text;
  text.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) text += NextFillerChar(page.Method, random);
  return text;
}

std::string AsLine(std::string block) {
  block.push_back('\r');
  block.push_back('\n');
  return block;
}

std::string LargeFillerBlock(const std::string& filler_block) {
  std::string large;
  large.reserve(filler_block.size() * kLargeFillerRepeats);
  for (int i = 0; i < kLargeFillerRepeats; ++i) large += filler_block;
  return large;
}

}  // namespace nd::engine
