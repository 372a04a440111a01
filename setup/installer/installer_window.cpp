// The installer's window: see installer_window.h.
//
// How it works. Whether the product is installed is decided once, at window
// creation, by the driver probe; it picks "Install" or "Remove" for the one
// button. Install runs on a worker thread and reports by posting
// ID_PROCEDURE_NOTIFY; a 500 ms timer meanwhile blinks the busy button and
// shows the step the worker is at. Remove runs here on the window thread.
// An unattended run (-i / -u) posts itself ID_AUTO_RUN at creation and ends
// the program with the procedure's result as exit code.
//
// Closing after a procedure. A procedure that fails posts NOTIFY_FAILED; the
// box that answers it runs a message loop of its own, and a close or quit
// request already queued behind it would end that box before anyone read
// it. So whoever ran a procedure closes the window only when no outcome
// message is waiting; otherwise the outcome's handler shows its box and then
// closes. The exit code the program ends with is kept until WM_DESTROY: a
// removal that failed ends the program with its failure, from a click too.
// The install worker posts its outcome a moment before it ends, and the
// window ignores a close while it runs; so the outcome's handler waits for
// the worker to end before it asks for the close.
//
// The web site. The installer runs as administrator, and a browser started
// from it would run so too. The address is handed to the desktop's shell,
// which starts the browser as the signed-in user (OpenAsDesktopUser); where
// the shell can't be asked, the site is not opened.
#include "setup/installer/installer_window.h"

#include <cstdio>
#include <cstring>

#include "setup/log/run_log.h"
#include "setup/procedures/install_procedures.h"
#include "setup/procedures/outcome_box.h"
#include "setup/procedures/product_info.h"
#include "setup/system/desktop_shell.h"
#include "setup/system/message_wait.h"
#include "setup/system/os_version.h"
#include "setup/system/system_probe.h"

InstallerContext g_installer;

constexpr int kBandHeight = 100;  // the white band below the skin

// What WM_DESTROY ends the message loop with: 0, or the result of an
// unattended run whose outcome box is still to be shown.
static int g_exit_code = 0;

static HFONT MakeFont(int height, int weight) {
  LOGFONTA font;
  std::memset(&font, 0, sizeof font);
  font.lfHeight = height;
  font.lfWeight = weight;
  std::snprintf(font.lfFaceName, sizeof font.lfFaceName, "Arial");
  return CreateFontIndirectA(&font);
}

static void FreeDrawingObjects(InstallerContext* c) {
  if (c->skin_bitmap) DeleteObject(c->skin_bitmap);
  if (c->text_font) DeleteObject(c->text_font);
  if (c->button_font) DeleteObject(c->button_font);
  c->skin_bitmap = nullptr;
  c->text_font = nullptr;
  c->button_font = nullptr;
}

// ---------------------------------------------------------------------------
// Painting.

static void SetButtonRect(InstallerContext* c) {
  const int w = c->skin_width;
  const int h = c->skin_height;
  c->button_rect[0] = w - 320;
  c->button_rect[1] = h + 20;
  c->button_rect[2] = w - 20;
  c->button_rect[3] = h + 80;
}

// The button with its label; `pressed` draws it black with white text.
static void DrawButton(HDC dc, InstallerContext* c, bool pressed) {
  SetButtonRect(c);
  const int* r = c->button_rect;
  HGDIOBJ old_pen = SelectObject(dc, GetStockObject(BLACK_PEN));
  HGDIOBJ old_brush = SelectObject(dc, GetStockObject(pressed ? BLACK_BRUSH : WHITE_BRUSH));
  RoundRect(dc, r[0], r[1], r[2] + 1, r[3] + 1, 8, 8);
  SelectObject(dc, old_brush);
  SelectObject(dc, old_pen);
  HGDIOBJ old_font = SelectObject(dc, c->button_font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, pressed ? RGB(255, 255, 255) : RGB(0, 0, 0));
  RECT text = {r[0], r[1], r[2], r[3]};
  DrawTextA(dc, c->installed ? "Remove" : "Install", -1, &text,
            DT_SINGLELINE | DT_CENTER | DT_VCENTER);
  SelectObject(dc, old_font);
}

