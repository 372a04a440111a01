// The Generator program: its global record, the main window "w_principale"
// and the order of start-up and shutdown that ties the engine, the audio
// output, the current-set file and the control library together.
#pragma once

#include <windows.h>

#include "ctl/qx2ctl.h"
#include "generator/engine/engine.h"
#include "generator/files/set_file_format.h"

enum SkinIndex {
  kSkinPanel,        // 500, the whole client area
  kSkinSmallKnob,    // 509
  kSkinLargeKnob,    // 510
  kSkinButtonOn,     // 530
  kSkinButtonOff,    // 531
  kSkinLampOn,       // 532
  kSkinLampOff,      // 533
  kSkinSliderTrack,  // 540
  kSkinSliderThumb,  // 541
  kSkinOptions,      // 550
  kSkinToneBurst,    // 551
  kSkinSequence,     // 552
  kSkinSteps,        // 553
  kSkinOutputLevel,  // 554
  kSkinCount
};

struct GeneratorApp {
  HINSTANCE instance;
  HWND main_window;
  char start_directory[1001];
  char set_file_path[kPathBytes];
  HBITMAP skins[kSkinCount];
  GeneratorEngine* engine;  // the handle slot
  HMENU popup_menu;
  WindowDragState drag;
  int frame_width, caption_height, menu_height;
  bool started;       // WM_CREATE went through: the set file was loaded
  bool latency_read;  // the latency setting was read in this run: write it back
  bool saved;         // the audio is stopped and the settings are written
  bool shut_down;     // the shutdown procedure ran to its end
  int32_t handling;   // how many of the main window's messages are being handled now
};

extern GeneratorApp g_app;

constexpr char kMainWindowClass[] = "w_principale";
constexpr char kMainWindowCaption[] = "Generator";
constexpr int kPanelWidth = 640;   // the panel skin, bitmap 500, the whole client area
constexpr int kPanelHeight = 235;  //
// The fixed part of the window height: with the caption, the menu and three
// dialog-frame widths it gives a client area of 230 rows plus one frame width,
// which shows all but the last few rows of the skin on common frames.
constexpr int kWindowBaseHeight = 230;

// Keeps the instance, reads the start directory, loads the skins and builds
// the set-file path (program entry, steps 1 and 2).
void InitGeneratorApp(HINSTANCE instance);

// Registers "w_principale". 1, or 0 after telling the user.
int RegisterMainWindowClass();

// Creates the main window; null after telling the user.
HWND CreateMainWindow();

// Deletes the skins (after the message loop).
void EndGeneratorApp();

// The whole program: entry, window, message loop, exit code.
int RunGenerator(HINSTANCE instance, int show);
