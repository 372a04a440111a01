// QX2CTL, the skinned control library: the public interface for the host
// program.
//
// The host starts the library once (InitControlLibrary) before it creates any
// control and ends it once after its windows are gone (EndControlLibrary).
// Every value control reports user changes through its NotifyTarget: by a
// synchronous callback when one is given, else by posting WM_COMMAND to its
// parent. The owner drives a control with WM_COMMAND commands 1 to 4. Values
// travel as the 32-bit pattern of an IEEE single-precision float.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "ctl/control_style.h"
#include "ctl/portable/list_geometry.h"
#include "ctl/portable/preferences.h"
#include "ctl/portable/value_range.h"
#include "ctl/portable/value_text.h"

// ---------------------------------------------------------------------------
// Notifications and commands.

// callback(user data, code, value bits); only the low 16 bits of `code` count.
typedef int (*NotifyCallback)(void* user_data, uint32_t code, uint32_t value_bits);

struct NotifyTarget {
  HWND parent;              // receives WM_COMMAND when there is no callback
  NotifyCallback callback;  // or null
  uint32_t flags;           // the control's style word; see kNotify… (control_style.h)
  void* user_data;          // handed back to the callback
};

constexpr uint32_t kNotifyBegin = 0x8000;  // OR'ed onto the id: begin of a user change
constexpr uint32_t kNotifyEnd = 0x4000;    // OR'ed onto the id: end of a user change
// OR'ed onto a knob's or slider's id for a callback owner (posted commands
// carry the id alone): the value was given whole, typed or chosen from the
// menu (default, minimum, maximum), not reached by dragging or stepping.
constexpr uint32_t kNotifyGivenValue = 0x00010000;

// Commands: SendMessageA(control, WM_COMMAND, command, lParam).
constexpr WPARAM kCtlEnable = 1;
constexpr WPARAM kCtlDisable = 2;
constexpr WPARAM kCtlGetValue = 3;  // result: the value bits
constexpr WPARAM kCtlSetValue = 4;  // lParam: the value bits; never notifies
// Knobs and sliders: lParam points to a ValueTextHook, copied, whose
// function writes the value's text in the value pop-up; null gives back the
// control's own number.
constexpr WPARAM kCtlSetValueText = 5;

// The owner's text of a value: write it into out (size bytes, with its zero).
struct ValueTextHook {
  void (*format)(void* user_data, float value, char* out, size_t size);
  void* user_data;
};

// Delivers a notification: nothing while the library is not started or is
// ending; the callback's result when the target has one; else posts
// WM_COMMAND(code & 0xFFFF, value) to the parent and returns 0.
int SendNotification(const NotifyTarget* target, uint32_t code, uint32_t value_bits);

uint32_t FloatBits(float value);
float FloatFromBits(uint32_t bits);

// ---------------------------------------------------------------------------
// Start and end.

// Starts the library (or only counts a further start). Returns 1, or 0 when a
// class could not be registered (GetControlLibraryError tells which) or the
// common controls could not be initialised. `application_name` names the
// preference key; at most 127 characters are kept.
int InitControlLibrary(HINSTANCE instance, const char* application_name);

// Counts one end; the last one destroys the pop-ups, releases every shared
// object, unregisters the classes and writes the preferences.
void EndControlLibrary();

// Error codes 0 … 9 and their texts.
enum ControlLibraryError : uint16_t {
  kCtlNoError = 0,
  kCtlNotInitialized = 1,
  kCtlKnobClass = 2,
  kCtlImageButtonClass = 3,
  kCtlFreePanelClass = 4,
  kCtlSliderClass = 5,
  kCtlStackedListClass = 6,
  kCtlValueGridClass = 7,
  kCtlLineListClass = 8,
  kCtlValuePopupClass = 9,
};
uint16_t GetControlLibraryError();
const char* GetControlLibraryErrorText(uint16_t code);

// The preferences as the controls see them (read at the first start, written
// at the last end). Null while the library is stopped.
ControlPreferences* GetControlPreferences();

