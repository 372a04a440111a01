// The list controls under Wine, created as an owner creates them
// (CreateWindowExA with a creation record) and driven with real window
// messages, and real input where the system's own capture and menus
// matter; an owner records every callback.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "tests/ctl/ctl_test_support.h"

namespace {

struct Call {
  int event;
  int line;
  int panel;  // stacked list; grid: the item number
  RECT rect;
  int selected;
  intptr_t extra;
};

struct Owner {
  std::vector<Call> calls;
  int answer = 1;  // what every callback returns
  int menu_first_state = -1, menu_last_state = -1;

  std::vector<Call> Take() {
    std::vector<Call> taken;
    taken.swap(calls);
    return taken;
  }
  std::vector<int> Events() {
    std::vector<int> events;
    for (const Call& c : Take()) events.push_back(c.event);
    return events;
  }
};

// What every list test starts from: the library under the list tests' own
// key, a host window at the screen's corner (in front when asked, for the
// tests that play real input) and an owner that records the events.
struct ListBench {
  Library library;
  Host host;
  Owner owner;
  ListBench(int width, int height, bool in_front)
      : library("CtlListTests"), host(0, 0, width, height) {
    if (in_front) SetForegroundWindow(host.window);
  }
};

int StackedOwner(void* user, int event, StackedListItem* item) {
  auto* o = static_cast<Owner*>(user);
  o->calls.push_back({event, item->line, item->panel, item->rect, item->selected_line, item->slot});
  if (event == 1 && item->dc) FillRect(item->dc, &item->rect, GetLibraryBrush(item->line % 16));
  return o->answer;
}

int LineOwner(void* user, int event, LineListItem* item) {
  auto* o = static_cast<Owner*>(user);
  RECT none = {0, item->top, 0, 0};
  o->calls.push_back({event, item->line, 0, none, item->selected, item->extra});
  if (event == 8) {
    HMENU menu = reinterpret_cast<HMENU>(item->extra);
    o->menu_first_state = static_cast<int>(GetMenuState(menu, kListFirstLine, MF_BYCOMMAND));
    o->menu_last_state = static_cast<int>(GetMenuState(menu, kListLastLine, MF_BYCOMMAND));
  }
  return o->answer;
}

int GridOwner(GridContext* c, int event) {
  auto* o = static_cast<Owner*>(c->user_data);
  o->calls.push_back({event, c->tag, c->item, c->rect, 0, 0});
  if (event == 4 && c->value) o->calls.back().extra = static_cast<intptr_t>(*c->value * 1000.0f);
  return o->answer;
}

// The first call of each event number, or a call of -1.
Call First(const std::vector<Call>& calls, int event) {
  for (const Call& c : calls) {
    if (c.event == event) return c;
  }
  return {-1, 0, 0, {0, 0, 0, 0}, 0, 0};
}

std::vector<Call> Painted(HWND control, Owner* owner) {
  owner->calls.clear();
  InvalidateRect(control, nullptr, FALSE);
  UpdateWindow(control);
  return owner->Take();
}

void Send(HWND w, UINT message, WPARAM wparam, int x, int y) {
  SendMessageA(w, message, wparam, MAKELPARAM(x, y));
}

void Command(HWND w, WPARAM command, LPARAM lparam = 0) {
  SendMessageA(w, WM_COMMAND, command, lparam);
}

void HoldControl(bool held) {
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_CONTROL] = held ? 0x80 : 0;
  SetKeyboardState(keys);
}

// ---------------------------------------------------------------------------
// Stacked-panel list: 400 × 200, 4 panels of 100 wide, header 20, lines of
// 16 (9 visible), 10 pixels apart, margin 30, 50 lines.

StackedListShape Shape() { return {400, 200, 50, 30, 20, 100, 16, 4, 10}; }

HWND Stacked(HWND parent, Owner* owner, StackedListShape shape = Shape()) {
  StackedListCreate record = {};
  record.parent = parent;
  record.width = shape.width;
  record.height = shape.height;
  record.id = 7;
  record.line_count = shape.line_count;
  record.left_margin = shape.left_margin;
  record.header_height = shape.header_height;
  record.panel_width = shape.panel_width;
  record.line_height = shape.line_height;
  record.panel_count = shape.panel_count;
  record.panel_step = shape.panel_step;
  record.callback = StackedOwner;
  record.user_data = owner;
  return CreateWindowExA(0, kStackedListClass, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 400, 200, parent,
                         reinterpret_cast<HMENU>(7), GetModuleHandleA(nullptr), &record);
}

// What a paint shows: the panels front to back, the first line drawn in
// the front panel, the selection, the front header's left edge.
struct Seen {
  std::vector<int> panels;
  int first_line = 0, selected = 0, front_left = 0, lines = 0, row_headers = 0;
};

