#include "wizard/option_pages.h"

#include <string>

#include "system/scramble.h"
#include "system/settings_keys.h"

namespace nd::wizard {
void Option_Click(Start& w, int n) {
  if (n < 1 || n > 10 || !w.OptionNumber(n).Value()) return;
  SettingsStore& store = w.svc.context.settings;
  switch (n) {
    case 6:
      Save(store, settings::kSecurityWay, "");
      break;
    case 7:
      Save(store, settings::kSecurityWay, "7");
      break;
    case 8:
      Save(store, settings::kNtfsMode, "");
      break;
    case 9:
      Save(store, settings::kNtfsMode, "2");
      break;
    case 10:
      Save(store, settings::kNtfsMode, "3");
      break;
    default:
      Save(store, settings::kSecurityMethod,
           ScrambleText(std::to_string(n), settings::kMethodScrambleKey, w.svc.random));
      break;
  }
}

void Check3_Click(Start& w) {
  Save(w.svc.context.settings, settings::kPlaySound, w.Check3.Value() != 0 ? "" : "NO");
}

void Check4_Click(Start& w) {
  Save(w.svc.context.settings, settings::kEmptyBin, w.Check4.Value() != 0 ? "YES" : "");
}

void Check5_Click(Start& w) {
  Save(w.svc.context.settings, settings::kPreventStandBy, w.Check5.Value() != 0 ? "" : "NO");
}

void RestoreModeAndWay(Start& w) {
  const SettingsStore& store = w.svc.context.settings;
  const std::string mode = Get(store, settings::kNtfsMode);
  if (mode.empty()) w.Option8.SetValue(true);
  if (mode == "2") w.Option9.SetValue(true);
  if (mode == "3") w.Option10.SetValue(true);
  const std::string way = Get(store, settings::kSecurityWay);
  if (way.empty()) w.Option6.SetValue(true);
  if (way == "7") w.Option7.SetValue(true);
}

void RestoreMethod(Start& w) {
  w.Option2.SetValue(true);
  std::string digit = UnscrambleText(Get(w.svc.context.settings, settings::kSecurityMethod),
                                     settings::kMethodScrambleKey);
  if (digit.size() == 1 && digit[0] >= '1' && digit[0] <= '5') {
    w.OptionNumber(digit[0] - '0').SetValue(true);
  }
}

void RestoreChecks(Start& w) {
  const SettingsStore& store = w.svc.context.settings;
  if (Get(store, settings::kEmptyBin) == "YES") w.Check4.SetValue(1);
  w.Check3.SetValue(Get(store, settings::kPlaySound).empty() ? 1 : 0);
  w.Check5.SetValue(Get(store, settings::kPreventStandBy).empty() ? 1 : 0);
  if (w.svc.power_hook == nullptr) {
    w.Check5.SetValue(0);
    w.Check5.SetEnabled(false);
  }
}

}  // namespace nd::wizard
