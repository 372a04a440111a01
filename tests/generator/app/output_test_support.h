// What the tests of the Output menu share: the menu as a user reads it, the
// WAV file the capture device writes, the program's message boxes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// A start folder of its own for a test's program.
std::string ScratchDirectory();

// The text of the menu item of `command`, as the menu shows it.
std::string MenuText(HWND window, int command);

// The device, rate and width items that carry a check mark (the menu is
// checked as the user's opening it checks it).
std::vector<std::string> CheckedOutput(HWND window);

// The interface item that carries a check mark, or "".
std::string CheckedInterface(HWND window);

// The device item of the name shown, read as the menu opens; 0 when none.
int DeviceCommand(HWND window, const std::string& name);

// The first command of the Signals menu whose item reads `name`; 0 when none.
int SignalCommand(HWND window, const std::string& name);

struct CapturedWav {
  int format_tag = 0, channels = 0, rate = 0, bits = 0;  // from the header
  size_t total_frames = 0;                               // in the file
  std::vector<int32_t> codes;  // the last frames' left samples as integers (not float)
  std::vector<double> left;    // the same, full scale 1.0
};

// What the samples are. ALSA's file device writes the PCM format's code
// into the header for float samples too: the test says what it played.
enum class Samples { kInteger, kFloat };

// The capture file's header and the left samples of its last `frames`
// frames (fewer while the device has not played that many): 16-, 24- or
// 32-bit PCM, or 32-bit float.
CapturedWav ReadCapture(size_t frames, Samples samples = Samples::kInteger);

// Pumps the window's messages until the capture holds `frames` frames (at
// most 10 s on the clock) and returns them.
CapturedWav WaitForCapture(size_t frames, Samples samples = Samples::kInteger);

// The same for `frames` frames played from now on.
CapturedWav WaitForNewCapture(size_t frames, Samples samples = Samples::kInteger);

// The longest run of exact zeros in `x`: where it starts, how long it is.
struct Silence {
  size_t first, frames;
};
Silence LongestSilence(const std::vector<double>& x);

// Answers the next message box titled "Output" on a thread of its own and
// keeps the text that names a device (it holds a quoted name).
class OutputBoxAnswer {
 public:
  OutputBoxAnswer();
  ~OutputBoxAnswer();
  // Whether the box was answered (or none came within 10 s).
  bool Done() const;
  // Waits for the answer: the box's text, "" when none came within 10 s.
  const std::string& Text();

 private:
  static DWORD WINAPI Run(LPVOID self);
  HANDLE thread_;
  std::string text_;
};

// The kept wave output, as an older program wrote it.
void KeepOutput(const char* device, DWORD rate, DWORD width);

// The generator on, at -1 dBFS.
void TurnOnAtMinusOneDbfs();
