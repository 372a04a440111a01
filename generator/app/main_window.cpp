// The main window of Generator and the program's start-up and shutdown.
//
// How it works. WM_CREATE starts the control library, the audio output, the
// engine, loads the current-set file and finally posts itself command 21,
// which resets the engine and starts the audio thread. Closing sends
// WM_CLOSE to every pop-up window of this thread that the main window owns
// (the options window, an open value editor) and posts WM_DESTROY, whose
// handler shuts everything down the other way: the audio thread is stopped
// before the set is saved and before the engine is released, so no render
// overlaps them.
#include "generator/app/main_window.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "generator/app/app_info.h"
#include "generator/app/current_set.h"
#include "generator/app/output_menu.h"
#include "generator/app/panel.h"
#include "generator/app/signals_menu.h"
#include "generator/audio/audio_thread.h"
#include "generator/audio/endpoint_watch.h"
#include "generator/audio/latency_setting.h"
#include "generator/files/set_file.h"

GeneratorApp g_app;

static const int kSkinIds[kSkinCount] = {
    IDB_PANEL,      IDB_SMALL_KNOB, IDB_LARGE_KNOB,   IDB_BUTTON_ON,    IDB_BUTTON_OFF,
    IDB_LAMP_ON,    IDB_LAMP_OFF,   IDB_SLIDER_TRACK, IDB_SLIDER_THUMB, IDB_OPTIONS,
    IDB_TONE_BURST, IDB_SEQUENCE,   IDB_STEPS,        IDB_OUTPUT_LEVEL};

void InitGeneratorApp(HINSTANCE instance) {
  g_app = GeneratorApp();
  g_app.instance = instance;
  // A start directory that cannot be read or is too long leaves both empty:
  // no set file this run, rather than one in some other folder.
  InitSetFilePath(g_app.start_directory, sizeof g_app.start_directory, g_app.set_file_path,
                  sizeof g_app.set_file_path);
  for (int i = 0; i < kSkinCount; ++i) {
    g_app.skins[i] = static_cast<HBITMAP>(
        LoadImageA(instance, MAKEINTRESOURCEA(kSkinIds[i]), IMAGE_BITMAP, 0, 0, 0));
  }
}

void EndGeneratorApp() {
  for (HBITMAP& skin : g_app.skins) {
    if (skin) DeleteObject(skin);
    skin = nullptr;
  }
}

// ---------------------------------------------------------------------------
// Start-up (WM_CREATE).

static HMENU BuildPopupMenu() {
  HMENU menu = CreatePopupMenu();
  if (!menu) return nullptr;
  AppendMenuA(menu, MF_STRING, CMD_README, "info...");
  AppendMenuA(menu, MF_STRING, CMD_LICENSE, "License...");
  AppendMenuA(menu, MF_STRING, CMD_WEB, "See QX's Web Pages...");
  AppendMenuA(menu, MF_STRING, CMD_MAIL, "E-mail me...");
  return menu;
}

// The steps of window creation; false when one failed.
static bool CreateParts(HWND window) {
  g_app.main_window = window;
  GetWindowMetrics(&g_app.frame_width, &g_app.caption_height, &g_app.menu_height);

  if (!InitControlLibrary(g_app.instance, "Generator")) return false;
  g_audio.latency_s = kDefaultLatencySeconds;
  if (!InitAudioOutput(g_app.instance, &g_app.engine)) {
    MessageBoxA(window, GetStreamError(&g_audio.stream), "Init Error", MB_OK);
    return false;
  }
  g_audio.latency_s = ReadLatencySetting(kDefaultLatencySeconds);
  g_app.latency_read = true;
  g_audio.notify_window = window;
  g_audio.lost_command = CMD_OUTPUT_LOST;
  StartEndpointWatch(window, CMD_OUTPUT_DEFAULT_CHANGED);
  SelectKeptOutput(window);
  if (!ApplyLatency(window)) return false;

  g_app.engine = CreateGenerator();
  if (!g_app.engine ||
      !SetGeneratorFormat(&g_app.engine, static_cast<float>(g_audio.sample_rate), 2)) {
    MessageBoxA(window, "Not enough memory, can't run this program", "Fatal error", MB_TASKMODAL);
    return false;
  }
  BindPanel(&g_panel, g_app.engine);
  const PanelImages images = {g_app.skins[kSkinPanel],       g_app.skins[kSkinSmallKnob],
                              g_app.skins[kSkinLargeKnob],   g_app.skins[kSkinButtonOn],
                              g_app.skins[kSkinButtonOff],   g_app.skins[kSkinLampOn],
                              g_app.skins[kSkinLampOff],     g_app.skins[kSkinSliderTrack],
                              g_app.skins[kSkinSliderThumb], g_app.skins[kSkinOptions]};
  if (!CreatePanel(&g_panel, window, &images)) {
    MessageBoxA(window, "Not enough memory, can't run this program", "Fatal error", MB_TASKMODAL);
    return false;
  }
  LoadCurrentSet(g_app.engine, g_app.set_file_path);
  RefreshPanel(&g_panel);
  ShowOutputLevels();
  g_app.popup_menu = BuildPopupMenu();
  AppendOutputMenu(window);
  AppendSignalsMenu(window);
  InitWindowDrag(&g_app.drag, window);
  SetWindowPos(window, nullptr, 0, 0, kPanelWidth + 2 * g_app.frame_width,
               kWindowBaseHeight + g_app.caption_height + g_app.menu_height + 3 * g_app.frame_width,
               SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOZORDER);
  PostMessageA(window, WM_COMMAND, CMD_START_AUDIO, 0);
  g_app.started = true;
  return true;
}

