// Stand-in driver control panel: QUILLAN_ControlPanel.exe.
//
// A small window titled "Virtual IO Control Panel" that tells whether the
// mixer driver's device interface is present, the same test the installer
// makes at its start.
#include <windows.h>
// windows.h first: setupapi.h needs its types.
#include <setupapi.h>

#include "setup/procedures/product_names.h"

static int DriverPresent() {
  HDEVINFO set = SetupDiGetClassDevsA(&kMixerInterfaceClass, nullptr, nullptr,
                                      DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) return 0;
  SP_DEVICE_INTERFACE_DATA interface_data = {};
  interface_data.cbSize = sizeof interface_data;
  const BOOL found =
      SetupDiEnumDeviceInterfaces(set, nullptr, &kMixerInterfaceClass, 0, &interface_data);
  SetupDiDestroyDeviceInfoList(set);
  return found ? 1 : 0;
}

static int g_present = 0;

static LRESULT CALLBACK PanelWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT client;
      GetClientRect(window, &client);
      SetBkMode(dc, TRANSPARENT);
      DrawTextA(dc,
                g_present ? "Brindlemoor virtual I/O: driver present (stand-in)"
                          : "Brindlemoor virtual I/O: no driver found (stand-in)",
                -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcA(window, message, wparam, lparam);
  }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  g_present = DriverPresent();
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = PanelWindowProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = "QXControlPanelStandInWindow";
  if (!RegisterClassA(&window_class)) return 1;
  HWND window =
      CreateWindowA("QXControlPanelStandInWindow", "Virtual IO Control Panel",
                    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT,
                    CW_USEDEFAULT, 400, 120, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  ShowWindow(window, show);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
