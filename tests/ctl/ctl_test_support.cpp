// Shared support of the control library's Wine tests: see ctl_test_support.h.
#include "tests/ctl/ctl_test_support.h"

#include <gtest/gtest.h>

Host::Host(int x, int y, int w, int h) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "CtlTestHost";
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    RegisterClassA(&wc);
    registered = true;
  }
  window = CreateWindowExA(0, "CtlTestHost", "host", WS_POPUP | WS_VISIBLE, x, y, w, h, nullptr,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
}

Host::~Host() { DestroyWindow(window); }

Library::Library(const char* app, bool keep) : name(app), keep_key(keep) {
  DeleteKey(name);
  EXPECT_EQ(InitControlLibrary(GetModuleHandleA(nullptr), app), 1);
}

Library::~Library() {
  EndControlLibrary();
  if (!keep_key) DeleteKey(name);
}

std::string TestKey(const std::string& app) { return "Quenby_Audio\\QX2CTL\\" + app; }

void DeleteKey(const std::string& app) { RegDeleteKeyA(HKEY_CURRENT_USER, TestKey(app).c_str()); }

bool ReadBinary(const std::string& app, const char* name, std::vector<uint8_t>* out) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, TestKey(app).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  uint8_t data[64];
  DWORD type = 0, size = sizeof data;
  const bool ok = RegQueryValueExA(key, name, nullptr, &type, data, &size) == ERROR_SUCCESS &&
                  type == REG_BINARY;
  RegCloseKey(key);
  if (ok) out->assign(data, data + size);
  return ok;
}

void WriteValue(const std::string& app, const char* name, DWORD type, const void* data,
                DWORD size) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, TestKey(app).c_str(), &key), ERROR_SUCCESS);
  RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

std::vector<std::pair<WPARAM, LPARAM>> TakeCommands(HWND window) {
  std::vector<std::pair<WPARAM, LPARAM>> commands;
  MSG msg;
  while (PeekMessageA(&msg, window, WM_COMMAND, WM_COMMAND, PM_REMOVE)) {
    commands.emplace_back(msg.wParam, msg.lParam);
  }
  return commands;
}

int Record(void* user_data, uint32_t code, uint32_t bits) {
  static_cast<Received*>(user_data)->calls.emplace_back(code & 0xFFFF, FloatFromBits(bits));
  return 7;
}

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

COLORREF ScreenPixel(HWND window, int x, int y) {
  POINT p = {x, y};
  ClientToScreen(window, &p);
  HDC screen = GetDC(nullptr);
  const COLORREF color = GetPixel(screen, p.x, p.y);
  ReleaseDC(nullptr, screen);
  return color;
}

HBITMAP SolidBitmap(int w, int h, COLORREF color) {
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
  HDC memory = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(memory, bitmap);
  HBRUSH brush = CreateSolidBrush(color);
  RECT r = {0, 0, w, h};
  FillRect(memory, &r, brush);
  DeleteObject(brush);
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return bitmap;
}

// ---------------------------------------------------------------------------
// Scripts.

static Steps g_steps;
static size_t g_played;
static std::function<void()> g_when_done;
static UINT_PTR g_script_timer;

static void CALLBACK ScriptTick(HWND, UINT, UINT_PTR, DWORD) {
  if (g_played < g_steps.size()) {
    g_steps[g_played++]();
  } else if (g_when_done) {
    g_when_done();
  }
}

void StartScript(Steps steps, std::function<void()> when_done) {
  g_steps = std::move(steps);
  g_played = 0;
  g_when_done = std::move(when_done);
  g_script_timer = SetTimer(nullptr, 0, 30, ScriptTick);
}

size_t StopScript() {
  KillTimer(nullptr, g_script_timer);
  g_script_timer = 0;
  g_steps.clear();
  g_when_done = nullptr;
  return g_played;
}

static void Send(INPUT* inputs, int count) {
  SendInput(static_cast<UINT>(count), inputs, sizeof(INPUT));
}

void Key(WORD vk) {
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_KEYBOARD;
  in[0].ki.wVk = in[1].ki.wVk = vk;
  in[1].ki.dwFlags = KEYEVENTF_KEYUP;
  Send(in, 2);
}

void Type(const char* text) {
  std::wstring wide;
  for (const char* c = text; *c; ++c) wide += static_cast<wchar_t>(static_cast<unsigned char>(*c));
  TypeText(wide.c_str());
}

void TypeText(const wchar_t* text) {
  for (const wchar_t* c = text; *c; ++c) {
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wScan = in[1].ki.wScan = static_cast<WORD>(*c);
    in[0].ki.dwFlags = KEYEVENTF_UNICODE;
    in[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
    Send(in, 2);
  }
}

void Mouse(POINT at, bool down, bool up) {
  SetCursorPos(at.x, at.y);
  INPUT in[2] = {};
  int n = 0;
  if (down) {
    in[n].type = INPUT_MOUSE;
    in[n++].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  }
  if (up) {
    in[n].type = INPUT_MOUSE;
    in[n++].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  }
  Send(in, n);
}

POINT OnScreen(HWND window, int x, int y) {
  POINT p = {x, y};
  ClientToScreen(window, &p);
  return p;
}
