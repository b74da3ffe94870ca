// The language the first start picks from the user's locale, the checks of the stored choice at
// start-up, and the buttons of the language page.
#include "localisation/language_selection.h"

#include <gtest/gtest.h>

#include "engine_test_support.h"
#include "localisation/language_page.h"
#ifndef _WIN32
#include "platform/linux/locale_names.h"
#endif
#include "system/settings_keys.h"

namespace nd {
namespace {

using test::ScopedEnv;
using test::ScratchFolder;
using test::WriteFile;

// The country of a POSIX locale variable; Windows asks GetLocaleInfo (tests/windows).
#ifndef _WIN32
TEST(LanguageSelectionTest, LocaleValuesNameTheCountry) {
  using platform::internal::CountryNameOfLocale;
  EXPECT_EQ(CountryNameOfLocale("de_DE.UTF-8"), "Germany");
  EXPECT_EQ(CountryNameOfLocale("pt_BR"), "Brazil");
  EXPECT_EQ(CountryNameOfLocale("ko_KR.UTF-8"), "Korea");
  EXPECT_EQ(CountryNameOfLocale("sr_RS@latin"), "Serbia");
  EXPECT_EQ(CountryNameOfLocale("C"), "");
  EXPECT_EQ(CountryNameOfLocale("C.UTF-8"), "");
  EXPECT_EQ(CountryNameOfLocale(""), "");
  EXPECT_EQ(CountryNameOfLocale("en_XX"), "");
}

TEST(LanguageSelectionTest, UserCountryTakesTheFirstSetVariable) {
  ScopedEnv all("LC_ALL", "");
  ScopedEnv messages("LC_MESSAGES", "fr_FR.UTF-8");
  ScopedEnv lang("LANG", "de_DE.UTF-8");
  EXPECT_EQ(GetUserCountry(), "France");
}

#endif  // _WIN32

TEST(LanguageSelectionTest, CountryTableNeedsTheFileAndTheExactName) {
  ScratchFolder folder;
  EXPECT_EQ(LanguageForCountry("Brazil", folder.path()), "English");
  WriteFile(folder / "Portuguese.ini", "");
  WriteFile(folder / "Korean.ini", "");
  EXPECT_EQ(LanguageForCountry("Brazil", folder.path()), "Portuguese");
  EXPECT_EQ(LanguageForCountry("Korea", folder.path()), "Korean");
  EXPECT_EQ(LanguageForCountry("South Korea", folder.path()), "Korean");
  EXPECT_EQ(LanguageForCountry("brazil", folder.path()), "English");
  WriteFile(folder / "Russian.ini", "");
  EXPECT_EQ(LanguageForCountry("russia", folder.path()), "English");
}

class InitLanguageTest : public ::testing::Test {
 protected:
  InitLanguageTest() : context(test::ScratchContext(scratch)) {
    context.env.program_folder = scratch / "program";
    context.language = LanguageState{};
  }
  void Install(const std::string& file, const std::string& contents = "") {
    WriteFile(context.env.program_folder + "/Languages/" + file, contents);
  }
  std::string Stored() const { return Get(context.settings, settings::kLanguage); }

  ScratchFolder scratch;
  Context context;
  ui::ScriptedHost host;
};

TEST_F(InitLanguageTest, MissingLanguagesFolderEndsTheProgram) {
  EXPECT_FALSE(InitLanguage(context, host));
  ASSERT_EQ(host.MsgBoxes().size(), 1u);
  EXPECT_EQ(host.MsgBoxes()[0].text, "Languages not found! Reinstall program!");
  EXPECT_EQ(host.MsgBoxes()[0].title, kProductName);
  EXPECT_EQ(host.ExitCode(), 1);
}

#ifdef _WIN32
// Windows finds a file whatever the case of its name: the stored language is its file's.
TEST_F(InitLanguageTest, StoredLanguageFindsItsFileWhateverTheCase) {
  Install("English.ini");
  Install("Russian.ini");
  Save(context.settings, settings::kLanguage, "russian");
  EXPECT_TRUE(InitLanguage(context, host));
  EXPECT_TRUE(host.MsgBoxes().empty());
  EXPECT_EQ(Stored(), "russian");
}
#else
// File names are case-sensitive here: "russian" is not "Russian.ini".
TEST_F(InitLanguageTest, StoredLanguageWithoutFileFallsBackToEnglishForNextStart) {
  Install("English.ini");
  Install("Russian.ini");
  Save(context.settings, settings::kLanguage, "russian");
  EXPECT_FALSE(InitLanguage(context, host));
  ASSERT_EQ(host.MsgBoxes().size(), 1u);
  EXPECT_EQ(host.MsgBoxes()[0].text, "Language file russian not found! Restart/reinstall program!");
  EXPECT_EQ(host.ExitCode(), 1);
  EXPECT_EQ(Stored(), "English");
}

#endif  // _WIN32

#ifndef _WIN32
TEST_F(InitLanguageTest, FirstStartSavesTheCountrysLanguageAndItsCharset) {
  Install("English.ini", "[CHARSET]\r\nCHARSET=0\r\n");
  Install("Portuguese.ini", "[CHARSET]\r\nCHARSET=204\r\n");
  ScopedEnv all("LC_ALL", "pt_BR.UTF-8");
  EXPECT_TRUE(InitLanguage(context, host));
  EXPECT_FALSE(host.Ended());
  EXPECT_EQ(Stored(), "Portuguese");
  EXPECT_EQ(context.language.current_language, "Portuguese");
  EXPECT_EQ(context.language.languages_folder, context.env.program_folder + "/Languages");
  EXPECT_EQ(context.language.charset, 204);

  // A stored choice is kept whatever the locale says.
  ScopedEnv other("LC_ALL", "de_DE.UTF-8");
  Install("German.ini");
  EXPECT_TRUE(InitLanguage(context, host));
  EXPECT_EQ(context.language.current_language, "Portuguese");
}

#endif  // _WIN32

struct SecondWindow : ui::Form {
  SecondWindow() : Form("Second") {
    LangArray[0].Move(300, 500, 2000, 250);
    LangArray[0].SetCaption("Design");
  }
  ui::OptionGroup group;
  ui::ControlArray<ui::OptionButton> LangArray{*this, "LangArray", &group};
  ui::Picture CFlag{*this, "CFlag"};
  LanguagePageView View() { return {LangArray, CFlag}; }
};

class LanguagePageTest : public ::testing::Test {
 protected:
  LanguagePageTest() {
    language.languages_folder = program / "Languages";
    language.current_language = "English";
    Install("English");
  }
  void Install(const std::string& name) {
    WriteFile(language.languages_folder + "/" + name + ".ini", "");
  }
  void InstallSeventeen() {
    for (char c = 'A'; c < 'A' + 17; ++c) Install(std::string("Lang") + c);
    WriteFile(language.languages_folder + "/notes.txt", "");
  }
  void Build() { BuildLanguagePage(window.View(), language, program.path()); }