Seen Look(HWND list, Owner* owner) {
  Seen seen;
  const std::vector<Call> calls = Painted(list, owner);
  for (const Call& c : calls) {
    if (c.event != 1) continue;
    if (c.panel == 0) ++seen.row_headers;
    if (c.line == 0) {
      if (seen.panels.empty()) seen.front_left = c.rect.left;
      seen.panels.push_back(c.panel);
    } else if (c.panel != 0) {
      ++seen.lines;
      if (seen.first_line == 0) seen.first_line = c.line;
    }
    seen.selected = c.selected;
  }
  EXPECT_EQ(calls.empty() ? 0 : calls.back().event, 6) << "the pass ends with event 6";
  return seen;
}

TEST(StackedList, CreationRecordsAreClamped) {
  ListBench bench(420, 220, false);
  auto& [library, host, owner] = bench;
  const int gdi = ControlLibraryGdiObjects();
  const struct {
    int32_t panels, line_height, header;
    size_t want_panels;
    int want_lines_per_panel, want_line_pixels;
  } cases[] = {
      {20, 16, 20, 16, 1, 16},  // 20 panels keep 16; 150 pixels of steps leave one line
      {1, 16, 20, 1, 11, 16},   // one panel: at position 0, no division by zero
      {0, 16, 20, 1, 11, 16},   // none: one
      {4, 0, 20, 4, 150, 1},    // line height 0: 1 (and only the 50 lines there are)
      {4, 16, 500, 4, 0, 16},   // a header taller than the control: no lines
  };
  for (const auto& c : cases) {
    StackedListShape shape = Shape();
    shape.panel_count = c.panels;
    shape.line_height = c.line_height;
    shape.header_height = c.header;
    if (c.line_height == 0) shape.line_count = 500;
    HWND list = Stacked(host.window, &owner, shape);
    ASSERT_NE(list, nullptr);
    const std::vector<Call> calls = Painted(list, &owner);
    size_t headers = 0;
    int lines = 0;
    for (const Call& call : calls) {
      if (call.event != 1 || call.panel == 0) continue;
      if (call.line == 0) ++headers;
      if (call.line != 0 && call.panel == 1) {
        ++lines;
        EXPECT_EQ(call.rect.bottom - call.rect.top, c.want_line_pixels);
      }
    }
    EXPECT_EQ(headers, c.want_panels) << c.panels;
    EXPECT_EQ(lines, c.want_lines_per_panel) << c.panels << " " << c.header;
    if (c.want_panels == 1) {
      EXPECT_EQ(First(calls, 1).rect.left, 0);       // the row header …
      EXPECT_EQ(Look(list, &owner).front_left, 30);  // … and the panel at the margin
    }
    DestroyWindow(list);
  }
  EXPECT_EQ(ControlLibraryGdiObjects(), gdi);  // images freed with the control
  // No record: the creation fails.
  EXPECT_EQ(CreateWindowExA(0, kStackedListClass, nullptr, WS_CHILD, 0, 0, 10, 10, host.window, nullptr,
                            GetModuleHandleA(nullptr), nullptr),
            nullptr);
}

COLORREF g_parent_colour;

// A parent that draws its background in one colour, the test's choice.
LRESULT CALLBACK ColouredParent(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != WM_ERASEBKGND) return DefWindowProcA(window, message, wparam, lparam);
  RECT client;
  GetClientRect(window, &client);
  HBRUSH brush = CreateSolidBrush(g_parent_colour);
  FillRect(reinterpret_cast<HDC>(wparam), &client, brush);
  DeleteObject(brush);
  return 1;
}

