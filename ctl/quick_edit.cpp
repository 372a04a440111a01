// The quick edit box: a bare one-line edit field in a captionless modal
// dialog, opened at a screen point beside a control to type a value.
//
// How it works. The dialog comes from an in-memory template without items;
// WM_INITDIALOG creates the edit field and sizes the dialog around it. The
// field's window procedure is replaced so that Enter accepts (command 1) and
// Escape closes, whatever the dialog manager would make of them. Anything
// that takes the focus or the mouse away ends the box with an empty answer,
// so a click anywhere else cancels: for that the owner is enabled again while
// the box is open (a modal dialog would otherwise keep it disabled and the
// click would not reach it).
#include <cstdlib>
#include <cstring>

#include "ctl/dialog_template.h"
#include "ctl/dialog_window.h"
#include "ctl/library_state.h"

constexpr int kAnswerBytes = 1024;
constexpr int kEditId = 10;

struct QuickEditState {
  HWND dialog;
  HWND edit;
  WNDPROC edit_procedure;
  uint32_t text_style;
  int x, y, width, height;
  const char* initial_text;
  char* answer;  // kAnswerBytes, empty until accepted
  int edited;    // the user changed the text (EM_GETMODIFY at the Enter)
  bool reenable_owner;
  bool ended;  // the dialog tears down after EndDialog: later events change nothing
};

static void Accept(QuickEditState* s) {
  if (s->ended) return;
  s->ended = true;
  GetWindowTextA(s->edit, s->answer, kAnswerBytes);
  s->edited = SendMessageA(s->edit, EM_GETMODIFY, 0, 0) != 0;
  EndDialog(s->dialog, 1);
}

static void Dismiss(QuickEditState* s) {
  if (s->ended) return;
  s->ended = true;
  s->answer[0] = '\0';
  EndDialog(s->dialog, 0);
}

static LRESULT CALLBACK EditFieldProc(HWND edit, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* s = reinterpret_cast<QuickEditState*>(GetWindowLongPtrA(edit, GWLP_USERDATA));
  if (!s) return DefWindowProcA(edit, message, wparam, lparam);
  switch (message) {
    case WM_GETDLGCODE:
      return CallWindowProcA(s->edit_procedure, edit, message, wparam, lparam) | DLGC_WANTALLKEYS;
    case WM_KEYDOWN:
      if (wparam == VK_RETURN) {
        PostMessageA(s->dialog, WM_COMMAND, IDOK, 0);
        return 0;
      }
      if (wparam == VK_ESCAPE) {
        PostMessageA(s->dialog, WM_CLOSE, 0, 0);
        return 0;
      }
      break;
    case WM_KEYUP:
    case WM_CHAR:  // the characters of Enter and Escape would only beep
      if (wparam == VK_RETURN || wparam == VK_ESCAPE) return 0;
      break;
    case WM_SYSKEYDOWN: PostMessageA(s->dialog, WM_CLOSE, 0, 0); break;
    default: break;
  }
  return CallWindowProcA(s->edit_procedure, edit, message, wparam, lparam);
}

static INT_PTR OnInitDialog(HWND dialog, QuickEditState* s) {
  AttachDialogRecord(dialog, s);
  s->dialog = dialog;
  SetPopupSlot(kSlotQuickEdit, dialog);
  s->edit = CreateWindowExA(
      WS_EX_CLIENTEDGE, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0,
      s->width, s->height, dialog, reinterpret_cast<HMENU>(kEditId), g_ctl.instance, nullptr);
  if (!s->edit) {
    Dismiss(s);
    return TRUE;
  }
  SendMessageA(s->edit, WM_SETFONT, reinterpret_cast<WPARAM>(TextStyleFont(s->text_style)), 0);
  SendMessageA(s->edit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(2, 2));
  SendMessageA(s->edit, EM_LIMITTEXT, kAnswerBytes - 1, 0);
  SetWindowTextA(s->edit, s->initial_text ? s->initial_text : "");
  SendMessageA(s->edit, EM_SETMODIFY, FALSE, 0);  // untouched until the user types
  SendMessageA(s->edit, EM_SETSEL, 0, -1);
  SetWindowLongPtrA(s->edit, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(s));
  s->edit_procedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(s->edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditFieldProc)));
  const int frame = GetSystemMetrics(SM_CXDLGFRAME);
  SetWindowPos(dialog, nullptr, s->x, s->y, s->width + 2 * frame, s->height + 2 * frame,
               SWP_NOZORDER);
  if (s->reenable_owner) EnableWindow(GetWindow(dialog, GW_OWNER), TRUE);
  SetFocus(s->edit);
  return FALSE;  // the focus is set
}