  ScratchFolder program;
  LanguageState language;
  SecondWindow window;
};

TEST_F(LanguagePageTest, ButtonsFillThreeColumns) {
  InstallSeventeen();
  Build();
  const auto& buttons = window.LangArray;
  ASSERT_EQ(buttons.UBound(), 17);
  EXPECT_EQ(buttons.Count(), 18);
  EXPECT_EQ(buttons[1].Left(), 300);
  EXPECT_EQ(buttons[1].Top(), 500 + 250 + 60);
  EXPECT_EQ(buttons[6].Top(), 500);
  EXPECT_EQ(buttons[6].Left(), 300 + 2000 + 400);
  EXPECT_EQ(buttons[7].Top(), 500 + 310);
  EXPECT_EQ(buttons[7].Left(), 2700);
  EXPECT_EQ(buttons[12].Top(), 500);
  EXPECT_EQ(buttons[12].Left(), 300 + 4000 + 800);
  EXPECT_TRUE(buttons[17].Visible());
  EXPECT_EQ(buttons[17].Width(), 2000);
  EXPECT_EQ(buttons[0].Caption(), "English");
}

TEST_F(LanguagePageTest, CurrentLanguageIsSelectedIgnoringCaseWithItsFlag) {
  InstallSeventeen();
  WriteFile(platform::JoinPath(language.languages_folder, "LangC.jpg"), "jpeg");
  language.current_language = "langc";
  Build();
  EXPECT_TRUE(window.LangArray[3].Value());
  EXPECT_FALSE(window.LangArray[0].Value());
  EXPECT_EQ(ChosenLanguage(window.View()), "LangC");
  EXPECT_EQ(window.CFlag.PictureName(), platform::JoinPath(language.languages_folder, "LangC.jpg"));

  // A language without a flag clears the picture.
  LangArray_Click(window.View(), 4, program.path());
  EXPECT_EQ(window.CFlag.PictureName(), "");
}

TEST_F(LanguagePageTest, OnlyEnglishGivesOneSelectedButton) {
  Build();
  EXPECT_EQ(window.LangArray.Count(), 1);
  EXPECT_TRUE(window.LangArray[0].Value());
  EXPECT_EQ(ChosenLanguage(window.View()), "English");
}

TEST_F(LanguagePageTest, RebuildingLeavesNoExtraButtons) {
  InstallSeventeen();
  Build();
  std::filesystem::remove(language.languages_folder + "/LangQ.ini");
  Build();
  Build();
  EXPECT_EQ(window.LangArray.Count(), 17);
  EXPECT_EQ(window.LangArray.UBound(), 16);
}

TEST_F(LanguagePageTest, ConfirmingStoresTheChoiceAndEnds) {
  Install("German");
  ScratchFolder scratch;
  Context context = test::ScratchContext(scratch);
  ui::ScriptedHost host;
  Build();
  window.LangArray[1].UserClick();
  Command3_Click(window.View(), context, host, window);
  EXPECT_EQ(Get(context.settings, settings::kLanguage), "German");
  EXPECT_EQ(context.language.current_language, "German");
  ASSERT_EQ(host.Closes().size(), 1u);
  EXPECT_EQ(host.ExitCode(), 0);
}

}  // namespace
}  // namespace nd