// Without a picture of its own the list shows the parent's drawing under
// it: not a window that covered it at creation, and again after the parent
// changed.
TEST(StackedList, BackgroundIsTheParentsOwnDrawing) {
  Library library;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ColouredParent;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "QxColouredParent";
  RegisterClassA(&wc);
  g_parent_colour = RGB(0, 128, 0);
  HWND parent = CreateWindowExA(0, "QxColouredParent", "", WS_POPUP | WS_VISIBLE, 100, 100, 420,
                                220, nullptr, nullptr, wc.hInstance, nullptr);
  Host cover(100, 100, 420, 220);  // over the whole parent while the list is made
  SetWindowPos(cover.window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  Pump();
  Owner owner;
  HWND list = Stacked(parent, &owner);
  DestroyWindow(cover.window);
  cover.window = nullptr;
  Pump();
  UpdateWindow(list);
  EXPECT_EQ(ScreenPixel(list, 395, 5), RGB(0, 128, 0));
  g_parent_colour = RGB(0, 0, 160);
  InvalidateRect(parent, nullptr, TRUE);
  InvalidateRect(list, nullptr, FALSE);
  UpdateWindow(parent);
  UpdateWindow(list);
  Pump();
  EXPECT_EQ(ScreenPixel(list, 395, 5), RGB(0, 0, 160));
  DestroyWindow(parent);
  UnregisterClassA("QxColouredParent", wc.hInstance);
}

TEST(StackedList, ClicksKeysWheelAndCommands) {
  ListBench bench(420, 220, false);
  auto& [library, host, owner] = bench;
  HWND list = Stacked(host.window, &owner);
  Seen seen = Look(list, &owner);
  EXPECT_EQ(seen.panels, (std::vector<int>{1, 2, 3, 4}));  // front first
  EXPECT_EQ(seen.row_headers, 9);

  // A click on the back panel's line 2 brings it to the front and selects.
  Send(list, WM_LBUTTONDOWN, MK_LBUTTON, 35, 37);
  Send(list, WM_LBUTTONUP, 0, 35, 37);
  seen = Look(list, &owner);
  EXPECT_EQ(seen.panels, (std::vector<int>{4, 1, 2, 3}));
  EXPECT_EQ(seen.selected, 2);
  owner.calls.clear();
  Send(list, WM_LBUTTONDOWN, MK_LBUTTON, 35, 67);  // its row 2 is now lower: line 2
  EXPECT_EQ(First(owner.Take(), 2).line, 2);       // clicked again: event 2

  const struct {
    WPARAM key;
    int selected, first;
  } keys[] = {
      {VK_DOWN, 3, 1}, {VK_END, 50, 42}, {VK_UP, 49, 42},  {VK_HOME, 1, 1},
      {VK_NEXT, 9, 1}, {VK_NEXT, 17, 9}, {VK_PRIOR, 9, 9},
  };
  for (const auto& k : keys) {
    SendMessageA(list, WM_KEYDOWN, k.key, 0);
    seen = Look(list, &owner);
    EXPECT_EQ(seen.selected, k.selected) << k.key;
    EXPECT_EQ(seen.first_line, k.first) << k.key;
  }
  SendMessageA(list, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
  EXPECT_EQ(Look(list, &owner).first_line, 12);

  // Left: panel 5 does not exist; Right: panel 3 comes forward.
  SendMessageA(list, WM_KEYDOWN, VK_LEFT, 0);
  EXPECT_EQ(Look(list, &owner).panels, (std::vector<int>{4, 1, 2, 3}));
  SendMessageA(list, WM_KEYDOWN, VK_RIGHT, 0);
  EXPECT_EQ(Look(list, &owner).panels, (std::vector<int>{3, 4, 1, 2}));

  // Command 5 with line 0 or beyond the count changes nothing.
  for (float line : {0.0f, 51.0f, -3.0f, 9.0f}) {
    Command(list, kStackedSelectLine, static_cast<LPARAM>(FloatBits(line)));
    EXPECT_EQ(Look(list, &owner).selected, 9) << line;
  }
  Command(list, kStackedSelectLine, static_cast<LPARAM>(FloatBits(30.0f)));
  seen = Look(list, &owner);
  EXPECT_EQ(seen.selected, 30);
  EXPECT_EQ(seen.first_line, 22);  // scrolled into view
  Command(list, kListNextLine);
  EXPECT_EQ(Look(list, &owner).selected, 31);
  Command(list, kListPreviousLine);
  Command(list, kListFirstLine);
  EXPECT_EQ(Look(list, &owner).selected, 1);

  // Owner commands pass through with the selected line; Ctrl keys; Enter.
  owner.calls.clear();
  Command(list, 8);
  Command(list, 999);
  Command(list, 1003);
  Command(list, 3);  // not an owner command
  HoldControl(true);
  for (WPARAM key : {'C', 'X', 'V'}) SendMessageA(list, WM_KEYDOWN, key, 0);
  HoldControl(false);
  SendMessageA(list, WM_KEYDOWN, 'C', 0);
  SendMessageA(list, WM_KEYDOWN, VK_RETURN, 0);
  const std::vector<Call> calls = owner.Take();
  std::vector<int> events;
  for (const Call& c : calls) events.push_back(c.event);
  EXPECT_EQ(events, (std::vector<int>{8, 999, 1003, 3, 4, 5, 2}));
  EXPECT_EQ(calls.front().line, 1);

  // Tab and Escape go to the parent.
  SendMessageA(list, WM_KEYDOWN, VK_TAB, 0);
  MSG msg;
  EXPECT_TRUE(PeekMessageA(&msg, host.window, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE));
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_TAB));
  DestroyWindow(list);
}

