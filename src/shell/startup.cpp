#include "shell/startup.h"

#include <initializer_list>

#include "localisation/captions.h"
#include "localisation/language_selection.h"
#include "localisation/text_lookup.h"
#include "online/update_check.h"
#include "platform/os_volumes.h"
#include "platform/paths.h"
#include "shell/command_line.h"
#include "system/environment_probe.h"
#include "system/settings_keys.h"
#include "wizard/navigation.h"
#include "wizard/option_pages.h"
#include "wizard/paging_file_option.h"
#include "wizard/run_history.h"

namespace nd::shell {
namespace {

using wizard::Start;

void SetTexts(Start& w, const char* section, std::initializer_list<CaptionKey> texts) {
  SetCaptions(w.svc.context.language, section, texts);
}

void SetCharset(Start& w, std::initializer_list<ui::Control*> controls) {
  for (ui::Control* control : controls) control->SetFontCharset(w.svc.context.language.charset);
}

void DressWindow(Start& w) {
  SetCharset(w, {&w.Label8,  &w.Label21, &w.Label3,  &w.Label5,  &w.Label7,  &w.Label23, &w.Label4,
                 &w.Label37, &w.Label38, &w.Label18, &w.Label20, &w.Label40, &w.Label6,  &w.Label16,
                 &w.Label36, &w.Label39, &w.Label34, &w.Label9,  &w.status,  &w.Label44, &w.Label1,
                 &w.Label2,  &w.Label41, &w.Label43, &w.Label46});
  SetTexts(w, "INTERFACE",
           {{w.Command1, "COMMAND1"}, {w.Command2, "COMMAND2"}, {w.Label8, "LABEL8"},
            {w.Label3, "LABEL3"},     {w.Label5, "LABEL5"},     {w.Label23, "COMMAND5"},
            {w.Check5, "CHECK5"},     {w.Check6, "CHECK6"},     {w.Label7, "LABEL7"},
            {w.Label4, "LABEL4"},     {w.Label37, "LABEL37"},   {w.Label38, "LABEL38"},
            {w.Check4, "CHECK4"},     {w.Option1, "OPTION1"},   {w.Option2, "OPTION2"},
            {w.Option3, "OPTION3"},   {w.Option4, "OPTION4"},   {w.Option5, "OPTION5"},
            {w.Label6, "LABEL6"},     {w.Label16, "LABEL16"},   {w.Label36, "LABEL36"},
            {w.Label39, "LABEL39"},   {w.Label34, "LABEL34"},   {w.Check1, "CHECK1"},
            {w.Check2, "PAUSE"},      {w.Check3, "CHECK3"},     {w.Command4, "COMMAND4"},
            {w.Label1, "LABEL1"},     {w.Label2, "LABEL2"},     {w.Label41, "LABEL41"},
            {w.Label43, "COMMAND7"},  {w.Label46, "LABEL46"}});
  w.Label12.SetCaption(w.svc.context.language.current_language);
  SetCharset(w, {&w.StepInfo[0], &w.StepInfo[1], &w.StepInfo[2], &w.StepInfo[3], &w.Label22,
                 &w.Label15, &w.Label26, &w.Label27, &w.Label25, &w.Label28, &w.Label29, &w.Label13,
                 &w.Label10, &w.Label14, &w.Label11, &w.Label19, &w.Label33, &w.ListView1});
  SetTexts(w, "VERSION3",
           {{w.Check7, "DONTSHOWINTHEFUTURE"},
            {w.Label29, "STATISTICS"},
            {w.Label15, "WHICHMODE"},
            {w.Option6, "MODE1"},
            {w.Option7, "MODE2"},
            {w.Label26, "MODE1-INFO"},
            {w.Label27, "MODE2-INFO"},
            {w.Label11, "NTFS-MODE-REVIEW"},
            {w.Label25, "NTFS-MODE"},
            {w.Label28, "NTFS-MODE-INFO"},
            {w.Option8, "NTFS-MODE-1"},
            {w.Option9, "NTFS-MODE-2"},
            {w.Option10, "NTFS-MODE-3"},
            {w.StepInfo[0], "STEP1-TITLE"},
            {w.StepInfo[1], "STEP2-TITLE"},
            {w.StepInfo[2], "STEP3-TITLE"},
            {w.StepInfo[3], "STEP4-TITLE"}});
}

// Shows the background picture; false when the program has ended over it.
bool LoadBackground(Start& w) {
  const std::string path = platform::JoinPath(w.svc.context.env.program_folder, "program-back.jpg");
  if (!FileExists(path)) {
    w.svc.host.MsgBox(ui::MsgBoxIcon::kCritical, kNoBackgroundMessage, ui::MsgBoxButtons::kOk,
                      wizard::kProgramTitle);
    w.svc.host.EndProcess(1);
    return false;
  }
  if (w.svc.load_background && !w.svc.load_background(path)) {
    w.svc.host.MsgBox(
        ui::MsgBoxIcon::kCritical,
        "The background image " + path + " cannot be read: the file is damaged. Reinstall program!",
        ui::MsgBoxButtons::kOk, wizard::kProgramTitle);
    w.svc.host.EndProcess(1);
    return false;
  }
  return true;
}

}  // namespace

std::string WindowTitle(const Environment& env, const LanguageState& language) {
  return std::string(wizard::kProgramTitle) + " " + env.version_text + " " +
         language.current_language;
}

bool Start_Load(Start& w) {
  const SettingsStore& store = w.svc.context.settings;
  // The environment was probed when the process's context was built.
  if (!InitLanguage(w.svc.context, w.svc.host)) return false;
  online::CheckUpdateAge(w.svc.context, w.svc.host);
  if (RunCommandLineMode(w)) return false;
  // An ext4 pool that a cut-off fill left set aside comes back now; the leftover folders go
  // with the disk page's first refresh.
  platform::RestoreForgottenReservedPools();
  DressWindow(w);
  wizard::RestoreModeAndWay(w);
  if (Get(store, settings::kShowGoodOnly) == "YES") w.Check9.SetValue(1);
  SetTexts(
      w, "VERSION3",
      {{w.Label22, "CLEAR-STATS"}, {w.Label33, "AVOID-CONFLICTS"}, {w.Check9, "SHOW-GOOD-ONLY"}});
  w.Label24.SetCaption(LookupText(w.svc.context.language, "SHORTCUTS", "TOSITE"));
  w.Label44.SetCaption("");
  if (!LoadBackground(w)) return false;
  if (Get(store, settings::kRunSecondWindow) == "YES") {
    w.Check7.SetValue(1);
    wizard::ShowPage(w, 2);
  } else {
    w.Check7.SetValue(0);
    wizard::ShowPage(w, 1);
  }
  wizard::RestoreMethod(w);
  wizard::RestoreChecks(w);
  wizard::RestorePagingFileOption(w);
  wizard::RefreshReportList(w);
  w.SetCaption(WindowTitle(w.svc.context.env, w.svc.context.language));
  return true;
}

}  // namespace nd::shell
