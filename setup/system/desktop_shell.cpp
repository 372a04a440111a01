// OpenAsDesktopUser: an address opened by the desktop's shell, which runs
// as the signed-in user, instead of by the installer, which runs as
// administrator (a browser started from here would inherit that).
//
// How it works. The shell windows of Explorer are listed by the ShellWindows
// object; FindWindowSW with SWC_DESKTOP gives the desktop's. Through its
// top-level browser service, the active shell view's background object is a
// folder view whose Application is the shell's own IShellDispatch2, living in
// Explorer's process; its ShellExecute starts the browser there, with
// Explorer's rights. Any step that fails ends the attempt and nothing is
// opened. The interfaces' identifiers are written here, so that no import
// library needs to carry them.
#include <windows.h>
// windows.h first: the shell and COM headers need its types.
#include <exdisp.h>
#include <oleauto.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlobj.h>

#include "setup/system/desktop_shell.h"

static const GUID kShellWindowsClass = {
    0x9ba05972, 0xf6a8, 0x11cf, {0xa4, 0x42, 0x00, 0xa0, 0xc9, 0x0a, 0x8f, 0x39}};
static const GUID kShellWindowsInterface = {
    0x85cb6900, 0x4d95, 0x11cf, {0x96, 0x0c, 0x00, 0x80, 0xc7, 0xf4, 0xee, 0x85}};
static const GUID kServiceProviderInterface = {
    0x6d5140c1, 0x7436, 0x11ce, {0x80, 0x34, 0x00, 0xaa, 0x00, 0x60, 0x09, 0xfa}};
static const GUID kTopLevelBrowserService = {
    0x4c96be40, 0x915c, 0x11cf, {0x99, 0xd3, 0x00, 0xaa, 0x00, 0x4a, 0xe8, 0x37}};
static const GUID kShellBrowserInterface = {
    0x000214e2, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
static const GUID kDispatchInterface = {
    0x00020400, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
static const GUID kFolderViewDualInterface = {
    0xe7a1af80, 0x4d96, 0x11cf, {0x96, 0x0c, 0x00, 0x80, 0xc7, 0xf4, 0xee, 0x85}};
static const GUID kShellDispatch2Interface = {
    0xa4c6892c, 0x3ba9, 0x11d2, {0x9d, 0xea, 0x00, 0xc0, 0x4f, 0xb1, 0x61, 0x62}};

template <typename T>
static void Release(T** object) {
  if (*object != nullptr) (*object)->Release();
  *object = nullptr;
}

// The shell's IShellDispatch2 in Explorer, through the desktop window; null
// when any step fails.
static IShellDispatch2* DesktopShell() {
  IShellWindows* windows = nullptr;
  IDispatch* desktop = nullptr;
  IServiceProvider* services = nullptr;
  IShellBrowser* browser = nullptr;
  IShellView* view = nullptr;
  IDispatch* background = nullptr;
  IShellFolderViewDual* folder_view = nullptr;
  IDispatch* application = nullptr;
  IShellDispatch2* shell = nullptr;
  HRESULT result = CoCreateInstance(kShellWindowsClass, nullptr, CLSCTX_LOCAL_SERVER,
                                    kShellWindowsInterface, reinterpret_cast<void**>(&windows));
  if (SUCCEEDED(result)) {
    VARIANT location;
    VariantInit(&location);
    location.vt = VT_I4;
    location.lVal = CSIDL_DESKTOP;
    VARIANT root;
    VariantInit(&root);
    LONG window = 0;
    result =
        windows->FindWindowSW(&location, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, &desktop);
    if (result != S_OK || desktop == nullptr) result = E_FAIL;  // S_FALSE: no desktop
  }
  if (SUCCEEDED(result)) {
    result =
        desktop->QueryInterface(kServiceProviderInterface, reinterpret_cast<void**>(&services));
  }
  if (SUCCEEDED(result)) {
    result = services->QueryService(kTopLevelBrowserService, kShellBrowserInterface,
                                    reinterpret_cast<void**>(&browser));
  }
  if (SUCCEEDED(result)) result = browser->QueryActiveShellView(&view);
  if (SUCCEEDED(result)) {
    result = view->GetItemObject(SVGIO_BACKGROUND, kDispatchInterface,
                                 reinterpret_cast<void**>(&background));
  }
  if (SUCCEEDED(result)) {
    result = background->QueryInterface(kFolderViewDualInterface,
                                        reinterpret_cast<void**>(&folder_view));
  }
  if (SUCCEEDED(result)) result = folder_view->get_Application(&application);
  if (SUCCEEDED(result) && application != nullptr) {
    result =
        application->QueryInterface(kShellDispatch2Interface, reinterpret_cast<void**>(&shell));
  }
  Release(&application);
  Release(&folder_view);
  Release(&background);
  Release(&view);
  Release(&browser);
  Release(&services);
  Release(&desktop);
  Release(&windows);
  return SUCCEEDED(result) ? shell : nullptr;
}

int OpenAsDesktopUser(const char* address) {
  WCHAR wide[1024];
  if (MultiByteToWideChar(CP_ACP, 0, address, -1, wide, 1024) == 0) return 0;
  IShellDispatch2* shell = DesktopShell();
  if (shell == nullptr) return 0;
  BSTR file = SysAllocString(wide);
  BSTR verb = SysAllocString(L"open");
  VARIANT none, operation, show;
  VariantInit(&none);
  VariantInit(&operation);
  VariantInit(&show);
  operation.vt = VT_BSTR;
  operation.bstrVal = verb;
  show.vt = VT_I4;
  show.lVal = SW_SHOWNORMAL;
  HRESULT result = E_OUTOFMEMORY;
  if (file != nullptr && verb != nullptr) {
    AllowSetForegroundWindow(ASFW_ANY);  // the browser may come to the front
    result = shell->ShellExecute(file, none, none, operation, show);
  }
  SysFreeString(verb);
  SysFreeString(file);
  shell->Release();
  return SUCCEEDED(result) ? 1 : 0;
}