TEST(StackedList, HeaderDragByRealInputEndsOnReleaseCancelAndCaptureLoss) {
  ListBench bench(420, 220, true);
  auto& [library, host, owner] = bench;
  HWND list = Stacked(host.window, &owner);
  Pump();
  // Front header: panel 1 at 300 … 400, y 30 … 50; grabbed 10 pixels in.
  auto column = [list] {
    std::vector<COLORREF> pixels;
    for (int y = 60; y < 200; ++y) pixels.push_back(ScreenPixel(list, 190, y));
    return pixels;
  };
  const std::vector<COLORREF> before = column();
  Mouse(OnScreen(list, 310, 40), true, false);
  Pump();
  Mouse(OnScreen(list, 200, 45), false, false);
  Pump();
  EXPECT_EQ(GetCapture(), list);
  EXPECT_NE(column(), before) << "no outline at the new place";
  Mouse(OnScreen(list, 200, 45), false, true);
  Pump();
  EXPECT_NE(GetCapture(), list);
  Seen seen = Look(list, &owner);
  EXPECT_EQ(seen.front_left, 190);
  EXPECT_EQ(seen.panels, (std::vector<int>{1, 2, 3, 4}));

  const struct {
    int to_x;
    int how;  // 0 release far right, 1 WM_CANCELMODE, 2 capture taken
    int want_left;
  } drags[] = {{900, 0, 300}, {5, 1, 30}, {120, 2, 110}};
  for (const auto& d : drags) {
    Send(list, WM_LBUTTONDOWN, MK_LBUTTON, seen.front_left + 10, 35);
    Send(list, WM_MOUSEMOVE, MK_LBUTTON, d.to_x, 60);
    if (d.how == 0) Send(list, WM_LBUTTONUP, 0, d.to_x, 60);
    if (d.how == 1) SendMessageA(list, WM_CANCELMODE, 0, 0);
    if (d.how == 2) SetCapture(host.window);
    EXPECT_NE(GetCapture(), list) << d.how;
    ReleaseCapture();
    seen = Look(list, &owner);
    EXPECT_EQ(seen.front_left, d.want_left) << d.how;
  }
  SendMessageA(list, WM_KEYDOWN, VK_BACK, 0);  // default positions again
  EXPECT_EQ(Look(list, &owner).front_left, 300);
  DestroyWindow(list);
}

TEST(StackedList, RightPressSelectsThenTheMenuActs) {
  ListBench bench(420, 220, true);
  auto& [library, host, owner] = bench;
  HWND list = Stacked(host.window, &owner);
  Seen at_menu;
  StartScript({[&] { at_menu = Look(list, &owner); }, [] { Key(VK_UP); }, [] { Key(VK_RETURN); }},
              [] { EndMenu(); });
  Send(list, WM_RBUTTONDOWN, MK_RBUTTON, 125, 62);  // panel 3, line 3
  EXPECT_EQ(StopScript(), 3u);
  EXPECT_EQ(at_menu.panels.front(), 3);
  EXPECT_EQ(at_menu.selected, 3);
  Pump();  // the menu posts its command
  EXPECT_EQ(Look(list, &owner).selected, 50);  // "Last line"
  DestroyWindow(list);
}

// ---------------------------------------------------------------------------
// Line list: 100 × 80 client, lines of 10 (8 visible).

HWND Lines(HWND parent, Owner* owner, int count, uint32_t style = 0) {
  LineListCreate record = {};
  record.parent = parent;
  record.id = 9;
  record.style = style;
  record.line_count = count;
  record.line_height = 10;
  record.callback = LineOwner;
  record.user_data = owner;
  HWND list =
      CreateWindowExA(0, kLineListClass, nullptr, WS_CHILD | WS_VISIBLE | WS_VSCROLL, 0, 0, 100, 80,
                      parent, reinterpret_cast<HMENU>(9), GetModuleHandleA(nullptr), &record);
  SetWindowPos(list, nullptr, 0, 0, 100 + GetSystemMetrics(SM_CXVSCROLL), 80,
               SWP_NOMOVE | SWP_NOZORDER);
  return list;
}

// Lines drawn (first one and the selected ones) by a paint.
struct Drawn {
  int first = 0;
  std::vector<int> selected;
};

Drawn Draw(HWND list, Owner* owner) {
  Drawn d;
  for (const Call& c : Painted(list, owner)) {
    if (c.event != 1) continue;
    if (d.first == 0) {
      d.first = c.line;
      EXPECT_EQ(c.rect.top, 0);
    }
    if (c.selected) d.selected.push_back(c.line);
  }
  return d;
}

