// A small modal dialog of the panel's look: a skin bitmap with read-out
// glasses for its numbers, the panel's image buttons for its switches and
// for OK and Cancel. The Signals menu's dialogs are each a description of
// one (signal_dialogs.h).
//
// A click on a number's glass opens a quick edit box for it; what is typed
// is brought into the number's range (a whole number for a whole one) and
// what cannot be read changes nothing. A switch toggles. OK or Enter ends
// the dialog with the numbers and switches as they are; Cancel, Esc or
// closing it leaves them as they were given. A click anywhere else drags
// the dialog. The window is the dialog manager's ("#32770"), captioned.
#pragma once

#include <windows.h>

#include <cstddef>

struct PanelDialogNumber {
  RECT box;  // the glass on the skin
  double value;
  double minimum, maximum;
  bool whole;  // typed values are rounded to whole numbers
  // A number of its own kind (both may be null): its text on the glass,
  // and what a typed text gives; false changes nothing (the function has
  // said why, if it should), true takes *value as it is.
  void (*format)(double value, char* out, size_t size);
  bool (*parse)(HWND dialog, const char* typed, double* value);
};

struct PanelDialogSwitch {
  POINT at;  // where its button goes
  bool on;
};

constexpr int kMaxDialogNumbers = 3, kMaxDialogSwitches = 6;

struct PanelDialog {
  const char* caption;
  HBITMAP skin;  // the face, `width` × `height`
  int width, height;
  HBITMAP button_on, button_off;
  PanelDialogNumber numbers[kMaxDialogNumbers];
  int number_count;
  PanelDialogSwitch switches[kMaxDialogSwitches];
  int switch_count;
  POINT ok, cancel;  // where the two buttons go
  // Draws what the dialog says beyond its numbers (may be null), with the
  // library's text font and colour selected in `dc`; called on every paint.
  void (*describe)(const PanelDialog* dialog, HDC dc, void* user);
  // Called when the user switches switch `index` (may be null); it may
  // change any switch, and the buttons then show them.
  void (*on_switch)(PanelDialog* dialog, int index, void* user);
  void* user;
};

// A description with its face, buttons and captions, and nothing else yet.
PanelDialog PanelDialogOn(const char* caption, HBITMAP skin, int width, int height,
                          HBITMAP button_on, HBITMAP button_off, POINT ok, POINT cancel);

// Runs the dialog, owned by and centred on `owner`. True after OK, with the
// numbers and switches as the user left them; false, `dialog` unchanged,
// otherwise. Window thread.
bool RunPanelDialog(HWND owner, PanelDialog* dialog);
