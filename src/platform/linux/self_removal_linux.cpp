// The removal script for /bin/sh: it waits for the program and its copies to end (asking, then
// forcing them), removes the executable, then the folders, then itself.
#include "platform/files.h"
#include "platform/process.h"
#include "platform/self_removal.h"

namespace nd::platform {
namespace {

constexpr unsigned kScriptMode = 0700;

// `text` as one single-quoted shell word.
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

// One removal line, or nothing for an unknown path: "rm -rf ''" is harmless, but a script
// that names what it removes is easier to check.
std::string RemoveLine(const char* command, const std::string& path) {
  return path.empty() ? std::string() : std::string(command) + " -- " + ShellQuote(path) + "\n";
}

}  // namespace

std::string RemovalScriptName() { return "uninstall.sh"; }

std::string RemovalScript(const RemovalPlan& plan) {
  std::string s = "#!/bin/sh\n";
  s += "# Removes " + plan.product + " once the program that wrote this script has ended.\n";
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

bool WriteRemovalScript(const std::string& path, const RemovalPlan& plan) {
  return WriteWholeFile(path, RemovalScript(plan)) && SetPermissions(path, kScriptMode);
}

bool StartRemovalScript(const std::string& script_path) {
  return Spawn("/bin/sh", {script_path}, {.detached = true});
}

}  // namespace nd::platform
