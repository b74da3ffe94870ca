// The text that every filler file consists of. The overwrite method only decides the kind of
// character; each sub-step builds its blocks once and writes them again and again.
#pragma once

#include <string>

#include "engine/working_page.h"

namespace nd::engine {

inline constexpr int kFillerBlockChars = 3000;
inline constexpr int kLargeFillerRepeats = 17;
inline constexpr int kSourceBlockChars = 1000;
inline constexpr int kSmallFileBodyChars = 901;
inline constexpr std::string_view kLineBreak = "\r\n";

// One character for the method selected now among `method` (Option1 to Option5); empty when
// none is selected.
std::string NextFillerChar(ui::OptionButton* const (&method)[5], const RandomFraction& random);

// `count` draws of NextFillerChar, in draw order.
std::string BuildFillerText(const WorkingPage& page, const RandomFraction& random, int count);

// A block as one text line: the block followed by CR LF, ready to be written in one go.
std::string AsLine(std::string block);

// FillerBlock repeated 17 times.
std::string LargeFillerBlock(const std::string& filler_block);

}  // namespace nd::engine
