// The precision-adjust window ("Adjust Value"): a small captioned tool
// window with three tape scales that move a knob's or slider's value in
// fine steps. One per process; opening it for another control retargets it.
// Library-internal: knobs and sliders call these.
#pragma once

#include "ctl/library_state.h"
#include "ctl/portable/value_range.h"

// What the window adjusts: the control, how it reports to its owner and its
// value block (both owned by the control, which must call
// ForgetPrecisionAdjustControl before they go away).
struct PrecisionTarget {
  HWND control;          // receives the set-value command
  uint32_t flags;        // the control's style (kStyleDecibel counts)
  int closing_command;   // sent to the control when the window closes
  NotifyTarget* target;  // the owner's notifications
  int control_id;
  ValueRange* range;
};

// Opens the window for `target` at screen (x, y), owned by `parent`, or
// retargets the open one and brings it to the top. Returns the window.
HWND OpenPrecisionAdjust(HWND parent, int x, int y, const PrecisionTarget* target);

// After a change the control made itself: when the window is open it
// reloads the values (retargeting when it shows another control), redraws
// and comes to the top.
void RefreshPrecisionAdjust(const PrecisionTarget* target);

// After the owner set the control's value: as RefreshPrecisionAdjust, but
// only when the window shows this very control and target.
void SyncPrecisionAdjust(const PrecisionTarget* target);

// The control is going away: when the window shows it, the window forgets
// it at once (nothing more reaches the control or its owner) and closes.
void ForgetPrecisionAdjustControl(HWND control);
