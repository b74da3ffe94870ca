// Breaking a text into lines that fit a width, for labels. Words break at blanks; Chinese and
// Japanese, which have no blanks between words, may also break between any two of their
// characters, except before closing punctuation and small kana and after opening brackets.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace nd::ui {

// The width of a piece of UTF-8 text, in whatever unit the caller lays out in.
using TextWidth = std::function<int(std::string_view utf8)>;

// `utf8` with line feeds inserted so that every line fits `width`, where the text allows it.
// Line feeds already in the text stay; blanks at a break are dropped. A word wider than
// `width` on its own gets a line of its own and stays too wide.
std::string WrapText(std::string_view utf8, int width, const TextWidth& measure);

}  // namespace nd::ui
