// The value editors under Wine, driven by real keyboard and mouse input
// (SendInput) while their modal loops run: a thread timer plays a script of
// steps, one per tick, so the dialog manager sees every key as a user's.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ctl/library_state.h"
#include "ctl/portable/time_context.h"
#include "tests/ctl/ctl_test_support.h"

namespace {

// Plays `steps` inside the editor's modal loop; the editor is closed if
// it outlives its script, so a test never hangs on a box that did not end.
template <typename Open>
auto RunScript(int slot, Steps steps, Open open) {
  const size_t count = steps.size();
  StartScript(std::move(steps), [slot] {
    if (HWND editor = GetPopupSlot(slot)) PostMessageA(editor, WM_CLOSE, 0, 0);
  });
  auto result = open();
  EXPECT_EQ(StopScript(), count) << "the editor ended before its script did";
  EXPECT_EQ(GetPopupSlot(slot), nullptr);
  return result;
}

HWND TimeDialog() { return GetPopupSlot(kSlotTimeEntry); }

std::string FieldText(int id) {
  char text[128] = "";
  GetWindowTextA(GetDlgItem(TimeDialog(), id), text, sizeof text);
  return text;
}

// Clicks into a field and selects its text, so typing replaces it.
void ClickField(int id) {
  HWND field = GetDlgItem(TimeDialog(), id);
  Mouse(OnScreen(field, 10, 8), true, true);
}
void SelectAll(int id) { SendMessageA(GetDlgItem(TimeDialog(), id), EM_SETSEL, 0, -1); }

// A note cell's centre on the screen.
POINT Cell(int index) {
  return OnScreen(TimeDialog(), 196 + 32 * (index % 5), 41 + 32 * (index / 5));
}

TimeContext StoredContext() { return DecodeTimeContext(GetControlPreferences()->dial_tctx); }

TEST(TimeDialog, TypingInOneFieldRewritesTheOthers) {
  Library library("CtlEditorTests");
  Host host(0, 0, 800, 600);
  SetForegroundWindow(host.window);
  std::vector<std::string> hertz, zero, position;
  std::string focus_after_enter;
  const float result = RunScript(
      kSlotTimeEntry,
      {
          [] { ClickField(kFieldHertz); },
          [] {
            SelectAll(kFieldHertz);
            Type("2");
          },
          [&] {
            for (int id : {kFieldSeconds, kFieldMilliseconds, kFieldBeatsPerMinute, kFieldMetres,
                           kFieldSamples, kFieldFrames, kFieldPosition, kFieldHertz}) {
              hertz.push_back(FieldText(id));
            }
            SelectAll(kFieldHertz);
            Type("0");
          },
          [&] {
            zero = {FieldText(kFieldSeconds), FieldText(kFieldBeatsPerMinute)};
          },
          [] { ClickField(kFieldPosition); },
          [] {
            SelectAll(kFieldPosition);
            Type("3 / 1 / 48");
          },
          [&] {
            position = {FieldText(kFieldSeconds), FieldText(kFieldSamples)};
          },
          [] { Key(VK_RETURN); },
      },
      [&] { return OpenTimeDialog(host.window, kTextStyleValue, 100, 100, 1.0f); });
  const std::vector<std::string> expected = {
      "0.500000", "500.000", "120.000", "165.000", "22050", "12.500", "     1 /  2 /     0", "2"};
  EXPECT_EQ(hertz, expected);  // the typed field keeps the user's text
  EXPECT_EQ(zero, (std::vector<std::string>{"0.000000", "0.000"}));
  EXPECT_EQ(position, (std::vector<std::string>{"4.250000", "187425"}));
  EXPECT_EQ(result, 4.25f);  // Enter is OK
  EXPECT_EQ(StoredContext().focus_id, kFieldPosition);
}

TEST(TimeDialog, NotePictureSequenceAndCancel) {
  Library library("CtlEditorTests");
  Host host(0, 0, 800, 600);
  SetForegroundWindow(host.window);
  std::vector<std::string> seconds;
  auto note = [](int index) { return [index] { Mouse(Cell(index), true, true); }; };
  auto read = [&] { seconds.push_back(FieldText(kFieldSeconds)); };
  const float result =
      RunScript(kSlotTimeEntry,
                {
                    [] { Mouse(Cell(0), true, false); },
                    [] { Mouse(Cell(1), false, true); },  // released on another cell: nothing
                    read,
                    [] {  // replace mode off, by its toggle
                      Mouse(OnScreen(GetDlgItem(TimeDialog(), 15), 12, 8), true, true);
                    },
                    note(13),
                    read,  // a dotted eighth after the quarter
                    note(4),
                    note(4),
                    note(4),
                    read,
                    note(0),
                    read,  // a sixth note restarts the sequence
                    [] { Mouse(OnScreen(GetDlgItem(TimeDialog(), IDCANCEL), 30, 12), true, true); },
                },
                [&] { return OpenTimeDialog(host.window, kTextStyleValue, 120, 80, 0.0f); });
  EXPECT_EQ(seconds, (std::vector<std::string>{"0.000000", "0.875000", "1.250000", "2.000000"}));
  EXPECT_EQ(result, kTimeDialogCancel);
  const TimeContext after = StoredContext();
  EXPECT_EQ(after.replace_mode, 1);  // Cancel put the opening context back
  EXPECT_EQ(after.notes[1], kNoNote);
}

TEST(TimeDialog, CloseKeepsTheContextWhichReachesTheRegistry) {
  {
    Library library("CtlEditorTestsStore", /*keep_key=*/true);
    Host host(0, 0, 800, 600);
    // A context with bytes no dialog would write: clamped when it opens.
    TimeContext odd = DefaultTimeContext();
    odd.notes[0] = 900;
    odd.tempo_bpm = NAN;
    odd.denominator = 7;
    odd.focus_id = 4242;
    EncodeTimeContext(&odd, GetControlPreferences()->dial_tctx);
    std::string position, tempo;
    const float result =
        RunScript(kSlotTimeEntry,
                  {
                      [&] {
                        position = FieldText(kFieldPosition);
                        tempo = FieldText(kFieldTempo);
                      },
                      [] { ClickField(kFieldTempo); },
                      [] {
                        SelectAll(kFieldTempo);
                        Type("60");
                      },
                      [] { PostMessageA(TimeDialog(), WM_CLOSE, 0, 0); },
                  },
                  [&] { return OpenTimeDialog(host.window, kTextStyleValue, 100, 100, 2.5f); });
    EXPECT_EQ(result, kTimeDialogCancel);
    EXPECT_EQ(tempo, "120.000");
    EXPECT_EQ(position, "     2 /  2 /     0");
  }
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(ReadBinary("CtlEditorTestsStore", "Dial_tCtx", &bytes));
  DeleteKey("CtlEditorTestsStore");
  ASSERT_EQ(bytes.size(), kTimeContextBytes);
  const TimeContext read = DecodeTimeContext(bytes.data());
  EXPECT_EQ(read.tempo_bpm, 60.0f);
  EXPECT_EQ(read.denominator, 4);
  EXPECT_EQ(read.notes[0], kNoNote);  // the unknown note ended the sequence
  EXPECT_EQ(read.focus_id, kFieldTempo);
}

TEST(TimeDialog, BackgroundDragMovesTheWindow) {
  Library library("CtlEditorTests");
  Host host(0, 0, 800, 600);
  SetForegroundWindow(host.window);
  RECT before = {}, after = {};
  COLORREF strip = 0, tile = 0;
  RunScript(kSlotTimeEntry,
            {
                [&] {
                  GetWindowRect(TimeDialog(), &before);
                  HDC screen = GetDC(nullptr);
                  POINT s = OnScreen(TimeDialog(), 335, 190);
                  strip = GetPixel(screen, s.x, s.y);
                  POINT t = OnScreen(TimeDialog(), 100, 172);
                  tile = GetPixel(screen, t.x, t.y);
                  ReleaseDC(nullptr, screen);
                  Mouse(OnScreen(TimeDialog(), 100, 172), true, false);
                },
                [] { Mouse(OnScreen(TimeDialog(), 120, 180), false, false); },
                [] { Mouse(OnScreen(TimeDialog(), 140, 192), false, true); },
                [&] { GetWindowRect(TimeDialog(), &after); },
            },
            [&] { return OpenTimeDialog(host.window, kTextStyleValue, 50, 50, 1.0f); });
  EXPECT_EQ(after.left - before.left, 40);
  EXPECT_EQ(after.top - before.top, 20);
  EXPECT_EQ(strip, RGB(0, 0, 0));   // the empty end of the sequence strip
  EXPECT_GT(GetRValue(tile), 150);  // the light brushed tile, not a dark default
}

std::string QuickEdit(HWND parent, Steps steps) {
  char* answer = RunScript(kSlotQuickEdit, std::move(steps), [&] {
    return OpenQuickEdit(parent, kTextStyleValue, 200, 200, 100, 20, "0.250");
  });
  EXPECT_NE(answer, nullptr);
  std::string text = answer ? answer : "<null>";
  std::free(answer);
  return text;
}

TEST(QuickEdit, EnterAcceptsEscapeAndClicksElsewhereCancel) {
  Library library("CtlEditorTests");
  Host host(0, 0, 800, 600);
  SetForegroundWindow(host.window);
  std::string initial_selection;
  EXPECT_EQ(QuickEdit(host.window, {[] { Type("-6.5"); }, [] { Key(VK_RETURN); }}), "-6.5");
  EXPECT_EQ(QuickEdit(host.window, {[] { Type("12"); }, [] { Key(VK_ESCAPE); }}), "");
  EXPECT_EQ(QuickEdit(host.window, {[] { Type("12"); },
                                    [] {
                                      Mouse({600, 500}, true, true);
                                    }}),  // on the host
            "");
  // Typing after an arrow key keeps the initial text: it was all selected.
  EXPECT_EQ(QuickEdit(host.window, {[] {
                                      Key(VK_END);
                                      Type("1");
                                    },
                                    [] { Key(VK_RETURN); }}),
            "0.2501");
}

}  // namespace
