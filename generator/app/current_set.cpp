// The current set's load and save: see current_set.h.
#include "generator/app/current_set.h"

#include "generator/files/set_file.h"
#include "generator/files/set_file_format.h"
#include "generator/panel/panel_parameters.h"

int LoadCurrentSet(GeneratorEngine* engine, const char* path) {
  if (!path[0]) return 0;
  unsigned char header[kSetFileHeaderBytes];
  unsigned char body[kSetFileBodyBytes];
  if (!ReadSetFile(path, header, sizeof header, body, sizeof body)) return 0;
  GeneratorSettings settings;
  if (!AcceptSetFile(header, body, &settings)) return 0;
  KeepSettingsShowable(&settings);
  SetGeneratorSettings(engine, &settings);
  return 1;
}

int SaveCurrentSet(GeneratorEngine* engine, const char* path) {
  if (!path[0]) return 0;
  GeneratorSettings settings;
  GetGeneratorSettings(engine, &settings);
  return WriteSetFile(path, kSetFileIdentification, kSetFileHeaderBytes, &settings,
                      sizeof settings);
}
