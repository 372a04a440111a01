// InstallerContext: the installer's one global state record.
//
// Zeroed at start-up and shared by the window and both procedures. The
// package's use of it (install_package.h) is `instance` (the module whose
// resources hold the package; null means the executable), `target_folder`
// and `package_directory`.
#pragma once

#include <windows.h>

#include "setup/package/package_format.h"

struct InstallerContext {
  HWND window;                     // the main window
  HINSTANCE instance;              // the installer's own module
  int on_64bit_windows;            // 1 under WOW64 (always 1 in the 64-bit build)
  char installer_path[kPathSize];  // full path of the running executable
  HANDLE installer_image;          // its file, held open since the start (OpenRunningImage)
  UINT_PTR timer_id;               // SetTimer's identifier, 0 when no timer runs
  int os_code;                     // DetectOs
  int installed;                   // 1 when the mixer driver's interface was found
  char target_folder[kPathSize];   // the product folder
  PackageEntry package_directory[kPackageEntryCount];  // copy loaded by CheckPackage
  int button_rect[4];                                  // left, top, right, bottom
  int blink_count;                                     // timer ticks while the worker runs
  HBITMAP skin_bitmap;                                 // bitmap 101
  int skin_width;
  int skin_height;
  HCURSOR hand_cursor;  // IDC_HAND
  HFONT text_font;      // Arial 16, weight 800
  HFONT button_font;    // Arial 40, weight 400
  HANDLE worker_thread;
  DWORD worker_thread_id;
  LONG worker_running;  // 1 from StartWorker until the worker has finished (Interlocked)
  int worker_result;
  char error_caption[512];
  char error_text[2048];
  char status_text[1024];
};

static_assert(sizeof(InstallerContext::package_directory) == kPackageDirectorySize,
              "the directory copy holds the 3,900 directory bytes");
