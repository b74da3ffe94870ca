// What an installation leaves behind on Windows and how it goes again, and the console side of
// the runner: shell links read back through IShellLink, the removal batch run by cmd.exe, the
// console control events and the terminal test.
#include <gtest/gtest.h>
#include <windows.h>
// The other Windows headers build on the declarations of <windows.h>.
#include <objbase.h>
#include <shlguid.h>
#include <shobjidl.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/console.h"
#include "platform/files.h"
#include "platform/interrupts.h"
#include "platform/os_environment.h"
#include "platform/self_removal.h"
#include "platform/shell_links.h"
#include "platform/windows/win_text.h"
#include "platform/work_files.h"
#include "scratch.h"

namespace nd::platform {
namespace {

struct LinkFacts {
  std::wstring target;
  std::wstring arguments;
  std::wstring folder;
};

// What the shell itself reads from a .lnk file.
bool ReadShellLink(const std::string& path, LinkFacts& facts) {
  if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return false;
  bool ok = false;
  IShellLinkW* link = nullptr;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link))) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Load(win::WidePath(path).c_str(), STGM_READ))) {
    wchar_t text[MAX_PATH * 2] = {};
    ok = SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, 0));
    facts.target = text;
    ok = ok && SUCCEEDED(link->GetArguments(text, MAX_PATH * 2));
    facts.arguments = text;
    ok = ok && SUCCEEDED(link->GetWorkingDirectory(text, MAX_PATH));
    facts.folder = text;
  }
  if (file != nullptr) file->Release();
  if (link != nullptr) link->Release();
  ::CoUninitialize();
  return ok;
}

TEST(ShellLinks, ALinkReadsBackWithTargetArgumentsAndFolderAndReplacesAReadOnlyFile) {
  test::ScratchFolder scratch;
  const std::string program = scratch / "Nulldrift 3\\nulldrift.exe";
  ASSERT_TRUE(MakeDirectories(scratch / "Nulldrift 3"));
  ASSERT_TRUE(WriteWholeFile(program, "MZ"));
  const std::string link = scratch / ("Check for updates" + ShellLinkSuffix());
  // An older file in its place, read-only, is replaced rather than refused.
  ASSERT_TRUE(WriteWholeFile(link, "old"));
  ASSERT_TRUE(SetPermissions(link, 0444));
  ASSERT_TRUE(WriteShellLink(link, {program, "updates", scratch / "Nulldrift 3", "", ""}));
  LinkFacts facts;
  ASSERT_TRUE(ReadShellLink(link, facts));
  EXPECT_EQ(win::Narrow(facts.target), program);
  EXPECT_EQ(win::Narrow(facts.arguments), "updates");
  EXPECT_EQ(win::Narrow(facts.folder), scratch / "Nulldrift 3");
  EXPECT_FALSE(WriteShellLink(scratch / "missing\\x.lnk", {program, "", "", "", ""}));
}

TEST(ShellLinks, MenuFoldersAndFilesAreMadeAndReplaced) {
  test::ScratchFolder scratch;
  const std::string folder = scratch / "Programs\\Nulldrift 3";
  ASSERT_TRUE(MakeMenuFolder(folder));
  EXPECT_TRUE(MakeMenuFolder(folder + "\\"));
  const std::string file = folder + "\\Our site.url";
  ASSERT_TRUE(ReplaceMenuFile(file, "first"));
  ASSERT_TRUE(SetPermissions(file, 0444));
  ASSERT_TRUE(ReplaceMenuFile(file, "second"));
  std::string contents;
  ASSERT_TRUE(ReadFileBytes(file, contents));
  EXPECT_EQ(contents, "second");
  // The Start menu reads the .url itself: nothing else is written beside it.
  EXPECT_TRUE(WriteMenuWebLink(folder, "Our site", "https://example.org"));
  EXPECT_EQ(ListFolderFiles(folder), std::vector<std::string>{"Our site.url"});
}

// Runs the batch file as StartRemovalScript would, but waits for it; false after `limit`.
bool RunScript(const std::string& path, std::chrono::seconds limit) {
  std::wstring command = L"cmd.exe /d /c \"" + win::WidePath(path) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &info)) {
    return false;
  }
  ::CloseHandle(info.hThread);
  const DWORD waited = ::WaitForSingleObject(
      info.hProcess, static_cast<DWORD>(std::chrono::milliseconds(limit).count()));
  if (waited != WAIT_OBJECT_0) ::TerminateProcess(info.hProcess, 1);
  ::CloseHandle(info.hProcess);
  return waited == WAIT_OBJECT_0;
}

