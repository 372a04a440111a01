// The time-entry dialog: one time span shown at once in seconds,
// milliseconds, hertz, beats per minute, metres, samples, a musical
// position, video frames and as a sum of note values at a tempo.
//
// How it works. A captionless modal dialog from an in-memory template; its
// fields are created in WM_INITDIALOG in Tab order. Typing in any field
// recomputes T and rewrites every other field; while the dialog rewrites
// its own fields the busy flag makes it ignore their change notifications.
// The musical and video settings live in the library's stored context:
// each change is written back at once, and Cancel puts back the bytes taken
// at opening. The arithmetic is in musical_time.cpp; this file is only the
// window.
#include <cstdio>
#include <cstring>

#include "ctl/dialog_template.h"
#include "ctl/dialog_window.h"
#include "ctl/library_state.h"
#include "ctl/portable/musical_time.h"

constexpr int kClientWidth = 544;
constexpr int kClientHeight = 220;

constexpr int kReplaceToggleId = 15;
constexpr int kApplyId = 3;

// The note picture (stock bitmap 1506): 5 × 3 cells of 32 pixels.
constexpr int kPictureX = 180, kPictureY = 25;
constexpr int kPictureWidth = 160, kPictureHeight = 96;
constexpr int kCell = 32;
// The strip that shows the note sequence.
constexpr int kStripLeft = 179, kStripTop = 160, kStripRight = 341, kStripBottom = 194;
constexpr int kStripNoteX = 181, kStripNoteY = 162, kStripNoteSide = 30;

// Black embossed text, drawn transparent (the background index is unused).
constexpr uint32_t kTitleStyle =
    kTextStyleEmbossed | TextStyle(kPaletteBlack, kPaletteBlack, kFont18Bold);
constexpr uint32_t kLabelStyle =
    kTextStyleEmbossed | TextStyle(kPaletteBlack, kPaletteBlack, kFont14);

struct FieldPlace {
  int id;
  int x, y, width, height;
};

// The edit fields in Tab order.
static const FieldPlace kEditFields[] = {{kFieldSeconds, 6, 28, 125, 17},
                                         {kFieldMilliseconds, 6, 48, 125, 17},
                                         {kFieldHertz, 6, 68, 125, 17},
                                         {kFieldBeatsPerMinute, 6, 88, 125, 17},
                                         {kFieldMetres, 6, 108, 125, 17},
                                         {kFieldSamples, 6, 128, 125, 17},
                                         {kFieldTempo, 181, 126, 60, 17},
                                         {kFieldPosition, 360, 25, 162, 17},
                                         {kFieldTicsPerBeat, 360, 58, 50, 17},
                                         {kFieldFrames, 360, 155, 162, 17},
                                         {kFieldFramesPerSecond, 455, 185, 67, 17}};
constexpr int kEditFieldCount = sizeof kEditFields / sizeof kEditFields[0];

static const int kDenominators[] = {16, 8, 4, 2, 1};

struct PaintedText {
  int x, y;
  uint32_t style;
  const char* text;
};

static const PaintedText kTexts[] = {
    {5, 2, kTitleStyle, "Enter Time"},
    {135, 30, kLabelStyle, "(s)"},
    {135, 50, kLabelStyle, "(ms)"},
    {135, 70, kLabelStyle, "(Hz)"},
    {135, 90, kLabelStyle, "(bpm)"},
    {135, 110, kLabelStyle, "(m)"},
    {135, 130, kLabelStyle, "(smp)"},
    {180, 2, kTitleStyle, "Enter Musical Time"},
    {247, 127, kLabelStyle, "Tempo"},
    {245, 144, kLabelStyle, "Replace mode"},
    {179, 196, kLabelStyle, "Musical duration."},
    {360, 2, kTitleStyle, "Enter Musical Position"},
    {362, 44, kLabelStyle, "tic"},
    {421, 44, kLabelStyle, "Time Signature"},
    {360, 130, kTitleStyle, "Enter Video Frame"},
    {360, 187, kLabelStyle, "Frame per second"},
};

struct TimeDialogState {
  int32_t busy;                        // set while the dialog rewrites its own fields
  uint8_t* stored;                     // the library's stored context
  uint8_t opening[kTimeContextBytes];  // put back by Cancel
  TimeContext context;
  uint32_t text_style;
  HWND dialog;
  HWND fields[kEditFieldCount];
  float seconds;  // T
  TimeValues values;
  float result;
  int pressed_cell;  // -1: none
  WindowDragState drag;
  int x, y;
};


