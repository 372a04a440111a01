// Generator end to end under Wine: the real program started in fresh start
// directories, and the main window driven in-process where menus must be read.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "generator/app/app_info.h"
#include "generator/app/main_window.h"
#include "generator/app/panel.h"
#include "generator/audio/audio_thread.h"
#include "generator/audio/latency_setting.h"
#include "generator/files/set_file_format.h"
#include "tests/generator/app/in_process_generator.h"
#include "tests/generator/wine_paths.h"
#include "tests/wine/test_waits.h"

namespace {

// The program of the same build tree: <build>\generator\app\Generator.exe, two
// folders up from this test's <build>\tests\generator.
std::string ProgramPath() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) return std::string();
  std::string folder(path);
  for (int up = 0; up < 3; ++up) folder = folder.substr(0, folder.find_last_of('\\'));
  const std::string program = folder + "\\generator\\app\\Generator.exe";
  return GetFileAttributesA(program.c_str()) != INVALID_FILE_ATTRIBUTES ? program : std::string();
}

std::string MakeScratchDirectory(const char* tag) {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const std::string path = std::string(temp) + tag + "_" + std::to_string(GetCurrentProcessId()) +
                           "_" + std::to_string(GetTickCount());
  CreateDirectoryA(path.c_str(), nullptr);
  return path;
}

void SetLatencyValue(DWORD type, const void* data, DWORD size) {
  RegDeleteKeyA(HKEY_CURRENT_USER, kGeneratorKey);
  if (!data) return;
  HKEY key;
  ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kGeneratorKey, &key), ERROR_SUCCESS);
  RegSetValueExA(key, kLatencyValueName, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

float StoredLatency() {
  HKEY key;
  float value = -1.0f;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kGeneratorKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return value;
  DWORD type = 0, size = sizeof value;
  if (RegQueryValueExA(key, kLatencyValueName, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                       &size) != ERROR_SUCCESS ||
      type != REG_BINARY) {
    value = -2.0f;
  }
  RegCloseKey(key);
  return value;
}

std::vector<unsigned char> ReadFileBytes(const std::string& path) {
  std::vector<unsigned char> bytes;
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  bytes.resize(GetFileSize(file, nullptr));
  DWORD got = 0;
  ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  CloseHandle(file);
  bytes.resize(got);
  return bytes;
}

void WriteFileBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

// The real program, started in a directory of its own.
struct RunningGenerator {
  PROCESS_INFORMATION process = {};
  HWND window = nullptr;

  explicit RunningGenerator(const std::string& start_directory) {
    std::string command = "\"" + ProgramPath() + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                        start_directory.c_str(), &startup, &process)) {
      return;
    }
    WaitForInputIdle(process.hProcess, 10000);
    PollUntil(10000, 50, [&] {
      HWND found = FindWindowA(kMainWindowClass, kMainWindowCaption);
      DWORD owner = 0;
      if (found) GetWindowThreadProcessId(found, &owner);
      if (found && owner == process.dwProcessId) window = found;
      return window != nullptr;
    });
  }

  // Closes the program as the user would and waits for it; its exit code.
  DWORD Close() {
    PostMessageA(window, WM_CLOSE, 0, 0);
    DWORD code = 0xFFFFFFFF;
    if (WaitForSingleObject(process.hProcess, 20000) == WAIT_OBJECT_0) {
      GetExitCodeProcess(process.hProcess, &code);
    }
    return code;
  }

  ~RunningGenerator() {
    if (process.hProcess) {
      if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT)
        TerminateProcess(process.hProcess, 9);
      CloseHandle(process.hProcess);
      CloseHandle(process.hThread);
    }
  }
};

