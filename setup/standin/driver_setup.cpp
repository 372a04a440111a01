// Stand-in driver setup program: QUILLAN_Setup.exe and QUILLAN_Setup_x64.exe.
//
// The real program installs the mixer's virtual audio driver. This one makes
// only what the installer looks for: with "-i" ("-h -i -H -n") a root device
// carrying a device interface of the mixer driver's class, made once and
// reused by every later install, so repeated installs never pile up devices;
// with "-u" ("-h -u -H") it removes every such device. Every run
// appends its command line and working folder to the stand-in log, and its
// exit code is 0 unless the tests' hook QX_STANDIN_SETUP_EXIT chooses
// another (1 is the real program's "restart needed"; standin_log.h).
//
// How it works. Wine counts an interface as present when the interface's
// "#\Control" key under HKLM\System\CurrentControlSet\Control\DeviceClasses
// holds a non-zero REG_DWORD "Linked"; on Windows the kernel decides that when
// a driver enables the interface, so on Windows the device stays a driverless
// root device and the write below is refused. The device is registered with
// DIF_REGISTERDEVICE, the interface made with SetupDiCreateDeviceInterfaceA,
// and its registry key name is the interface's device path with "\\?\" made
// "##?#". The stand-in's devices are the MEDIA-class devices with its
// hardware id, present or not; an install takes the first of them when
// there is one (making its interface again, which gives the existing one),
// and removal removes each of them with DIF_REMOVE.
#include <windows.h>
// windows.h first: setupapi.h needs its types.
#include <setupapi.h>

#include <cstdio>
#include <cstring>

#include "setup/procedures/product_names.h"
#include "setup/standin/standin_args.h"
#include "setup/standin/standin_log.h"

// The system's MEDIA setup class, where audio devices belong.
static const GUID kMediaSetupClass = {
    0x4D36E96C, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

static const char kHardwareIds[] = "ROOT\\QX_KXBMVD\0";  // REG_MULTI_SZ: ends with two NULs
static const char kDeviceClassesFolder[] = "System\\CurrentControlSet\\Control\\DeviceClasses\\";

// Writes Linked = 1 under the interface's "#\Control" key. 1 on success.
static int LinkInterface(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* interface_data) {
  DWORD needed = 0;
  SetupDiGetDeviceInterfaceDetailA(set, interface_data, nullptr, 0, &needed, nullptr);
  if (needed == 0 || needed > 4096) return 0;
  alignas(SP_DEVICE_INTERFACE_DETAIL_DATA_A) char buffer[4096];
  SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail =
      reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer);
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
  if (!SetupDiGetDeviceInterfaceDetailA(set, interface_data, detail, needed, nullptr, nullptr)) {
    return 0;
  }
  const char* path = detail->DevicePath;
  if (std::strncmp(path, "\\\\?\\", 4) != 0) return 0;
  // The device path's own backslashes are '#' in the key name.
  char interface_key[900];
  const size_t length = std::strlen(path + 4);
  if (length >= sizeof interface_key) return 0;
  for (size_t i = 0; i <= length; ++i) {
    interface_key[i] = path[4 + i] == '\\' ? '#' : path[4 + i];
  }
  char key_name[1024];
  const int n = std::snprintf(key_name, sizeof key_name, "%s%s\\##?#%s\\#\\Control",
                              kDeviceClassesFolder, kMixerInterfaceClassText, interface_key);
  if (n <= 0 || n >= static_cast<int>(sizeof key_name)) return 0;
  HKEY control = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key_name, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, &control, nullptr) != ERROR_SUCCESS) {
    return 0;
  }
  const DWORD linked = 1;
  const LONG status = RegSetValueExA(control, "Linked", 0, REG_DWORD,
                                     reinterpret_cast<const BYTE*>(&linked), sizeof linked);
  RegCloseKey(control);
  return status == ERROR_SUCCESS;
}

// 1 when `device` carries the stand-in's hardware id.
static int IsStandInDevice(HDEVINFO set, SP_DEVINFO_DATA* device) {
  char ids[256] = {};  // REG_MULTI_SZ: the first id is enough
  if (!SetupDiGetDeviceRegistryPropertyA(set, device, SPDRP_HARDWAREID, nullptr,
                                         reinterpret_cast<BYTE*>(ids), sizeof ids - 2, nullptr)) {
    return 0;
  }
  return lstrcmpiA(ids, kHardwareIds) == 0;
}

// The stand-in's devices, present or not: every MEDIA-class device.
static HDEVINFO MediaDevices() {
  return SetupDiGetClassDevsA(&kMediaSetupClass, nullptr, nullptr, 0);
}

// The first stand-in device of `set` into *device; 1 when there is one.
static int FindStandInDevice(HDEVINFO set, SP_DEVINFO_DATA* device) {
  for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, device); ++i) {
    if (IsStandInDevice(set, device)) return 1;
  }
  return 0;
}

static int InstallDevice() {
  HDEVINFO set = MediaDevices();
  if (set == INVALID_HANDLE_VALUE) return 0;
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof device;
  int ok = FindStandInDevice(set, &device);
  if (!ok) {
    ok = SetupDiCreateDeviceInfoA(set, "QX_KXBMVD", &kMediaSetupClass,
                                  "Brindlemoor Virtual Audio (stand-in)", nullptr, DICD_GENERATE_ID,
                                  &device) &&
         SetupDiSetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID,
                                           reinterpret_cast<const BYTE*>(kHardwareIds),
                                           sizeof kHardwareIds) &&
         SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set, &device);
  }
  if (ok) {
    SP_DEVICE_INTERFACE_DATA interface_data = {};
    interface_data.cbSize = sizeof interface_data;
    ok = SetupDiCreateDeviceInterfaceA(set, &device, &kMixerInterfaceClass, nullptr, 0,
                                       &interface_data) &&
         LinkInterface(set, &interface_data);
  }
  SetupDiDestroyDeviceInfoList(set);
  return ok;
}

// Removes the stand-in's devices one at a time, each from a fresh listing,
// so that no removal can disturb the listing it came from.
static int RemoveDevices() {
  int removed = 0;
  for (int round = 0; round < 64; ++round) {
    HDEVINFO set = MediaDevices();
    if (set == INVALID_HANDLE_VALUE) break;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    const int gone =
        FindStandInDevice(set, &device) && SetupDiCallClassInstaller(DIF_REMOVE, set, &device);
    SetupDiDestroyDeviceInfoList(set);
    if (!gone) break;
    ++removed;
  }
  return removed;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  AppendStandInLog();
  const char* arguments = GetCommandLineA();
  switch (ParseDriverSetupArguments(arguments)) {
    case kDriverSetupInstall: InstallDevice(); break;
    case kDriverSetupRemove: RemoveDevices(); break;
    default: break;
  }
  return ChosenSetupExitCode();
}
