// The soak: the real Generator.exe of a build tree, switched on and driven by
// seeded random real input for a given time, watched for a window thread
// that stops answering.
//
//   generator_soak --program GENERATOR.EXE --dir START_DIR --evidence DIR
//                  [--seconds N] [--seed N]
//
// How it works. Every input goes through SendInput, as a user's would:
// clicks, double-clicks, drags, right-clicks, Ctrl- and Shift-clicks, the
// wheel, keys and typed numbers, over the panel's controls and background
// and the menu bar, and, while one is open, into whatever pop-up, menu,
// box or dialog of the program is on top. Every 2 s the main window must
// answer WM_NULL within 5 s (SendMessageTimeout with SMTO_ABORTIFHUNG) and
// the program's memory is sampled. A hang keeps its evidence before
// anything is torn down: a screenshot and every thread's backtrace from
// winedbg (this program's own bitness, so the 32-bit winedbg for the
// 32-bit program), in files the summary names. Input may end the program
// (its Quit item, Alt+F4): each such end must come with exit code 0 and a
// saved set file, and the program is started again. At the end the program
// is closed as a user closes it and checked the same way.
//
// The summary's first line says the seed, the time and the inputs, so that
// a run can be repeated; the exit code is 0 when nothing hung, crashed or
// grew, 1 otherwise, 2 for a usage error.
#include <windows.h>
// After windows.h, whose types it uses.
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "generator/files/set_file_format.h"
#include "generator/panel/panel_parameters.h"
#include "tests/wine/test_waits.h"
#include "tests/wine/wine_files.h"

namespace {

constexpr char kMainWindowClass[] = "w_principale";
constexpr DWORD kCheckEveryMs = 2000;
constexpr UINT kAnswerWithinMs = 5000;
constexpr ULONGLONG kRoundMs = 240000;  // a progress line every four minutes

struct Options {
  std::string program;
  std::string start_dir;
  std::string evidence_dir;
  unsigned seed = 1;
  DWORD seconds = 3600;
};

// ---------------------------------------------------------------------------
// The program under test.

struct Program {
  PROCESS_INFORMATION process = {};
  HWND window = nullptr;
  FILETIME started = {};          // the set file it saves is newer
  std::vector<double> memory_mb;  // one sample per check
};

struct FoundMain {
  DWORD process_id;
  HWND window;
};

BOOL CALLBACK FindMain(HWND window, LPARAM parameter) {
  auto* found = reinterpret_cast<FoundMain*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char name[64];
  if (owner == found->process_id && GetClassNameA(window, name, sizeof name) &&
      std::strcmp(name, kMainWindowClass) == 0 && IsWindowVisible(window)) {
    found->window = window;
    return FALSE;
  }
  return TRUE;
}

bool StartProgram(const Options& options, Program* program) {
  *program = Program();
  std::string command = "\"" + options.program + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                      options.start_dir.c_str(), &startup, &program->process)) {
    return false;
  }
  GetSystemTimeAsFileTime(&program->started);
  FoundMain found = {program->process.dwProcessId, nullptr};
  PollUntil(30000, 50, [&] {
    EnumWindows(FindMain, reinterpret_cast<LPARAM>(&found));
    return found.window != nullptr;
  });
  program->window = found.window;
  return program->window != nullptr;
}

void EndProgram(Program* program) {
  if (program->process.hProcess == nullptr) return;
  if (WaitForSingleObject(program->process.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(program->process.hProcess, 9);
    WaitForSingleObject(program->process.hProcess, 10000);
  }
  CloseHandle(program->process.hProcess);
  CloseHandle(program->process.hThread);
  program->process = {};
}

bool HasEnded(const Program& program) {
  return WaitForSingleObject(program.process.hProcess, 0) == WAIT_OBJECT_0;
}

double PrivateMegabytes(HANDLE process) {
  PROCESS_MEMORY_COUNTERS_EX counters = {};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                            sizeof counters)) {
    return 0.0;
  }
  const SIZE_T bytes = counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.WorkingSetSize;
  return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