static void Shutdown();

// A failed creation shuts down what it started at once: not every system
// sends WM_DESTROY to a window whose WM_CREATE failed (Wine does not).
static LRESULT OnCreate(HWND window) {
  if (CreateParts(window)) return 0;
  Shutdown();
  return -1;
}

// ---------------------------------------------------------------------------
// Commands.

static void StartAudioFresh() {
  ResetGenerator(&g_app.engine);
  StartAudio();
}

static void SetLatency(HWND window, float latency_s) {
  StopAudio();
  g_audio.latency_s = latency_s;
  if (ApplyLatency(window)) {
    StartAudioFresh();
  } else {
    PostMessageA(window, WM_CLOSE, 0, 0);
  }
}

// Opens a document that ships beside the program ("readme.txt",
// "license.txt") from the program's own folder: the start folder is any
// folder the program was started in, and its documents, if any, are not
// ours. The shell gets the full path: some shells look for a bare name in the
// current directory rather than in the one given. A program path that cannot
// be read or does not fit opens nothing.
static void OpenDocument(HWND window, const char* name) {
  char program[kPathBytes];
  const DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
  if (length == 0 || length >= sizeof program) return;  // truncated is not our path
  char* last_separator = std::strrchr(program, '\\');
  if (!last_separator) return;
  // The folder with its separator, then the name.
  const size_t folder_bytes = static_cast<size_t>(last_separator - program) + 1;
  const size_t name_bytes = std::strlen(name) + 1;
  char path[kPathBytes];
  if (folder_bytes + name_bytes > sizeof path) return;
  std::memcpy(path, program, folder_bytes);
  std::memcpy(path + folder_bytes, name, name_bytes);
  *last_separator = '\0';  // the program's folder
  ShellExecuteA(window, "open", path, nullptr, program, SW_SHOWNORMAL);
}

static void ShowAbout(HWND window) {
  MessageBoxA(window,
              "Generator " GENERATOR_VERSION_TEXT
              "\n"
              "Audio test-signal generator\n\n"
              "Sine, triangle, sawtooth and square waves with sweeps,\n"
              "impulse, pink noise and a 31-tone multi-tone;\n"
              "white and brown noise, periodic noise, MLS, twin tones,\n"
              "tone bursts, the J-test, synchronised and stepped sweeps\n"
              "and alias-free waveforms in the Signals menu.\n\n" GENERATOR_MAKER
              "\n" GENERATOR_WEB_ADDRESS,
              "About Generator", MB_OK | MB_ICONINFORMATION);
}

static void CloseProcedure(HWND window);

static void OnCommand(HWND window, int command) {
  switch (command) {
    case CMD_STOP_AUDIO:
    case CMD_STOP_AUDIO_TOO: StopAudio(); return;
    case CMD_START_AUDIO:
      if (g_audio.run.load() == 1) return;
      StartAudioFresh();
      return;
    case CMD_QUIT: CloseProcedure(window); return;
    case CMD_ABOUT: ShowAbout(window); return;
    case CMD_DEFAULTS:
      RestoreGeneratorDefaults(g_app.engine);
      RefreshPanel(&g_panel);
      return;
    case CMD_README: OpenDocument(window, "readme.txt"); return;
    case CMD_LICENSE: OpenDocument(window, "license.txt"); return;
    case CMD_WEB:
      ShellExecuteA(window, "open", GENERATOR_WEB_ADDRESS, nullptr, nullptr, SW_SHOWNORMAL);
      return;
    case CMD_MAIL:
      ShellExecuteA(window, "open", "mailto:" GENERATOR_MAIL_ADDRESS, nullptr, nullptr,
                    SW_SHOWNORMAL);
      return;
    default: break;
  }
  for (const auto& entry : kLatencyCommands) {
    if (entry.command == command) SetLatency(window, entry.latency_s);
  }
  if (OnOutputCommand(window, command)) return;
  OnSignalsCommand(window, command);
}

