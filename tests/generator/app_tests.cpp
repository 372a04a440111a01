// Generator end to end under Wine: the real program started in fresh start
// directories, and the main window driven in-process where menus must be read.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "generator/app_info.h"
#include "generator/audio_thread.h"
#include "generator/latency_setting.h"
#include "generator/main_window.h"
#include "generator/set_file_format.h"
#include "tests/generator/wine_paths.h"

namespace {

// The program of the same build tree: <build>\generator\Generator.exe, two
// folders up from this test's <build>\tests\generator.
std::string ProgramPath() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) return std::string();
  std::string folder(path);
  for (int up = 0; up < 3; ++up) folder = folder.substr(0, folder.find_last_of('\\'));
  const std::string program = folder + "\\generator\\Generator.exe";
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
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kGeneratorKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
  DWORD type = 0, size = sizeof value;
  if (RegQueryValueExA(key, kLatencyValueName, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                       &size) != ERROR_SUCCESS || type != REG_BINARY) {
    value = -2.0f;
  }
  RegCloseKey(key);
  return value;
}

std::vector<unsigned char> ReadFileBytes(const std::string& path) {
  std::vector<unsigned char> bytes;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr);
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
    for (int i = 0; i < 200 && !window; ++i) {
      HWND found = FindWindowA(kMainWindowClass, kMainWindowCaption);
      DWORD owner = 0;
      if (found) GetWindowThreadProcessId(found, &owner);
      if (found && owner == process.dwProcessId) window = found;
      if (!window) Sleep(50);
    }
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
      if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process.hProcess, 9);
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
    for (int i = 0; i < 100 && captured.size() < 4 * 4408 * 3; ++i) {
      Sleep(50);
      captured = ReadFileBytes(AudioCapturePath());
    }
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
  EXPECT_EQ(s.on, 0);  // loaded switched off
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

// The main window in this process, so that its menu can be read.
struct InProcessGenerator {
  HWND window = nullptr;
  explicit InProcessGenerator(const std::string& start_directory) {
    SetCurrentDirectoryA(start_directory.c_str());
    InitGeneratorApp(GetModuleHandleA(nullptr));
    if (RegisterMainWindowClass()) window = CreateMainWindow();
    Pump();
  }
  static void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return;
      DispatchMessageA(&msg);
    }
  }
  // The menu items 50 … 54 that carry a check mark after WM_INITMENU.
  std::vector<int> Checked() {
    HMENU menu = GetMenu(window);
    SendMessageA(window, WM_INITMENU, reinterpret_cast<WPARAM>(menu), 0);
    std::vector<int> checked;
    for (int command = CMD_LATENCY_200; command <= CMD_LATENCY_20; ++command) {
      if (GetMenuState(menu, static_cast<UINT>(command), MF_BYCOMMAND) & MF_CHECKED) {
        checked.push_back(command);
      }
    }
    return checked;
  }
  ~InProcessGenerator() {
    if (window) {
      SendMessageA(window, WM_CLOSE, 0, 0);
      MSG msg;
      while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
      DestroyWindow(window);
    }
    EndGeneratorApp();
    UnregisterClassA(kMainWindowClass, GetModuleHandleA(nullptr));
  }
};

TEST(GeneratorWindow, MenusAndTheLatencySetting) {
  const std::string dir = MakeScratchDirectory("gen_menu");
  SetLatencyValue(REG_BINARY, nullptr, 0);
  {
    InProcessGenerator g(dir);
    ASSERT_NE(g.window, nullptr);
    HMENU bar = GetMenu(g.window);
    ASSERT_EQ(GetMenuItemCount(bar), 2);
    char text[64];
    GetMenuStringA(bar, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&Command");
    GetMenuStringA(bar, CMD_DEFAULTS, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "&Set Generator Default Settings");
    GetMenuStringA(bar, CMD_LATENCY_30, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "30 ms");
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
    EXPECT_TRUE(g.Checked().empty());  // accepted, but no menu entry
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

}  // namespace