TEST(GeneratorProgram, StartsRunsAudioSavesItsSetAndLatency) {
  ASSERT_FALSE(ProgramPath().empty());
  SetLatencyValue(REG_BINARY, nullptr, 0);
  const std::string first = MakeScratchDirectory("gen_a");
  DeleteFileA(AudioCapturePath().c_str());
  {
    RunningGenerator program(first);
    ASSERT_NE(program.window, nullptr) << "no main window";
    char caption[64];
    GetWindowTextA(program.window, caption, sizeof caption);
    EXPECT_STREQ(caption, "Generator");
    const LONG style = GetWindowLongA(program.window, GWL_STYLE);
    EXPECT_TRUE(style & WS_DLGFRAME);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    int frame, caption_height, menu_height;
    GetWindowMetrics(&frame, &caption_height, &menu_height);
    RECT r;
    GetWindowRect(program.window, &r);
    EXPECT_EQ(r.right - r.left, 640 + 2 * frame);
    EXPECT_EQ(r.bottom - r.top, 230 + caption_height + menu_height + 3 * frame);

    // The playback stream runs (silent: the generator starts off).
    std::vector<unsigned char> captured;
    PollUntil(5000, 50, [&] {
      captured = ReadFileBytes(AudioCapturePath());
      return captured.size() >= 4u * 4408 * 3;
    });
    ASSERT_GE(captured.size(), 4u * 4408 * 3);
    for (unsigned char b : captured) ASSERT_EQ(b, 0);

    PostMessageA(program.window, WM_COMMAND, CMD_LATENCY_30, 0);
    EXPECT_EQ(program.Close(), 0u);
  }
  EXPECT_FLOAT_EQ(StoredLatency(), 0.03f);
  const std::vector<unsigned char> saved = ReadFileBytes(first + "\\" + kSetFileName);
  ASSERT_EQ(saved.size(), kSetFileBytes);
  EXPECT_EQ(std::memcmp(saved.data(), kSetFileIdentification, kSetFileHeaderBytes), 0);
  GeneratorSettings s;
  std::memcpy(&s, saved.data() + kSetFileHeaderBytes, sizeof s);
  EXPECT_FLOAT_EQ(s.frequency_hz, 1000.0f);

  // A second start elsewhere loads (and saves back) that directory's file.
  const std::string second = MakeScratchDirectory("gen_b");
  GeneratorSettings stored = kGeneratorDefaults;
  stored.frequency_hz = 440.0f;
  stored.on = 1;
  std::vector<unsigned char> bytes(kSetFileBytes);
  std::memcpy(bytes.data(), kSetFileIdentification, kSetFileHeaderBytes);
  std::memcpy(bytes.data() + kSetFileHeaderBytes, &stored, sizeof stored);
  WriteFileBytes(second + "\\" + kSetFileName, bytes);
  {
    RunningGenerator program(second);
    ASSERT_NE(program.window, nullptr);
    EXPECT_EQ(program.Close(), 0u);
  }
  const std::vector<unsigned char> resaved = ReadFileBytes(second + "\\" + kSetFileName);
  ASSERT_EQ(resaved.size(), kSetFileBytes);
  std::memcpy(&s, resaved.data() + kSetFileHeaderBytes, sizeof s);
  EXPECT_FLOAT_EQ(s.frequency_hz, 440.0f);
  EXPECT_EQ(s.on, 0);                                            // loaded switched off
  EXPECT_EQ(ReadFileBytes(first + "\\" + kSetFileName), saved);  // the first one untouched
  EXPECT_FLOAT_EQ(StoredLatency(), 0.03f);  // read back at start, written again at exit
}

void SetWineAudioDriver(const char* driver) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Wine\\Drivers", &key), ERROR_SUCCESS);
  RegSetValueExA(key, "Audio", 0, REG_SZ, reinterpret_cast<const BYTE*>(driver),
                 static_cast<DWORD>(std::strlen(driver) + 1));
  RegCloseKey(key);
}

// Without any audio driver the wave mapper still reports its capabilities
// under Wine, so start-up goes through; the audio thread's open fails and
// ends the thread silently, and the program runs and closes normally.
struct NoAudioDriver {
  NoAudioDriver() { SetWineAudioDriver(""); }
  ~NoAudioDriver() { SetWineAudioDriver("alsa"); }
};

