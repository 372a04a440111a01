// The Generator main window in the test's process: see in_process_generator.h.
#include "tests/generator/app/in_process_generator.h"

#include "generator/app/app_info.h"
#include "generator/app/main_window.h"

InProcessGenerator::InProcessGenerator(const std::string& start_directory) {
  SetCurrentDirectoryA(start_directory.c_str());
  InitGeneratorApp(GetModuleHandleA(nullptr));
  if (RegisterMainWindowClass()) window = CreateMainWindow();
  Pump();
}

void InProcessGenerator::Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) return;
    DispatchMessageA(&msg);
  }
}

std::vector<int> InProcessGenerator::Checked() {
  HMENU menu = GetMenu(window);
  SendMessageA(window, WM_INITMENU, reinterpret_cast<WPARAM>(menu), 0);
  std::vector<int> checked;
  for (int command = CMD_LATENCY_200; command <= CMD_LATENCY_20; ++command) {
    if (GetMenuState(menu, static_cast<UINT>(command), MF_BYCOMMAND) & MF_CHECKED) {
      checked.push_back(command);
    }
  }
  return checked;
}

InProcessGenerator::~InProcessGenerator() {
  if (window) {
    SendMessageA(window, WM_CLOSE, 0, 0);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    DestroyWindow(window);
  }
  EndGeneratorApp();
  UnregisterClassA(kMainWindowClass, GetModuleHandleA(nullptr));
}