TEST(LineList, OneLineGreysTheMenuAndKeepsTheScrollAtZero) {
  ListBench bench(200, 200, false);
  auto& [library, host, owner] = bench;
  HWND list = Lines(host.window, &owner, 1);
  owner.answer = 0;  // cancels the menu
  Send(list, WM_RBUTTONDOWN, MK_RBUTTON, 10, 5);
  const std::vector<Call> calls = owner.Take();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(First(calls, 7).extra, 1);  // selected by a right press
  EXPECT_EQ(First(calls, 8).event, 8);
  EXPECT_TRUE(owner.menu_first_state & MF_GRAYED);
  EXPECT_TRUE(owner.menu_last_state & MF_GRAYED);
  for (WPARAM code : {WPARAM{SB_LINEDOWN}, WPARAM{SB_PAGEDOWN}, WPARAM{SB_BOTTOM},
                      MAKEWPARAM(SB_THUMBTRACK, 1000)}) {
    SendMessageA(list, WM_VSCROLL, code, 0);
    EXPECT_EQ(GetScrollPos(list, SB_VERT), 0);
    EXPECT_EQ(Draw(list, &owner).first, 1);
  }
  DestroyWindow(list);
  // With two lines the items are on.
  owner.answer = 0;
  list = Lines(host.window, &owner, 2);
  Send(list, WM_RBUTTONDOWN, MK_RBUTTON, 10, 5);
  EXPECT_FALSE(owner.menu_first_state & MF_GRAYED);
  DestroyWindow(list);
}