static void OnCommand(HWND dialog, QuickEditState* s, WPARAM wparam) {
  if (LOWORD(wparam) == IDOK) {
    Accept(s);
  } else if (LOWORD(wparam) == IDCANCEL) {
    Dismiss(s);
  } else if (LOWORD(wparam) == kEditId && HIWORD(wparam) == EN_KILLFOCUS &&
             GetFocus() != dialog) {
    Dismiss(s);
  }
}

static void OnKillFocus(HWND dialog, QuickEditState* s, HWND next) {
  if (next != dialog && next != s->edit) Dismiss(s);
}

static void OnDestroy(HWND dialog, QuickEditState* s) {
  if (s->edit && s->edit_procedure) {
    SetWindowLongPtrA(s->edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s->edit_procedure));
  }
  if (GetPopupSlot(kSlotQuickEdit) == dialog) SetPopupSlot(kSlotQuickEdit, nullptr);
  DetachDialogRecord(dialog);
}

static INT_PTR CALLBACK QuickEditProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  QuickEditState* s = nullptr;
  INT_PTR result = FALSE;
  if (HandledByDialogSkeleton(dialog, message, lparam, OnInitDialog, &s, &result)) return result;
  switch (message) {
    case WM_COMMAND: OnCommand(dialog, s, wparam); return TRUE;
    case WM_KILLFOCUS: OnKillFocus(dialog, s, reinterpret_cast<HWND>(wparam)); return TRUE;
    case WM_CLOSE:
    case WM_CANCELMODE:
    case WM_SYSKEYDOWN:
    case WM_SYSCOMMAND: Dismiss(s); return TRUE;
    case WM_CTLCOLOREDIT:
      return reinterpret_cast<INT_PTR>(
          ColorFieldByTextStyle(reinterpret_cast<HDC>(wparam), s->text_style));
    case WM_DESTROY: OnDestroy(dialog, s); return TRUE;
    default: return FALSE;
  }
}

char* OpenQuickEdit(HWND parent, uint32_t text_style, int x, int y, int width, int height,
                    const char* initial_text, int* edited) {
  if (edited) *edited = 0;
  ClosePopupSlot(kSlotQuickEdit);
  auto* answer = static_cast<char*>(std::malloc(kAnswerBytes));
  if (!answer) return nullptr;
  answer[0] = '\0';
  HGLOBAL memory =
      BuildDialogTemplate(WS_POPUP | WS_VISIBLE | WS_BORDER | WS_CLIPCHILDREN, 0, 0, 0, 0, 0);
  if (!memory) return answer;
  QuickEditState state;
  std::memset(&state, 0, sizeof state);
  state.text_style = text_style;
  state.x = x;
  state.y = y;
  state.width = width;
  state.height = height;
  state.initial_text = initial_text;
  state.answer = answer;
  HWND owner = parent ? GetAncestor(parent, GA_ROOT) : nullptr;
  state.reenable_owner = owner && IsWindowEnabled(owner);
  RunDialogTemplate(memory, parent, QuickEditProc, reinterpret_cast<LPARAM>(&state));
  GlobalFree(memory);
  if (edited) *edited = state.edited;
  return answer;
}