// The set file the program saves when it closes: written since `program`
// started, whole, and taken by the program's own loading rule.
bool SetFileSaved(const Options& options, const Program& program, std::string* why) {
  const std::string path = options.start_dir + "\\" + kSetFileName;
  std::vector<unsigned char> bytes(kSetFileBytes + 1);
  FILETIME written = {};
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *why = "no set file was saved";
    return false;
  }
  DWORD got = 0;
  ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  GetFileTime(file, nullptr, nullptr, &written);
  CloseHandle(file);
  bytes.resize(got);
  GeneratorSettings settings;
  if (CompareFileTime(&written, &program.started) < 0) {
    *why = "the set file was not saved at this close";
  } else if (bytes.size() != kSetFileBytes) {
    *why = "the set file holds " + std::to_string(bytes.size()) + " bytes";
  } else if (!AcceptSetFile(bytes.data(), bytes.data() + kSetFileHeaderBytes, &settings)) {
    *why = "the set file's identification is wrong";
  } else {
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Real input.

void SendOne(INPUT input) { SendInput(1, &input, sizeof input); }

void KeyEvent(WORD vk, bool up) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendOne(input);
}

void Press(WORD vk) {
  KeyEvent(vk, false);
  KeyEvent(vk, true);
}

void PressWith(WORD modifier, WORD vk) {
  KeyEvent(modifier, false);
  Press(vk);
  KeyEvent(modifier, true);
}

void TypeText(const std::string& text) {
  for (char c : text) {
    const SHORT scan = VkKeyScanA(c);
    if (scan == -1) continue;
    const bool shift = (scan & 0x100) != 0;
    if (shift) KeyEvent(VK_SHIFT, false);
    Press(static_cast<WORD>(scan & 0xFF));
    if (shift) KeyEvent(VK_SHIFT, true);
  }
}

void MouseAt(POINT at) { SetCursorPos(at.x, at.y); }

void MouseButton(DWORD flags) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  SendOne(input);
}

void Wheel(int notches) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = MOUSEEVENTF_WHEEL;
  input.mi.mouseData = static_cast<DWORD>(notches * WHEEL_DELTA);
  SendOne(input);
}

// ---------------------------------------------------------------------------
// What is on the screen.

struct Windows {
  DWORD process_id;
  HWND main;
  std::vector<HWND> popups;   // the program's other visible top-level windows
  std::vector<HWND> foreign;  // visible windows of other programs (a viewer it opened)
};

BOOL CALLBACK SortWindow(HWND window, LPARAM parameter) {
  auto* seen = reinterpret_cast<Windows*>(parameter);
  if (!IsWindowVisible(window) || window == seen->main) return TRUE;
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == seen->process_id) {
    seen->popups.push_back(window);
  } else if (owner != GetCurrentProcessId()) {
    seen->foreign.push_back(window);
  }
  return TRUE;
}

Windows LookAround(const Program& program) {
  Windows seen = {program.process.dwProcessId, program.window, {}, {}};
  EnumWindows(SortWindow, reinterpret_cast<LPARAM>(&seen));  // top of the Z order first
  return seen;
}

// A viewer the program opened ("info...", "License...") is not ours to
// drive: closed, and ended when it does not close.
void CloseForeign(const std::vector<HWND>& windows) {
  for (HWND window : windows) {
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    if (std::strcmp(name, "Shell_TrayWnd") == 0) continue;
    PostMessageA(window, WM_CLOSE, 0, 0);
  }
  if (windows.empty()) return;
  Sleep(300);
  for (HWND window : windows) {
    if (!IsWindow(window) || !IsWindowVisible(window)) continue;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, owner);
    if (process != nullptr) {
      TerminateProcess(process, 1);
      CloseHandle(process);
    }
  }
}

