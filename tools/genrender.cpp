// genrender: renders Generator settings to a WAV file, offline.
//
// Takes a current-set file (or the built-in defaults), switches the
// generator on and renders it through the engine exactly as the program's
// audio thread does (reset, then blocks of 4,408 frames), into a 16-bit
// stereo 44,100 Hz WAV file, writing each block as it comes, so an hour takes
// no more memory than a second. Run `genrender --help` for the options.
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

static void PutLe(unsigned char* out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

// The 44-byte header of a 16-bit stereo 44,100 Hz PCM file of `frames` frames.
static void MakeWavHeader(uint32_t frames, unsigned char header[44]) {
  const uint32_t data_bytes = frames * 4;
  std::memcpy(header, "RIFF", 4);
  PutLe(header + 4, 36 + data_bytes, 4);
  std::memcpy(header + 8, "WAVEfmt ", 8);
  PutLe(header + 16, 16, 4);         // fmt chunk size
  PutLe(header + 20, 1, 2);          // PCM
  PutLe(header + 22, 2, 2);          // channels
  PutLe(header + 24, 44100, 4);      // frames per second
  PutLe(header + 28, 44100 * 4, 4);  // bytes per second
  PutLe(header + 32, 4, 2);          // bytes per frame
  PutLe(header + 34, 16, 2);         // bits per sample
  std::memcpy(header + 36, "data", 4);
  PutLe(header + 40, data_bytes, 4);
}

// Renders `frames` frames of `settings` into the WAV file `path` block by
// block, as they come: memory stays that of one block however long the
// render. Prints why when it fails; an incomplete file is removed.
static bool RenderToWav(const GeneratorSettings& settings, uint32_t frames, const char* path) {
  OfflineRender render;
  if (!BeginOfflineRender(&render, settings, kDefaultBlockFrames)) {
    std::fprintf(stderr, "genrender: out of memory\n");
    return false;
  }
  FILE* file = std::fopen(path, "wb");
  if (!file) {
    std::fprintf(stderr, "genrender: cannot write %s: %s\n", path, std::strerror(errno));
    EndOfflineRender(&render);
    return false;
  }
  unsigned char bytes[4 * kDefaultBlockFrames];
  MakeWavHeader(frames, bytes);
  int write_error = 0;
  bool ok = std::fwrite(bytes, 1, 44, file) == 44;
  if (!ok) write_error = errno;
  for (uint32_t done = 0; ok && done < frames;) {
    const int16_t* block = NextOfflineBlock(&render);
    const uint32_t take = frames - done < static_cast<uint32_t>(kDefaultBlockFrames)
                              ? frames - done
                              : static_cast<uint32_t>(kDefaultBlockFrames);
    for (uint32_t i = 0; i < 2 * take; ++i)
      PutLe(bytes + 2 * i, static_cast<uint16_t>(block[i]), 2);
    ok = std::fwrite(bytes, 1, 4 * take, file) == 4 * take;
    if (!ok) write_error = errno;
    done += take;
  }
  EndOfflineRender(&render);
  // A full disk may show only when the buffered end is written out.
  if (ok && std::fflush(file) != 0) {
    ok = false;
    write_error = errno;
  }
  if (std::fclose(file) != 0 && ok) {
    ok = false;
    write_error = errno;
  }
  if (ok) return true;
  std::fprintf(stderr, "genrender: cannot write %s: %s\n", path, std::strerror(write_error));
  struct stat info;
  if (stat(path, &info) == 0 && S_ISREG(info.st_mode)) std::remove(path);
  return false;
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
    const bool takes_value = !std::strcmp(arg, "-s") || !std::strcmp(arg, "--set") ||
                             !std::strcmp(arg, "-o") || !std::strcmp(arg, "--output") ||
                             !std::strcmp(arg, "-d") || !std::strcmp(arg, "--duration");
    if (takes_value && i + 1 >= argc) {
      std::fprintf(stderr, "genrender: %s needs a value\n%s", arg, kUsage);
      return 2;
    }
    if (!std::strcmp(arg, "-h") || !std::strcmp(arg, "--help")) {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (!std::strcmp(arg, "-s") || !std::strcmp(arg, "--set")) {
      set_path = argv[++i];
    } else if (!std::strcmp(arg, "-o") || !std::strcmp(arg, "--output")) {
      output = argv[++i];
    } else if (!std::strcmp(arg, "-d") || !std::strcmp(arg, "--duration")) {
      const char* text = argv[++i];
      char* end = nullptr;
      seconds = std::strtod(text, &end);
      if (end == text || *end != '\0' || !(seconds >= 0.001 && seconds <= 3600.0)) {
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

  // At most 3600 s: 158,760,000 frames, a data chunk well within 32 bits.
  const uint32_t frames = static_cast<uint32_t>(std::llround(seconds * 44100.0));
  if (!RenderToWav(settings, frames, output)) return 1;
  return 0;
}
