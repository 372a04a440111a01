// genrender's --level in every unit: the peak it renders is the level the
// units' arithmetic gives at a full scale of 2 V RMS, with the set file's
// gain taken off the level; what the level knob cannot hold is wrong usage.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "generator/engine/engine.h"
#include "generator/files/set_file_format.h"

namespace {

// genrender's exit code for `arguments`, rendering 0.1 s of float.
int Genrender(const std::string& arguments, const std::string& wav) {
  const std::string command = std::string(QX_GENRENDER) + " --quality high --format f32 -d 0.1 " +
                              arguments + " -o " + wav + " 2>/dev/null";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A set file of the defaults with the gain at `gain_db`, named apart for each
// test (ctest runs them side by side).
std::string SetFileWithGain(float gain_db, const std::string& name) {
  GeneratorSettings s = kGeneratorDefaults;
  s.gain_db = gain_db;
  const std::string set = testing::TempDir() + name + ".def";
  std::ofstream(set, std::ios::binary)
      .write(kSetFileIdentification, kSetFileHeaderBytes)
      .write(reinterpret_cast<const char*>(&s), sizeof s);
  return set;
}

TEST(GenRenderLevel, PeakIsTheLevelInEveryUnit) {
  struct Case {
    const char* level;
    float gain_db;
    double peak_dbfs;
  };
  const Case cases[] = {
      {"+4dBu", 0.0f, -4.2391},   // 1.2277 V RMS
      {"1 Vpp", 0.0f, -15.0515},  // 0.35355 V RMS
      {"-10 dBV", 0.0f, -16.0206}, {"0.775 V", 0.0f, -8.2346}, {"-6 dBFS", 0.0f, -6.0},
      {"-6", 0.0f, -6.0},          {"-6 dB", 3.0f, -6.0},  // the level at -9 dB
      {"1 V", 12.0f, -6.0206},                             // the level at -18.02 dB
  };
  const std::string wav = testing::TempDir() + "level.wav";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.level);
    const std::string set =
        c.gain_db != 0.0f ? " -s " + SetFileWithGain(c.gain_db, "level_gain") : "";
    ASSERT_EQ(Genrender("--waveform sine --frequency 1000 --full-scale 2.0 --level '" +
                            std::string(c.level) + "'" + set,
                        wav),
              0);
    std::ifstream in(wav, std::ios::binary);
    const std::vector<unsigned char> b{std::istreambuf_iterator<char>(in), {}};
    ASSERT_EQ(b.size(), 58u + 8 * 4410);
    double peak = 0.0;
    for (size_t frame = 1024; frame < 4410; ++frame) {  // after the start's ramp
      float left;
      std::memcpy(&left, b.data() + 58 + 8 * frame, 4);
      peak = std::max(peak, std::fabs(static_cast<double>(left)));
    }
    EXPECT_NEAR(20.0 * std::log10(peak), c.peak_dbfs, 0.01);
  }
}

TEST(GenRenderLevel, VoltsWithoutCalibrationAndLevelsOutOfRangeAreWrongUsage) {
  const std::string wav = testing::TempDir() + "level_refused.wav";
  EXPECT_EQ(Genrender("--level 0.775V", wav), 2);
  EXPECT_EQ(Genrender("--level +4dBu", wav), 2);
  EXPECT_EQ(Genrender("--level -6 --full-scale 1001", wav), 2);
  EXPECT_EQ(Genrender("--level +10dBu --full-scale 2", wav), 2);  // +1.76 dBFS
  EXPECT_EQ(Genrender("--level -81", wav), 2);
  EXPECT_EQ(Genrender("--level -79 -s " + SetFileWithGain(3.0f, "refused_gain3"), wav),
            2);  // the level at -82
  EXPECT_EQ(Genrender("--level 0 -s " + SetFileWithGain(24.0f, "refused_gain24"), wav),
            0);  // the level at -24
}

}  // namespace