TEST(GeneratorProgram, RunsSilentlyWithoutAnAudioDriver) {
  NoAudioDriver no_driver;
  const std::string dir = MakeScratchDirectory("gen_nodriver");
  DeleteFileA(AudioCapturePath().c_str());
  {
    RunningGenerator program(dir);
    EXPECT_NE(program.window, nullptr);
    Sleep(500);
    EXPECT_EQ(program.Close(), 0u);
  }
  EXPECT_TRUE(ReadFileBytes(AudioCapturePath()).empty());
  EXPECT_EQ(ReadFileBytes(dir + "\\" + kSetFileName).size(), kSetFileBytes);
}

TEST(GeneratorWindow, MenusAndTheLatencySetting) {
  const std::string dir = MakeScratchDirectory("gen_menu");
  SetLatencyValue(REG_BINARY, nullptr, 0);
  {
    InProcessGenerator g(dir);
    ASSERT_NE(g.window, nullptr);
    HMENU bar = GetMenu(g.window);
    ASSERT_EQ(GetMenuItemCount(bar), 4);  // "&Command", "&Latency", "&Output", "&Signals"
    char text[64];
    GetMenuStringA(bar, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&Command");
    GetMenuStringA(bar, CMD_DEFAULTS, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "&Set Generator Default Settings");
    // Each Latency item says what its command sets.
    for (const LatencyCommand& entry : kLatencyCommands) {
      GetMenuStringA(bar, static_cast<UINT>(entry.command), text, sizeof text, MF_BYCOMMAND);
      EXPECT_EQ(std::string(text),
                std::to_string(static_cast<int>(entry.latency_s * 1000.0f + 0.5f)) + " ms");
    }
    EXPECT_EQ(g.Checked(), std::vector<int>{CMD_LATENCY_100});
    EXPECT_EQ(g_audio.stream.buffer_bytes, 17632);

    SendMessageA(g.window, WM_COMMAND, CMD_LATENCY_50, 0);
    EXPECT_EQ(g.Checked(), std::vector<int>{CMD_LATENCY_50});
    EXPECT_EQ(g_audio.stream.buffer_bytes, 8816);
    EXPECT_EQ(g_audio.run.load(), 1);  // restarted

    // Command 21 while running changes nothing.
    const HANDLE thread = g_audio.thread;
    SendMessageA(g.window, WM_COMMAND, CMD_START_AUDIO, 0);
    EXPECT_EQ(g_audio.thread, thread);
    SendMessageA(g.window, WM_COMMAND, CMD_STOP_AUDIO, 0);
    EXPECT_EQ(g_audio.run.load(), 0);
  }
  EXPECT_FLOAT_EQ(StoredLatency(), 0.05f);

  const float half_second = 0.5f;
  SetLatencyValue(REG_BINARY, &half_second, 4);
  {
    InProcessGenerator g(dir);
    EXPECT_TRUE(g.Checked().empty());               // accepted, but no menu entry
    EXPECT_EQ(g_audio.stream.buffer_bytes, 88192);  // 22,050 frames, down to groups of 4
  }
  const float too_long = 0.7f;
  SetLatencyValue(REG_BINARY, &too_long, 4);
  {
    InProcessGenerator g(dir);
    EXPECT_EQ(g.Checked(), std::vector<int>{CMD_LATENCY_100});
  }
  const DWORD as_dword = 0x3E4CCCCD;  // 0.2 as a float, but not binary
  SetLatencyValue(REG_DWORD, &as_dword, 4);
  {
    InProcessGenerator g(dir);
    EXPECT_EQ(g.Checked(), std::vector<int>{CMD_LATENCY_100});
  }
  SetLatencyValue(REG_BINARY, nullptr, 0);
}

TEST(GeneratorWindow, DefaultsCommandRestoresTheBuiltInSettings) {
  const std::string dir = MakeScratchDirectory("gen_defaults");
  InProcessGenerator g(dir);
  ASSERT_NE(g.window, nullptr);
  GeneratorSettings s;
  GetGeneratorSettings(g_app.engine, &s);
  s.frequency_hz = 123.0f;
  s.on = 1;
  SetGeneratorSettings(g_app.engine, &s);
  SendMessageA(g.window, WM_COMMAND, CMD_DEFAULTS, 0);
  GetGeneratorSettings(g_app.engine, &s);
  EXPECT_EQ(std::memcmp(&s, &kGeneratorDefaults, sizeof s), 0);
}

// Start-up fails before the latency is read (here the control library
// cannot register its classes): the stored latency and the set file of the
// start directory stay as they were.
TEST(GeneratorWindow, AFailedStartWritesNothingItDidNotRead) {
  const std::string dir = MakeScratchDirectory("gen_failed");
  const float stored = 0.05f;
  SetLatencyValue(REG_BINARY, &stored, 4);
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA taken = {};
  taken.lpfnWndProc = DefWindowProcA;
  taken.hInstance = instance;
  taken.lpszClassName = kKnobClass;
  ASSERT_NE(RegisterClassA(&taken), 0);
  SetCurrentDirectoryA(dir.c_str());
  InitGeneratorApp(instance);
  ASSERT_EQ(RegisterMainWindowClass(), 1);
  // Created directly: CreateMainWindow would tell the user in a message box.
  HWND window = CreateWindowExA(0, kMainWindowClass, kMainWindowCaption, WS_DLGFRAME | WS_SYSMENU,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                                nullptr, instance, nullptr);
  EXPECT_EQ(window, nullptr);
  EXPECT_FLOAT_EQ(StoredLatency(), 0.05f);
  EXPECT_TRUE(ReadFileBytes(dir + "\\" + kSetFileName).empty());
  UnregisterClassA(kKnobClass, instance);
  EndGeneratorApp();
  UnregisterClassA(kMainWindowClass, instance);
  SetLatencyValue(REG_BINARY, nullptr, 0);
}

bool PreferencesStored() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Quenby_Audio\\QX2CTL\\Generator", 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return false;
  }
  DWORD values = 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                   nullptr, nullptr, nullptr);
  RegCloseKey(key);
  return values > 0;
}