static void StoreContext(TimeDialogState* s) { EncodeTimeContext(&s->context, s->stored); }

static void SetTime(TimeDialogState* s, float seconds) {
  s->seconds = seconds > 0.0f ? FiniteFloat(seconds) : 0.0f;
  s->values = DeriveTimeValues(s->seconds, &s->context);
}

// The text field `id` shows for the present state.
static void FieldText(const TimeDialogState* s, int id, char* out, size_t size) {
  const TimeValues& v = s->values;
  switch (id) {
    case kFieldSeconds: std::snprintf(out, size, "%.6f", v.seconds); break;
    case kFieldMilliseconds: std::snprintf(out, size, "%.3f", v.milliseconds); break;
    case kFieldHertz: std::snprintf(out, size, "%.3f", v.hertz); break;
    case kFieldBeatsPerMinute: std::snprintf(out, size, "%.3f", v.beats_per_minute); break;
    case kFieldMetres: std::snprintf(out, size, "%.3f", v.metres); break;
    case kFieldSamples: std::snprintf(out, size, "%.0f", v.samples); break;
    case kFieldTempo: std::snprintf(out, size, "%.3f", s->context.tempo_bpm); break;
    case kFieldPosition: FormatMusicalPosition(v.milliseconds, &s->context, out, size); break;
    case kFieldTicsPerBeat: std::snprintf(out, size, "%04i", s->context.tics_per_beat); break;
    case kFieldFrames: std::snprintf(out, size, "%.3f", v.frames); break;
    case kFieldFramesPerSecond:
      std::snprintf(out, size, "%.3f", s->context.frames_per_second);
      break;
    default: out[0] = '\0'; break;
  }
}

static void RewriteField(TimeDialogState* s, int id) {
  for (int i = 0; i < kEditFieldCount; ++i) {
    if (kEditFields[i].id != id) continue;
    char text[128];
    FieldText(s, id, text, sizeof text);
    s->busy = 1;
    SetWindowTextA(s->fields[i], text);
    s->busy = 0;
  }
}

// Every field but `except` (0: all of them).
static void RewriteFields(TimeDialogState* s, int except) {
  for (const FieldPlace& field : kEditFields) {
    if (field.id != except) RewriteField(s, field.id);
  }
}

static void SetTimeToMusicalDuration(TimeDialogState* s, int except) {
  SetTime(s, MusicalDuration(&s->context));
  RewriteFields(s, except);
}

// A change typed into field `id`.
static void OnFieldChanged(TimeDialogState* s, int id, HWND field) {
  char text[128];
  GetWindowTextA(field, text, sizeof text);
  const double x = static_cast<double>(ParseValue(text));
  switch (id) {
    case kFieldTempo:
      s->context.tempo_bpm = x > 0.0 ? FiniteFloat(x) : 0.0f;
      StoreContext(s);
      SetTimeToMusicalDuration(s, id);
      return;
    case kFieldFramesPerSecond:
      s->context.frames_per_second = x > 0.0 ? FiniteFloat(x) : 0.0f;
      StoreContext(s);
      SetTime(s, s->seconds);
      RewriteField(s, kFieldFrames);
      return;
    case kFieldTicsPerBeat:
      s->context.tics_per_beat = x < 1.0 ? 1 : x > 99999.0 ? 99999 : static_cast<int32_t>(x);
      StoreContext(s);
      RewriteField(s, kFieldPosition);
      return;
    case kFieldPosition:
      SetTime(s, FiniteFloat(ParseMusicalPosition(text, &s->context) * 0.001));
      break;
    default: SetTime(s, TimeFromEntry(id, x, &s->context)); break;
  }
  RewriteFields(s, id);
}

static void OnListChanged(TimeDialogState* s, int id, HWND list) {
  const LRESULT entry = SendMessageA(list, LB_GETCURSEL, 0, 0);
  if (id == kFieldNumerator && entry >= 0 && entry < 64) {
    s->context.numerator = static_cast<int32_t>(64 - entry);
  } else if (id == kFieldDenominator && entry >= 0 && entry < 5) {
    s->context.denominator = kDenominators[entry];
  } else {
    return;
  }
  StoreContext(s);
  RewriteField(s, kFieldPosition);
}

static void RememberFocus(TimeDialogState* s, int id) {
  s->context.focus_id = static_cast<uint16_t>(id);
  StoreContext(s);
}

static void EndWith(TimeDialogState* s, float result) {
  s->result = result;
  EndDialog(s->dialog, 0);
}

