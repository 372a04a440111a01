// The Generator main window created in the test's own process, so that a
// test can reach its menus, its panel and its engine directly.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct InProcessGenerator {
  HWND window = nullptr;
  // Starts the program's window with `start_directory` as the current directory.
  explicit InProcessGenerator(const std::string& start_directory);
  // Closes it as the user would and runs its shutdown to the end.
  ~InProcessGenerator();
  // Dispatches the waiting messages (a quit request stays for the destructor).
  static void Pump();
  // The menu items 50 … 54 that carry a check mark after WM_INITMENU.
  std::vector<int> Checked();
};