// Log-off or shutdown ends the process without a WM_DESTROY: the set, the
// latency and the library's preferences are saved at WM_ENDSESSION, once,
// and only when the session really ends.
TEST(GeneratorWindow, EndOfSessionSavesEverything) {
  const std::string dir = MakeScratchDirectory("gen_session");
  SetLatencyValue(REG_BINARY, nullptr, 0);
  RegDeleteKeyA(HKEY_CURRENT_USER, "Quenby_Audio\\QX2CTL\\Generator");
  InProcessGenerator g(dir);
  ASSERT_NE(g.window, nullptr);
  SendMessageA(g.window, WM_COMMAND, CMD_LATENCY_30, 0);
  GeneratorSettings s;
  GetGeneratorSettings(g_app.engine, &s);
  s.frequency_hz = 777.0f;
  SetGeneratorSettings(g_app.engine, &s);
  const std::string set_file = dir + "\\" + kSetFileName;

  EXPECT_EQ(SendMessageA(g.window, WM_QUERYENDSESSION, 0, 0), TRUE);
  SendMessageA(g.window, WM_ENDSESSION, FALSE, 0);  // cancelled: nothing happens
  EXPECT_TRUE(ReadFileBytes(set_file).empty());
  EXPECT_FLOAT_EQ(StoredLatency(), -1.0f);
  EXPECT_FALSE(PreferencesStored());
  EXPECT_EQ(g_audio.run.load(), 1);

  SendMessageA(g.window, WM_ENDSESSION, TRUE, 0);
  EXPECT_EQ(g_audio.run.load(), 0);
  const std::vector<unsigned char> saved = ReadFileBytes(set_file);
  ASSERT_EQ(saved.size(), kSetFileBytes);
  std::memcpy(&s, saved.data() + kSetFileHeaderBytes, sizeof s);
  EXPECT_FLOAT_EQ(s.frequency_hz, 777.0f);
  EXPECT_FLOAT_EQ(StoredLatency(), 0.03f);
  EXPECT_TRUE(PreferencesStored());

  SetLatencyValue(REG_BINARY, nullptr, 0);
  DeleteFileA(set_file.c_str());
  SendMessageA(g.window, WM_ENDSESSION, TRUE, 0);  // once only
  EXPECT_TRUE(ReadFileBytes(set_file).empty());
  EXPECT_FLOAT_EQ(StoredLatency(), -1.0f);
}