TEST(LineList, SelectionScrollingKeysAndEvents) {
  ListBench bench(200, 200, false);
  auto& [library, host, owner] = bench;
  HWND list = Lines(host.window, &owner, 100, kLineListExtendedSelection);
  const struct {
    WPARAM keys;
    int y;
    std::vector<int> selected;
  } clicks[] = {
      {0, 25, {3}}, {MK_SHIFT, 55, {3, 4, 5, 6}}, {MK_CONTROL, 5, {1, 2, 3, 4, 5, 6}}, {0, 45, {5}},
      {0, -5, {5}},  // above the lines: nothing
  };
  for (const auto& c : clicks) {
    owner.calls.clear();
    Send(list, WM_LBUTTONDOWN, MK_LBUTTON | c.keys, 10, c.y);
    if (c.y >= 0) {
      EXPECT_EQ(First(owner.Take(), 7).event, 7);
    }
    EXPECT_EQ(Draw(list, &owner).selected, c.selected) << c.y;
  }

  const struct {
    WPARAM code;
    int first, position;
  } scrolls[] = {
      {SB_PAGEDOWN, 9, 80}, {SB_LINEDOWN, 10, 90}, {MAKEWPARAM(SB_THUMBTRACK, 500), 50, 494},
      {SB_BOTTOM, 92, 919}, {SB_LINEUP, 91, 909},  {SB_TOP, 1, 0},
      {SB_ENDSCROLL, 1, 0},
  };
  for (const auto& s : scrolls) {
    SendMessageA(list, WM_VSCROLL, s.code, 0);
    EXPECT_EQ(Draw(list, &owner).first, s.first) << s.code;
    EXPECT_EQ(GetScrollPos(list, SB_VERT), s.position) << s.code;
  }
  SendMessageA(list, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
  EXPECT_EQ(Draw(list, &owner).first, 4);

  const struct {
    WPARAM key;
    int start, first;
  } keys[] = {
      {VK_END, 100, 93}, {VK_PRIOR, 93, 93}, {VK_HOME, 1, 1}, {VK_NEXT, 8, 1}, {VK_DOWN, 9, 2}};
  for (const auto& k : keys) {
    owner.calls.clear();
    SendMessageA(list, WM_KEYDOWN, k.key, 0);
    EXPECT_EQ(First(owner.Take(), 7).line, k.start) << k.key;
    const Drawn d = Draw(list, &owner);
    EXPECT_EQ(d.first, k.first) << k.key;
    EXPECT_EQ(d.selected, std::vector<int>{k.start}) << k.key;
  }

  owner.calls.clear();
  SendMessageA(list, WM_KEYDOWN, 'A', 0);
  HoldControl(true);
  for (WPARAM key : {'C', 'V', 'X'}) SendMessageA(list, WM_KEYDOWN, key, 0);
  HoldControl(false);
  Command(list, kListNextLine);
  Command(list, 150);
  Command(list, 99);  // neither the list's nor a menu command: nothing
  Command(list, kListLastLine);
  const std::vector<Call> calls = owner.Take();
  std::vector<int> events;
  for (const Call& c : calls) events.push_back(c.event);
  EXPECT_EQ(events, (std::vector<int>{10, 4096, 4097, 4098, 7, 9, 7}));
  EXPECT_EQ(calls[0].extra, 'A');
  EXPECT_EQ(calls[0].line, 9);
  EXPECT_EQ(calls[5].extra, 150);
  EXPECT_EQ(calls[6].line, 100);
  DestroyWindow(list);
}

// ---------------------------------------------------------------------------
// Value grid: 200 × 100 client over a 1000 × 500 canvas.

HWND Grid(HWND parent, Owner* owner, DWORD bars = 0) {
  ValueGridCreate record = {};
  record.parent = parent;
  record.id = 11;
  record.callback = GridOwner;
  record.virtual_width = 1000;
  record.virtual_height = 500;
  record.user_data = owner;
  return CreateWindowExA(0, kValueGridClass, nullptr, WS_CHILD | WS_VISIBLE | bars, 0, 0, 200, 100,
                         parent, reinterpret_cast<HMENU>(11), GetModuleHandleA(nullptr), &record);
}

// Item 0 value (0 … 10, factors 0.5 / 0.1), 1 multiplied (0.5 … 64,
// factors 2 / 4), 2 toggle, 3 time (0 … 5 s), 4 far right, 5 a label.
void AddItems(HWND grid) {
  const GridItem items[] = {
      {1, 1, 10, 10, 50, 30, 5.0f, 0.0f, 10.0f, 0.5f, 0.1f, 100, nullptr},
      {2, 4, 60, 10, 100, 30, 2.0f, 0.5f, 64.0f, 2.0f, 4.0f, 101, nullptr},
      {3, 3, 110, 10, 150, 30, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 102, nullptr},
      {4, 2, 10, 40, 50, 60, 1.0f, 0.0f, 5.0f, 0.1f, 0.1f, 103, nullptr},
      {5, 1, 600, 10, 640, 30, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 104, nullptr},
      {6, 0, 160, 40, 190, 60, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 105, nullptr},
  };
  ASSERT_EQ(AppendGridItems(grid, items, 6), 1);
}

TEST(ValueGrid, CreationPaintingAndItems) {
  ListBench bench(300, 200, false);
  auto& [library, host, owner] = bench;
  owner.answer = 0;  // event 1 refuses
  EXPECT_EQ(Grid(host.window, &owner), nullptr);
  EXPECT_EQ(owner.Events(), std::vector<int>{1});
  owner.answer = 1;
  HWND grid = Grid(host.window, &owner);
  ASSERT_NE(grid, nullptr);
  AddItems(grid);
  std::vector<Call> calls = Painted(grid, &owner);
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls[0].event, 2);
  EXPECT_EQ(calls[0].rect.right, 200);
  std::vector<int> tags;
  for (const Call& c : calls) {
    if (c.event == 3) tags.push_back(c.line);
  }
  EXPECT_EQ(tags, (std::vector<int>{100, 101, 102, 103, 105}));  // 104 is out of view

  // The item's own callback draws it instead of the grid's.
  static int own_calls;
  own_calls = 0;
  const GridItem own = {
      7, 1, 20, 70, 40, 90, 0, 0, 1, 1, 1, 106, [](GridContext*, int) { return ++own_calls; }};
  EXPECT_EQ(AppendGridItems(grid, &own, 1), 1);
  Painted(grid, &owner);
  EXPECT_EQ(own_calls, 1);
  EXPECT_EQ(RemoveGridItems(grid, 7), 1);
  EXPECT_EQ(RemoveGridItems(grid, 7), 0);
  EXPECT_EQ(AppendGridItems(host.window, &own, 1), 0);  // not a grid
  EXPECT_EQ(AppendGridItems(grid, &own, -1), 0);
  EXPECT_FLOAT_EQ(GetGridItemValue(grid, 1), 2.0f);
  EXPECT_EQ(GetGridItemValue(grid, 99), 0.0f);
  DestroyWindow(grid);
}

