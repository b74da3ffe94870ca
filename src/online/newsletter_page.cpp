#include "online/newsletter_page.h"

#include "online/server.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "system/environment_probe.h"
#include "system/settings_keys.h"

namespace nd::online {
namespace {

constexpr size_t kAnswerLength = 1000;
constexpr int kAfterRequestMs = 500;

std::string Text(const SecondForm& f, std::string_view key) {
  return LookupText(f.svc.context.language, "SUBSCRIBER", key);
}

void Tell(SecondForm& f, ui::MsgBoxIcon icon, std::string_view key) {
  f.svc.host.MsgBox(icon, Text(f, key), ui::MsgBoxButtons::kOk, kProductName);
}

void GoToQualityPage(SecondForm& f) {
  f.Picture1.SetVisible(false);
  f.Picture5.SetVisible(true);
}

// The answer's first line; the file goes straight away.
std::string TakeFirstLine(const std::string& path) {
  std::string contents;
  if (!FileExists(path)) return {};
  platform::ReadFileBytes(path, contents);
  platform::RemoveFile(path);
  return contents.substr(0, contents.find_first_of("\r\n"));
}

}  // namespace

std::string SignUpInputProblem(std::string_view email, std::string_view first_name,
                               std::string_view last_name) {
  std::string problem;
  if (first_name.size() < 2) problem = "INVALID-NAME";
  if (last_name.size() < 2) problem = "INVALID-NAME";
  if (email.size() < 7) problem = "SHORT-EMAIL";
  if (email.find('.') == std::string_view::npos) problem = "INVALID-EMAIL";
  if (email.find('@') == std::string_view::npos) problem = "INVALID-EMAIL";
  if (email.find(' ') != std::string_view::npos) problem = "INVALID-EMAIL";
  if (email.find('&') != std::string_view::npos) problem = "INVALID-EMAIL";
  return problem;
}

std::string AnswerFilePath(const Environment& env) {
  return platform::JoinPath(env.app_data_folder, "ortave-2.2.txt");
}

void Command2_Click(SecondForm& f) {
  Context& context = f.svc.context;
  ui::Host& host = f.svc.host;
  const std::string problem = SignUpInputProblem(f.Text1.Text(), f.FN.Text(), f.LN.Text());
  if (!problem.empty()) {
    Tell(f, ui::MsgBoxIcon::kExclamation, problem);
    return;
  }
  // Remembered even when the request fails, so the user need not type it again.
  Save(context.settings, settings::kSubscriptionEmail, f.Text1.Text());

  f.Command2.SetEnabled(false);
  host.SetBusy(true);
  const std::string answer_file = AnswerFilePath(context.env);
  const std::string request =
      NewsletterAddress(ServerBase(), FactsOf(context), f.Text1.Text(), f.FN.Text(), f.LN.Text());
  const bool answered = f.svc.download && f.svc.download(request, answer_file, kAnswerLength);
  const std::string line = TakeFirstLine(answer_file);
  host.Sleep(kAfterRequestMs);
  host.SetBusy(false);

  if (!answered) {
    Tell(f, ui::MsgBoxIcon::kExclamation, "WRONG-SERVER-RESPONSE");
    f.Command2.SetEnabled(true);
    return;
  }
  // Each marker is looked for on its own: a line may carry more than one.
  if (line.find("[OKAY]") != std::string::npos) {
    Tell(f, ui::MsgBoxIcon::kInformation, "OK-SERVER-RESPONSE");
  }
  if (line.find("[ERROR]") != std::string::npos) {
    Tell(f, ui::MsgBoxIcon::kInformation, "WRONG-SERVER-RESPONSE");
    f.Command2.SetEnabled(true);
    return;
  }
  if (line.find("[ALREADY-SUBSCRIBED]") != std::string::npos) {
    Tell(f, ui::MsgBoxIcon::kInformation, "ALREADY-SERVER-RESPONSE");
  }
  GoToQualityPage(f);
}

void Command1_Click(SecondForm& f) { GoToQualityPage(f); }

}  // namespace nd::online
