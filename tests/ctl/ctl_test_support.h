// What the control library's Wine tests share: a host window, the library
// started for one test, an owner that records notifications, screen pixels.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ctl/library_state.h"

// A plain top-level popup to host controls (grey background).
struct Host {
  HWND window = nullptr;
  explicit Host(int x = 100, int y = 100, int w = 300, int h = 200);
  ~Host();
};

// The library started for one test under its own preference key, which is
// deleted before the start and, unless `keep_key`, after the end.
struct Library {
  explicit Library(const char* app = "CtlTests", bool keep_key = false);
  ~Library();
  std::string name;
  bool keep_key;
};

// The preference key of an application name, and its removal.
std::string TestKey(const std::string& app);
void DeleteKey(const std::string& app);

// Reads a REG_BINARY preference of `app` into `out`; false when it is missing.
bool ReadBinary(const std::string& app, const char* name, std::vector<uint8_t>* out);
// Writes a preference value of `app` as it is given.
void WriteValue(const std::string& app, const char* name, DWORD type, const void* data, DWORD size);

// Posted WM_COMMAND messages waiting for a window, as (wparam, lparam).
std::vector<std::pair<WPARAM, LPARAM>> TakeCommands(HWND window);

// An owner's callback record: every (code, value) it was called with.
struct Received {
  std::vector<std::pair<uint32_t, float>> calls;
};
int Record(void* user_data, uint32_t code, uint32_t bits);  // returns 7

// Dispatches every waiting message of the thread.
void Pump();

// A window's pixel as it is on the (virtual) screen.
COLORREF ScreenPixel(HWND window, int x, int y);

// A solid-colour bitmap, to make pixels predictable; the caller deletes it.
HBITMAP SolidBitmap(int w, int h, COLORREF color);

// ---------------------------------------------------------------------------
// Scripts of real input, played while a modal loop (an editor, a menu) runs.

using Steps = std::vector<std::function<void()>>;

// Plays `steps` one per 30 ms tick of a thread timer, so they run inside
// whatever modal loop the test enters next; once all are played, every
// further tick calls `when_done`, which should end that loop.
void StartScript(Steps steps, std::function<void()> when_done);

// Stops the script; returns how many steps were played.
size_t StopScript();

// Real input through SendInput: a key pressed and released, text typed,
// the mouse moved to a screen point and the left button pressed / released.
void Key(WORD vk);
void Type(const char* text);
void TypeText(const wchar_t* text);  // any Unicode characters, as a keyboard sends them
void Mouse(POINT at, bool down, bool up);

// A client point of `window` on the screen.
POINT OnScreen(HWND window, int x, int y);