TEST(ValueGrid, DragsOnBothButtonsEndOnTheirOwnRelease) {
  ListBench bench(300, 200, true);
  auto& [library, host, owner] = bench;
  HWND grid = Grid(host.window, &owner);
  AddItems(grid);
  const struct {
    int item;
    bool right;
    int dy;
    float want;
  } drags[] = {
      {0, false, -4, 7.0f}, {0, false, -400, 10.0f}, {0, true, 10, 9.0f},    {0, false, 400, 0.0f},
      {1, false, -2, 8.0f}, {1, true, 1, 2.0f},      {1, false, -10, 64.0f}, {1, true, 20, 0.5f},
  };
  const int xs[] = {20, 70};
  for (const auto& d : drags) {
    const UINT down = d.right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN;
    const UINT up = d.right ? WM_RBUTTONUP : WM_LBUTTONUP;
    const UINT other_up = d.right ? WM_LBUTTONUP : WM_RBUTTONUP;
    Send(grid, down, 0, xs[d.item], 20);
    Send(grid, WM_MOUSEMOVE, 0, xs[d.item], 20 + d.dy);
    Send(grid, other_up, 0, xs[d.item], 20 + d.dy);
    EXPECT_EQ(GetCapture(), grid) << "the other button's release ended the drag";
    Send(grid, up, 0, xs[d.item], 20 + d.dy);
    EXPECT_NE(GetCapture(), grid) << "the drag kept the capture";
    EXPECT_FLOAT_EQ(GetGridItemValue(grid, d.item), d.want) << d.item << " " << d.dy;
    EXPECT_EQ(First(owner.Take(), 4).extra, static_cast<intptr_t>(d.want * 1000));
  }

  // A left-button drag through real input lets the capture go.
  Mouse(OnScreen(grid, 20, 20), true, false);
  Pump();
  Mouse(OnScreen(grid, 20, 14), false, false);
  Pump();
  Mouse(OnScreen(grid, 20, 14), false, true);
  Pump();
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_FLOAT_EQ(GetGridItemValue(grid, 0), 3.0f);

  // Toggles: released over itself, off it, cancelled, capture lost.
  const struct {
    int release_x;
    int how;  // 0 release, 1 WM_CANCELMODE, 2 capture taken
    float want;
  } toggles[] = {{130, 0, 1.0f}, {130, 0, 0.0f}, {180, 0, 0.0f}, {130, 1, 0.0f}, {130, 2, 0.0f}};
  for (const auto& t : toggles) {
    Send(grid, WM_LBUTTONDOWN, 0, 120, 20);
    if (t.how == 0) Send(grid, WM_LBUTTONUP, 0, t.release_x, 20);
    if (t.how == 1) SendMessageA(grid, WM_CANCELMODE, 0, 0);
    if (t.how == 2) SetCapture(host.window);
    EXPECT_NE(GetCapture(), grid);
    ReleaseCapture();
    Send(grid, WM_MOUSEMOVE, 0, 120, 0);  // no drag left to move
    EXPECT_FLOAT_EQ(GetGridItemValue(grid, 2), t.want) << t.release_x << " " << t.how;
  }

  // Removing the dragged item ends its drag; a later item moves up.
  Send(grid, WM_LBUTTONDOWN, 0, 20, 20);
  EXPECT_EQ(RemoveGridItems(grid, 1), 1);
  EXPECT_NE(GetCapture(), grid);
  EXPECT_FLOAT_EQ(GetGridItemValue(grid, 0), 0.5f);  // the multiplied item
  DestroyWindow(grid);
}

TEST(ValueGrid, CtrlPressesEditAndZoomWithinLimits) {
  ListBench bench(300, 200, true);
  auto& [library, host, owner] = bench;
  HWND grid = Grid(host.window, &owner);
  AddItems(grid);
  auto typed = [](const wchar_t* text, WORD end_key) {
    return Steps{[text] {
                   SendMessageA(GetDlgItem(GetPopupSlot(kSlotQuickEdit), 10), EM_SETSEL, 0, -1);
                   TypeText(text);
                 },
                 [end_key] { Key(end_key); }};
  };
  const struct {
    int x, y;
    const wchar_t* text;
    WORD end_key;
    int item;
    float want;
  } edits[] = {{20, 20, L"3.25", VK_RETURN, 0, 3.25f},
               {70, 20, L"1000", VK_RETURN, 1, 64.0f},  // clamped
               {20, 20, L"7", VK_ESCAPE, 0, 3.25f},     // dismissed
               {20, 20, L"off", VK_RETURN, 0, 3.25f},   // no number: nothing
               {20, 20, L"\u20132", VK_RETURN, 0, 0.0f}};  // a pasted en dash: -2, clamped
  for (const auto& e : edits) {
    StartScript(typed(e.text, e.end_key), [] {
      if (HWND box = GetPopupSlot(kSlotQuickEdit)) PostMessageA(box, WM_CLOSE, 0, 0);
    });
    Send(grid, WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, e.x, e.y);
    StopScript();
    EXPECT_FLOAT_EQ(GetGridItemValue(grid, e.item), e.want) << static_cast<int>(e.text[0]);
  }
  EXPECT_EQ(First(owner.Take(), 4).line, 100);
  StartScript({[] {
                 HWND field = GetDlgItem(GetPopupSlot(kSlotTimeEntry), 10);
                 SetFocus(field);
                 SendMessageA(field, EM_SETSEL, 0, -1);
                 Type("0.75");
               },
               [] { Key(VK_RETURN); }},
              [] {
                if (HWND dialog = GetPopupSlot(kSlotTimeEntry))
                  PostMessageA(dialog, WM_CLOSE, 0, 0);
              });
  Send(grid, WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, 20, 50);
  StopScript();
  EXPECT_FLOAT_EQ(GetGridItemValue(grid, 3), 0.75f);
  EXPECT_EQ(First(owner.Take(), 4).line, 103);

  const struct {
    UINT message;
    int presses, want;
  } zooms[] = {{WM_LBUTTONDOWN, 3, 70}, {WM_LBUTTONDOWN, 5, 50}, {WM_RBUTTONDOWN, 20, 200}};
  for (const auto& z : zooms) {
    for (int i = 0; i < z.presses; ++i) {
      Send(grid, z.message, MK_CONTROL, 180, 80);
      Send(grid, z.message + 1, 0, 180, 80);
    }
    EXPECT_EQ(GetGridZoom(grid), z.want);
  }
  SetGridOptions(grid, 0, 1);
  Send(grid, WM_LBUTTONDOWN, MK_CONTROL, 180, 80);
  EXPECT_EQ(GetGridZoom(grid), 200);
  DestroyWindow(grid);
}