static void OnInitMenu(HWND window, HMENU menu) {
  if (menu != GetMenu(window)) return;
  for (const auto& entry : kLatencyCommands) {
    const bool current = entry.latency_s == g_audio.latency_s;
    CheckMenuItem(menu, static_cast<UINT>(entry.command),
                  MF_BYCOMMAND | (current ? MF_CHECKED : MF_UNCHECKED));
  }
  CheckOutputMenu(menu);
  CheckSignalsMenu(menu);
}

// ---------------------------------------------------------------------------
// Close and shutdown.

static BOOL CALLBACK CloseOwnedPopup(HWND window, LPARAM main_window) {
  if (GetParent(window) == reinterpret_cast<HWND>(main_window) &&
      (GetWindowLongA(window, GWL_STYLE) & WS_POPUP)) {
    SendMessageA(window, WM_CLOSE, 0, 0);
  }
  return TRUE;
}

// Closes the pop-ups the main window owns. Only this thread's, which made
// them: a window of another thread or process may be owned by ours too, and
// a hung one would never answer a sent WM_CLOSE, so closing would never get
// to the save.
static void CloseOwnedPopups(HWND window) {
  EnumThreadWindows(GetCurrentThreadId(), CloseOwnedPopup, reinterpret_cast<LPARAM>(window));
}

static void CloseProcedure(HWND window) {
  CloseOwnedPopups(window);
  // Posted, not DestroyWindow: the shutdown runs from the message loop once
  // the pop-ups' own closing messages have been handled, and an editor's
  // modal loop that is still unwinding never sees the window go under it.
  PostMessageA(window, WM_DESTROY, 0, 0);
}

// Stops the audio and writes what the program keeps: the latency and the
// output choices (when they were read in this run), the set (when it was
// loaded) and the library's preferences. Runs once.
static void SaveAndStop() {
  if (g_app.saved) return;
  g_app.saved = true;
  if (g_app.latency_read) SaveOutputChoice();  // names the device while the list is there
  StopEndpointWatch();
  FreeAudioStream();
  if (g_app.latency_read) WriteLatencySetting(g_audio.latency_s);
  ReleaseWaveDevices();
  if (g_app.started) SaveCurrentSet(g_app.engine, g_app.set_file_path);
}

// Also runs when WM_CREATE failed part-way: then what was not read is not
// written (the set file or the latency setting would be overwritten with
// defaults) and no quit message is posted (there is no message loop yet, and
// a pending quit would close the failure message box at once).
//
// A modal loop of this thread may be running under the shutdown: a menu's,
// a dialog's or a message box's that a handler of the main window opened, a
// value editor's. Each returns into code that uses the panel and the engine.
// Then everything is saved now, the loops are ended, and the freeing waits
// for a timer that comes back here once they have.
constexpr UINT_PTR kShutdownTimerId = 77;
constexpr UINT kShutdownRetryMs = 20;

static bool InModalLoop() {
  GUITHREADINFO thread = {};
  thread.cbSize = sizeof thread;
  const DWORD loops = GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE | GUI_INMOVESIZE;
  const bool menu = GetGUIThreadInfo(GetCurrentThreadId(), &thread) && (thread.flags & loops);
  return menu || g_app.handling > 1 || IsValueEditorOpen();
}

static void Shutdown() {
  if (g_app.shut_down) return;
  SaveAndStop();
  if (InModalLoop()) {
    SaveControlPreferences();
    CloseValueEditors();
    EndMenu();
    if (g_app.main_window) {
      CloseOwnedPopups(g_app.main_window);
      SetTimer(g_app.main_window, kShutdownTimerId, kShutdownRetryMs, nullptr);
    }
    return;
  }
  if (g_app.main_window) KillTimer(g_app.main_window, kShutdownTimerId);
  g_app.shut_down = true;
  if (g_app.popup_menu) DestroyMenu(g_app.popup_menu);
  g_app.popup_menu = nullptr;
  DestroyPanel(&g_panel);
  ReleaseGenerator(&g_app.engine);
  EndControlLibrary();
  if (g_app.started) PostQuitMessage(0);
}

// ---------------------------------------------------------------------------
// The window procedure.

static void PaintBackground(HDC dc) {
  DrawBitmap(dc, 0, 0, kPanelWidth, kPanelHeight, g_app.skins[kSkinPanel], 0, 0, SRCCOPY);
}

// The session ends without a WM_DESTROY: save now, as closing would.
static void OnEndSession(HWND window, bool ending) {
  if (!ending) return;
  CloseOwnedPopups(window);
  Shutdown();
}

