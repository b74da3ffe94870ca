#include "shell/uninstaller.h"

#include "localisation/text_lookup.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/self_removal.h"
#include "shell/shortcuts.h"
#include "system/environment_probe.h"

namespace nd::shell {
namespace {

std::string Uninstall(const Context& context, const char* key) {
  return LookupText(context.language, "UNINSTALL", key);
}

}  // namespace

platform::RemovalPlan PlanUninstall(const Environment& env, int process_id) {
  platform::RemovalPlan plan;
  plan.install_folder = InstallFolder(env);
  if (!plan.install_folder.empty() && !env.executable_name.empty()) {
    // The removal script knows running copies by their canonical path: it must see that form.
    plan.executable = LongPathOf(platform::JoinPath(plan.install_folder, env.executable_name));
  }
  plan.product = ProductFolderName();
  plan.data_folder = env.data_folder;
  plan.desktop_launcher = DesktopLauncherPath(env);
  plan.shortcut_folder = ShortcutFolder(env);
  plan.process_id = process_id;
  return plan;
}

void RunUninstaller(Context& context, ui::Host& host, const UninstallServices& services) {
  using ui::MsgBoxButtons;
  using ui::MsgBoxIcon;
  using ui::MsgBoxResult;
  if (host.MsgBox(MsgBoxIcon::kExclamation,
                  Uninstall(context, "R-U-SURE") + "\n\n" + std::string(kProductName),
                  MsgBoxButtons::kYesNo, kProductName) != MsgBoxResult::kYes) {
    return;
  }
  const bool keep_settings =
      host.MsgBox(MsgBoxIcon::kInformation, Uninstall(context, "WHAT-ABOUT-SETTINGS"),
                  MsgBoxButtons::kYesNo, kProductName) == MsgBoxResult::kYes;
  // A fixed name in a shared folder could be planted beforehand and run with our rights.
  const std::string script_folder =
      platform::MakePrivateTempFolder(context.env.temp_folder, "nulldrift-uninstall-");
  // The registration and the settings go first, while the program still runs.
  const std::string registry_script = UnregisterProgram(context, !keep_settings, script_folder);

  platform::RemovalPlan plan = PlanUninstall(context.env, platform::ProcessId());
  plan.remove_settings = !keep_settings;
  plan.script_folder = script_folder;
  std::string script_path;
  if (!plan.script_folder.empty()) {
    const std::string path = platform::JoinPath(plan.script_folder, platform::RemovalScriptName());
    if (platform::WriteRemovalScript(path, plan)) script_path = path;
  }

  host.MsgBox(MsgBoxIcon::kInformation,
              std::string(kProductName) + " " + Uninstall(context, "REMOVED"), MsgBoxButtons::kOk,
              kProductName);
  if (services.open_uninstall_page) services.open_uninstall_page();
  if (!registry_script.empty()) platform::RemoveFile(registry_script);
  if (!script_path.empty() && services.launch_script) services.launch_script(script_path);
}

}  // namespace nd::shell
