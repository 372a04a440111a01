// The generator panel: the knobs, slider, buttons, lamps and read-outs on
// the main window's skin, and the small "Options" window for the gate
// times (options_window.h). It holds no generator state of its own: every user change reads
// the engine's pending settings, changes one field and writes them back;
// RefreshPanel sets every control from the settings.
#pragma once

#include <windows.h>

#include "ctl/qx2ctl.h"
#include "generator/app/options_window.h"
#include "generator/engine/engine.h"
#include "generator/panel/panel_parameters.h"

// The skins the panel draws with (owned by the application).
struct PanelImages {
  HBITMAP panel;                       // 500: the read-outs take their background from it
  HBITMAP small_knob;                  // 509
  HBITMAP large_knob;                  // 510
  HBITMAP button_on, button_off;       // 530, 531
  HBITMAP lamp_on, lamp_off;           // 532, 533
  HBITMAP slider_track, slider_thumb;  // 540, 541
  HBITMAP options;                     // 550
};

struct GeneratorPanel {
  HWND parent;
  GeneratorEngine* engine;
  int32_t on;  // the panel's copy of "on", for the stop detection
  UINT_PTR timer;
  HWND timer_window;
  int32_t idle_ticks;
  HWND readouts[kReadoutCount];
  HWND controls[kPanelControlIds];  // by control id
  HWND lamp_on, lamp_waveform, lamp_noise;
  OptionsWindow options;
  PanelImages images;
  LevelView level_view;  // the unit and calibration the level shows in
  HWND display;          // what plays, on the title plate
};

extern GeneratorPanel g_panel;

// Zero-fills the record and keeps the engine.
void BindPanel(GeneratorPanel* panel, GeneratorEngine* engine);

// Creates every control (in Tab order) and the read-outs on `parent`.
// Returns 1, or 0 when a control could not be created.
int CreatePanel(GeneratorPanel* panel, HWND parent, const PanelImages* images);

// Sets every control from the pending settings; the "on" copy stays.
void RefreshPanel(GeneratorPanel* panel);

// The controls' notification callback (user data: the panel record).
int OnPanelNotify(void* panel, uint32_t code, uint32_t value_bits);

// The read-outs' free-panel procedure (user data: the panel record).
LRESULT OnReadoutMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam, void* panel);

// The settings the panel edits, as the engine holds them now.
GeneratorSettings PendingSettings(const GeneratorPanel* panel);

// Shows the level in `view` from now on: the read-out, the knob's pop-up
// and the display.
void SetPanelLevelView(GeneratorPanel* panel, const LevelView& view);

// The display's place on the skin: the title plate's glass.
constexpr RECT kDisplayRect = {435, 194, 632, 225};

// Destroys the options window and every control and read-out.
void DestroyPanel(GeneratorPanel* panel);
