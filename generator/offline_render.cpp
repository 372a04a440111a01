// Offline rendering: see offline_render.h.
#include "generator/offline_render.h"

#include <cstdlib>
#include <cstring>

int RenderOffline(const GeneratorSettings& settings, size_t frames, int32_t block_frames,
                  int16_t* out) {
  if (block_frames < 1) return 0;
  GeneratorEngine* engine = CreateGenerator();
  if (!engine) return 0;
  const size_t block_samples = 2 * static_cast<size_t>(block_frames);
  int16_t* block = static_cast<int16_t*>(std::malloc(block_samples * sizeof(int16_t)));
  if (!block || !SetGeneratorFormat(&engine, 44100.0f, 2)) {
    std::free(block);
    ReleaseGenerator(&engine);
    return 0;
  }
  SetGeneratorSettings(engine, &settings);
  ResetGenerator(&engine);
  for (size_t done = 0; done < frames;) {
    std::memset(block, 0, block_samples * sizeof(int16_t));
    RenderGenerator(&engine, block, static_cast<uint32_t>(block_samples * sizeof(int16_t)));
    const size_t take = frames - done < static_cast<size_t>(block_frames)
                            ? frames - done
                            : static_cast<size_t>(block_frames);
    std::memcpy(out + 2 * done, block, 2 * take * sizeof(int16_t));
    done += take;
  }
  std::free(block);
  ReleaseGenerator(&engine);
  return 1;
}