// Writes the preferences now (the last end writes them again): for a session
// that ends before the library does.
void SaveControlPreferences();

// 1 while a modal value editor (quick edit box, time-entry dialog) runs its
// loop: code that frees what the editor's caller uses must wait until it ends.
int IsValueEditorOpen();

// Dismisses the open value editors; their loops end once their caller's
// message handler returns.
void CloseValueEditors();

// Class names (each with the library's suffix).
extern const char kKnobClass[];
extern const char kImageButtonClass[];
extern const char kFreePanelClass[];
extern const char kFreePanelNoDoubleClickClass[];
extern const char kSliderClass[];
extern const char kStackedListClass[];
extern const char kValueGridClass[];
extern const char kLineListClass[];
extern const char kValuePopupClass[];

// ---------------------------------------------------------------------------
// Shared drawing objects (index 0 … 15; the caller keeps it in range).

COLORREF GetLibraryColor(int index);
HBRUSH GetLibraryBrush(int index);
HPEN GetLibraryPen(int index);
HFONT GetLibraryFont(int index);
HPEN GetDashDotPen();
HBRUSH GetCheckerBrush();

// Stock bitmaps 1500 … 1518 by index 0 … 18; null outside.
HBITMAP GetStockBitmap(int index);
constexpr int kStockBitmapFirstId = 1500;
constexpr int kStockBitmapCount = 19;

// ---------------------------------------------------------------------------
// Drawing shared by the controls (drawing.cpp).

// A square mask of side `diameter`: white, with a black disc touching its
// edges. Cached by diameter (31 at most: then null for a new diameter).
HBITMAP GetRoundMask(HWND window, int diameter);

// Draws `image` through `mask` at (x, y), w × h (at most 128 × 128): the
// background shows where the mask is white; the image must be black there.
// Without a mask, or before any mask exists, the image is copied plainly.
void DrawMasked(HDC dc, int x, int y, int w, int h, HBITMAP image, HBITMAP mask);

// Copies the w × h part of `bitmap` at (sx, sy) to (x, y) with `rop`.
void DrawBitmap(HDC dc, int x, int y, int w, int h, HBITMAP bitmap, int sx, int sy, DWORD rop);

// The disabled look: a white cross outlined in black over the rectangle.
void DrawDisabledCross(HDC dc, int left, int top, int right, int bottom);
// The focus mark: a small red triangle with its corner at (x, y).
void DrawFocusMark(HDC dc, int x, int y);
// A read-out's text, centred in `box` on one line, in `color` on what is
// there: in the 14-pixel font (bold when asked), or the 12- or 10-pixel one
// where it is too wide for that. The DC's font, colour and mode are as they
// were after.
void DrawReadoutText(HDC dc, RECT box, const char* text, COLORREF color, bool bold = false);

// GDI objects the library holds now (for leak checks).
int ControlLibraryGdiObjects();

// ---------------------------------------------------------------------------
// Image button.

struct ImageButtonLook {
  int32_t width;  // 0: width and height from the off image
  int32_t height;
  HBITMAP off_image;
  HBITMAP on_image;
  HBITMAP disabled_image;  // null: the disabled cross
  int32_t reserved[2];
  int32_t shape;  // 1 round (through a round mask), else rectangular
  uint32_t mode;  // kButton… bits
};

// The general form. Returns the window, or null.
HWND CreateImageButton(HWND parent, int id, int x, int y, const ImageButtonLook* look,
                       const NotifyTarget* target);

// The panel's form: `flags` is the mode word (kNotifyBeginEnd in it asks for
// press and release events); size from the off image; rectangular.
HWND CreateImageButtonEx(HWND parent, int id, int x, int y, uint32_t flags, HBITMAP off_image,
                         HBITMAP on_image, HBITMAP disabled_image, NotifyCallback callback,
                         void* user_data);

// The library's small toggle (stock bitmaps 1500 and 1501); kButtonPush or
// kButtonSelect in `flags` change its mode; notifications go to `parent`.
HWND CreateStockToggle(HWND parent, int id, int x, int y, uint32_t flags);

