// The window tests' eyes inside Wine: finds the windows of one desktop by title, says where they
// and their controls are on the screen, types into them and starts programs on that desktop.
// The clicks come from the X side (xdotool on the desktop's window): a click made with
// SendInput inside Wine's desktop may wait in the queue until the next input comes. Each run
// does one thing and says it on standard output in UTF-8, one line per window or control, so
// that a shell script can drive a whole wizard.
//
//   window_probe DESKTOP wait WINDOW [SECONDS]   "window X Y W H client X Y W H TITLE"
//   window_probe DESKTOP gone WINDOW [SECONDS]   status 0 once no such window is visible
//   window_probe DESKTOP controls WINDOW         "CLASS ID X Y W H TEXT" per visible control,
//                                                X and Y from the client area's top left
//   window_probe DESKTOP type WINDOW TEXT        TEXT typed into the control that has the focus
//   window_probe DESKTOP close WINDOW            what the close box sends (WM_CLOSE)
//   window_probe DESKTOP run PROGRAM [ARGS...]   starts PROGRAM there and ends with its status
//   window_probe DESKTOP list                    "PROCESS CLASS VISIBLE TITLE" per top-level window
//   window_probe DESKTOP hold                    stays until killed; run there, it keeps the
//                                                desktop open between the programs under test
//
// WINDOW is a title, "*" at its end matching any rest, optionally after a window class and "/"
// ("#32770/Nulldrift" is a message box titled Nulldrift). Status 1 means the window never came.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string Utf8(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
  return out;
}

// Asked of the window itself: for another process's edit box GetWindowText gives only the text
// it was made with, not what has been typed since.
std::wstring TextOf(HWND window) {
  wchar_t buffer[1024] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer),
                           SMTO_ABORTIFHUNG, 1000, &copied)) {
    GetWindowTextW(window, buffer, 1024);
  }
  return buffer;
}

std::wstring ClassOf(HWND window) {
  wchar_t buffer[256] = {};
  GetClassNameW(window, buffer, 256);
  return buffer;
}

// "[CLASS/]TITLE[*]"
struct WindowPattern {
  std::wstring window_class;
  std::wstring title;
  bool prefix = false;

  explicit WindowPattern(const std::wstring& pattern) {
    size_t slash = pattern.find(L'/');
    title = slash == std::wstring::npos ? pattern : pattern.substr(slash + 1);
    if (slash != std::wstring::npos) window_class = pattern.substr(0, slash);
    if (!title.empty() && title.back() == L'*') {
      prefix = true;
      title.pop_back();
    }
  }

  bool Matches(HWND window) const {
    if (!IsWindowVisible(window)) return false;
    if (!window_class.empty() && ClassOf(window) != window_class) return false;
    std::wstring text = TextOf(window);
    return prefix ? text.compare(0, title.size(), title) == 0 : text == title;
  }
};

struct Search {
  const WindowPattern* pattern;
  HWND found;
};

