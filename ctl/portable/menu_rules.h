// The rules of the knob's and slider's context menus that need no window:
// what each settings command does to the library preferences and which
// items are checked or greyed before the menu opens. Portable.
#pragma once

#include "ctl/portable/preferences.h"

// Knob and slider menus differ only in their first two items: the knob's
// mouse modes ("Rot_Mode") and the slider's "S_capture" / "S_settopos".
enum ValueMenuKind { kKnobMenu, kSliderMenu };

enum ValueMenuCommand {
  kMenuInverseOrCaptured = 10,  // knob: inverse mouse move; slider: mouse captured
  kMenuAngularOrDirect = 12,    // knob: angular mouse move; slider: direct position
  kMenuShowMoves = 20,          // knob only
  kMenuCurrentValue = 50,       // greyed, does nothing
  kMenuDefault = 100,
  kMenuMinimum = 101,
  kMenuMaximum = 102,
  kMenuEditValue = 103,
  kMenuAdjustValue = 104,
  kMenuPrecisionClosed = 105,  // the precision window's closing command: nothing
  kMenuLatencyFirst = 1000,    // 1000 + milliseconds
  kMenuLatencyLast = 1999,
  kMenuInfoBox = 2000,
  kMenuInfoCornerFirst = 2001,  // 2000 + corner 1 … 4
  kMenuInfoCornerLast = 2004,
};

// Applies a settings command (10, 12, 20, 1000 … 1999, 2000 … 2004) to the
// preferences. Returns 1 when `command` is one of them, 0 otherwise.
int ApplySettingsCommand(ControlPreferences* prefs, ValueMenuKind kind, int command);

// What the settings items show before the menu opens.
struct SettingsMarks {
  bool first_checked;   // item 10
  bool first_greyed;    // knob: greyed while the angular mode is on
  bool second_checked;  // item 12
  bool moves_checked;   // item 20 (knob)
  int latency_checked;  // the checked latency command, or 0
  bool info_checked;    // item 2000
  int corner_checked;   // the checked corner command, or 0
};
SettingsMarks GetSettingsMarks(const ControlPreferences* prefs, ValueMenuKind kind);