struct FoundWindow {
  const char* title_part;
  HWND window;
};

BOOL CALLBACK FindByTitle(HWND window, LPARAM found) {
  auto* f = reinterpret_cast<FoundWindow*>(found);
  char title[256];
  GetWindowTextA(window, title, sizeof title);
  if (IsWindowVisible(window) && std::strstr(title, f->title_part)) {
    f->window = window;
    return FALSE;
  }
  return TRUE;
}

// A visible top-level window whose title holds `part`, waited for up to 10 s.
HWND WaitForWindow(const char* part) {
  FoundWindow f = {part, nullptr};
  PollUntil(10000, 100, [&] {
    EnumWindows(FindByTitle, reinterpret_cast<LPARAM>(&f));
    return f.window != nullptr;
  });
  return f.window;
}

// Text files open in Notepad while this lives: the test prefix associates no
// program with them.
struct TextFilesOpenInNotepad {
  TextFilesOpenInNotepad() {
    SetText("Software\\Classes\\.txt", "QxTestText");
    SetText("Software\\Classes\\QxTestText\\shell\\open\\command", "notepad.exe \"%1\"");
  }
  ~TextFilesOpenInNotepad() {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Classes\\QxTestText\\shell\\open\\command");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Classes\\QxTestText\\shell\\open");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Classes\\QxTestText\\shell");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Classes\\QxTestText");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Classes\\.txt");
  }
  static void SetText(const char* path, const char* text) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, path, &key), ERROR_SUCCESS);
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(std::strlen(text) + 1));
    RegCloseKey(key);
  }
};

// The readme and licence commands open the documents beside the program (the
// test itself here). The start directory, its parent and the current directory
// of the moment hold documents of the same names that must not be shown.
TEST(GeneratorWindow, DocumentsComeFromTheProgramFolder) {
  char self[MAX_PATH];
  const std::string program(self, GetModuleFileNameA(nullptr, self, sizeof self));
  const std::string program_folder = program.substr(0, program.find_last_of('\\'));
  TextFilesOpenInNotepad notepad;
  const struct {
    const char* folder;
    int command;
    const char* document;
  } cases[] = {{"Generator 1.2", CMD_README, "readme"}, {"john.smith", CMD_LICENSE, "license"}};
  for (const auto& c : cases) {
    const std::string parent = MakeScratchDirectory("gen_docs");
    const std::string start = parent + "\\" + c.folder;
    const std::string elsewhere = parent + "\\elsewhere";
    CreateDirectoryA(start.c_str(), nullptr);
    CreateDirectoryA(elsewhere.c_str(), nullptr);
    const std::string name = std::string("\\") + c.document + ".txt";
    WriteFileBytes(program_folder + name, {'o', 'u', 'r', 's', '\r', '\n'});
    WriteFileBytes(start + name, {'s', 't', 'a', 'r', 't', '\r', '\n'});
    WriteFileBytes(parent + name, {'p', 'a', 'r', 'e', 'n', 't', '\r', '\n'});
    WriteFileBytes(elsewhere + name, {'e', 'l', 's', 'e', '\r', '\n'});
    InProcessGenerator g(start);
    ASSERT_NE(g.window, nullptr);
    SetCurrentDirectoryA(elsewhere.c_str());
    SendMessageA(g.window, WM_COMMAND, static_cast<WPARAM>(c.command), 0);
    HWND viewer = WaitForWindow(c.document);
    EXPECT_NE(viewer, nullptr) << c.folder << ": " << c.document << " was not opened";
    char text[64] = "";
    PollUntil(viewer ? 5000 : 0, 100, [&] {
      if (HWND edit = viewer ? FindWindowExA(viewer, nullptr, "Edit", nullptr) : nullptr) {
        // GetWindowText reads no control of another process: ask the control.
        SendMessageA(edit, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
      }
      return text[0] != '\0';
    });
    EXPECT_EQ(std::string(text), "ours\r\n") << c.folder;
    if (viewer) PostMessageA(viewer, WM_CLOSE, 0, 0);
    DeleteFileA((program_folder + name).c_str());
  }
}

HANDLE g_made = CreateEventA(nullptr, TRUE, FALSE, nullptr);
HANDLE g_let_go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
DWORD g_waited = WAIT_FAILED;

// A window owned by `owner` that answers nothing until let go (or 10 s pass).
DWORD WINAPI RunHungWindow(LPVOID owner) {
  HWND window = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 8, 8, static_cast<HWND>(owner),
                                nullptr, nullptr, nullptr);
  g_waited = SignalObjectAndWait(g_made, g_let_go, 10000, FALSE);
  DestroyWindow(window);  // answers what was sent to it meanwhile
  return 0;
}

