#include "shell/uninstaller.h"

#include "localisation/text_lookup.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "shell/shortcuts.h"
#include "system/environment.h"

namespace nd::shell {
namespace {

constexpr unsigned kScriptMode = 0700;

std::string Uninstall(const Context& context, const char* key) {
  return LookupText(context.language, "UNINSTALL", key);
}

// One removal line, or nothing for an unknown path: "rm -rf ''" is harmless, but a script
// that names what it removes is easier to check.
std::string RemoveLine(const char* command, const std::string& path) {
  return path.empty() ? std::string() : std::string(command) + " -- " + ShellQuote(path) + "\n";
}

}  // namespace

UninstallPlan PlanUninstall(const Environment& env, int process_id) {
  UninstallPlan plan;
  plan.install_folder = InstallFolder(env);
  if (!plan.install_folder.empty() && !env.executable_name.empty()) {
    // /proc/<pid>/exe shows the canonical path; the comparison must see the same form.
    plan.executable = LongPathOf(platform::JoinPath(plan.install_folder, env.executable_name));
  }
  plan.data_folder = env.data_folder;
  plan.desktop_launcher = DesktopLauncherPath(env);
  plan.shortcut_folder = ShortcutFolder(env);
  plan.process_id = process_id;
  return plan;
}

std::string ShellQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

std::string UninstallScript(const UninstallPlan& plan) {
  std::string s = "#!/bin/sh\n";
  s += "# Removes " + ProductFolderName() + " once the program that wrote this script has ended.\n";
  if (!plan.executable.empty()) {
    // This process is given half the rounds to end by itself. Copies of the program still
    // running from the executable are asked to end, and killed when they are still there a round
    // later; the file goes only once none is left, so each copy can still be recognised by it.
    // "-ef" (same file) is a cheap built-in test; the path that /proc shows must then be exactly
    // the executable's, whatever the process calls itself. The loop ends once the file is gone,
    // or after its rounds.
    s += "exe=" + ShellQuote(plan.executable) + "\n";
    s += "me=" + std::to_string(plan.process_id) + "\n";
    s += "rounds=" + std::to_string(plan.rounds) + "\n";
    s += "round=0\nseen=\n";
    s += "while [ \"$round\" -lt \"$rounds\" ]; do\n";
    s += "  round=$((round + 1))\n";
    s += "  if [ \"$round\" -gt $((rounds / 2)) ] || ! kill -0 \"$me\" 2>/dev/null; then\n";
    s += "    found=\n";
    s += "    for link in /proc/[0-9]*/exe; do\n";
    s += "      [ \"$link\" -ef \"$exe\" ] || continue\n";
    s += "      [ \"$(readlink \"$link\" 2>/dev/null)\" = \"$exe\" ] || continue\n";
    s += "      pid=${link#/proc/}\n";
    s += "      pid=${pid%/exe}\n";
    s += "      found=1\n";
    s += "      case \" $seen \" in\n";
    s += "        *\" $pid \"*) kill -s KILL \"$pid\" 2>/dev/null ;;\n";
    s += "        *) kill -s TERM \"$pid\" 2>/dev/null; seen=\"$seen $pid\" ;;\n";
    s += "      esac\n";
    s += "    done\n";
    s += "    if [ -z \"$found\" ]; then\n";
    s += "      rm -f -- \"$exe\"\n";
    s += "      if [ ! -e \"$exe\" ]; then break; fi\n";
    s += "    fi\n";
    s += "  fi\n";
    s += "  sleep " + plan.round_pause + "\n";
    s += "done\n";
  }
  if (plan.remove_settings) s += RemoveLine("rm -rf", plan.data_folder);
  s += RemoveLine("rm -f", plan.desktop_launcher);
  s += RemoveLine("rm -rf", plan.shortcut_folder);
  s += RemoveLine("rm -rf", plan.install_folder);
  s += RemoveLine("rm -rf", plan.script_folder);
  return s;
}

bool LaunchScriptDetached(const std::string& script_path) {
  return platform::Spawn("/bin/sh", {script_path}, {.detached = true});
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
  if (!keep_settings) {
    // The KX file is the install stamp and outlives the program on purpose.
    const std::string settings_file = context.settings.FileOf(kAppNdrf);
    if (!settings_file.empty()) platform::RemoveFile(settings_file);
  }

  UnregisterProgram(context);

  UninstallPlan plan = PlanUninstall(context.env, platform::ProcessId());
  plan.remove_settings = !keep_settings;
  // A fixed name in a shared folder could be planted beforehand and run with our rights.
  plan.script_folder =
      platform::MakePrivateTempFolder(context.env.temp_folder, "nulldrift-uninstall-");
  std::string script_path;
  if (!plan.script_folder.empty()) {
    const std::string path = platform::JoinPath(plan.script_folder, "uninstall.sh");
    if (platform::WriteWholeFile(path, UninstallScript(plan)) &&
        platform::SetPermissions(path, kScriptMode)) {
      script_path = path;
    }
  }

  host.MsgBox(MsgBoxIcon::kInformation,
              std::string(kProductName) + " " + Uninstall(context, "REMOVED"), MsgBoxButtons::kOk,
              kProductName);
  if (services.open_uninstall_page) services.open_uninstall_page();
  if (!script_path.empty() && services.launch_script) services.launch_script(script_path);
}

}  // namespace nd::shell