// Moves the focus among the owner's children for Tab and Shift+Tab. Returns
// 0 when the key was Tab, 1 (not handled) for any other key.
int CycleFocus(HWND owner, WPARAM key);

// ---------------------------------------------------------------------------
// Rotary knob.
//
// Style bits: control_style.h (kNotify…, kStyle…, StyleColors for the
// pointer's pen and brush).

struct KnobLook {
  int32_t width;  // 0: width and height from the image
  int32_t height;
  HBITMAP image;
  HBITMAP dragging_image;  // or null
  HBITMAP disabled_image;  // or null: the disabled cross
  int16_t start_degrees;   // angle of the minimum (0 right, counter-clockwise)
  int16_t end_degrees;     // angle of the maximum; the knob turns clockwise
  int32_t round;           // 1: drawn through a round mask
  uint32_t style;
  int32_t centre_x, centre_y;  // the pivot inside the image
};

struct KnobPointer {
  int32_t length;
  int32_t width;
  uint16_t pen_index;
  uint16_t brush_index;
};

// The general form: builds the knob from its records (`range` needs
// minimum, maximum, default, step, decimals, style). Returns the window or null.
HWND CreateKnob(HWND parent, int id, int x, int y, const KnobLook* look, const NotifyTarget* target,
                const KnobPointer* pointer, const ValueRange* range);

// The panel's form: a round knob the size of `image`, pointer length
// width / 3 + 2, 3 decimals.
HWND CreateKnobEx(HWND parent, int id, int x, int y, uint32_t style, HBITMAP image, int centre_x,
                  int centre_y, int start_degrees, int end_degrees, float minimum, float maximum,
                  float default_value, float step, NotifyCallback callback, void* user_data);

// ---------------------------------------------------------------------------
// Slider.
//
// Style bits: control_style.h (kNotify…, kStyle…, StyleColors for an
// image-less thumb's pen and brush). The minimum may exceed the maximum.

struct SliderLook {
  int32_t width;  // 0: width and height from the track image
  int32_t height;
  HBITMAP track_image;
  HBITMAP dragging_track_image;  // or null
  HBITMAP disabled_image;        // or null: the disabled cross
  int16_t margin_minimum;        // pixels kept free at the minimum's end
  int16_t margin_maximum;
  int32_t round_thumb;  // 1: the thumb image drawn through a round mask
  uint32_t style;
  int32_t cross_offset;  // the thumb's top (horizontal) or left (vertical)
};

struct SliderThumb {
  HBITMAP image;  // or null: a rectangle in the pen and brush below
  int32_t width;  // 0: from the image
  int32_t height;
  uint16_t pen_index;
  uint16_t brush_index;
};

// The general form (`range` needs minimum, maximum, default, step,
// decimals, style). Returns the window or null.
HWND CreateSlider(HWND parent, int id, int x, int y, const SliderLook* look,
                  const NotifyTarget* target, const SliderThumb* thumb, const ValueRange* range);

// The panel's form: size from the track image, thumb size from its image.
HWND CreateSliderEx(HWND parent, int id, int x, int y, uint32_t style, HBITMAP track_image,
                    HBITMAP thumb_image, float minimum, float maximum, float default_value,
                    float step, int decimals, int margin_minimum, int margin_maximum,
                    int cross_offset, NotifyCallback callback, void* user_data);

// ---------------------------------------------------------------------------
// Free panel: an empty child window whose owner procedure handles every
// message but creation bookkeeping, the focus click and WM_CLOSE. The
// procedure passes what it does not handle to DefWindowProcA itself; it
// sees WM_CREATE first and WM_DESTROY last. The panel's id: GWL_ID.

typedef LRESULT (*FreePanelProc)(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                 void* user_data);

// Creates a free panel (double-click messages on). Returns the window or null.
HWND CreateFreePanel(HWND parent, int id, int x, int y, int width, int height,
                     FreePanelProc procedure, void* user_data);

