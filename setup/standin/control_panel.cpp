// Stand-in driver control panel: QUILLAN_ControlPanel.exe.
//
// A small window titled "Virtual IO Control Panel" that tells whether the
// mixer driver's device interface is present, the same test the installer
// makes at its start.
#include <windows.h>
// windows.h first: setupapi.h needs its types.
#include <setupapi.h>

#include "setup/procedures/product_names.h"
#include "setup/standin/text_window.h"

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

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  const TextWindowSpec panel = {"QXControlPanelStandInWindow",
                                "Virtual IO Control Panel",
                                WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                400,
                                120,
                                COLOR_BTNFACE,
                                DriverPresent()
                                    ? "Brindlemoor virtual I/O: driver present (stand-in)"
                                    : "Brindlemoor virtual I/O: no driver found (stand-in)",
                                DT_CENTER | DT_VCENTER | DT_SINGLELINE};
  return RunTextWindow(instance, show, &panel);
}
