// The shortcut set and the uninstall entry, written into scratch copies of the desktop, menu and
// install folders.
#include "shell/shortcuts.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "engine_test_support.h"
#include "platform/registry_backend.h"
#include "platform/shell_links.h"

namespace nd::test {
namespace {

namespace fs = std::filesystem;

struct ShortcutRig {
  ShortcutRig() : context(ScratchContext(scratch)) {
    Environment& env = context.env;
    UseScratchInstallFolders(env, scratch);
    env.program_folder = scratch / "my program";
    context.language = {"English", scratch / "Languages", 0};
    WriteFile(scratch / "Languages/English.ini",
              "[SHORTCUTS]\r\nTOSITE=Our site\r\nCHECK-UPD=Check for updates\r\n");
    WriteFile(scratch / "Languages/Other.ini",
              "[SHORTCUTS]\r\nTOSITE=Web/site\r\nCHECK-UPD=Updates\r\n");
  }

  std::string Menu(const std::string& name) const {
    return context.env.common_programs_folder + "/Nulldrift 3/" + name;
  }

  ScratchFolder scratch;
  Context context;
};

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

#ifdef _WIN32
// A file in the shell link format: its header size and the shell link class id.
bool IsShellLink(const std::string& path) {
  static const std::string kHeader("\x4c\0\0\0\x01\x14\x02\0\0\0\0\0\xc0\0\0\0\0\0\0\x46", 20);
  return ReadFile(path).substr(0, kHeader.size()) == kHeader;
}

TEST(ShortcutSet, WritesTheShellLinksAndTheInternetShortcut) {
  ShortcutRig rig;
  shell::CreateShortcutSet(rig.context, "https://example.org/nulldrift?from=menu");

  EXPECT_TRUE(IsShellLink(rig.scratch / "Desktop\\Nulldrift 3.lnk"));
  EXPECT_TRUE(IsShellLink(rig.Menu("Nulldrift 3.lnk")));
  EXPECT_TRUE(IsShellLink(rig.Menu("Check for updates.lnk")));
  EXPECT_EQ(ReadFile(rig.Menu("Our site.url")),
            "[InternetShortcut]\r\nURL=https://example.org/nulldrift?from=menu\r\n"
            "IconIndex=\r\nIconFile=\r\n");
  EXPECT_EQ(Entries(rig.context.env.common_programs_folder + "/Nulldrift 3"),
            (std::vector<std::string>{"Check for updates.lnk", "Nulldrift 3.lnk", "Our site.url"}));
}

TEST(ShortcutSet, ReinstallLeavesOnlyTheNewLanguagesNamesAndKeepsSubFolders) {
  ShortcutRig rig;
  shell::CreateShortcutSet(rig.context, "https://example.org");
  WriteFile(rig.Menu("notes.txt"), "the user's");
  WriteFile(rig.Menu("kept/inner.txt"), "in a sub-folder");

  rig.context.language.current_language = "Other";
  shell::CreateShortcutSet(rig.context, "https://example.org");

  EXPECT_EQ(Entries(rig.context.env.common_programs_folder + "/Nulldrift 3"),
            (std::vector<std::string>{"Nulldrift 3.lnk", "Updates.lnk", "Web-site.url", "kept"}));
  EXPECT_EQ(ReadFile(rig.Menu("kept/inner.txt")), "in a sub-folder");
}

TEST(ShortcutSet, ArgumentsAreQuotedForTheCommandLine) {
  using platform::QuoteShellLinkArgument;
  EXPECT_EQ(QuoteShellLinkArgument("updates"), "updates");
  EXPECT_EQ(QuoteShellLinkArgument("C:\\Program Files\\x"), "\"C:\\Program Files\\x\"");
  EXPECT_EQ(QuoteShellLinkArgument(""), "\"\"");
  EXPECT_EQ(QuoteShellLinkArgument("say \"hi\"\\"), "\"say \\\"hi\\\"\\\\\"");
  ScratchFolder scratch;
  EXPECT_FALSE(
      shell::CreateShellLink(scratch / "missing\\Odd.lnk", "C:\\x.exe", "", "C:\\", "", ""));
}

// The entry in the list of installed programs is a key below HKEY_LOCAL_MACHINE.
TEST(ShortcutSet, RegistrationOnlyForAnInstalledExecutable) {
  ShortcutRig rig;
  const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Nulldrift 3\\";
  EXPECT_EQ(shell::RegistrationPath(rig.context.env),
            "HKEY_LOCAL_MACHINE\\" + key.substr(0, key.size() - 1));
  platform::RegistryBackend& registry = platform::SystemRegistry();
  const auto root = platform::RegistryRoot::kLocalMachine;
  EXPECT_FALSE(shell::RegisterProgram(rig.context));
  EXPECT_FALSE(registry.Query(root, key, "DisplayName"));

  const std::string install = rig.scratch / "opt\\Nulldrift 3";
  WriteFile(install + "\\nulldrift", "program");
  ASSERT_TRUE(shell::RegisterProgram(rig.context));
  auto name = registry.Query(root, key, "DisplayName");
  ASSERT_TRUE(name);
  EXPECT_EQ(name->data, std::string("Nulldrift 3.00", 15));
  auto command = registry.Query(root, key, "UninstallString");
  ASSERT_TRUE(command);
  EXPECT_TRUE(command->data.ends_with(std::string(" uninstall", 11))) << command->data;
  // Without a folder for the registry script the key is deleted directly.
  EXPECT_EQ(shell::UnregisterProgram(rig.context, false, ""), "");
  EXPECT_FALSE(registry.Query(root, key, "DisplayName"));
}

// The uninstaller's registry script, applied by regedit: the uninstall entry always, the
// settings only when they are to go, the install stamp never.
TEST(ShortcutSet, UnregisteringRunsARegistryScriptThroughRegedit) {
  const std::string entry =
      "[-HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Nulldrift "
      "3]\r\n";
  for (const bool remove_settings : {false, true}) {
    SCOPED_TRACE(remove_settings ? "settings removed" : "settings kept");
    ShortcutRig rig;
    rig.context.settings = SettingsStore::InRegistry();
    WriteFile(rig.scratch / "opt\\Nulldrift 3\\nulldrift", "program");
    ASSERT_TRUE(shell::RegisterProgram(rig.context));
    ASSERT_TRUE(rig.context.settings.Save(kAppNdrf, "Settings", "Language", "English"));
    ASSERT_TRUE(rig.context.settings.Save(kAppKx, "NDRF", "Reload-Year", "2026"));
    fs::create_directories(rig.scratch / "script");

    const std::string script =
        shell::UnregisterProgram(rig.context, remove_settings, rig.scratch / "script");
    EXPECT_EQ(script, rig.scratch / "script\\uninstall.reg");
    EXPECT_EQ(
        ReadFile(script),
        "REGEDIT4\r\n" +
            std::string(remove_settings ? "[-HKEY_CURRENT_USER\\Software\\Nulldrift\\NDRF]\r\n"
                                        : "") +
            entry);
    // regedit is not waited for beyond its start.
    platform::RegistryBackend& registry = platform::SystemRegistry();
    const std::string key =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Nulldrift 3\\";
    for (int i = 0;
         i < 100 && registry.Query(platform::RegistryRoot::kLocalMachine, key, "DisplayName");
         ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_FALSE(registry.Query(platform::RegistryRoot::kLocalMachine, key, "DisplayName"));
    EXPECT_EQ(rig.context.settings.Get(kAppNdrf, "Settings", "Language"),
              remove_settings ? "" : "English");
    EXPECT_EQ(rig.context.settings.Get(kAppKx, "NDRF", "Reload-Year"), "2026");
  }
}
#else
bool Executable(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IXUSR) != 0;
}

TEST(ShortcutSet, WritesTheLaunchersTheSiteLinkAndTheUpdateCheck) {
  ShortcutRig rig;
  const std::string program_folder = rig.scratch / "my program";
  shell::CreateShortcutSet(rig.context, "https://example.org/nulldrift?from=menu");

  const std::string launcher = "[Desktop Entry]\nType=Application\nName=Nulldrift 3\nExec=\"" +
                               program_folder + "/nulldrift\"\nPath=" + program_folder +
                               "\nTerminal=false\n";
  const std::string desktop = rig.scratch / "Desktop/Nulldrift 3.desktop";
  EXPECT_EQ(ReadFile(desktop), launcher);
  EXPECT_TRUE(Executable(desktop));
  EXPECT_EQ(ReadFile(rig.Menu("Nulldrift 3.desktop")), launcher);

  const std::string update = ReadFile(rig.Menu("Check for updates.desktop"));
  EXPECT_NE(update.find("\nName=Check for updates\n"), std::string::npos) << update;
  EXPECT_NE(update.find("\nExec=\"" + program_folder + "/nulldrift\" updates\n"), std::string::npos)
      << update;

  EXPECT_EQ(ReadFile(rig.Menu("Our site.url")),
            "[InternetShortcut]\r\nURL=https://example.org/nulldrift?from=menu\r\n"
            "IconIndex=\r\nIconFile=\r\n");
  EXPECT_EQ(ReadFile(rig.Menu("Our site.desktop")),
            "[Desktop Entry]\nType=Link\nName=Our site\n"
            "URL=https://example.org/nulldrift?from=menu\n");
}

TEST(ShortcutSet, ReinstallLeavesOnlyTheNewLanguagesNamesAndKeepsSubFolders) {
  ShortcutRig rig;
  shell::CreateShortcutSet(rig.context, "https://example.org");
  WriteFile(rig.Menu("notes.txt"), "the user's");
  WriteFile(rig.Menu("kept/inner.txt"), "in a sub-folder");

  rig.context.language.current_language = "Other";
  shell::CreateShortcutSet(rig.context, "https://example.org");

  EXPECT_EQ(Entries(rig.context.env.common_programs_folder + "/Nulldrift 3"),
            (std::vector<std::string>{"Nulldrift 3.desktop", "Updates.desktop", "Web-site.desktop",
                                      "Web-site.url", "kept"}));
  EXPECT_EQ(ReadFile(rig.Menu("kept/inner.txt")), "in a sub-folder");
}

TEST(ShortcutSet, ExecQuotingFollowsTheDesktopEntryRules) {
  EXPECT_EQ(platform::QuoteShellLinkArgument("/opt/bin/nulldrift"), "/opt/bin/nulldrift");
  EXPECT_EQ(platform::QuoteShellLinkArgument("/opt/Nulldrift 3/nulldrift"),
            "\"/opt/Nulldrift 3/nulldrift\"");
  EXPECT_EQ(platform::QuoteShellLinkArgument("/a$b/\"c\"/`d`/e\\f"),
            "\"/a\\$b/\\\"c\\\"/\\`d\\`/e\\\\f\"");
  EXPECT_EQ(platform::QuoteShellLinkArgument("/it's"), "\"/it's\"");
  EXPECT_EQ(platform::QuoteShellLinkArgument("/100%/x"), "/100%%/x");
  EXPECT_EQ(platform::QuoteShellLinkArgument(""), "\"\"");

  // The file's own escapes come on top: a backslash in a quoted argument is written four times.
  ScratchFolder scratch;
  const std::string link = scratch / "Odd.desktop";
  ASSERT_TRUE(shell::CreateShellLink(link, "/x y\\z", "Cleans free space", "/w", "", "/i.png"));
  EXPECT_EQ(ReadFile(link),
            "[Desktop Entry]\nType=Application\nName=Odd\nExec=\"/x y\\\\\\\\z\"\nPath=/w\n"
            "Comment=Cleans free space\nIcon=/i.png\nTerminal=false\n");
  EXPECT_FALSE(shell::CreateShellLink(scratch / "missing/Odd.desktop", "/x", "", "/", "", ""));
}

TEST(ShortcutSet, RegistrationOnlyForAnInstalledExecutable) {
  ShortcutRig rig;
  const std::string entry = shell::RegistrationPath(rig.context.env);
  EXPECT_EQ(entry, rig.Menu("Nulldrift 3 uninstall.desktop"));
  EXPECT_FALSE(shell::RegisterProgram(rig.context));
  EXPECT_FALSE(fs::exists(entry));

  const std::string install = rig.scratch / "opt/Nulldrift 3";
  WriteFile(install + "/nulldrift", "program");
  ASSERT_TRUE(shell::RegisterProgram(rig.context));
  EXPECT_EQ(ReadFile(entry), "[Desktop Entry]\nType=Application\nName=Nulldrift 3.00\nExec=\"" +
                                 install + "/nulldrift\" uninstall\nPath=" + install +
                                 "\nTerminal=false\n");
  EXPECT_EQ(shell::UnregisterProgram(rig.context, true, rig.scratch / "script"), "");
  EXPECT_FALSE(fs::exists(entry));
}

#endif  // _WIN32

}  // namespace
}  // namespace nd::test
