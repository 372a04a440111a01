// The control library frame: start and end, classes, preferences in the
// registry, pop-up slots, notification delivery, helpers. The shared drawing
// objects are in drawing_objects.cpp.
//
// How it works. One ControlLibrary record holds everything shared. The first
// InitControlLibrary reads the preferences, loads the stock bitmaps, builds
// the palette, brushes, pens and fonts, registers the nine classes and
// creates the hidden value pop-up; further calls only count. The last
// EndControlLibrary stops notifications first, so nothing reaches the owner
// while its controls are torn down, then releases all of it in reverse and
// writes the preferences back.
#include "ctl/library_state.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

ControlLibrary g_ctl;

const char kKnobClass[] = "C_QX2CTL_Rotatif_00Zorvath";
const char kImageButtonClass[] = "C_QX2CTL_I2p_00Zorvath";
const char kFreePanelClass[] = "C_QX2CTL_Free_00Zorvath";
const char kFreePanelNoDoubleClickClass[] = "C_QX2CTL_Free_00_wdbZorvath";
const char kSliderClass[] = "C_QX2CTL_Slide_00Zorvath";
const char kStackedListClass[] = "C_QX2CTL_3DList_00Zorvath";
const char kValueGridClass[] = "C_QX2CTL_Vgrid_00Zorvath";
const char kLineListClass[] = "C_QX2CTL_2DList_00Zorvath";
const char kValuePopupClass[] = "C_QX2CTL_AutoValueView00Zorvath";

static const char* const kErrorTexts[] = {
    "[QX2CTL] No error",
    "[QX2CTL] Module not initialized !",
    "[QX2CTL] Failed to register rotatif class",
    "[QX2CTL] Failed to register I2P class",
    "[QX2CTL] Failed to register FREE class",
    "[QX2CTL] Failed to register slide class",
    "[QX2CTL] Failed to register 3Dlist class",
    "[QX2CTL] Failed to register Vgrid class",
    "[QX2CTL] Failed to register 2Dgrid class",
    "[QX2CTL] Failed to register AutoViewValue class",
};

struct ClassEntry {
  const char* name;
  UINT style;
  WNDPROC proc;
  uint16_t error;
  bool extended;
};

static const ClassEntry kClasses[] = {
    {kKnobClass, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, KnobProc, kCtlKnobClass, false},
    {kImageButtonClass, CS_HREDRAW | CS_VREDRAW, ImageButtonProc, kCtlImageButtonClass, false},
    {kFreePanelClass, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, FreePanelWindowProc, kCtlFreePanelClass, false},
    {kFreePanelNoDoubleClickClass, CS_HREDRAW | CS_VREDRAW, FreePanelWindowProc, kCtlFreePanelClass, false},
    {kSliderClass, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, SliderProc, kCtlSliderClass, false},
    {kStackedListClass, CS_HREDRAW | CS_VREDRAW, StackedListProc, kCtlStackedListClass, false},
    {kValueGridClass, CS_HREDRAW | CS_VREDRAW, ValueGridProc, kCtlValueGridClass, false},
    {kLineListClass, CS_HREDRAW | CS_VREDRAW, LineListProc, kCtlLineListClass, false},
    {kValuePopupClass, CS_HREDRAW | CS_VREDRAW, ValuePopupProc, kCtlValuePopupClass, true},
};

// ---------------------------------------------------------------------------
// Preferences.

static void ReadPreferences() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, g_ctl.key, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return;
  for (int i = 0; i < kPreferenceCount; ++i) {
    const auto id = static_cast<PreferenceId>(i);
    uint8_t data[kTimeContextBytes];
    DWORD type = 0;
    DWORD size = sizeof data;
    if (RegQueryValueExA(key, kPreferenceNames[id], nullptr, &type, data, &size) != ERROR_SUCCESS) {
      continue;
    }
    AcceptPreference(&g_ctl.prefs, id, type == REG_BINARY, data, size);
  }
  RegCloseKey(key);
}

static void WritePreferences() {
  for (PreferenceId id : kPreferenceWriteOrder) {
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, g_ctl.key, &key) != ERROR_SUCCESS &&
        RegCreateKeyA(HKEY_CURRENT_USER, g_ctl.key, &key) != ERROR_SUCCESS) {
      continue;
    }
    size_t size = 0;
    const uint8_t* bytes = PreferenceBytes(&g_ctl.prefs, id, &size);
    RegSetValueExA(key, kPreferenceNames[id], 0, REG_BINARY, bytes, static_cast<DWORD>(size));
    RegCloseKey(key);
  }
}

