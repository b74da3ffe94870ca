// What a control's font character set (the language file's CHARSET number) means to a font:
// the character-set byte a Windows font is asked for, and the reading direction of its texts.
#pragma once

#include <cstdint>

namespace nd::ui {

class Form;

// The font's character-set byte. Numbers beyond a byte name no character set: such a file gets
// the default set (1) rather than whatever set its number's low byte happens to name.
uint8_t FontCharsetByte(int16_t charset);

// The character set of a window's language: the one that most of its controls were given, other
// than the default; the default when none was given another.
int16_t WindowCharset(const Form& form);

// The character set a control is shown in: its own, or its window's for one left at the
// default, so that the buttons and boxes of a window in Japanese get a font with Japanese
// characters as its texts do.
int16_t ShownCharset(int16_t own, int16_t window);

// Hebrew (177) and Arabic (178) texts read from right to left.
bool ReadsRightToLeft(int16_t charset);

}  // namespace nd::ui
