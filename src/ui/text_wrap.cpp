#include "ui/text_wrap.h"

#include <algorithm>
#include <vector>

namespace nd::ui {
namespace {

struct Char {
  char32_t code;
  size_t begin;  // byte offsets in the text
  size_t end;
};

std::vector<Char> Decode(std::string_view text) {
  std::vector<Char> chars;
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length && i + k < text.size(); ++k) {
      code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    const size_t end = std::min(text.size(), i + length);
    chars.push_back({code, i, end});
    i = end;
  }
  return chars;
}

// Ideographs, kana and full-width forms: scripts written without blanks between words.
bool WrittenWithoutBlanks(char32_t c) {
  return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0xFF00 && c <= 0xFFEF);
}

// Characters that must not begin a line: closing punctuation, prolonged sound mark, small kana.
bool NoLineStart(char32_t c) {
  static constexpr std::u32string_view kClosing =
      U"、。，．・：；？！）」』】〕〉》〙〗ー々ゝゞヽヾぁぃぅぇぉっゃゅょゎァィゥェォッャュョヮヵ"
      U"ヶ"
      U"”’％，．：；？！）］｝｣､｡…‥";
  return kClosing.find(c) != std::u32string_view::npos || c == U')' || c == U']' || c == U'}' ||
         c == U',' || c == U'.' || c == U':' || c == U';' || c == U'!' || c == U'?';
}

// Characters that must not end a line: opening brackets and quotes.
bool NoLineEnd(char32_t c) {
  static constexpr std::u32string_view kOpening = U"（「『【〔〈《〘〖“‘［｛｢";
  return kOpening.find(c) != std::u32string_view::npos;
}

bool IsBlank(char32_t c) { return c == U' ' || c == U'\t' || c == 0x3000; }

// Whether a line may break between `before` and `after` without a blank between them.
bool BreakBetween(char32_t before, char32_t after) {
  if (!WrittenWithoutBlanks(before) && !WrittenWithoutBlanks(after)) return false;
  return !NoLineStart(after) && !NoLineEnd(before);
}

std::string WrapParagraph(std::string_view text, int width, const TextWidth& measure) {
  const std::vector<Char> chars = Decode(text);
  // Pieces that stay together: a word with the blanks after it, or one character of a script
  // written without blanks (with the punctuation that may not be parted from it).
  struct Piece {
    size_t begin;        // bytes
    size_t visible_end;  // bytes, the blanks after the piece excluded
  };
  std::vector<Piece> pieces;
  for (size_t i = 0; i < chars.size();) {
    size_t j = i + 1;
    while (j < chars.size() && !IsBlank(chars[j].code) && !IsBlank(chars[j - 1].code) &&
           !BreakBetween(chars[j - 1].code, chars[j].code)) {
      ++j;
    }
    const size_t visible_end = chars[j - 1].end;
    while (j < chars.size() && IsBlank(chars[j].code)) ++j;
    pieces.push_back({chars[i].begin, visible_end});
    i = j;
  }

  std::string out;
  size_t line_begin = 0;  // index of the line's first piece
  for (size_t p = 0; p < pieces.size(); ++p) {
    if (p == line_begin) continue;
    const size_t begin = pieces[line_begin].begin;
    if (measure(text.substr(begin, pieces[p].visible_end - begin)) <= width) continue;
    out.append(text.substr(begin, pieces[p - 1].visible_end - begin));
    out.push_back('\n');
    line_begin = p;
  }
  if (!pieces.empty()) out.append(text.substr(pieces[line_begin].begin));
  return out;
}

}  // namespace

std::string WrapText(std::string_view utf8, int width, const TextWidth& measure) {
  std::string out;
  size_t start = 0;
  while (true) {
    const size_t end = utf8.find('\n', start);
    out += WrapParagraph(utf8.substr(start, end - start), width, measure);
    if (end == std::string_view::npos) break;
    out.push_back('\n');
    start = end + 1;
  }
  return out;
}

}  // namespace nd::ui
