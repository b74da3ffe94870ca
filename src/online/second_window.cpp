#include "online/second_window.h"

#include <initializer_list>

#include "localisation/captions.h"
#include "localisation/language_page.h"
#include "online/newsletter_page.h"
#include "online/quality_page.h"
#include "system/environment_probe.h"
#include "system/registry.h"
#include "system/settings_keys.h"

namespace nd::online {
namespace {

LanguagePageView LanguagePage(SecondForm& f) { return {f.LangArray, f.CFlag}; }

void CheckDisplayScale(SecondForm& f) {
  if (!f.svc.standard_display_scale || f.svc.standard_display_scale()) return;
  f.svc.host.MsgBox(ui::MsgBoxIcon::kExclamation, kDisplayScaleMessage, ui::MsgBoxButtons::kOk,
                    kProductName);
}

}  // namespace

bool AppliedDpiIsStandard(std::string_view applied_dpi) {
  return applied_dpi.find("60") != std::string_view::npos;
}

bool RegistryDisplayAtStandardScale(RegistryAccess& registry) {
  return AppliedDpiIsStandard(registry.RegReadValue(kAppliedDpiValue));
}

void SecondForm_Load(SecondForm& f) {
  Context& context = f.svc.context;
  f.SetCaption(kProductName);
  for (ui::Control* label : std::initializer_list<ui::Control*>{
           &f.Label3, &f.Label2, &f.Label1, &f.Label11, &f.Label17, &f.Label16, &f.Label4}) {
    label->SetFontCharset(context.language.charset);
  }
  SetCaptions(context.language, "SUBSCRIBER",
              {{f.Label3, "GET-FREE-UPDATES"},
               {f.Label2, "NEWSLETTER-INFO"},
               {f.Label1, "ENTER-YOUR-EMAIL"},
               {f.Label11, "FN"},
               {f.Label17, "LN"},
               {f.Command2, "SUBSCRIBE-BUTTON"},
               {f.Command1, "CANCEL-BUTTON"}});
  SetCaptions(context.language, "CIP",
              {{f.Label16, "C1"}, {f.Label4, "C2"}, {f.Check1, "C3"}, {f.Command8, "C4"}});
  f.Text1.SetText(Get(context.settings, settings::kSubscriptionEmail));
  CheckDisplayScale(f);
  BuildLanguagePage(LanguagePage(f), context.language, context.env.program_folder);
  f.Check1.SetValue(Get(context.settings, settings::kCip) == "YES" ? 1 : 0);
}

void ShowSecondPage(SecondForm& f, SecondPage page) {
  f.Picture4.SetVisible(page == SecondPage::kLanguage);
  f.Picture1.SetVisible(page == SecondPage::kNewsletter);
  f.Picture5.SetVisible(false);
  f.Show();
  if (page == SecondPage::kLanguage) f.Command3.SetFocus();
}

void WireSecondForm(SecondForm& f) {
  f.LangArray.OnClick = [&f](int index) {
    LangArray_Click(LanguagePage(f), index, f.svc.context.env.program_folder);
  };
  f.Command3.OnClick = [&f] { Command3_Click(LanguagePage(f), f.svc.context, f.svc.host, f); };
  f.Command2.OnClick = [&f] { Command2_Click(f); };
  f.Command1.OnClick = [&f] { Command1_Click(f); };
  f.Command8.OnClick = [&f] { Command8_Click(f); };
}

}  // namespace nd::online
