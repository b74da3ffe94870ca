#include "wizard/review_page.h"

#include "localisation/text_lookup.h"
#include "wizard/disk_list.h"

namespace nd::wizard {

void BuildReviewPage(Start& w) {
  const LanguageState& language = w.svc.context.language;
  w.Label18.SetCaption(SelectedDiskLetters(w));
  w.Label40.SetCaption(LookupText(language, "INTERFACE", w.Check4.Value() != 0 ? "YES" : "NO"));
  // With neither way selected (a stored way the program does not know) the job runs way 1, so
  // the page says so rather than keeping the texts of an earlier review.
  const bool way2 = w.Option7.Value();
  w.Label19.SetCaption(way2 ? w.Option7.Caption() : w.Option6.Caption());
  if (way2) {
    for (const ui::OptionButton* method : w.working_page.Method) {
      if (method->Value()) w.Label20.SetCaption(method->Caption());
    }
  } else {
    w.Label20.SetCaption(LookupText(language, "INTERFACE", "NO"));
  }
  for (const ui::OptionButton* mode : {&w.Option8, &w.Option9, &w.Option10}) {
    if (mode->Value())
      w.Label19.SetCaption(w.Label19.Caption() + kFatNtfsSeparator + mode->Caption());
  }
}

}  // namespace nd::wizard
