// What knobs and sliders share: the value block, the drag session (capture,
// the latency timer, capture loss), the value pop-up while dragging, the
// begin/value/end notifications, the owner's commands, the "Edit Value"
// chain, "Adjust Value", the context menu's value commands and the
// precision window's refresh.
//
// Each control's record starts with a ValueControl, so the shared code
// reaches the common part through the same pointer; the control says how
// it redraws after a change through `redraw`.
//
// A notification runs the owner's code, which may destroy the control. So
// every function that notifies returns false when the control is gone, and
// its caller must then return at once without touching the record.
#pragma once

#include "ctl/control_window.h"
#include "ctl/library_state.h"
#include "ctl/portable/value_range.h"
#include "ctl/precision_adjust.h"
#include "ctl/value_menu.h"

constexpr UINT_PTR kLatencyTimerId = 1;
constexpr int kClosingCommand = kMenuPrecisionClosed;

struct ValueControl;
typedef void (*ValueRedraw)(ValueControl* control);

struct ValueControl {
  HWND window;
  HWND parent;
  int32_t x, y;  // position in the parent
  int32_t width, height;
  uint16_t id;
  int32_t enabled;
  int32_t focused;
  int32_t dragging;
  int32_t moves_allowed;  // cleared by the latency timer after a press
  UINT_PTR latency_timer;
  int32_t last_x, last_y;  // the mouse during a drag
  POINT anchor;            // client point where the editors open
  uint32_t style;
  NotifyTarget target;
  ValueRange range;
  ValueMenu menu;
  ValueMenuKind kind;
  ValueRedraw redraw;  // recompute what the value moves and draw it now
  ValueTextHook text;  // the owner's text of the value in the pop-up, or none
};

// What a knob or slider gives its common part at creation.
struct ValueControlSetup {
  ControlPlacement place;
  int32_t width, height;
  uint32_t style;
  NotifyTarget target;
  ValueRange range;
  ValueMenuKind kind;
  ValueRedraw redraw;
  POINT anchor;  // client point where the editors open
};

// Fills the common part of a new control: enabled, not focused, not dragging.
void InitValueControl(ValueControl* control, HWND window, const ValueControlSetup* setup);

// The end of a knob's or slider's WM_CREATE, once its own part is set up:
// builds the context menu (editing offered when `editable`, decibel items
// when the style asks) and attaches `record`, whose first field is `control`.
// 0, or -1 with `record` freed (creation then fails).
LRESULT FinishValueControlCreate(HWND window, void* record, ValueControl* control, bool editable);

// What a Create…Ex call gives the control: the owner that hears it (its
// callback, or commands posted to `parent` when there is none) and a range
// of `decimals` places with the value at its default.
NotifyTarget ValueControlOwner(HWND parent, uint32_t style, NotifyCallback callback,
                               void* user_data);
ValueRange PlainValueRange(float minimum, float maximum, float default_value, float step,
                           uint32_t decimals, uint32_t style);

// The messages knobs and sliders handle alike, after those of every control
// (HandledBySkeleton): focus, capture loss, the latency timer, release,
// double-click, commands, close, and destruction (which frees the record). Returns true and
// sets `*result` when it handled `message`.
bool OnCommonValueMessage(ValueControl* control, UINT message, WPARAM wparam, LPARAM lparam,
                          LRESULT* result);

// The common part of a knob's or slider's record, or null.
ValueControl* ValueControlOf(HWND window);

// Sends one notification. Returns false when the control was destroyed by it.
bool NotifyOwner(ValueControl* control, uint32_t code, float value);

// Begin (with kNotifyBeginEnd), value, end: a change made through a menu,
// an editor or a double-click; with `given`, the value carries
// kNotifyGivenValue. Returns false when the control is gone.
bool NotifyUserChange(ValueControl* control, bool given);

// The precision window after the control changed by itself / by its owner.
void RefreshPrecision(ValueControl* control);
void SyncPrecision(ValueControl* control);

// Starts a drag at client point (x, y): capture, pop-up, dragging flag.
void StartDrag(ValueControl* control, int x, int y);
// Finishes starting it: redraw, precision window, begin notification and,
// when `latency`, the latency timer. Returns false when the control is gone.
bool AnnounceDrag(ValueControl* control, bool latency);

// Ends a drag like a release: capture released when `release_capture` and
// still ours, redraw, value reported, spring back (knob), pop-up hidden,
// precision window, end notification. Returns false when the control is gone.
bool EndDrag(ValueControl* control, bool release_capture);

// The pop-up text follows the value during a drag.
void UpdateDragPopup(ValueControl* control);

// Steps by `units` (keys, wheel, relative drag): redraws on a change and
// notifies with kNotifyWhileMoving. Returns false when the control is gone.
bool StepValue(ValueControl* control, int units);

// Sets a value by the owner's rule, redraws, notifies begin/value/end and
// refreshes the precision window; `given` as for NotifyUserChange (a typed
// value, a menu's default, minimum or maximum). Returns false when the
// control is gone.
bool SetValueByUser(ValueControl* control, float value, bool given);

// "Edit Value": each editor the style names in turn, at the anchor.
void EditValue(ValueControl* control);

// "Adjust Value": the precision window at the anchor less 2 pixels.
void AdjustValue(ValueControl* control);

// The owner's commands 1 … 4 and the context menu's commands. Returns the
// command's result.
LRESULT OnValueCommand(ValueControl* control, WPARAM command, LPARAM lparam);

// Latency timer and capture loss.
void OnLatencyTimer(ValueControl* control);
void OnValueCaptureChanged(ValueControl* control, HWND new_owner);