// The main window back on the screen when a drag took it off.
void KeepOnScreen(HWND window) {
  RECT r;
  if (!GetWindowRect(window, &r)) return;
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  if (r.left >= 0 && r.top >= 0 && r.right <= width && r.bottom <= height) return;
  SetWindowPos(window, nullptr, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---------------------------------------------------------------------------
// The random user.

struct Driver {
  std::mt19937 random;
  long inputs = 0;
  long popup_inputs = 0;
  std::map<std::string, long> popup_kinds;  // inputs by the pop-up's class and title

  int Below(int n) { return n <= 1 ? 0 : static_cast<int>(random() % static_cast<unsigned>(n)); }
  bool Chance(int percent) { return Below(100) < percent; }

  POINT Inside(const RECT& r) {
    const int w = std::max(1L, r.right - r.left), h = std::max(1L, r.bottom - r.top);
    return POINT{r.left + Below(w), r.top + Below(h)};
  }

  // A number as a user types one into a read-out or a box, now and then
  // something that is none.
  std::string Number() {
    static const char* const kOdd[] = {"", "-", "abc", "1e9", "-0", "12..5", "inf", "1 000"};
    if (Chance(15)) return kOdd[Below(8)];
    char text[32];
    const int whole = Below(5) == 0 ? Below(100000) : Below(100);
    const bool negative = Chance(30);
    if (Chance(50)) {
      std::snprintf(text, sizeof text, "%s%d.%d", negative ? "-" : "", whole, Below(1000));
    } else {
      std::snprintf(text, sizeof text, "%s%d", negative ? "-" : "", whole);
    }
    return text;
  }

  void Click(POINT at, DWORD down, DWORD up, WORD modifier = 0) {
    MouseAt(at);
    if (modifier) KeyEvent(modifier, false);
    MouseButton(down);
    Sleep(static_cast<DWORD>(Below(60)));
    MouseButton(up);
    if (modifier) KeyEvent(modifier, true);
  }

  void Drag(POINT from) {
    MouseAt(from);
    MouseButton(MOUSEEVENTF_LEFTDOWN);
    const int steps = 2 + Below(12);
    POINT at = from;
    for (int i = 0; i < steps; ++i) {
      at.x += Below(41) - 20;
      at.y += Below(41) - 20;
      MouseAt(at);
      Sleep(static_cast<DWORD>(10 + Below(40)));
    }
    MouseButton(MOUSEEVENTF_LEFTUP);
  }

  // One action with the mouse at `at`.
  void MouseAction(POINT at) {
    switch (Below(10)) {
      case 0:
      case 1:
      case 2: Click(at, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP); break;
      case 3:
        Click(at, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
        Click(at, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
        break;
      case 4: Drag(at); break;
      case 5: Click(at, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP); break;
      case 6: Click(at, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, VK_CONTROL); break;
      case 7: Click(at, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, VK_SHIFT); break;
      default:
        MouseAt(at);
        Wheel(Below(7) - 3);
        break;
    }
  }

  // One action with the keyboard on whatever has the focus.
  void KeyAction() {
    static const WORD kKeys[] = {VK_UP,     VK_DOWN,  VK_LEFT,  VK_RIGHT,   VK_RETURN, VK_ESCAPE,
                                 VK_TAB,    VK_SPACE, VK_PRIOR, VK_NEXT,    VK_HOME,   VK_END,
                                 VK_DELETE, VK_BACK,  VK_ADD,   VK_SUBTRACT};
    switch (Below(4)) {
      case 0: TypeText(Number()); break;
      case 1:
        TypeText(Number());
        Press(Chance(80) ? VK_RETURN : VK_ESCAPE);
        break;
      case 2: PressWith(Chance(50) ? VK_SHIFT : VK_CONTROL, kKeys[Below(16)]); break;
      default: Press(kKeys[Below(16)]); break;
    }
  }

  // Into the pop-up on top: its own clicks and keys, now and then its end.
  void IntoPopup(HWND popup) {
    ++popup_inputs;
    // As the user's click would, the window typed into is the active one.
    if (!IsMenuWindow(popup) && GetForegroundWindow() != popup) SetForegroundWindow(popup);
    char name[64] = "", title[64] = "";
    GetClassNameA(popup, name, sizeof name);
    GetWindowTextA(popup, title, sizeof title);
    ++popup_kinds[std::string(name) + (title[0] ? std::string(" \"") + title + "\"" : "")];
    RECT r;
    GetWindowRect(popup, &r);
    const int pick = Below(10);
    if (pick < 5) {
      MouseAction(Inside(r));
    } else if (pick < 9) {
      KeyAction();
    } else {
      Press(Chance(50) ? VK_ESCAPE : VK_RETURN);
    }
  }

  // On the main window: a control, the background, the menu bar or keys.
  void OnMain(HWND main) {
    SetForegroundWindow(main);
    RECT client;
    GetClientRect(main, &client);
    POINT origin = {0, 0};
    ClientToScreen(main, &origin);
    const int pick = Below(20);
    if (pick < 10) {
      // A control: the children of the main window, as the panel made them.
      std::vector<HWND> children;
      for (HWND child = GetWindow(main, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (IsWindowVisible(child)) children.push_back(child);
      }
      if (children.empty()) return;
      RECT r;
      GetWindowRect(children[static_cast<size_t>(Below(static_cast<int>(children.size())))], &r);
      MouseAction(Inside(r));
    } else if (pick < 13) {
      MouseAction(POINT{origin.x + Below(client.right), origin.y + Below(client.bottom)});
    } else if (pick < 16) {
      // The menu bar, just above the client area.
      const int menu_height = GetSystemMetrics(SM_CYMENU);
      MouseAt(POINT{origin.x + 4 + Below(260), origin.y - 1 - Below(menu_height - 2)});
      MouseButton(MOUSEEVENTF_LEFTDOWN);
      MouseButton(MOUSEEVENTF_LEFTUP);
    } else if (pick < 18) {
      static const char kMenus[] = "LOOSSC";  // Latency, Output, Signals; Command less often
      PressWith(VK_MENU, static_cast<WORD>(kMenus[Below(6)]));
    } else {
      KeyAction();
    }
  }

  void Step(const Windows& seen) {
    ++inputs;
    // A menu or a modal box takes all the input a user gives (a click on
    // the disabled panel would only bring the box to the front); a
    // modeless window (the options window) shares it with the panel.
    const bool blocking =
        !seen.popups.empty() && (IsMenuWindow(seen.popups.front()) || !IsWindowEnabled(seen.main));
    if (blocking || (!seen.popups.empty() && Chance(40))) {
      // The Command menu (the one that drops from the menu bar's left end)
      // holds Quit: mostly left at once, so that a soak is mostly one long
      // run of the program, yet its items are chosen now and then.
      if (IsCommandMenu(seen.main, seen.popups.front()) && Chance(85)) {
        ++popup_inputs;
        Press(VK_ESCAPE);
        return;
      }
      IntoPopup(seen.popups.front());
    } else {
      OnMain(seen.main);
    }
  }

  static bool IsMenuWindow(HWND popup) {
    char name[16] = "";
    GetClassNameA(popup, name, sizeof name);
    return std::strcmp(name, "#32768") == 0;
  }

  static bool IsCommandMenu(HWND main, HWND popup) {
    RECT menu, frame;
    POINT client = {0, 0};
    ClientToScreen(main, &client);
    return IsMenuWindow(popup) && GetWindowRect(popup, &menu) && GetWindowRect(main, &frame) &&
           menu.left - frame.left < 60 && menu.top <= client.y + 2;
  }
};

// ---------------------------------------------------------------------------
// Evidence and checks.

// Answers WM_NULL within the limit: the window thread pumps.
bool Answers(HWND window) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kAnswerWithinMs, &result) !=
         0;
}

std::string UnixPath(const std::string& windows_path) { return UnixPathOf(windows_path); }

// A screenshot of the whole (virtual) screen, taken on the host.
bool Screenshot(const std::string& path) {
  return RunOnHost("import -window root '" + UnixPath(path) + "' 2>/dev/null") == 0;
}

// Every thread's backtrace, from winedbg attached to `process_id`.
bool Backtraces(DWORD process_id, const std::string& path) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0,
                           nullptr);
  if (out == INVALID_HANDLE_VALUE) return false;
  char command[128];
  std::snprintf(command, sizeof command, "winedbg --command \"bt all\" 0x%lx",
                static_cast<unsigned long>(process_id));
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out;
  startup.hStdError = out;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION debugger = {};
  const bool started = CreateProcessA(nullptr, command, nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                      &startup, &debugger) != 0;
  CloseHandle(out);
  if (!started) return false;
  const ProcessEnd end = WaitForProcessEnd(debugger.hProcess, 180000);
  if (!end.ended) TerminateProcess(debugger.hProcess, 1);
  CloseHandle(debugger.hProcess);
  CloseHandle(debugger.hThread);
  return end.ended;
}

struct Summary {
  std::string failure;  // empty: none
  std::vector<std::string> evidence;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM parameter) {
  auto* seen = reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == seen->first) seen->second.push_back(window);
  return TRUE;
}