// Registers the classes in table order. Returns how many were registered:
// all of them, or those before the first that failed (whose error code is
// then the last error).
static int RegisterClasses() {
  int registered = 0;
  for (const ClassEntry& entry : kClasses) {
    WNDCLASSEXA wc;
    std::memset(&wc, 0, sizeof wc);
    wc.cbSize = sizeof wc;
    wc.style = entry.style;
    wc.lpfnWndProc = entry.proc;
    wc.cbWndExtra = sizeof(LONG_PTR);  // the control's record
    wc.hInstance = g_ctl.instance;
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    wc.lpszClassName = entry.name;
    ATOM atom;
    if (entry.extended) {
      atom = RegisterClassExA(&wc);
    } else {
      WNDCLASSA plain;
      std::memset(&plain, 0, sizeof plain);
      plain.style = wc.style;
      plain.lpfnWndProc = wc.lpfnWndProc;
      plain.cbWndExtra = wc.cbWndExtra;
      plain.hInstance = wc.hInstance;
      plain.hCursor = wc.hCursor;
      plain.lpszClassName = wc.lpszClassName;
      atom = RegisterClassA(&plain);
    }
    if (!atom) {
      g_ctl.last_error = entry.error;
      return registered;
    }
    registered += 1;
  }
  return registered;
}

static void UnregisterClasses(int count) {
  for (int i = 0; i < count; ++i) UnregisterClassA(kClasses[i].name, g_ctl.instance);
}

constexpr int kClassCount = sizeof kClasses / sizeof kClasses[0];

// ---------------------------------------------------------------------------
// Start and end.

// Only a start that succeeded counts: a failed one takes back what it made
// (its drawing objects, the classes it registered; never a class of the
// same name that someone else registered) and the next call starts afresh.
int InitControlLibrary(HINSTANCE instance, const char* application_name) {
  if (g_ctl.start_count > 0) {
    g_ctl.start_count += 1;
    return 1;
  }
  g_ctl.instance = instance;
  g_ctl.last_error = kCtlNoError;
  DefaultPreferences(&g_ctl.prefs);
  g_ctl.notifications_enabled = 1;
  for (HWND& slot : g_ctl.popups) slot = nullptr;

  std::snprintf(g_ctl.application_name, sizeof g_ctl.application_name, "%s",
                application_name ? application_name : "");
  std::snprintf(g_ctl.key, sizeof g_ctl.key, "Quenby_Audio\\QX2CTL\\%s", g_ctl.application_name);
  ReadPreferences();

  g_ctl.mask_count = 0;
  CreateDrawingObjects();
  const int registered = RegisterClasses();
  INITCOMMONCONTROLSEX common;
  common.dwSize = sizeof common;
  common.dwICC = ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES;
  if (registered < kClassCount || !InitCommonControlsEx(&common)) {
    g_ctl.notifications_enabled = 0;
    UnregisterClasses(registered);
    DeleteDrawingObjects();
    return 0;
  }
  CreateValuePopupWindow();
  g_ctl.start_count = 1;
  return 1;
}

void EndControlLibrary() {
  if (g_ctl.start_count <= 0) return;
  if (--g_ctl.start_count != 0) return;
  g_ctl.notifications_enabled = 0;

  HWND popup = g_ctl.popups[kSlotValuePopup];
  g_ctl.popups[kSlotValuePopup] = nullptr;
  if (popup) DestroyWindow(popup);
  for (int slot = 0; slot < kPopupSlotCount; ++slot) {
    if (g_ctl.popups[slot]) SendMessageA(g_ctl.popups[slot], WM_CLOSE, 0, 0);
  }

  DeleteDrawingObjects();
  UnregisterClasses(kClassCount);
  WritePreferences();
  g_ctl.last_error = kCtlNotInitialized;
}

uint16_t GetControlLibraryError() { return g_ctl.last_error; }

const char* GetControlLibraryErrorText(uint16_t code) {
  return code < sizeof kErrorTexts / sizeof kErrorTexts[0] ? kErrorTexts[code] : "";
}