static void Paint(HWND window, InstallerContext* c) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  const int w = c->skin_width;
  const int h = c->skin_height;
  HGDIOBJ old_font = SelectObject(dc, c->text_font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  RECT os_line = {20, 200, w - 160, h};
  DrawTextA(dc, OsText(c->os_code), -1, &os_line, DT_SINGLELINE | DT_TOP);

  HGDIOBJ old_pen = SelectObject(dc, GetStockObject(NULL_PEN));
  HGDIOBJ old_brush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
  Rectangle(dc, 0, h, w + 2, h + kBandHeight + 2);  // a null pen draws one pixel less each way
  SelectObject(dc, old_brush);
  SelectObject(dc, old_pen);

  RECT first = {20, h + 30, w, h + 50};
  DrawTextA(dc,
            c->installed ? "Brindlemoor is already installed..."
                         : "Ready to install ? Click the button right there...",
            -1, &first, DT_SINGLELINE | DT_NOCLIP);
  SetTextColor(dc, RGB(100, 100, 100));
  RECT second = {20, h + 50, w, h + 70};
  DrawTextA(dc,
            c->installed ? "previous version has to be removed before installing new one..."
                         : "it will install Tarnwell Brindlemoor on your system...",
            -1, &second, DT_SINGLELINE | DT_NOCLIP);
  SelectObject(dc, old_font);
  DrawButton(dc, c, false);
  EndPaint(window, &ps);
}