// ---------------------------------------------------------------------------
// Value editors. Both are modal and open at a screen point; opening one
// closes an editor of the same kind that is still open.

// Text style words: control_style.h (TextStyle). Knobs and sliders use
// kTextStyleValue.

// The quick edit box: one bare edit field of `width` × `height` at screen
// (x, y) showing `initial_text` selected. Returns a 1024-byte buffer the
// caller frees with free(): the typed text after Enter, an empty text when
// the box was dismissed (Escape, a click elsewhere), or null when the buffer
// could not be allocated. `*edited`, when given, says whether the user
// changed the text at all (EM_GETMODIFY): an Enter on an untouched box
// gives the opening text back, which is no answer, while the same text
// typed anew is one.
char* OpenQuickEdit(HWND parent, uint32_t text_style, int x, int y, int width, int height,
                    const char* initial_text, int* edited = nullptr);

// The answer of the time-entry dialog when it was cancelled (bits 0xF99A130C).
constexpr float kTimeDialogCancel = -1.0e35f;

// The time-entry dialog at screen (x, y) on `initial_seconds`. Returns the
// new time in seconds, or kTimeDialogCancel. Its musical and video settings
// persist in the library's preferences.
float OpenTimeDialog(HWND parent, uint32_t text_style, int x, int y, float initial_seconds);

// ---------------------------------------------------------------------------
// Window drag of captionless windows.

struct WindowDragState {
  HWND window;
  int32_t dragging;
  int32_t outline_drawn;
  int32_t last_x, last_y;  // screen
  int32_t grab_x, grab_y;  // pointer at the press minus the window's top-left
  int32_t left, top;
  int32_t width, height;
  HWND previous_capture;
};

void InitWindowDrag(WindowDragState* state, HWND window);
void BeginWindowDrag(WindowDragState* state, int x, int y);  // client coordinates
void MoveWindowDrag(WindowDragState* state, int x, int y);
void EndWindowDrag(WindowDragState* state, int x, int y);
int IsWindowDragging(const WindowDragState* state);
// For WM_CAPTURECHANGED: when the capture went to another window mid-drag,
// the drag ends like a release (outline erased, window moved) and the
// capture stays with its new owner.
void OnWindowDragCaptureChanged(WindowDragState* state, HWND new_owner);

// ---------------------------------------------------------------------------
// List controls. None draws content by itself: each keeps geometry,
// selection and input, and calls its owner to draw every item and to hear
// what the user did. The owner creates them with CreateWindowExA on the
// class name (kStackedListClass, kLineListClass, kValueGridClass) and a
// creation record as the creation parameter: the first fields of the
// control's own record, in its order. The owner fills the fields it gives
// and leaves the ones marked "the control's" zero (they are not read); the
// control keeps the sizes and counts within their limits. The window's size
// is the control's. While the library's notifications are off no callback
// runs.

// Stacked-panel list: cards of panels stacked back to front, each a header
// (line 0) and the visible lines; row headers left of the margin.
struct StackedListItem {
  int32_t id;  // the control id
  HWND window;
  int32_t line;   // 0: a panel's header
  int32_t panel;  // 1 … panel count; 0 for a row header
  RECT rect;      // where to draw, in the device context
  HDC dc;
  int32_t slot;  // back (0) to front
  int32_t selected_line;
};

// callback(user data, event, item): 1 draw an item, 2 the selected line was
// clicked again (result 1 redraws), 3 / 4 / 5 Ctrl+C / X / V, 6 all drawn,
// any other: an owner command passed through (8 … 999, above 1002).
typedef int (*StackedListCallback)(void* user_data, int event, StackedListItem* item);

// The header drag of the front panel, as the record holds it.
struct StackedListDrag {
  HWND window;
  int32_t tracking;
  int32_t outline_drawn;
  int32_t left, top;  // of the outline, client pixels
  int32_t grab;       // pointer minus the outline's left at the press
  int32_t width, height;
  RECT bounds;  // the outline stays inside
};

