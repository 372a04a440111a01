// The stand-in window programs' entry: see text_window.h.
#include "setup/standin/text_window.h"

static void OnPaint(HWND window, const TextWindowSpec* spec) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT client;
  GetClientRect(window, &client);
  SetBkMode(dc, TRANSPARENT);
  DrawTextA(dc, spec->text, -1, &client, spec->text_format);
  EndPaint(window, &paint);
}

static LRESULT CALLBACK TextWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  const auto* spec =
      reinterpret_cast<const TextWindowSpec*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  switch (message) {
    case WM_NCCREATE: {
      const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lparam);
      SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      return DefWindowProcA(window, message, wparam, lparam);
    }
    case WM_PAINT:
      if (!spec) break;
      OnPaint(window, spec);
      return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

int RunTextWindow(HINSTANCE instance, int show, const TextWindowSpec* spec) {
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = TextWindowProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(spec->background + 1));
  window_class.lpszClassName = spec->class_name;
  if (!RegisterClassA(&window_class)) return 1;
  HWND window = CreateWindowA(spec->class_name, spec->title, spec->style, CW_USEDEFAULT,
                              CW_USEDEFAULT, spec->width, spec->height, nullptr, nullptr, instance,
                              const_cast<TextWindowSpec*>(spec));
  if (window == nullptr) return 1;
  ShowWindow(window, show);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
