// Offline rendering: see offline_render.h.
#include "generator/files/offline_render.h"

#include <cstdlib>
#include <cstring>

int BeginOfflineRender(OfflineRender* render, const GeneratorSettings& settings,
                       int32_t block_frames, int32_t sample_rate) {
  std::memset(render, 0, sizeof *render);
  if (block_frames < 1) return 0;
  render->block_frames = block_frames;
  render->engine = CreateGenerator();
  render->block =
      static_cast<int16_t*>(std::malloc(2 * static_cast<size_t>(block_frames) * sizeof(int16_t)));
  if (!render->engine || !render->block || !SetGeneratorFormat(&render->engine, static_cast<float>(sample_rate), 2)) {
    EndOfflineRender(render);
    return 0;
  }
  SetGeneratorSettings(render->engine, &settings);
  ResetGenerator(&render->engine);
  return 1;
}

const int16_t* NextOfflineBlock(OfflineRender* render) {
  const size_t bytes = 2 * static_cast<size_t>(render->block_frames) * sizeof(int16_t);
  std::memset(render->block, 0, bytes);
  RenderGenerator(&render->engine, render->block, static_cast<uint32_t>(bytes));
  return render->block;
}

void EndOfflineRender(OfflineRender* render) {
  if (render->engine) ReleaseGenerator(&render->engine);
  std::free(render->block);
  std::memset(render, 0, sizeof *render);
}

int RenderOffline(const GeneratorSettings& settings, size_t frames, int32_t block_frames,
                  int16_t* out) {
  OfflineRender render;
  if (!BeginOfflineRender(&render, settings, block_frames)) return 0;
  for (size_t done = 0; done < frames;) {
    const int16_t* block = NextOfflineBlock(&render);
    const size_t take = frames - done < static_cast<size_t>(block_frames)
                            ? frames - done
                            : static_cast<size_t>(block_frames);
    std::memcpy(out + 2 * done, block, 2 * take * sizeof(int16_t));
    done += take;
  }
  EndOfflineRender(&render);
  return 1;
}