static void PaintBackground(HDC dc, const InstallerContext* c) {
  HDC memory = CreateCompatibleDC(dc);
  if (!memory) return;
  HGDIOBJ old = SelectObject(memory, c->skin_bitmap);
  BitBlt(dc, 0, 0, c->skin_width, c->skin_height, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
}

// One tick of the busy look: "Installing" blinks once a second, the step
// name of the worker stays.
static void PaintBusyButton(HWND window, InstallerContext* c) {
  c->blink_count += 1;
  HDC dc = GetDC(window);
  if (!dc) return;
  const int* r = c->button_rect;
  HGDIOBJ old_pen = SelectObject(dc, GetStockObject(BLACK_PEN));
  HGDIOBJ old_brush = SelectObject(dc, GetStockObject(BLACK_BRUSH));
  RoundRect(dc, r[0], r[1], r[2] + 1, r[3] + 1, 8, 8);
  SelectObject(dc, old_brush);
  SelectObject(dc, old_pen);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  HGDIOBJ old_font = SelectObject(dc, c->button_font);
  if (c->blink_count % 2 == 1) {
    RECT label = {r[0], r[1], r[2], r[3] - 15};
    DrawTextA(dc, "Installing", -1, &label, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
  }
  SelectObject(dc, c->text_font);
  char status[sizeof c->status_text];
  CopyStatusText(c, status, sizeof status);
  RECT strip = {r[0], r[3] - 20, r[2], r[3]};
  DrawTextA(dc, status, -1, &strip, DT_SINGLELINE | DT_CENTER);
  SelectObject(dc, old_font);
  ReleaseDC(window, dc);
}

// ---------------------------------------------------------------------------
// Messages.

static void CloseInstallerWindow(HWND window) { PostMessageA(window, WM_DESTROY, 0, 0); }

// 1 when a procedure has posted an outcome that the window has yet to show.
static int OutcomePending(HWND window) {
  MSG queued;
  return PeekMessageA(&queued, window, WM_COMMAND, WM_COMMAND, PM_NOREMOVE) &&
         LOWORD(queued.wParam) == ID_PROCEDURE_NOTIFY;
}

static LRESULT OnCreate(HWND window, InstallerContext* c) {
  c->window = window;
  c->text_font = MakeFont(16, 800);
  c->button_font = MakeFont(40, 400);
  c->skin_bitmap = static_cast<HBITMAP>(
      LoadImageA(c->instance, MAKEINTRESOURCEA(kSkinBitmapId), IMAGE_BITMAP, 0, 0, 0));
  BITMAP info;
  if (c->skin_bitmap && GetObjectA(c->skin_bitmap, sizeof info, &info) == sizeof info) {
    c->skin_width = info.bmWidth;
    c->skin_height = info.bmHeight;
  }
  c->hand_cursor = LoadCursorA(nullptr, IDC_HAND);
  c->os_code = DetectOs();
  c->installed = ProbeDriverInterface();
  LogRun("installed test: %s", c->installed ? "the mixer driver is installed (remove)"
                                            : "the mixer driver is not installed (install)");
  SetButtonRect(c);

  int border, caption;
  NONCLIENTMETRICSA metrics;
  std::memset(&metrics, 0, sizeof metrics);
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    border = metrics.iBorderWidth;
#if WINVER >= 0x0600
    border += metrics.iPaddedBorderWidth;
#endif
    caption = metrics.iCaptionHeight;
  } else {
    border = GetSystemMetrics(SM_CXPADDEDBORDER) + GetSystemMetrics(SM_CXDLGFRAME);
    caption = GetSystemMetrics(SM_CYCAPTION);
  }
  if (!g_installer_flags.silent) {
    SetWindowPos(window, nullptr, 0, 0, c->skin_width + 2 * border,
                 c->skin_height + kBandHeight + caption + 2 * border,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_SHOWWINDOW);
    c->timer_id = SetTimer(window, BLINK_TIMER_ID, 500, nullptr);
  }
  if (g_installer_flags.auto_install || g_installer_flags.auto_remove) {
    PostMessageA(window, WM_COMMAND, ID_AUTO_RUN, AUTO_RUN_PARAM);
  }
  return 0;
}

// Waits for the install worker to end, so that a close that follows is not
// ignored; the handle is closed.
static void WaitForWorker(InstallerContext* c) {
  if (c->worker_thread == nullptr) return;
  WaitHandlingMessages(c->worker_thread, INFINITE);
  CloseHandle(c->worker_thread);
  c->worker_thread = nullptr;
}

// The install's failures that its procedure reports to nobody: the driver
// setup program did not run. The window says so itself.
static const char kSetupNotRunText[] =
    "Failed to launch the driver setup program...\nBrindlemoor has not been installed on your "
    "system";

static bool IsUnreportedInstallFailure(int result) {
  return result == kDriverSetupNotStarted || result == kDriverSetupNoProcess;
}

// An explicit removal also removes what an install that failed part-way
// left: the product folder is there although the driver is not.
static bool ProductFolderPresent(InstallerContext* c) {
  if (ResolveProgramFilesTarget(c, kProductSubFolder) != 0) return false;
  const DWORD attributes = GetFileAttributesA(c->target_folder);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

static void OnButtonDown(HWND window, InstallerContext* c, int x, int y) {
  if (IsWorkerRunning(c)) return;
  const int* r = c->button_rect;
  if (r[0] < x && x < r[2] && r[1] < y && y < r[3]) {
    HDC dc = GetDC(window);
    if (dc) {
      DrawButton(dc, c, true);
      ReleaseDC(window, dc);
    }
    Sleep(200);
    if (!c->installed) {
      if (StartWorker(c, 0) == -1) {
        ShowOutcomeBox(window, "Failed to launch Procedure...", "Brindlemoor Installation Error",
                       MB_SYSTEMMODAL | MB_ICONERROR);
        g_exit_code = -1;
        CloseInstallerWindow(window);
      }
    } else {
      g_exit_code = UninstallProcedure(c);
      // A failure's box comes first; its handler closes the window after it.
      if (!OutcomePending(window)) CloseInstallerWindow(window);
    }
  } else if (y < c->skin_height) {
    OpenAsDesktopUser(PRODUCT_WEB_ADDRESS);
  }
}

// A procedure's outcome (ID_PROCEDURE_NOTIFY): its box, then the window closes.
static void OnProcedureNotify(HWND window, InstallerContext* c, LPARAM code) {
  if (g_installer_flags.silent) return;
  if (code == NOTIFY_FAILED) {
    ShowOutcomeBox(window, c->error_text, c->error_caption, MB_SYSTEMMODAL | MB_ICONERROR);
  } else if (code == NOTIFY_INSTALLED) {
    ShowOutcomeBox(window,
                   "Installation Complete and Successful !\n\nYou must reboot your system to "
                   "finalize installation",
                   "REBOOT YOUR SYSTEM", MB_SYSTEMMODAL | MB_ICONWARNING);
  } else {
    return;
  }
  // A clicked install ends with its outcome too (a removal, and an
  // unattended install, have set the code already).
  const bool clicked_install = c->worker_thread != nullptr;
  WaitForWorker(c);
  if (clicked_install) g_exit_code = c->worker_result;
  PostMessageA(window, WM_CLOSE, 0, 0);
}

// The command line's run (ID_AUTO_RUN), posted once the window is up.
static void OnAutoRun(HWND window, InstallerContext* c) {
  int result = 0;
  if (c->installed || (g_installer_flags.auto_remove && ProductFolderPresent(c))) {
    result = UninstallProcedure(c);
  } else if (g_installer_flags.auto_install) {
    result = StartWorker(c, 1);
    if (!g_installer_flags.silent && IsUnreportedInstallFailure(result)) {
      ShowOutcomeBox(window, kSetupNotRunText, c->error_caption, MB_SYSTEMMODAL | MB_ICONERROR);
    }
  }
  g_exit_code = result;
  // A visible run shows the outcome's box first; its handler then closes
  // the window, and WM_DESTROY ends the program with this result.
  if (!g_installer_flags.silent && OutcomePending(window)) return;
  if (c->timer_id) KillTimer(window, c->timer_id);
  c->timer_id = 0;
  FreeDrawingObjects(c);
  PostQuitMessage(result);
}

// The two commands the window gets, each to its own handler.
static void OnCommand(HWND window, InstallerContext* c, int id, LPARAM code) {
  if (id == ID_PROCEDURE_NOTIFY) {
    OnProcedureNotify(window, c, code);
  } else if (id == ID_AUTO_RUN && code == AUTO_RUN_PARAM) {
    OnAutoRun(window, c);
  }
}

// The timer also notices a clicked install that ended without a word: its
// failure is shown here and is the exit code.
static void OnTimer(HWND window, InstallerContext* c, WPARAM timer) {
  if (timer != BLINK_TIMER_ID) return;
  if (IsWorkerRunning(c)) {
    PaintBusyButton(window, c);
  } else if (c->worker_thread != nullptr && IsUnreportedInstallFailure(c->worker_result)) {
    WaitForWorker(c);
    g_exit_code = c->worker_result;
    ShowOutcomeBox(window, kSetupNotRunText, c->error_caption, MB_SYSTEMMODAL | MB_ICONERROR);
    CloseInstallerWindow(window);
  }
}

// Over the picture the cursor is a hand: a click there opens the web site.
static void OnMouseMove(const InstallerContext* c, int y) {
  if (y < c->skin_height) SetCursor(c->hand_cursor);
}

// Closing waits for a running install: the worker reports to this window.
static void OnClose(HWND window, const InstallerContext* c) {
  if (!IsWorkerRunning(c)) CloseInstallerWindow(window);
}

static void OnDestroy(HWND window, InstallerContext* c) {
  if (c->timer_id) KillTimer(window, c->timer_id);
  c->timer_id = 0;
  FreeDrawingObjects(c);
  PostQuitMessage(g_exit_code);
}

static LRESULT CALLBACK InstallerWindowProc(HWND window, UINT message, WPARAM wparam,
                                            LPARAM lparam) {
  InstallerContext* c = &g_installer;
  const int x = static_cast<int16_t>(LOWORD(lparam));
  const int y = static_cast<int16_t>(HIWORD(lparam));
  switch (message) {
    case WM_CREATE: return OnCreate(window, c);
    case WM_PAINT: Paint(window, c); return 0;
    case WM_ERASEBKGND: PaintBackground(reinterpret_cast<HDC>(wparam), c); return 1;
    case WM_TIMER: OnTimer(window, c, wparam); return 0;
    case WM_MOUSEMOVE: OnMouseMove(c, y); return 0;
    case WM_LBUTTONDOWN: OnButtonDown(window, c, x, y); return 0;
    case WM_COMMAND: OnCommand(window, c, LOWORD(wparam), lparam); return 0;
    case WM_CLOSE: OnClose(window, c); return 0;
    case WM_DESTROY: OnDestroy(window, c); return 0;
    default: return DefWindowProcA(window, message, wparam, lparam);
  }
}

int RegisterInstallerWindowClass(HINSTANCE instance) {
  WNDCLASSA wc;
  std::memset(&wc, 0, sizeof wc);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = InstallerWindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kInstallerIconId));
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(12));
  wc.lpszClassName = kInstallerWindowClass;
  if (!RegisterClassA(&wc)) {
    MessageBoxA(nullptr, "Failed to register window class...", "Startup Error", MB_ICONWARNING);
    return 0;
  }
  return 1;
}

HWND CreateInstallerWindow(HINSTANCE instance, const char* caption) {
  HWND window =
      CreateWindowExA(0, kInstallerWindowClass, caption,
                      WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CLIPCHILDREN,
                      CW_USEDEFAULT, CW_USEDEFAULT, 900, 300, nullptr, nullptr, instance, nullptr);
  if (!window) {
    MessageBoxA(nullptr, "Failed to create window...", "Startup Error", MB_ICONWARNING);
    return nullptr;
  }
  if (g_installer_flags.silent) {
    ShowWindow(window, SW_HIDE);
  } else {
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
  }
  return window;
}