// The script's folder goes a moment after the script has ended.
bool GoneWithin(const std::string& path, std::chrono::seconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (PathExists(path)) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return true;
}

struct RemovalRig {
  RemovalRig() {
    plan.product = "Nulldrift 3";
    plan.install_folder = scratch / "Program Files\\Nulldrift 3";
    plan.executable = plan.install_folder + "\\Nulldrift.exe";
    plan.data_folder = scratch / "App Data\\NDRF3";
    plan.desktop_launcher = scratch / "Desktop\\Nulldrift 3.lnk";
    plan.shortcut_folder = scratch / "Programs\\Nulldrift 3";
    plan.script_folder = MakePrivateTempFolder(scratch.path(), "nulldrift-uninstall-");
    plan.process_id = static_cast<int>(::GetCurrentProcessId());
    plan.rounds = 4;
    plan.round_pause = "0.2";
    for (const std::string& folder :
         {plan.install_folder, plan.data_folder, plan.shortcut_folder, scratch / "Desktop"}) {
      MakeDirectories(folder);
    }
    WriteWholeFile(plan.executable, "MZ");
    WriteWholeFile(plan.data_folder + "\\log.txt", "history");
    WriteWholeFile(plan.desktop_launcher, "link");
    WriteWholeFile(plan.shortcut_folder + "\\Nulldrift 3.lnk", "link");
    script = plan.script_folder + "\\" + RemovalScriptName();
  }

  test::ScratchFolder scratch;
  RemovalPlan plan;
  std::string script;
};

TEST(SelfRemoval, TheHiddenBatchRemovesEverythingAndItsOwnFolderLast) {
  RemovalRig rig;
  rig.plan.remove_settings = true;
  ASSERT_FALSE(rig.plan.script_folder.empty());
  EXPECT_EQ(RemovalScriptName(), "Uninstall.bat");
  ASSERT_TRUE(WriteRemovalScript(rig.script, rig.plan));
  const DWORD attributes = ::GetFileAttributesW(win::WidePath(rig.script).c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_HIDDEN, 0u);
  std::string text;
  ASSERT_TRUE(ReadFileBytes(rig.script, text));
  EXPECT_TRUE(text.starts_with("@echo off\r\n")) << text;
  EXPECT_NE(text.find("taskkill /F /IM nulldrift.exe"), std::string::npos) << text;

  ASSERT_TRUE(RunScript(rig.script, std::chrono::seconds(60)));
  EXPECT_TRUE(GoneWithin(rig.plan.script_folder, std::chrono::seconds(20)));
  for (const std::string& gone :
       {rig.plan.executable, rig.plan.install_folder, rig.plan.data_folder,
        rig.plan.desktop_launcher, rig.plan.shortcut_folder}) {
    EXPECT_FALSE(PathExists(gone)) << gone;
  }
}

TEST(SelfRemoval, KeptSettingsStayAndAnUndeletableExecutableEndsTheLoopAfterItsRounds) {
  RemovalRig rig;
  rig.plan.remove_settings = false;
  ASSERT_TRUE(WriteRemovalScript(rig.script, rig.plan));
  // Held open without sharing deletion: the script can never delete it.
  win::Handle held(::CreateFileW(win::WidePath(rig.plan.executable).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(RunScript(rig.script, std::chrono::seconds(60)));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_TRUE(PathExists(rig.plan.executable));
  EXPECT_TRUE(PathExists(rig.plan.data_folder + "\\log.txt"));
  EXPECT_FALSE(PathExists(rig.plan.desktop_launcher));
  EXPECT_FALSE(PathExists(rig.plan.shortcut_folder));
  EXPECT_TRUE(GoneWithin(rig.plan.script_folder, std::chrono::seconds(20)));
}

TEST(Console, StopRequestsAreCountedAndAFileIsNoTerminal) {
  InterruptWatch watch;
  EXPECT_EQ(watch.TakeRequests(), 0);
  // A console of our own, so that the event reaches this process and no other.
  ::FreeConsole();
  if (!::AllocConsole() || !::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
    GTEST_SKIP() << "no console to send Ctrl-C to";
  }
  int seen = 0;
  for (int i = 0; i < 200 && seen == 0; ++i) {
    seen = watch.TakeRequests();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(seen, 1);
  EXPECT_EQ(watch.TakeRequests(), 0);

  test::ScratchFolder scratch;
  std::FILE* file = std::fopen((scratch / "log.txt").c_str(), "w");
  ASSERT_NE(file, nullptr);
  EXPECT_FALSE(IsTerminal(file));
  std::fclose(file);
  EXPECT_FALSE(IsTerminal(nullptr));
}

}  // namespace
}  // namespace nd::platform