// The CPU the program takes over the next second, in percent of one core.
double CpuPercentOverASecond(HANDLE process) {
  auto used = [&] {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(process, &created, &exited, &kernel, &user);
    auto value = [](const FILETIME& t) {
      return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) * 1e-7;
    };
    return value(kernel) + value(user);
  };
  const double before = used();
  Sleep(1000);
  return 100.0 * (used() - before);
}

// The program's top-level windows, shown or not, top of the Z order first:
// class, title, whether they are shown and take input, where they are; the
// window with the keyboard focus and the active one; its CPU meanwhile.
bool WindowList(const Program& program, const std::string& path) {
  std::pair<DWORD, std::vector<HWND>> seen = {program.process.dwProcessId, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&seen));
  GUITHREADINFO gui = {};
  gui.cbSize = sizeof gui;
  GetGUIThreadInfo(GetWindowThreadProcessId(program.window, nullptr), &gui);
  auto describe = [](HWND window) {
    char name[64] = "", title[128] = "", line[320];
    GetClassNameA(window, name, sizeof name);
    GetWindowTextA(window, title, sizeof title);
    RECT r = {};
    GetWindowRect(window, &r);
    std::snprintf(
        line, sizeof line, "%p %s \"%s\" %s %s (%ld,%ld)-(%ld,%ld)", static_cast<void*>(window),
        name, title, IsWindowVisible(window) ? "shown" : "hidden",
        IsWindowEnabled(window) ? "enabled" : "disabled", r.left, r.top, r.right, r.bottom);
    return std::string(line);
  };
  std::string text;
  for (HWND window : seen.second) {
    text += describe(window) + (window == program.window ? " main\n" : "\n");
  }
  text += "focus: " + (gui.hwndFocus ? describe(gui.hwndFocus) : std::string("none")) + "\n";
  text += "active: " + (gui.hwndActive ? describe(gui.hwndActive) : std::string("none")) + "\n";
  char cpu[64];
  std::snprintf(cpu, sizeof cpu, "cpu: %.0f%% of a core\n",
                CpuPercentOverASecond(program.process.hProcess));
  text += cpu;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  return written == text.size();
}