// Closing passes over a window of another thread (or program) it owns.
TEST(GeneratorWindow, ClosingWaitsForNoWindowOfAnotherThread) {
  InProcessGenerator g(MakeScratchDirectory("gen_hung"));
  HANDLE thread = CreateThread(nullptr, 0, RunHungWindow, g.window, 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(g_made, 10000), WAIT_OBJECT_0);
  SendMessageA(g.window, WM_CLOSE, 0, 0);
  SetEvent(g_let_go);
  WaitForSingleObject(thread, INFINITE);
  EXPECT_EQ(g_waited, WAIT_OBJECT_0) << "closing waited for the hung window";
  CloseHandle(thread);
}

}  // namespace

namespace {

// Refuses to create the read-outs (free panels), so the panel's creation fails.
LRESULT CALLBACK RefuseReadouts(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_CREATEWND) {
    char name[64];
    GetClassNameA(reinterpret_cast<HWND>(wparam), name, sizeof name);
    if (std::strcmp(name, kFreePanelClass) == 0) return 1;
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

DWORD g_test_thread;

// Answers the message boxes of this process titled "Fatal error" or "Sorry",
// and names them in order; ends the thread's loop after 20 s whatever happens.
DWORD WINAPI AnswerBoxes(LPVOID parameter) {
  auto* seen = static_cast<std::vector<std::string>*>(parameter);
  PollUntil(20000, 50, [&] {
    for (const char* title : {"Fatal error", "Sorry"}) {
      if (HWND box = FindWindowA("#32770", title)) {
        seen->push_back(title);
        SendMessageA(box, WM_COMMAND, IDOK, 0);
      }
    }
    return seen->size() >= 2;
  });
  // A window that runs on regardless cannot be closed either: end its loop.
  if (FindWindowA(kMainWindowClass, nullptr)) PostThreadMessageA(g_test_thread, WM_QUIT, 0, 0);
  return 0;
}

// A panel that cannot be made ends the start like any failed step: the user
// is told, no window stays, and the set file, which was never read, is left
// as it was.
TEST(GeneratorWindow, AFailedPanelEndsTheStart) {
  const std::string dir = MakeScratchDirectory("gen_panel_fails");
  const std::string set_file = dir + "\\" + kSetFileName;
  const std::vector<unsigned char> stored(kSetFileBytes, 0x5A);
  WriteFileBytes(set_file, stored);
  SetCurrentDirectoryA(dir.c_str());
  HHOOK hook = SetWindowsHookExA(WH_CBT, RefuseReadouts, nullptr, GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  std::vector<std::string> seen;
  g_test_thread = GetCurrentThreadId();
  HANDLE answerer = CreateThread(nullptr, 0, AnswerBoxes, &seen, 0, nullptr);
  EXPECT_EQ(RunGenerator(GetModuleHandleA(nullptr), SW_SHOW), 0);
  UnhookWindowsHookEx(hook);
  WaitForSingleObject(answerer, INFINITE);
  CloseHandle(answerer);
  EXPECT_EQ(seen, (std::vector<std::string>{"Fatal error", "Sorry"}));
  EXPECT_EQ(FindWindowA(kMainWindowClass, nullptr), nullptr);
  EXPECT_EQ(ReadFileBytes(set_file), stored);
  EXPECT_EQ(g_app.engine, nullptr);
}

HWND g_session_window;
bool g_alive_after_end;

void CALLBACK EndSessionNow(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  SendMessageA(g_session_window, WM_ENDSESSION, TRUE, 0);
  g_alive_after_end = g_app.engine != nullptr && IsWindow(g_panel.readouts[kLevelReadout]);
}

// The session ends while a read-out's box is open: everything is saved at
// once, but nothing the box's caller uses is freed until its loop has ended.
TEST(GeneratorWindow, EndOfSessionWithABoxOpen) {
  const std::string dir = MakeScratchDirectory("gen_session_box");
  InProcessGenerator g(dir);
  ASSERT_NE(g.window, nullptr);
  g_session_window = g.window;
  g_alive_after_end = false;
  SetTimer(nullptr, 0, 300, EndSessionNow);
  // The read-out's box, as a click opens it; it returns when the session ends.
  SendMessageA(g_panel.readouts[kLevelReadout], WM_LBUTTONDOWN, 0, 0);
  EXPECT_TRUE(g_alive_after_end);
  EXPECT_EQ(ReadFileBytes(dir + "\\" + kSetFileName).size(), kSetFileBytes);
  PollUntil(5000, 10, [] {  // the deferred close
    InProcessGenerator::Pump();
    return g_app.shut_down;
  });
  EXPECT_EQ(g_app.engine, nullptr);
  EXPECT_TRUE(g_app.shut_down);
  PostQuitMessage(0);  // the pump took the program's own; the harness waits for one
}

bool g_freed_under_the_menu;

// The window closes while its right-click menu is open, and an item of the
// Signals menu is queued behind the close, as a menu chosen then posts it.
void CALLBACK CloseUnderTheMenu(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  PostMessageA(g_session_window, WM_DESTROY, 0, 0);
  PostMessageA(g_session_window, WM_COMMAND, CMD_SIGNALS, 0);
}

void CALLBACK NoteWhatTheMenuSees(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  g_freed_under_the_menu = g_app.engine == nullptr;
  EndMenu();  // a menu the shutdown left open would hold the test
}

// A close inside a modal loop frees nothing until the loop has ended, and a
// command queued behind the close acts on nothing: a soak crashed in
// OnSignalsCommand reading the freed engine this way.
TEST(GeneratorWindow, ACloseUnderAMenuFreesAfterItAndIgnoresLaterCommands) {
  const std::string dir = MakeScratchDirectory("gen_close_menu");
  InProcessGenerator g(dir);
  ASSERT_NE(g.window, nullptr);
  g_session_window = g.window;
  g_freed_under_the_menu = false;
  SetTimer(nullptr, 0, 200, CloseUnderTheMenu);
  SetTimer(nullptr, 0, 400, NoteWhatTheMenuSees);
  // The right-click menu's loop runs inside this message until it ends.
  SendMessageA(g.window, WM_RBUTTONDOWN, 0, MAKELPARAM(10, 10));
  PollUntil(5000, 10, [] {
    InProcessGenerator::Pump();
    return g_app.shut_down;
  });
  EXPECT_FALSE(g_freed_under_the_menu);
  EXPECT_TRUE(g_app.shut_down);
  EXPECT_EQ(g_app.engine, nullptr);
  EXPECT_EQ(ReadFileBytes(dir + "\\" + kSetFileName).size(), kSetFileBytes);
  PostQuitMessage(0);  // the pump took the program's own; the harness waits for one
}

}  // namespace
