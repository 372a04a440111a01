// Windows version and device interfaces: see system_probe.h.
#include "setup/system/system_probe.h"

#include <setupapi.h>

#include <cstdlib>
#include <cstring>

#include "setup/system/os_version.h"

int DetectOs() {
  OSVERSIONINFOEXA info;
  std::memset(&info, 0, sizeof info);
  info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
  BOOL ok = GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info));
  if (!ok) ok = GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info));
  if (!ok) {
    // The plain record has no product type (it stays 0, not a workstation).
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    ok = GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info));
  }
  return ClassifyOs(ok ? 1 : 0, info.dwMajorVersion, info.dwMinorVersion, info.wProductType);
}

int ProbeDeviceInterface(const GUID* interface_class) {
  HDEVINFO set = SetupDiGetClassDevsA(interface_class, nullptr, nullptr,
                                      DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) return 0;
  SP_DEVICE_INTERFACE_DATA interface_data;
  std::memset(&interface_data, 0, sizeof interface_data);
  interface_data.cbSize = sizeof interface_data;
  if (!SetupDiEnumDeviceInterfaces(set, nullptr, interface_class, 0, &interface_data)) {
    SetupDiDestroyDeviceInfoList(set);
    return 0;
  }
  DWORD needed = 0;
  SetupDiGetDeviceInterfaceDetailA(set, &interface_data, nullptr, 0, &needed, nullptr);
  // An interface is present: that alone counts. Its device is opened and
  // closed once, as the product's own tools do when they look for it, but the
  // open's result is ignored on purpose: a device that is busy, or refuses
  // this user, still means the driver is installed.
  if (needed >= sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
    auto* detail = static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(std::calloc(1, needed));
    if (detail) {
      detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
      if (SetupDiGetDeviceInterfaceDetailA(set, &interface_data, detail, needed, nullptr,
                                           nullptr)) {
        HANDLE device = CreateFileA(detail->DevicePath, GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (device != INVALID_HANDLE_VALUE && device != nullptr) CloseHandle(device);
      }
      std::free(detail);
    }
  }
  SetupDiDestroyDeviceInfoList(set);
  return 1;
}
