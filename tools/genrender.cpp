// genrender: renders Generator settings to a WAV file, offline.
//
// Takes a current-set file (or the built-in defaults), switches the
// generator on and renders it through the engine exactly as the program's
// audio thread does (reset, then blocks of 4,408 frames), into a 16-bit
// stereo 44,100 Hz WAV file. Run `genrender --help` for the options.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "generator/engine.h"
#include "generator/offline_render.h"
#include "generator/set_file_format.h"

static const char kUsage[] =
    "usage: genrender [-s SETFILE] [-d SECONDS] -o OUTPUT.wav\n"
    "\n"
    "Renders the generator's signal to a 16-bit stereo 44,100 Hz WAV file, through the\n"
    "same engine and in the same blocks as the Generator program plays it.\n"
    "\n"
    "  -s, --set FILE        current-set file to render (qx_gene_current_set.def);\n"
    "                        without it the built-in defaults (1 kHz sine, -10 dB)\n"
    "  -d, --duration SEC    seconds to render, 0.001 to 3600 (default 1)\n"
    "  -o, --output FILE     the WAV file to write\n"
    "  -h, --help            this text\n"
    "\n"
    "The generator is switched on for the render whatever the file says. One-shots,\n"
    "impulses and single sweeps end by themselves and leave silence after them.\n";

static void PutLe(std::vector<unsigned char>* out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<unsigned char>(value >> (8 * i)));
}

static bool WriteWav(const char* path, const std::vector<int16_t>& samples) {
  const uint32_t data_bytes = static_cast<uint32_t>(samples.size() * 2);
  std::vector<unsigned char> bytes;
  bytes.reserve(44 + data_bytes);
  const unsigned char riff[] = {'R', 'I', 'F', 'F'};
  bytes.insert(bytes.end(), riff, riff + 4);
  PutLe(&bytes, 36 + data_bytes, 4);
  const unsigned char wave_fmt[] = {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
  bytes.insert(bytes.end(), wave_fmt, wave_fmt + 8);
  PutLe(&bytes, 16, 4);          // fmt chunk size
  PutLe(&bytes, 1, 2);           // PCM
  PutLe(&bytes, 2, 2);           // channels
  PutLe(&bytes, 44100, 4);       // frames per second
  PutLe(&bytes, 44100 * 4, 4);   // bytes per second
  PutLe(&bytes, 4, 2);           // bytes per frame
  PutLe(&bytes, 16, 2);          // bits per sample
  const unsigned char data[] = {'d', 'a', 't', 'a'};
  bytes.insert(bytes.end(), data, data + 4);
  PutLe(&bytes, data_bytes, 4);
  for (int16_t s : samples) PutLe(&bytes, static_cast<uint16_t>(s), 2);

  FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

// Reads a current-set file; prints why it cannot be used.
static bool ReadSettings(const char* path, GeneratorSettings* settings) {
  FILE* file = std::fopen(path, "rb");
  if (!file) {
    std::fprintf(stderr, "genrender: cannot open %s: %s\n", path, std::strerror(errno));
    return false;
  }
  unsigned char bytes[kSetFileBytes];
  const size_t got = std::fread(bytes, 1, sizeof bytes, file);
  std::fclose(file);
  if (got != sizeof bytes) {
    std::fprintf(stderr, "genrender: %s is too short for a current-set file (%zu of %zu bytes)\n",
                 path, got, sizeof bytes);
    return false;
  }
  if (!AcceptSetFile(bytes, bytes + kSetFileHeaderBytes, settings)) {
    std::fprintf(stderr, "genrender: %s is not a Generator current-set file\n", path);
    return false;
  }
  return true;
}

int main(int argc, char** argv) {
  const char* set_path = nullptr;
  const char* output = nullptr;
  double seconds = 1.0;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (!std::strcmp(arg, "-h") || !std::strcmp(arg, "--help")) {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (!std::strcmp(arg, "-s") || !std::strcmp(arg, "--set")) {
      set_path = value();
      if (!set_path) break;
    } else if (!std::strcmp(arg, "-o") || !std::strcmp(arg, "--output")) {
      output = value();
      if (!output) break;
    } else if (!std::strcmp(arg, "-d") || !std::strcmp(arg, "--duration")) {
      const char* text = value();
      char* end = nullptr;
      seconds = text ? std::strtod(text, &end) : NAN;
      if (!text || end == text || *end != '\0' || !(seconds >= 0.001 && seconds <= 3600.0)) {
        std::fprintf(stderr, "genrender: the duration must be a number of seconds from 0.001 to 3600\n");
        return 2;
      }
    } else {
      std::fprintf(stderr, "genrender: unknown argument '%s'\n%s", arg, kUsage);
      return 2;
    }
  }
  if (!output) {
    std::fprintf(stderr, "genrender: no output file given (-o FILE)\n%s", kUsage);
    return 2;
  }

  GeneratorSettings settings = kGeneratorDefaults;
  if (set_path && !ReadSettings(set_path, &settings)) return 1;
  settings.on = 1;

  const size_t frames = static_cast<size_t>(std::llround(seconds * 44100.0));
  std::vector<int16_t> samples(2 * frames);
  if (!RenderOffline(settings, frames, kDefaultBlockFrames, samples.data())) {
    std::fprintf(stderr, "genrender: out of memory\n");
    return 1;
  }
  if (!WriteWav(output, samples)) {
    std::fprintf(stderr, "genrender: cannot write %s: %s\n", output, std::strerror(errno));
    return 1;
  }
  return 0;
}