// A screenshot, the windows and every thread's backtrace, named by what
// happened (`what`: "hang", "close") and when.
void KeepEvidence(const Options& options, const Program& program, const char* what, ULONGLONG at_ms,
                  Summary* summary) {
  char stem[64];
  std::snprintf(stem, sizeof stem, "%s-seed%u-%llus", what, options.seed, at_ms / 1000);
  const std::string picture = options.evidence_dir + "\\" + stem + ".png";
  const std::string windows = options.evidence_dir + "\\" + stem + "-windows.txt";
  const std::string traces = options.evidence_dir + "\\" + stem + "-backtraces.txt";
  if (Screenshot(picture)) summary->evidence.push_back(picture);
  if (WindowList(program, windows)) summary->evidence.push_back(windows);
  if (Backtraces(program.process.dwProcessId, traces)) summary->evidence.push_back(traces);
}

void KeepHangEvidence(const Options& options, const Program& program, ULONGLONG at_ms,
                      Summary* summary) {
  KeepEvidence(options, program, "hang", at_ms, summary);
  // Said either way: a thread that came back after the evidence was taken
  // was stalled, not hung for good; both are faults.
  summary->failure += Answers(program.window) ? " (it answered again after the evidence)"
                                              : " (it still does not answer)";
}

// Closes the program as a user does (its pop-ups first, then Alt+F4 on the
// main window) and checks how it ended. `why` names a failure.
bool CloseAsUser(Program* program, std::string* why) {
  for (int tries = 0; tries < 20; ++tries) {
    const Windows seen = LookAround(*program);
    if (seen.popups.empty()) break;
    SetForegroundWindow(seen.popups.front());
    Press(VK_ESCAPE);
    Sleep(100);
  }
  SetForegroundWindow(program->window);
  PressWith(VK_MENU, VK_F4);
  const ProcessEnd end = WaitForProcessEnd(program->process.hProcess, 20000);
  if (!end.ended) {
    *why = "it did not end within 20 s of Alt+F4";
    return false;
  }
  return true;
}