static INT_PTR OnCommand(TimeDialogState* s, WPARAM wparam, LPARAM lparam) {
  const int id = LOWORD(wparam);
  const int code = HIWORD(wparam);
  switch (id) {
    case IDOK: EndWith(s, s->seconds); return TRUE;
    case IDCANCEL:
      std::memcpy(s->stored, s->opening, kTimeContextBytes);
      EndWith(s, kTimeDialogCancel);
      return TRUE;
    case kApplyId: SetTimeToMusicalDuration(s, 0); return TRUE;
    case kReplaceToggleId:  // the stock toggle posts its value bits
      s->context.replace_mode = FloatFromBits(static_cast<uint32_t>(lparam)) != 0.0f ? 1 : 0;
      StoreContext(s);
      return TRUE;
    case kFieldNumerator:
    case kFieldDenominator:
      if (code == LBN_SETFOCUS) RememberFocus(s, id);
      if (code == LBN_SELCHANGE && !s->busy) {
        OnListChanged(s, id, reinterpret_cast<HWND>(lparam));
      }
      return TRUE;
    default: break;
  }
  if (!IsTimeFieldId(id)) return FALSE;
  if (code == EN_SETFOCUS) RememberFocus(s, id);
  if (code == EN_CHANGE && !s->busy) OnFieldChanged(s, id, reinterpret_cast<HWND>(lparam));
  return TRUE;
}

// ---------------------------------------------------------------------------
// Creation.

static HWND CreateChild(TimeDialogState* s, DWORD ex_style, const char* kind, const char* text,
                        DWORD style, int id, int x, int y, int w, int h, HFONT font) {
  HWND child =
      CreateWindowExA(ex_style, kind, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, s->dialog,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_ctl.instance, nullptr);
  if (child) SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
  return child;
}

