// In-memory dialog templates: see dialog_template.h.
//
// The block is the DLGTEMPLATE header followed by three zero words (no
// menu, default class, no title); zero-filling the whole block gives them.
#include "ctl/dialog_template.h"

#include "ctl/library_state.h"

constexpr SIZE_T kTemplateBytes = 1024;

HGLOBAL BuildDialogTemplate(DWORD style, DWORD ex_style, int x, int y, int width, int height) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, kTemplateBytes);
  if (!memory) return nullptr;
  auto* header = static_cast<DLGTEMPLATE*>(GlobalLock(memory));
  if (!header) {
    GlobalFree(memory);
    return nullptr;
  }
  header->style = style;
  header->dwExtendedStyle = ex_style;
  header->cdit = 0;
  header->x = static_cast<short>(x);
  header->y = static_cast<short>(y);
  header->cx = static_cast<short>(width);
  header->cy = static_cast<short>(height);
  GlobalUnlock(memory);
  return memory;
}

INT_PTR RunDialogTemplate(HGLOBAL template_memory, HWND owner, DLGPROC procedure, LPARAM param) {
  auto* header = static_cast<const DLGTEMPLATE*>(GlobalLock(template_memory));
  if (!header) return -1;
  const INT_PTR result = DialogBoxIndirectParamA(g_ctl.instance, header, owner, procedure, param);
  GlobalUnlock(template_memory);
  return result;
}

HWND CreateDialogFromTemplate(HGLOBAL template_memory, HWND owner, DLGPROC procedure,
                              LPARAM param) {
  auto* header = static_cast<const DLGTEMPLATE*>(GlobalLock(template_memory));
  if (!header) return nullptr;
  HWND window = CreateDialogIndirectParamA(g_ctl.instance, header, owner, procedure, param);
  GlobalUnlock(template_memory);
  return window;
}