bool CheckEnd(const Options& options, const Program& program, std::string* why) {
  DWORD code = 0;
  GetExitCodeProcess(program.process.hProcess, &code);
  if (code != 0) {
    char text[64];
    std::snprintf(text, sizeof text, "it ended with exit code 0x%lx",
                  static_cast<unsigned long>(code));
    *why = text;
    return false;
  }
  return SetFileSaved(options, program, why);
}

// Memory of one run of the program, after its first two minutes: its growth
// from the second-fifth median to the last-fifth median. Runs shorter than
// ten minutes are only reported.
std::string MemoryVerdict(const std::vector<double>& samples, bool* grew) {
  *grew = false;
  if (samples.empty()) return "no samples";
  auto median = [&](size_t from, size_t to) {
    std::vector<double> part(samples.begin() + static_cast<long>(from),
                             samples.begin() + static_cast<long>(to));
    std::sort(part.begin(), part.end());
    return part.empty() ? 0.0 : part[part.size() / 2];
  };
  const size_t n = samples.size();
  const double first = samples.front();
  const double last = samples.back();
  const double peak = *std::max_element(samples.begin(), samples.end());
  char text[160];
  const size_t ten_minutes = 600000 / kCheckEveryMs;
  if (n < ten_minutes) {
    std::snprintf(text, sizeof text, "%.1f MB to %.1f MB (peak %.1f)", first, last, peak);
    return text;
  }
  const double settled = median(n / 5, 2 * n / 5);
  const double end = median(4 * n / 5, n);
  const double minutes = static_cast<double>(n) * kCheckEveryMs / 60000.0;
  // Flat: under 4 MB, and under 1 MB a quarter of an hour beyond that.
  const double allowed = 4.0 + minutes / 15.0;
  *grew = end - settled > allowed;
  std::snprintf(text, sizeof text,
                "%.1f MB to %.1f MB (peak %.1f), %+.2f MB after the first fifth%s", first, last,
                peak, end - settled, *grew ? ": it grows" : "");
  return text;
}

