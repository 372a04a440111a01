// Typed text: the value text of every editor, decibel answers, musical
// positions and the installer's command line. A parsed value is finite or
// refused; the command line's flags are 0 or 1.
#include <cmath>

#include "ctl/portable/musical_time.h"
#include "ctl/portable/value_range.h"
#include "ctl/portable/value_text.h"
#include "setup/installer/command_line.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const char* t = text.c_str();
  FUZZ_CHECK(std::isfinite(static_cast<double>(ParseValue(t))));
  long double typed = 7;
  const bool has_digit = text.find_first_of("0123456789") < std::strlen(t);
  FUZZ_CHECK(ParseTypedValue(t, &typed) == (has_digit ? 1 : 0));
  if (has_digit) {
    FUZZ_CHECK(std::isfinite(static_cast<double>(typed)));
  } else {
    FUZZ_CHECK(typed == 7);  // refused: nothing set
  }
  ValueRange decibel = {0.001f, 1.0f, 0.5f, 0.01f, 3, kStyleDecibel, 0.5f, 0, 0, 0, 0};
  float value = 7.0f;
  if (ReadDecibelAnswer(&decibel, t, &value)) FUZZ_CHECK(std::isfinite(value));
  const TimeContext context = DefaultTimeContext();
  FUZZ_CHECK(std::isfinite(ParseMusicalPosition(t, &context)));
  const InstallerFlags flags = ParseInstallerCommandLine(t);
  for (int flag : {flags.silent, flags.auto_install, flags.auto_remove}) {
    FUZZ_CHECK(flag == 0 || flag == 1);
  }
  return 0;
}