ControlPreferences* GetControlPreferences() {
  return g_ctl.start_count > 0 ? &g_ctl.prefs : nullptr;
}

void SaveControlPreferences() {
  if (g_ctl.start_count > 0) WritePreferences();
}

int IsValueEditorOpen() {
  return GetPopupSlot(kSlotQuickEdit) != nullptr || GetPopupSlot(kSlotTimeEntry) != nullptr;
}

void CloseValueEditors() {
  ClosePopupSlot(kSlotQuickEdit);
  ClosePopupSlot(kSlotTimeEntry);
}

HWND GetPopupSlot(int slot) {
  return slot >= 0 && slot < kPopupSlotCount ? g_ctl.popups[slot] : nullptr;
}

void SetPopupSlot(int slot, HWND window) {
  if (slot >= 0 && slot < kPopupSlotCount) g_ctl.popups[slot] = window;
}

HWND CreateControlWindow(const char* class_name, HWND parent, int id, int x, int y, int width,
                         int height, const void* record) {
  HWND window = CreateWindowExA(0, class_name, nullptr, WS_CHILD | WS_VISIBLE | WS_TABSTOP, x, y,
                                width, height, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_ctl.instance,
                                const_cast<void*>(record));
  if (window) {
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
  }
  return window;
}

void ClosePopupSlot(int slot) {
  HWND window = GetPopupSlot(slot);
  if (window && IsWindow(window)) SendMessageA(window, WM_CLOSE, 0, 0);
}

// ---------------------------------------------------------------------------
// Notifications.

uint32_t FloatBits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

float FloatFromBits(uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

int SendNotification(const NotifyTarget* target, uint32_t code, uint32_t value_bits) {
  if (!g_ctl.notifications_enabled || !target) return 0;
  if ((target->flags & kNotifyByCallback) && target->callback) {
    return target->callback(target->user_data, code, value_bits);
  }
  if (target->flags & kNotifyByCallback) return 0;
  PostMessageA(target->parent, WM_COMMAND, code & 0xFFFF, static_cast<LPARAM>(value_bits));
  return 0;
}

// ---------------------------------------------------------------------------
// Small helpers.

void GetBitmapSize(HBITMAP bitmap, int* width, int* height) {
  BITMAP info;
  if (bitmap && GetObjectA(bitmap, sizeof info, &info) == sizeof info) {
    *width = info.bmWidth;
    *height = info.bmHeight;
  } else {
    *width = 0;
    *height = 0;
  }
}

static char g_start_directory[1000] = "C:\\";
static bool g_start_directory_read = false;

int CopyStartDirectory(char* out, int out_size) {
  if (!g_start_directory_read) {
    char directory[sizeof g_start_directory];
    const DWORD length = GetCurrentDirectoryA(sizeof directory, directory);
    if (length > 0 && length < sizeof directory) std::memcpy(g_start_directory, directory, length + 1);
    g_start_directory_read = true;
  }
  const int length = static_cast<int>(std::strlen(g_start_directory));
  if (out_size < length + 1) {
    if (out_size > 0) out[0] = '\0';
    return 0;
  }
  std::memcpy(out, g_start_directory, static_cast<size_t>(length) + 1);
  return length + 1;
}

void PathToDirectory(char* path) {
  // Windows takes '/' as a separator too.
  char* backslash = std::strrchr(path, '\\');
  char* slash = std::strrchr(path, '/');
  char* last_separator = slash > backslash ? slash : backslash;
  char* last_part = last_separator ? last_separator + 1 : path;
  if (!std::strchr(last_part, '.')) return;
  if (last_separator) {
    *last_separator = '\0';
  } else if (path[0] && path[1] == ':') {
    path[2] = '\0';  // "C:name.ext" keeps its drive
  } else {
    path[0] = '\0';
  }
}

void GetWindowMetrics(int* frame_width, int* caption_height, int* menu_height) {
  *frame_width = GetSystemMetrics(SM_CXDLGFRAME);
  NONCLIENTMETRICSA metrics;
  std::memset(&metrics, 0, sizeof metrics);
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    *caption_height = metrics.iCaptionHeight;
    *menu_height = metrics.iMenuHeight;
  } else {
    *caption_height = GetSystemMetrics(SM_CYCAPTION);
    *menu_height = GetSystemMetrics(SM_CYMENU);
  }
}