bool ParseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i], value = argv[i + 1];
    if (name == "--program") {
      options->program = value;
    } else if (name == "--dir") {
      options->start_dir = value;
    } else if (name == "--evidence") {
      options->evidence_dir = value;
    } else if (name == "--seconds") {
      options->seconds = static_cast<DWORD>(std::strtoul(value.c_str(), nullptr, 10));
    } else if (name == "--seed") {
      options->seed = static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 10));
    } else {
      return false;
    }
  }
  return argc % 2 == 1 && !options->program.empty() && !options->start_dir.empty() &&
         !options->evidence_dir.empty() && options->seconds > 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::fprintf(stderr,
                 "usage: generator_soak --program EXE --dir START_DIR --evidence DIR "
                 "[--seconds N] [--seed N]\n");
    return 2;
  }
  CreateDirectoryA(options.evidence_dir.c_str(), nullptr);
  Driver driver{std::mt19937(options.seed), 0, 0, {}};
  Summary summary;
  Program program;
  int starts = 0, ends_by_input = 0;
  std::string memory_report;
  bool memory_grew = false;
  auto judge_memory = [&] {
    bool grew = false;
    const std::string verdict = MemoryVerdict(program.memory_mb, &grew);
    memory_report += (memory_report.empty() ? "" : "; ") + verdict;
    memory_grew = memory_grew || grew;
  };

  const ULONGLONG start = GetTickCount64();
  ULONGLONG next_check = 0, next_round = kRoundMs;
  while (summary.failure.empty() && MsSince(start) < options.seconds * 1000ULL) {
    if (program.process.hProcess == nullptr) {
      ++starts;
      if (!StartProgram(options, &program)) {
        summary.failure = "the program did not start (no window within 30 s)";
        break;
      }
      // Switched on: a click on the panel's ON button.
      SetForegroundWindow(program.window);
      POINT on = {0, 0};
      for (size_t i = 0; i < kPanelPlaceCount; ++i) {
        const PanelPlace& place = kPanelPlaces[i];
        if (place.id == kOnButton && place.kind == kPanelButton) on = {place.x + 8, place.y + 8};
      }
      ClientToScreen(program.window, &on);
      driver.Click(on, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
    }
    if (HasEnded(program)) {
      // Input ended it (its Quit item, Alt+F4): as a close must.
      std::string why;
      if (!CheckEnd(options, program, &why)) {
        summary.failure = "the program ended after input and " + why;
        break;
      }
      ++ends_by_input;
      judge_memory();
      EndProgram(&program);
      continue;
    }
    const ULONGLONG now = MsSince(start);
    if (now >= next_check) {
      next_check = now + kCheckEveryMs;
      if (!Answers(program.window)) {
        if (HasEnded(program)) continue;  // it closed meanwhile: seen above
        char text[160];
        std::snprintf(text, sizeof text,
                      "the main window did not answer within %u ms, %llu s in, after %ld inputs",
                      kAnswerWithinMs, MsSince(start) / 1000, driver.inputs);
        summary.failure = text;
        KeepHangEvidence(options, program, MsSince(start), &summary);
        break;
      }
      program.memory_mb.push_back(PrivateMegabytes(program.process.hProcess));
      KeepOnScreen(program.window);
    }
    if (now >= next_round) {
      next_round += kRoundMs;
      std::printf("soak: %llu s, %ld inputs (%ld in pop-ups), %.1f MB\n", now / 1000, driver.inputs,
                  driver.popup_inputs, program.memory_mb.empty() ? 0.0 : program.memory_mb.back());
      std::fflush(stdout);
    }
    const Windows seen = LookAround(program);
    CloseForeign(seen.foreign);
    driver.Step(seen);
    Sleep(static_cast<DWORD>(20 + driver.Below(80)));
  }

  if (summary.failure.empty() && program.process.hProcess != nullptr) {
    std::string why;
    if (!CloseAsUser(&program, &why)) {
      summary.failure = "at the end, " + why;
      KeepEvidence(options, program, "close", MsSince(start), &summary);
    } else if (!CheckEnd(options, program, &why)) {
      summary.failure = "at the end, " + why;
    }
    judge_memory();
  }
  EndProgram(&program);
  if (summary.failure.empty() && memory_grew) summary.failure = "memory grew";

  std::printf(
      "soak: seed %u, %llu s, %ld inputs (%ld in pop-ups), %d starts, %d ended by input: %s\n",
      options.seed, MsSince(start) / 1000, driver.inputs, driver.popup_inputs, starts,
      ends_by_input, summary.failure.empty() ? "no hang" : summary.failure.c_str());
  std::printf("soak: memory %s\n", memory_report.c_str());
  for (const auto& kind : driver.popup_kinds) {
    std::printf("soak: %ld inputs into %s\n", kind.second, kind.first.c_str());
  }
  for (const std::string& file : summary.evidence) std::printf("soak: evidence %s\n", file.c_str());
  return summary.failure.empty() ? 0 : 1;
}
