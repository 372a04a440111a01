// Stand-in mixer application: brindlemoor.exe.
//
// One window titled "BrindleMoor", the title by which the installer finds and
// closes a running mixer at its start (it posts WM_DESTROY to it). The window
// says what it is: the demonstration payload, not the mixer.
#include <windows.h>

#include "setup/procedures/product_names.h"

static LRESULT CALLBACK MixerWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT client;
      GetClientRect(window, &client);
      SetBkMode(dc, TRANSPARENT);
      DrawTextA(dc,
                "Brindlemoor stand-in\n\nThis program takes the place of the mixing console in "
                "the installer's demonstration package.",
                -1, &client, DT_CENTER | DT_VCENTER | DT_WORDBREAK);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcA(window, message, wparam, lparam);
  }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = MixerWindowProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = "QXBrindlemoorStandInWindow";
  if (!RegisterClassA(&window_class)) return 1;
  HWND window =
      CreateWindowA("QXBrindlemoorStandInWindow", kMixerWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                    CW_USEDEFAULT, 480, 200, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  ShowWindow(window, show);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
