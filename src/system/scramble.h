// Light scrambling of a short text (the stored overwrite method) as "|"-joined numbers with a
// random salt and random trailing fillers, so the same text is stored differently each time.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace nd {

// A source of random fractions in [0, 1).
using RandomFraction = std::function<double()>;

// The default source, seeded from the clock and the system's entropy.
RandomFraction ClockSeededRandom();

std::string ScrambleText(std::string_view text, std::string_view key,
                         const RandomFraction& random = ClockSeededRandom());

// Empty for empty data or key, too few parts, or a key-sum mismatch; a part that is no
// number, or that gives no character, ends the decoding with what was decoded so far.
std::string UnscrambleText(std::string_view data, std::string_view key);

}  // namespace nd
