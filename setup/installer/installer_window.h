// The installer's window: the skin, the OS line, two lines of text and one
// button that installs or removes the product, a blinking busy look while
// the install worker runs, the outcome messages, and the unattended run.
#pragma once

#include <windows.h>

#include "setup/installer/command_line.h"
#include "setup/procedures/installer_context.h"

constexpr char kInstallerWindowClass[] = "QXBrindlemoor0Installer0MainWindow0";
constexpr int ID_AUTO_RUN = 165;
constexpr int AUTO_RUN_PARAM = 101;
constexpr UINT_PTR BLINK_TIMER_ID = 12347;
constexpr int kSkinBitmapId = 101;
constexpr int kInstallerIconId = 100;

extern InstallerContext g_installer;

// Registers the window class; 1, or 0 after the "Startup Error" message.
int RegisterInstallerWindowClass(HINSTANCE instance);

// Creates the window with `caption` (hidden when silent). Null after the
// "Startup Error" message.
HWND CreateInstallerWindow(HINSTANCE instance, const char* caption);