static void CreateFields(TimeDialogState* s) {
  HFONT font = TextStyleFont(s->text_style);
  for (int i = 0; i < kEditFieldCount; ++i) {
    const FieldPlace& f = kEditFields[i];
    s->fields[i] = CreateChild(s, WS_EX_STATICEDGE, "EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, f.id,
                               f.x, f.y, f.width, f.height, font);
    SendMessageA(s->fields[i], EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(2, 2));
    if (f.id == kFieldTicsPerBeat) {
      // The lists follow the tics field in Tab order.
      const DWORD list_style = WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | WS_BORDER;
      HWND numerators =
          CreateChild(s, 0, "LISTBOX", "", list_style, kFieldNumerator, 420, 58, 50, 60, font);
      for (int n = 64; n >= 1; --n) {
        char text[8];
        std::snprintf(text, sizeof text, "%i", n);
        SendMessageA(numerators, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
      }
      SendMessageA(numerators, LB_SETCURSEL, static_cast<WPARAM>(64 - s->context.numerator), 0);
      HWND denominators =
          CreateChild(s, 0, "LISTBOX", "", list_style, kFieldDenominator, 475, 58, 50, 60, font);
      for (int d : kDenominators) {
        char text[8];
        std::snprintf(text, sizeof text, "%i", d);
        SendMessageA(denominators, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
      }
      for (int entry = 0; entry < 5; ++entry) {
        if (kDenominators[entry] == s->context.denominator) {
          SendMessageA(denominators, LB_SETCURSEL, static_cast<WPARAM>(entry), 0);
        }
      }
    }
  }
}

static INT_PTR OnInitDialog(HWND dialog, TimeDialogState* s) {
  AttachDialogRecord(dialog, s);
  s->dialog = dialog;
  s->busy = 1;
  SetPopupSlot(kSlotTimeEntry, dialog);
  InitWindowDrag(&s->drag, dialog);
  const int frame = GetSystemMetrics(SM_CXDLGFRAME);
  SetWindowPos(dialog, nullptr, s->x, s->y, kClientWidth + 2 * frame, kClientHeight + 2 * frame,
               SWP_NOZORDER);

  CreateFields(s);
  RewriteFields(s, 0);
  s->busy = 1;  // RewriteFields leaves it clear
  HWND focus = GetDlgItem(dialog, s->context.focus_id);
  if (focus) {
    SetFocus(focus);
    SendMessageA(focus, EM_SETSEL, 0, -1);
  }
  HWND toggle = CreateStockToggle(dialog, kReplaceToggleId, 315, 126, 0);
  if (toggle && s->context.replace_mode == 1) {
    SendMessageA(toggle, WM_COMMAND, kCtlSetValue, static_cast<LPARAM>(FloatBits(1.0f)));
  }
  HFONT font = TextStyleFont(s->text_style);
  CreateChild(s, 0, "BUTTON", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, 5, 185, 70, 25, font);
  CreateChild(s, 0, "BUTTON", "Cancel", WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL, 80, 185, 70, 25,
              font);
  CreateChild(s, 0, "BUTTON", "Apply", WS_TABSTOP | BS_PUSHBUTTON, kApplyId, 275, 197, 67, 15,
              GetLibraryFont(kFont14));
  s->busy = 0;
  ShowWindow(dialog, SW_SHOW);
  InvalidateRect(dialog, nullptr, TRUE);
  return FALSE;  // the focus is set
}

// ---------------------------------------------------------------------------
// Painting.

static void DrawSequence(HDC dc, const TimeContext* c) {
  DrawSunkenBox(dc, kStripLeft, kStripTop, kStripRight, kStripBottom, 0);
  HBITMAP notes = GetStockBitmap(6);
  const int count = NoteCount(c);
  HGDIOBJ old_pen = SelectObject(dc, GetLibraryPen(kPaletteGrey180));
  for (int k = 0; k < count; ++k) {
    const int row = c->notes[k] / 5;
    const int column = c->notes[k] % 5;
    DrawBitmap(dc, kStripNoteX + kStripNoteSide * k, kStripNoteY, kStripNoteSide, kStripNoteSide,
               notes, kCell * column + 1, kCell * row + 1, NOTSRCCOPY);
    if (k == 0) continue;
    const int x = 30 * k;  // a tie from the previous note
    MoveToEx(dc, 167 + x, 179, nullptr);
    LineTo(dc, 178 + x, 179);
    MoveToEx(dc, 167 + x, 179, nullptr);
    LineTo(dc, 164 + x, 182);
    MoveToEx(dc, 178 + x, 179, nullptr);
    LineTo(dc, 181 + x, 182);
  }
  SelectObject(dc, old_pen);
}

static void Paint(HWND dialog, TimeDialogState* s) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(dialog, &ps);
  for (const PaintedText& t : kTexts) DrawStyledText(dc, t.style, t.x, t.y, t.text);
  char rate[64];
  std::snprintf(rate, sizeof rate, "Freq. Sample : %iHz", s->context.sample_rate_hz);
  DrawStyledText(dc, kLabelStyle, 8, 149, rate);
  DrawEmbossedLine(dc, 0, 170, 2, 170, 212);
  DrawEmbossedLine(dc, 0, 352, 2, 352, 212);
  DrawEmbossedLine(dc, 0, 360, 125, 523, 125);
  const POINT bracket[3] = {{327, 144}, {327, 152}, {315, 152}};
  DrawEmbossedPolyline(dc, 0, bracket, 3);
  DrawBitmap(dc, kPictureX, kPictureY, kPictureWidth, kPictureHeight, GetStockBitmap(6), 0, 0,
             SRCCOPY);
  if (s->pressed_cell >= 0) {
    const int row = s->pressed_cell / 5, column = s->pressed_cell % 5;
    PatBlt(dc, kPictureX + kCell * column, kPictureY + kCell * row, kCell, kCell, DSTINVERT);
  }
  DrawSequence(dc, &s->context);
  EndPaint(dialog, &ps);
}

// ---------------------------------------------------------------------------
// Mouse: note cells and the window drag.

static void InvertCell(TimeDialogState* s, int cell) {
  HDC dc = BorrowDc(s->dialog);
  if (!dc) return;
  PatBlt(dc, kPictureX + kCell * (cell % 5), kPictureY + kCell * (cell / 5), kCell, kCell,
         DSTINVERT);
  ReturnDc(s->dialog, &dc);
}

// The cell under a point strictly inside the note picture, or -1.
static int CellAt(int x, int y) {
  if (x <= kPictureX || x >= kPictureX + kPictureWidth) return -1;
  if (y <= kPictureY || y >= kPictureY + kPictureHeight) return -1;
  const int row = (y - 26) / kCell;
  const int column = (x - 181) / kCell;
  return row * 5 + column;
}

static bool InStrip(int x, int y) { return x >= 180 && x <= 340 && y >= 161 && y <= 193; }

static void OnLeftButtonDown(TimeDialogState* s, int x, int y) {
  if (IsWindowDragging(&s->drag) || s->pressed_cell >= 0) return;
  const int cell = CellAt(x, y);
  if (cell >= 0) {
    s->pressed_cell = cell;
    InvertCell(s, cell);
    SetCapture(s->dialog);
  } else if (!InStrip(x, y)) {
    BeginWindowDrag(&s->drag, x, y);
  }
}

// Ends a press on a note cell; the note counts when `add` and the release
// is on the pressed cell.
static void EndNotePress(TimeDialogState* s, bool add, int x, int y) {
  const int cell = s->pressed_cell;
  if (cell < 0) return;
  s->pressed_cell = -1;  // before the capture goes: releasing it re-enters
  InvertCell(s, cell);
  if (GetCapture() == s->dialog) ReleaseCapture();
  if (!add || CellAt(x, y) != cell) return;
  AddNote(&s->context, cell);
  StoreContext(s);
  SetTimeToMusicalDuration(s, 0);
  RECT strip = {kStripLeft, kStripTop, kStripRight + 1, kStripBottom + 1};
  InvalidateRect(s->dialog, &strip, TRUE);
}

static INT_PTR OnMouse(TimeDialogState* s, UINT message, WPARAM wparam, LPARAM lparam) {
  const int x = static_cast<int16_t>(LOWORD(lparam));
  const int y = static_cast<int16_t>(HIWORD(lparam));
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:  // the same note twice in quick succession
      OnLeftButtonDown(s, x, y);
      return TRUE;
    case WM_MOUSEMOVE: MoveWindowDrag(&s->drag, x, y); return TRUE;
    case WM_LBUTTONUP:
      if (IsWindowDragging(&s->drag)) {
        EndWindowDrag(&s->drag, x, y);
      } else {
        EndNotePress(s, true, x, y);
      }
      return TRUE;
    case WM_CANCELMODE:
      EndWindowDrag(&s->drag, x, y);
      EndNotePress(s, false, 0, 0);
      return FALSE;
    case WM_CAPTURECHANGED:  // Alt+Tab, a message box: the press is over
      OnWindowDragCaptureChanged(&s->drag, reinterpret_cast<HWND>(lparam));
      if (reinterpret_cast<HWND>(lparam) != s->dialog) EndNotePress(s, false, 0, 0);
      (void)wparam;
      return TRUE;
    default: return FALSE;
  }
}

