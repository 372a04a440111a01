// The default endpoint's watch: see endpoint_watch.h.
#include "generator/audio/endpoint_watch.h"

#include <mmdeviceapi.h>

#include <initializer_list>

#include "generator/audio/wasapi_ids.h"

namespace {

const IID kIidUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidNotificationClient = {
    0x7991EEC9, 0x7E89, 0x4D85, {0x83, 0x90, 0x6C, 0x70, 0x3C, 0xEC, 0x60, 0xC0}};

// The system calls it on threads of its own: it only posts. It lives in
// the watch for as long as the registration, so its count is not kept.
class DefaultChangeClient : public IMMNotificationClient {
 public:
  HWND window = nullptr;
  UINT command = 0;

  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, kIidUnknown) || IsEqualIID(iid, kIidNotificationClient)) {
      *out = static_cast<IMMNotificationClient*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR) override {
    if (flow == eRender && role == eConsole) PostMessageA(window, WM_COMMAND, command, 0);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR, DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) override {
    return S_OK;
  }
};

struct Watch {
  HANDLE thread;
  HANDLE stop;     // set to end the watch
  HANDLE started;  // set once the registration is made or has failed
  volatile LONG registered;
  DefaultChangeClient client;
};

Watch g_watch = {};

DWORD WINAPI WatchThread(LPVOID) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  IMMDeviceEnumerator* devices = nullptr;
  if (SUCCEEDED(com) &&
      SUCCEEDED(CoCreateInstance(kClsidDeviceEnumerator, nullptr, CLSCTX_ALL, kIidDeviceEnumerator,
                                 reinterpret_cast<void**>(&devices))) &&
      SUCCEEDED(devices->RegisterEndpointNotificationCallback(&g_watch.client))) {
    InterlockedExchange(&g_watch.registered, 1);
  }
  SetEvent(g_watch.started);
  if (g_watch.registered) {
    WaitForSingleObject(g_watch.stop, INFINITE);
    devices->UnregisterEndpointNotificationCallback(&g_watch.client);
  }
  if (devices) devices->Release();
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}

void CloseWatchHandles() {
  for (HANDLE* handle : {&g_watch.thread, &g_watch.stop, &g_watch.started}) {
    if (*handle) CloseHandle(*handle);
    *handle = nullptr;
  }
}

}  // namespace

int StartEndpointWatch(HWND window, UINT command) {
  if (g_watch.thread) return g_watch.registered ? 1 : 0;
  g_watch.client.window = window;
  g_watch.client.command = command;
  g_watch.registered = 0;
  g_watch.stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  g_watch.started = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (g_watch.stop && g_watch.started) {
    g_watch.thread = CreateThread(nullptr, 0, WatchThread, nullptr, 0, nullptr);
  }
  if (!g_watch.thread) {
    CloseWatchHandles();
    return 0;
  }
  // Registering is quick; should the system take longer, the window does
  // not wait for it.
  WaitForSingleObject(g_watch.started, 5000);
  return g_watch.registered ? 1 : 0;
}

void StopEndpointWatch() {
  if (!g_watch.thread) return;
  SetEvent(g_watch.stop);
  WaitForSingleObject(g_watch.thread, INFINITE);
  CloseWatchHandles();
  g_watch.registered = 0;
}
