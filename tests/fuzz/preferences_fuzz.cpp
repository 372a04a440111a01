// The control library's preferences as the registry may hold them (any
// type, any length), and the time-entry dialog's stored context: taken by
// their rules, a stored context brought into range gives finite times.
#include <cmath>

#include "ctl/portable/musical_time.h"
#include "ctl/portable/preferences.h"
#include "ctl/portable/time_context.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in{data, size};
  const auto id = static_cast<PreferenceId>(in.Take<uint8_t>() % kPreferenceCount);
  const bool binary = (in.Take<uint8_t>() & 1) != 0;
  ControlPreferences prefs;
  DefaultPreferences(&prefs);
  AcceptPreference(&prefs, id, binary, in.data, in.size);
  const int corner = ValuePopupCorner(prefs.infovalue);
  FUZZ_CHECK(corner >= 1 && corner <= 4);

  TimeContext context = DecodeTimeContext(prefs.dial_tctx);
  ClampTimeContext(&context);
  FUZZ_CHECK(ClampTimeContext(&context) == 0);  // a clamped context stays as it is
  const float duration = MusicalDuration(&context);
  FUZZ_CHECK(std::isfinite(duration) && duration >= 0.0f);
  const TimeValues v = DeriveTimeValues(1.0f, &context);
  for (float x : {v.seconds, v.milliseconds, v.hertz, v.beats_per_minute, v.metres, v.samples,
                  v.frames}) {
    FUZZ_CHECK(std::isfinite(x));
  }
  char position[64];
  FormatMusicalPosition(1000.0, &context, position, sizeof position);
  FUZZ_CHECK(std::isfinite(ParseMusicalPosition(position, &context)));
  return 0;
}
