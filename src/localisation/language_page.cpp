#include "localisation/language_page.h"

#include <vector>

#include "localisation/ini_file.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "system/settings_keys.h"

namespace nd {
namespace {

constexpr std::string_view kIniSuffix = ".ini";
// Gaps between the buttons, in twips.
constexpr int kColumnGap = 400;
constexpr int kRowGap = 60;

}  // namespace

void BuildLanguagePage(LanguagePageView page, const LanguageState& language,
                       const std::string& program_folder) {
  ui::ControlArray<ui::OptionButton>& buttons = page.LangArray;
  for (int index : buttons.Indices()) {
    if (index != 0) buttons.Unload(index);
  }

  std::vector<std::string> files;
  for (std::string& name : platform::ListFolderFiles(language.languages_folder)) {
    if (name.ends_with(kIniSuffix)) files.push_back(std::move(name));
  }
  // English's file is among those counted, so each column holds about a third of the others.
  const int last = static_cast<int>(files.size()) - 1;
  const int second_column = last / 3 + 1;
  const int third_column = last * 2 / 3 + 1;

  const ui::OptionButton& first = buttons[0];
  bool selected = false;
  int k = 0;
  for (const std::string& file : files) {
    std::string name = file.substr(0, file.size() - kIniSuffix.size());
    if (name == "English") continue;
    ++k;
    buttons.Load(k);
    ui::OptionButton& button = buttons[k];
    button.SetCaption(name);
    button.SetWidth(first.Width());
    button.SetHeight(first.Height());
    button.SetVisible(true);
    if (k == second_column) {
      button.SetTop(first.Top());
      button.SetLeft(first.Left() + first.Width() + kColumnGap);
    } else if (k == third_column) {
      button.SetTop(first.Top());
      button.SetLeft(first.Left() + 2 * first.Width() + 2 * kColumnGap);
    } else {
      const ui::OptionButton& above = buttons[k - 1];
      button.SetTop(above.Top() + first.Height() + kRowGap);
      button.SetLeft(above.Left());
    }
    if (EqualsIgnoringCase(name, language.current_language)) {
      button.SetValue(true);
      ShowFlag(page, program_folder, name);
      selected = true;
    }
  }

  buttons[0].SetCaption("English");
  if (!selected) {
    buttons[0].SetValue(true);
    ShowFlag(page, program_folder, buttons[0].Caption());
  }
}

void ShowFlag(LanguagePageView page, const std::string& program_folder,
              const std::string& caption) {
  std::string path =
      platform::JoinPath(platform::JoinPath(program_folder, "Languages"), caption + ".jpg");
  page.CFlag.SetPicture(FileExists(path) ? path : std::string());
}

void LangArray_Click(LanguagePageView page, int index, const std::string& program_folder) {
  if (const ui::OptionButton* button = page.LangArray.Get(index)) {
    ShowFlag(page, program_folder, button->Caption());
  }
}

std::string ChosenLanguage(LanguagePageView page) {
  std::string chosen;
  for (int index : page.LangArray.Indices()) {
    const ui::OptionButton& button = page.LangArray[index];
    if (button.Value()) chosen = button.Caption();
  }
  return chosen;
}

void Command3_Click(LanguagePageView page, Context& context, ui::Host& host, ui::Form& window) {
  std::string chosen = ChosenLanguage(page);
  if (!chosen.empty()) {
    Save(context.settings, settings::kLanguage, chosen);
    context.language.current_language = chosen;
  }
  host.CloseWindow(window);
  host.EndProcess(0);
}

}  // namespace nd