static void OnDestroy(HWND dialog) {
  if (GetPopupSlot(kSlotTimeEntry) == dialog) SetPopupSlot(kSlotTimeEntry, nullptr);
  DetachDialogRecord(dialog);
}

static INT_PTR CALLBACK TimeDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  TimeDialogState* s = nullptr;
  INT_PTR result = FALSE;
  if (HandledByDialogSkeleton(dialog, message, lparam, OnInitDialog, &s, &result)) return result;
  switch (message) {
    case WM_COMMAND: return OnCommand(s, wparam, lparam);
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
      return reinterpret_cast<INT_PTR>(
          ColorFieldByTextStyle(reinterpret_cast<HDC>(wparam), s->text_style));
    case WM_ERASEBKGND: return EraseToTiledBackground(dialog, reinterpret_cast<HDC>(wparam));
    case WM_PAINT: Paint(dialog, s); return TRUE;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
    case WM_CANCELMODE:
    case WM_CAPTURECHANGED: return OnMouse(s, message, wparam, lparam);
    case WM_CLOSE: EndWith(s, kTimeDialogCancel); return TRUE;
    case WM_DESTROY: OnDestroy(dialog); return TRUE;
    default: return FALSE;
  }
}

float OpenTimeDialog(HWND parent, uint32_t text_style, int x, int y, float initial_seconds) {
  ClosePopupSlot(kSlotTimeEntry);
  if (g_ctl.start_count <= 0) return kTimeDialogCancel;
  HGLOBAL memory =
      BuildDialogTemplate(WS_POPUP | WS_VISIBLE | WS_BORDER | WS_CLIPCHILDREN, 0, 0, 0, 0, 0);
  if (!memory) return kTimeDialogCancel;
  TimeDialogState state;
  std::memset(&state, 0, sizeof state);
  state.stored = g_ctl.prefs.dial_tctx;
  std::memcpy(state.opening, state.stored, kTimeContextBytes);
  state.context = DecodeTimeContext(state.stored);
  ClampTimeContext(&state.context);
  StoreContext(&state);
  state.text_style = text_style;
  state.x = x;
  state.y = y;
  state.pressed_cell = -1;
  state.result = kTimeDialogCancel;
  SetTime(&state, initial_seconds);
  RunDialogTemplate(memory, parent, TimeDialogProc, reinterpret_cast<LPARAM>(&state));
  GlobalFree(memory);
  return state.result;
}