struct StackedListCreate {
  HWND parent;
  HWND window;            // the control's
  int32_t width, height;  // 0: the window's size
  uint16_t id;
  int32_t focused;       // the control's
  StackedListItem item;  // the control's
  int32_t line_count;
  int32_t left_margin;    // row headers live left of it
  int32_t header_height;  // of every panel
  int32_t panel_width;
  int32_t line_height;
  int32_t panel_count;                               // 1 … 16
  int32_t panel_step;                                // vertical step from one panel to the next
  int32_t visible_lines, first_line, selected_line;  // the control's
  PanelSlot slots[kMaxStackedPanels];                // the control's
  StackedListCallback callback;
  void* user_data;
  StackedListDrag drag;                // the control's
  HBITMAP composed;                    // the control's
  HBITMAP background_copy;             // the control's
  HMENU menu;                          // the control's
  HBITMAP background;                  // or null: the parent's own drawing under the control
  int32_t background_x, background_y;  // where in `background` the control starts
};
// Offsets as 32-bit : 64-bit programs lay the record out, field by field in
// the order above with each field's natural alignment.
constexpr size_t ByPointerSize(size_t offset_32, size_t offset_64) {
  return sizeof(void*) == 4 ? offset_32 : offset_64;
}
static_assert(offsetof(StackedListCreate, id) == ByPointerSize(16, 24) &&
                  offsetof(StackedListCreate, item) == ByPointerSize(24, 32) &&
                  offsetof(StackedListCreate, line_count) == ByPointerSize(68, 88) &&
                  offsetof(StackedListCreate, slots) == ByPointerSize(108, 128) &&
                  offsetof(StackedListCreate, callback) == ByPointerSize(236, 256) &&
                  offsetof(StackedListCreate, drag) == ByPointerSize(244, 272) &&
                  offsetof(StackedListCreate, background) == ByPointerSize(304, 352) &&
                  offsetof(StackedListCreate, background_y) == ByPointerSize(312, 364),
              "stacked-panel list record layout");

// Owner commands (WM_COMMAND) of the stacked-panel list.
constexpr WPARAM kStackedSelectLine = 5;  // lParam: the line as float bits
constexpr WPARAM kListNextLine = 6;
constexpr WPARAM kListPreviousLine = 7;
constexpr WPARAM kListDefaultPositions = 1000;
constexpr WPARAM kListFirstLine = 1001;
constexpr WPARAM kListLastLine = 1002;

// Line list: one column of lines with a vertical scroll bar (give the
// window WS_VSCROLL). Style bit 0: Shift or Ctrl clicks extend the selection.
struct LineListItem {
  int32_t id;
  HWND window;
  int32_t line;
  int32_t top;      // of the line, client pixels
  int32_t click_x;  // where the last press was
  HDC dc;
  int32_t selected;
  intptr_t extra;  // by event: right-press flag, menu, command or key code
};

// callback(user data, event, item): 1 draw a line, 6 all drawn, 7 the
// selection changed (extra 1: by a right press), 8 the menu opens (extra:
// the menu; result 0 cancels), 9 a menu command 100 … 999 (extra), 10 any
// other key (extra: key code), 4096 / 4097 / 4098 Ctrl+C / V / X.
typedef int (*LineListCallback)(void* user_data, int event, LineListItem* item);

struct LineListCreate {
  HWND parent;
  HWND window;                  // the control's
  int32_t x, y, width, height;  // the control's (its window's)
  uint16_t id;
  uint32_t style;                                                     // kLineListExtendedSelection
  int32_t focused;                                                    // the control's
  LineListItem item;                                                  // the control's
  int32_t line_count;                                                 // 0 … 2^28
  int32_t line_height;                                                // 1 … 32767
  int32_t visible_lines, first_line, selection_start, selection_end;  // the control's
  LineListCallback callback;
  void* user_data;
};
static_assert(offsetof(LineListCreate, id) == ByPointerSize(24, 32) &&
                  offsetof(LineListCreate, item) == ByPointerSize(36, 48) &&
                  offsetof(LineListCreate, line_count) == ByPointerSize(68, 104) &&
                  offsetof(LineListCreate, callback) == ByPointerSize(92, 128) &&
                  offsetof(LineListCreate, user_data) == ByPointerSize(96, 136),
              "line list record layout");

