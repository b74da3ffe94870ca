// The language page of the second window: one option button per installed language file, laid
// out in three columns, with the flag of the language shown beside them.
#pragma once

#include <string>

#include "localisation/context.h"
#include "ui/basic_controls.h"
#include "ui/choice_controls.h"
#include "ui/control_array.h"
#include "ui/form.h"
#include "ui/host.h"

namespace nd {

// The controls of the page; element 0 of LangArray is the designed one and stands for English.
struct LanguagePageView {
  ui::ControlArray<ui::OptionButton>& LangArray;
  ui::Picture& CFlag;
};

// Loads one button per language file besides English, selects the current language (English
// when no button matches it) and shows its flag. Buttons of an earlier build are unloaded first.
void BuildLanguagePage(LanguagePageView page, const LanguageState& language,
                       const std::string& program_folder);

// Shows "<caption>.jpg" from the languages folder, or no picture when there is none.
void ShowFlag(LanguagePageView page, const std::string& program_folder, const std::string& caption);

void LangArray_Click(LanguagePageView page, int index, const std::string& program_folder);

// The caption of the selected button (the highest-numbered one should several be), or "".
std::string ChosenLanguage(LanguagePageView page);

// Stores the chosen language and ends the program; the new language takes effect on the next
// start.
void Command3_Click(LanguagePageView page, Context& context, ui::Host& host, ui::Form& window);

}  // namespace nd