// The topmost match: a message box is found before the window that owns it.
HWND FindTopLevel(const WindowPattern& pattern) {
  Search search{&pattern, nullptr};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        if (!s->pattern->Matches(window)) return TRUE;
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitFor(const WindowPattern& pattern, double seconds) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(int(seconds * 1000));
  for (;;) {
    if (HWND window = FindTopLevel(pattern)) return window;
    if (std::chrono::steady_clock::now() >= end) return nullptr;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

POINT ClientOrigin(HWND window) {
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  return origin;
}

void PrintPlace(HWND window) {
  RECT outer{}, client{};
  GetWindowRect(window, &outer);
  GetClientRect(window, &client);
  POINT origin = ClientOrigin(window);
  std::printf("window %ld %ld %ld %ld client %ld %ld %ld %ld %s\n", outer.left, outer.top,
              outer.right - outer.left, outer.bottom - outer.top, origin.x, origin.y, client.right,
              client.bottom, Utf8(TextOf(window)).c_str());
}

struct Control {
  HWND window;
  std::wstring window_class;
  int id;
  RECT place;  // in the top-level window's client coordinates
  std::wstring text;
};

std::vector<Control> VisibleControls(HWND top) {
  struct Walk {
    HWND top;
    std::vector<Control> controls;
  } walk{top, {}};
  EnumChildWindows(
      top,
      [](HWND child, LPARAM data) -> BOOL {
        auto* w = reinterpret_cast<Walk*>(data);
        // A control counts only when it and every parent up to the window are shown.
        if (!IsWindowVisible(child)) return TRUE;
        RECT place{};
        GetWindowRect(child, &place);
        MapWindowPoints(HWND_DESKTOP, w->top, reinterpret_cast<POINT*>(&place), 2);
        w->controls.push_back({child, ClassOf(child), GetDlgCtrlID(child), place, TextOf(child)});
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&walk));
  return walk.controls;
}

// Waits until the window's thread takes messages again: what a click started (a page that
// builds its disk list, a message box) has then got as far as the user could see it. The
// click's input is queued behind messages sent to the window, so it is given a moment first.
void Settle(HWND window) {
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &ignored);
}

// Characters as the keyboard would give them, into whatever has the focus.
void TypeText(const std::wstring& text) {
  for (wchar_t c : text) {
    INPUT keys[2] = {};
    for (INPUT& key : keys) {
      key.type = INPUT_KEYBOARD;
      key.ki.wScan = c;
      key.ki.dwFlags = KEYEVENTF_UNICODE;
    }
    keys[1].ki.dwFlags |= KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

int Run(int argc, wchar_t** argv, const std::wstring& desktop) {
  std::wstring command;
  for (int i = 0; i < argc; ++i) {
    if (i) command += L' ';
    // Quoted for CommandLineToArgv, unless the caller wants the text passed as it is.
    std::wstring arg = argv[i];
    bool plain = !arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos;
    command += plain ? arg : L"\"" + arg + L"\"";
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.lpDesktop = const_cast<wchar_t*>(desktop.c_str());
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    std::fprintf(stderr, "window_probe: cannot start %s (error %lu)\n", Utf8(command).c_str(),
                 GetLastError());
    return 127;
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 1;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hProcess);
  return static_cast<int>(status);
}

int Usage() {
  std::fprintf(stderr,
               "usage: window_probe DESKTOP wait|gone|controls|list|type|close|run|hold ...\n");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Lines end in "\n" alone, as the shell reading them expects.
  _setmode(_fileno(stdout), _O_BINARY);
  if (argc < 3) return Usage();
  std::wstring desktop = argv[1];
  std::wstring command = argv[2];
  // Everything below sees only the windows of the tests' own desktop, which its explorer
  // may still be making.
  HDESK handle = nullptr;
  for (int i = 0; i < 100 && !handle; ++i) {
    handle = OpenDesktopW(desktop.c_str(), 0, FALSE, GENERIC_ALL);
    if (!handle) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (handle) {
    SetThreadDesktop(handle);
  } else {
    std::fprintf(stderr, "window_probe: no desktop %s\n", Utf8(desktop).c_str());
    return 2;
  }
  if (command == L"hold") {
    Sleep(INFINITE);
    return 0;
  }
  if (command == L"run") return argc < 4 ? Usage() : Run(argc - 3, argv + 3, desktop);
  if (command == L"list") {
    EnumWindows(
        [](HWND window, LPARAM) -> BOOL {
          DWORD pid = 0;
          GetWindowThreadProcessId(window, &pid);
          std::printf("%lu %s %d %s\n", pid, Utf8(ClassOf(window)).c_str(),
                      IsWindowVisible(window) ? 1 : 0, Utf8(TextOf(window)).c_str());
          return TRUE;
        },
        0);
    return 0;
  }
  if (argc < 4) return Usage();
  WindowPattern pattern(argv[3]);
  double seconds = 10;

  if (command == L"gone") {
    if (argc > 4) seconds = _wtof(argv[4]);
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(int(seconds * 1000));
    while (FindTopLevel(pattern)) {
      if (std::chrono::steady_clock::now() >= end) return 1;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return 0;
  }
  if (command == L"wait" && argc > 4) seconds = _wtof(argv[4]);
  HWND window = WaitFor(pattern, seconds);
  if (!window) {
    std::fprintf(stderr, "window_probe: no window %s\n", Utf8(argv[3]).c_str());
    return 1;
  }
  if (command == L"wait") {
    Settle(window);
    PrintPlace(window);
    return 0;
  }
  if (command == L"controls") {
    for (const Control& c : VisibleControls(window)) {
      std::printf("%s %d %ld %ld %ld %ld %s\n", Utf8(c.window_class).c_str(), c.id, c.place.left,
                  c.place.top, c.place.right - c.place.left, c.place.bottom - c.place.top,
                  Utf8(c.text).c_str());
    }
    return 0;
  }
  if (command == L"type" && argc == 5) {
    SetForegroundWindow(window);
    TypeText(argv[4]);
    return 0;
  }
  if (command == L"close") {
    PostMessageW(window, WM_CLOSE, 0, 0);
    return 0;
  }
  return Usage();
}