// Value grid: value items on a zoomable, scrollable canvas; drags change
// them, Ctrl-presses type them.
struct GridContext {
  int32_t id;
  HWND window;
  RECT rect;  // event 2: the client area; 3 and 4: the item, logical
  HDC dc;
  float* value;  // the item's value (events 3 and 4)
  int32_t tag;
  int32_t item;  // its number in the list
  void* user_data;
};

// callback(context, event): 1 at creation (result 0 fails it), 2 before
// painting (client rectangle, MM_TEXT), 3 draw one visible item (logical
// coordinates), 4 an item's value changed.
typedef int (*GridCallback)(GridContext* context, int event);

struct GridItem {
  int32_t id;
  int32_t type;                      // 1 value, 2 time, 3 toggle (0 / 1), 4 multiplied
  int32_t left, top, right, bottom;  // logical
  float value, minimum, maximum;
  float left_factor, right_factor;  // per pixel of vertical drag
  int32_t tag;
  GridCallback callback;  // or null: the grid's callback draws it
};
static_assert(offsetof(GridItem, value) == 24 && offsetof(GridItem, tag) == 44 &&
                  offsetof(GridItem, callback) == 48,
              "value item layout");
static_assert(sizeof(void*) != 4 || sizeof(GridItem) == 52, "52-byte value items");

// The grid's record holds the item context without the owner's user data,
// which follows the record's own fields at its end.
struct ValueGridCreate {
  HWND parent;
  HWND window;            // the control's
  int32_t width, height;  // the control's (its window's)
  uint16_t id;
  int32_t focused;                                                               // the control's
  alignas(GridContext) unsigned char context[offsetof(GridContext, user_data)];  // the control's
  GridCallback callback;
  int32_t virtual_width, virtual_height;  // the logical canvas of the zoomable view
  void* user_data;                        // handed back in every GridContext
};
static_assert(offsetof(GridContext, user_data) == ByPointerSize(40, 56) &&
                  offsetof(ValueGridCreate, id) == ByPointerSize(16, 24) &&
                  offsetof(ValueGridCreate, context) == ByPointerSize(24, 32) &&
                  offsetof(ValueGridCreate, callback) == ByPointerSize(64, 88) &&
                  offsetof(ValueGridCreate, virtual_width) == ByPointerSize(68, 96) &&
                  offsetof(ValueGridCreate, user_data) == ByPointerSize(76, 104),
              "value grid record layout");

// Appends copies of `items`. Returns 1, or 0 when memory ran out or the
// window is not a value grid.
int AppendGridItems(HWND grid, const GridItem* items, int count);
// Removes every item with id `item_id` (ending a drag of one). Returns how
// many went.
int RemoveGridItems(HWND grid, int32_t item_id);
// The value of item number `item`; 0 when there is none.
float GetGridItemValue(HWND grid, int item);
// Switches the Ctrl-press zoom and the scroll drag (both on at creation).
void SetGridOptions(HWND grid, int zoom_enabled, int scroll_drag_enabled);
// The zoom in percent (50 … 200).
int GetGridZoom(HWND grid);

// ---------------------------------------------------------------------------
// Small helpers.

// Width and height of a bitmap; 0 × 0 when it is not one.
void GetBitmapSize(HBITMAP bitmap, int* width, int* height);

// Copies the start directory (read once; "C:\" before that) into `out`;
// returns its length plus one, or 0 when it does not fit.
int CopyStartDirectory(char* out, int out_size);

// Cuts a path whose last part has an extension to its directory, without a
// trailing separator ('\' or '/'); a path whose last part has none is left
// unchanged.
void PathToDirectory(char* path);

// The dialog frame width, caption height and menu height of the system.
void GetWindowMetrics(int* frame_width, int* caption_height, int* menu_height);