// The right-click menu ("info...", "License...", the web page and mail).
static void OnRightButtonDown(HWND window, int x, int y) {
  if (!g_app.popup_menu) return;
  POINT at = {x, y};
  ClientToScreen(window, &at);
  TrackPopupMenu(g_app.popup_menu, TPM_LEFTBUTTON, at.x, at.y, 0, window, nullptr);
}

static void OnTimer(WPARAM timer) {
  if (timer == kShutdownTimerId) Shutdown();
}

// After the save, the window takes no command or input: a menu item chosen
// in a menu that was open when the window closed, a key or a click queued
// behind the close, would act on what the shutdown stops and frees.
static bool IsInputOrCommand(UINT message) {
  switch (message) {
    case WM_COMMAND:
    case WM_INITMENU:
    case WM_INITMENUPOPUP:
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN: return true;
    default: return false;
  }
}

static LRESULT HandleMainMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  const int x = static_cast<int16_t>(LOWORD(lparam));
  const int y = static_cast<int16_t>(HIWORD(lparam));
  if (g_app.saved && IsInputOrCommand(message))
    return DefWindowProcA(window, message, wparam, lparam);
  switch (message) {
    case WM_CREATE: return OnCreate(window);
    case WM_CLOSE: CloseProcedure(window); return 0;
    case WM_DESTROY: Shutdown(); return 0;
    case WM_QUERYENDSESSION: return TRUE;
    case WM_ENDSESSION: OnEndSession(window, wparam != 0); return 0;
    case WM_ERASEBKGND: PaintBackground(reinterpret_cast<HDC>(wparam)); return 1;
    case WM_KEYDOWN: CycleFocus(window, wparam); return 0;
    case WM_COMMAND: OnCommand(window, LOWORD(wparam)); return 0;
    case WM_INITMENU: OnInitMenu(window, reinterpret_cast<HMENU>(wparam)); return 0;
    case WM_INITMENUPOPUP: RefreshOutputMenu(reinterpret_cast<HMENU>(wparam)); return 0;
    case WM_LBUTTONDOWN: BeginWindowDrag(&g_app.drag, x, y); return 0;
    case WM_MOUSEMOVE: MoveWindowDrag(&g_app.drag, x, y); return 0;
    case WM_LBUTTONUP: EndWindowDrag(&g_app.drag, x, y); return 0;
    case WM_CAPTURECHANGED:
      OnWindowDragCaptureChanged(&g_app.drag, reinterpret_cast<HWND>(lparam));
      return 0;
    case WM_RBUTTONDOWN: OnRightButtonDown(window, x, y); return 0;
    case WM_TIMER: OnTimer(wparam); return 0;
    default: return DefWindowProcA(window, message, wparam, lparam);
  }
}

// Counts the messages being handled, so that the shutdown knows when it runs
// inside a modal loop that one of them opened.
static LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  ++g_app.handling;
  const LRESULT result = HandleMainMessage(window, message, wparam, lparam);
  --g_app.handling;
  return result;
}

int RegisterMainWindowClass() {
  WNDCLASSA wc;
  std::memset(&wc, 0, sizeof wc);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = MainWindowProc;
  wc.hInstance = g_app.instance;
  wc.hIcon = LoadIconA(g_app.instance, MAKEINTRESOURCEA(IDI_GENERATOR));
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW));
  wc.lpszMenuName = "MenuMonApp";
  wc.lpszClassName = kMainWindowClass;
  if (!RegisterClassA(&wc)) {
    MessageBoxA(nullptr, "Failed to register main class...", "Sorry", MB_ICONWARNING);
    return 0;
  }
  return 1;
}

HWND CreateMainWindow() {
  HWND window = CreateWindowExA(0, kMainWindowClass, kMainWindowCaption,
                                WS_VISIBLE | WS_DLGFRAME | WS_SYSMENU | WS_MINIMIZEBOX,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                                nullptr, g_app.instance, nullptr);
  if (!window) MessageBoxA(nullptr, "Failed to create window...", "Sorry", MB_ICONWARNING);
  return window;
}

int RunGenerator(HINSTANCE instance, int show) {
  InitGeneratorApp(instance);
  if (!RegisterMainWindowClass()) return 0;
  HWND window = CreateMainWindow();
  if (!window) {
    EndGeneratorApp();
    return 0;
  }
  ShowWindow(window, show);
  UpdateWindow(window);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  // The shutdown procedure ended the loop without destroying the window.
  DestroyWindow(window);
  EndGeneratorApp();
  UnregisterClassA(kMainWindowClass, instance);
  return static_cast<int>(msg.wParam);
}