TEST(ValueGrid, ViewScrollsZoomsAndPans) {
  ListBench bench(300, 200, false);
  auto& [library, host, owner] = bench;
  HWND grid = Grid(host.window, &owner, WS_HSCROLL | WS_VSCROLL);
  AddItems(grid);
  RECT client;
  GetClientRect(grid, &client);
  int min = -1, max = -1;
  GetScrollRange(grid, SB_HORZ, &min, &max);
  EXPECT_EQ(max, 1000);
  GetScrollRange(grid, SB_VERT, &min, &max);
  EXPECT_EQ(max, 500);

  SendMessageA(grid, WM_HSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(GetScrollPos(grid, SB_HORZ), 4);
  SendMessageA(grid, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 500), 0);
  EXPECT_EQ(GetScrollPos(grid, SB_HORZ), 500);
  std::vector<int> tags;
  for (const Call& c : Painted(grid, &owner)) {
    if (c.event == 3) tags.push_back(c.line);
  }
  EXPECT_EQ(tags, std::vector<int>{104});  // only the far item is in view now

  // Zoom to 200 %: the logical position stays, the device one doubles.
  for (int i = 0; i < 10; ++i) Send(grid, WM_RBUTTONDOWN, MK_CONTROL, 5, 95);
  EXPECT_EQ(GetGridZoom(grid), 200);
  // The logical position stays, but for what ten truncations take off (up
  // to a pixel each).
  EXPECT_NEAR(GetScrollPos(grid, SB_HORZ), 500, 10);
  // At 200 % from logical 590 the far item (600 … 640) is at client 20 … 100.
  SendMessageA(grid, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 590), 0);
  EXPECT_EQ(GetScrollPos(grid, SB_HORZ), 590);
  Send(grid, WM_LBUTTONDOWN, 0, 40, 40);
  EXPECT_EQ(GetCapture(), grid);
  Send(grid, WM_MOUSEMOVE, 0, 40, 39);
  Send(grid, WM_LBUTTONUP, 0, 40, 39);
  EXPECT_FLOAT_EQ(GetGridItemValue(grid, 4), 1.0f);

  // Pan: dragging the empty canvas 40 pixels left moves 20 logical pixels.
  SendMessageA(grid, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 100), 0);
  Send(grid, WM_LBUTTONDOWN, 0, 150, 80);
  EXPECT_EQ(GetCapture(), grid);
  Send(grid, WM_RBUTTONDOWN, MK_CONTROL, 150, 80);  // while panning: default processing
  EXPECT_EQ(GetGridZoom(grid), 200);
  Send(grid, WM_MOUSEMOVE, 0, 110, 60);
  EXPECT_EQ(GetScrollPos(grid, SB_HORZ), 610);
  EXPECT_EQ(GetScrollPos(grid, SB_VERT), 110);
  Send(grid, WM_RBUTTONUP, 0, 110, 60);
  EXPECT_EQ(GetCapture(), grid);  // a pan of the left button ends on its own release
  Send(grid, WM_LBUTTONUP, 0, 110, 60);
  EXPECT_NE(GetCapture(), grid);
  Send(grid, WM_MOUSEMOVE, 0, 0, 0);
  EXPECT_EQ(GetScrollPos(grid, SB_HORZ), 610);

  SetGridOptions(grid, 1, 0);  // no scroll drag: a press on empty canvas does nothing
  Send(grid, WM_LBUTTONDOWN, 0, 150, 80);
  EXPECT_NE(GetCapture(), grid);
  SendMessageA(grid, WM_HSCROLL, SB_BOTTOM, 0);  // the end is the logical size
  EXPECT_EQ(GetScrollPos(grid, SB_HORZ), 500);
  DestroyWindow(grid);
}

}  // namespace
